// Blocks 32 and 33, the LS trunking systems: per system its numeric system parameters, feature
// switches, FSD signalling choices, squelch unmuting and muting rule, hang time, power level,
// timings, the personality member it works on (716, 717), the channel it falls back to on a
// portable (729 and 727) and an alias. Channel groups, scan lists, channels, phone systems, the
// FSD call list and two radio-wide blocks point at a system by the type "LS Trunking" and its
// index, so deleting a system rewrites them; a deleted personality takes the systems that name
// it with it.
//
// Block 32 is the systems' image (18-byte records, each followed by its own checksum), block 33
// the alias image that follows it and needs it unpacked first (130). How many systems the radio
// takes is not fixed: field 743 of block 2 says so (a block 2 without it, below version text
// "03", sets no limit on a whole record but takes no new system), and the last system may go
// only while a channel of the channel list remains.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class TrunkingSystems final : public Cloneable<TrunkingSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 32;
  static constexpr int32_t kAliasImage = 33;

  TrunkingSystems();

  void delete_list(size_t index, BlockDirectory& blocks) override;
  // Deletes every system, last first, each with the reference passes of a deletion but without
  // the last-system check: for a radio that has no trunking.
  void delete_all(BlockDirectory& blocks);
  // Each system gets the fields of the current form (radio kind, version text), with their
  // defaults where it lacks them, and loses the others.
  void adapt_to_form() override;

 protected:
  void check_field(const FieldValue& field) const override;
  void finish_record(const BlockRecord& candidate, const BlockRecord& given) const override;
  size_t max_entries() const override;

 private:
  void remove_system(size_t index, BlockDirectory& blocks);
};

}  // namespace cps
