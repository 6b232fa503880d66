// Blocks 759 and 760, the Sel Call signalling systems of market classes 1 and 2: up to four
// systems with the acknowledge, call-alert, pre/post ID and timing settings of a signalling
// system, a selective-call mode and switches of their own. Channels name a system through the
// signalling type "ATIS" and an index. Block 759 is the system image, block 760 its alias image.
//
// What is special: the selective-call mode (field 874) is not stored; three bits of record byte
// 6 (fields 777, 779 and 782) carry it, exactly one of them set. Setting 874 rewrites the three
// bits, setting one of the bits must leave a mode, and a record whose 874 disagrees with its
// bits is refused (107). A new system's field 821 is 1 on an "Ippan" radio (block 5 field 754).
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class SelCallSystems final : public Cloneable<SelCallSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 759;
  static constexpr int32_t kAliasImage = 760;

  SelCallSystems();

 protected:
  FieldList default_entry() const override;
  void finish_record(const BlockRecord& candidate, const BlockRecord& given) const override;
};

}  // namespace cps
