#include "gen1/values/reference_resets.h"

#include "engine/block_handler.h"

namespace cps {

namespace {

constexpr int32_t kChannelGroups = 6;
constexpr int32_t kMemberType = 425;
constexpr int32_t kMemberIndex = 427;

}  // namespace

std::pair<std::string, std::string> first_channel_group_member(BlockDirectory& blocks,
                                                               const std::pair<std::string, std::string>&) {
  BlockHandler* groups = blocks.find(kChannelGroups);
  if (groups != nullptr && blocks.enabled(kChannelGroups)) {
    const ListBlockRecord record = groups->lists();
    if (record.list_count() > 0 && record.list(0).entry_count() > 0) {
      const FieldList& member = record.list(0).entry(0);
      // Only a member that names a channel or a trunking system can stand in for one.
      const bool names_one = member.contains(kMemberType) && member.contains(kMemberIndex) &&
                             (member.text(kMemberType) == "Conventional" || member.text(kMemberType) == "LS Trunking");
      if (names_one) return {member.text(kMemberType), member.text(kMemberIndex)};
    }
  }
  return {"Conventional", "0"};
}

}  // namespace cps
