// Blocks 12, 13 and 468, the scan lists: up to sixteen lists the radio scans, each with its own
// settings (priority-channel choices, timings, a designated channel, limits) and up to sixteen
// members, each a channel by type and position, or the last active or the selected channel.
//
// Regions: block 13 is the list region, block 468 its alias image, block 12 the member region,
// which needs the list region first (130). Member slots whose type reads "Unassigned" are empty.
//
// What is special: in the two oldest codeplug layouts a designated channel "Last Active" packs
// as "Selected", and field 442 set to 0 is taken as 400. Members pointing at a channel
// or trunking system that is deleted are removed; the designated channel falls back to
// "Selected" with index 255.
#pragma once

#include "gen1/blocks/lists_block.h"

namespace cps {

class ScanLists final : public Cloneable<ScanLists, ListsBlock> {
 public:
  static constexpr int32_t kMemberImage = 12;
  static constexpr int32_t kListImage = 13;
  static constexpr int32_t kAliasImage = 468;

  ScanLists();

  std::vector<uint8_t> pack(int32_t id) override;
  void set_lists(const ListBlockRecord& given) override;
  void set_field(size_t list, const FieldValue& field) override;

 protected:
  void check_header_field(const FieldValue& field) const override;
};

}  // namespace cps
