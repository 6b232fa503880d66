#include "gen1/blocks/trunking_groups.h"

#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <cmath>

namespace cps {

namespace {

using layout::FieldDesc;

constexpr int32_t kScanGroups = 940;
constexpr int32_t kPrioritySlot = 941;
constexpr int32_t kTalkSlot = 942;
constexpr int32_t kMemberHeader = 943;
constexpr int32_t kGroupId = 944;
constexpr int32_t kHomeRepeater = 945;
constexpr int32_t kReceiveOnly = 946;
constexpr int32_t kCallAlert = 947;
constexpr int64_t kNoSlot = 15;

// The block's own checks: 104 for a field it does not have, 107 for a value that is not a
// whole number of the field's range.
void check_value(int32_t field_id, double value) {
  int64_t lowest = 0, highest = 1;
  switch (field_id) {
    case kScanGroups:
    case kReceiveOnly:
    case kCallAlert: break;
    case kPrioritySlot: highest = kNoSlot; break;
    case kTalkSlot: highest = TrunkingGroups::kSlots - 1; break;
    case kGroupId: highest = 250; break;
    case kHomeRepeater: lowest = 1, highest = 20; break;
    default: raise(err::kFieldNotFound);
  }
  if (value != std::floor(value) || value < static_cast<double>(lowest) || value > static_cast<double>(highest))
    raise(err::kInvalidData);
  // The priority names a slot of the list, or none.
  if (field_id == kPrioritySlot && value >= static_cast<double>(TrunkingGroups::kSlots) &&
      value != static_cast<double>(kNoSlot))
    raise(err::kInvalidData);
}
constexpr layout::RangeTable kGroupRanges{&check_value};

constexpr FieldDesc row(int32_t id, uint16_t offset, uint8_t mask, const char* dflt, const char* name) {
  return {.id = id, .offset = offset, .mask = mask, .dflt = {dflt}, .ranges = &kGroupRanges, .name = name};
}

constexpr FieldDesc kListRows[] = {
    row(kScanGroups, 0, 0x80, "0", "scan_groups"),
    row(kPrioritySlot, 0, 0x0F, "15", "priority_slot"),
    row(kTalkSlot, 1, 0x07, "0", "talk_slot"),
};
static_assert(layout::layout_ok(kListRows, 2));

constexpr FieldDesc kMemberRows[] = {
    row(kGroupId, 0, 0xFF, "0", "group_id"),
    row(kReceiveOnly, 1, 0x80, "0", "receive_only"),
    row(kCallAlert, 1, 0x40, "0", "call_alert"),
    row(kHomeRepeater, 1, 0x1F, "1", "home_repeater"),
};
static_assert(layout::layout_ok(kMemberRows, 2));

constexpr ListsFrame kFrame{.list_rows = kListRows,
                           .list_size = 2,
                           .list_checksums = true,
                           .min_lists = 0,
                           .max_lists = TrunkingGroups::kMaxLists,
                           .member_rows = kMemberRows,
                           .member_size = 2,
                           .slots = TrunkingGroups::kSlots,
                           .slot_checksums = true,
                           .member_header_field = kMemberHeader,
                           .member_size_in_header = true};

}  // namespace

TrunkingGroups::TrunkingGroups() : Cloneable(kFrame, {.lists = kListImage, .members = kMemberImage}) {
  build_default();
}

void TrunkingGroups::set_lists(const ListBlockRecord& given) {
  for (int32_t id : {kFormatField, kMemberFormatField, kMemberHeader, 464, 465}) {
    const int64_t value = parse_decimal(given.header().get(id).value);  // 104 when missing
    if (value < 0 || value > 255) raise(err::kInvalidData);
  }
  ListsBlock::set_lists(given);
}

}  // namespace cps
