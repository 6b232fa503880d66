// Block 23, the call reference list: up to 250 references to calls, each a signalling type
// (field 602: "FSD", "Duotone II" or "DTMF") and an index into that type's call list (field 603:
// block 24, 25 or 26). The block holds no call data of its own; it only points at calls.
//
// What is special: the references are the whole block. When a call list deletes call k, every
// reference of that type to k leaves the list and those above k move down by one; the rows
// declare this, and the generic reference pass does it through this block's own delete, so the
// list keeps at least one entry (116), and a deletion that would take the last one fails and
// changes nothing. The high nibble of a record's first byte is unused and packs as 0.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <string_view>

namespace cps {

class CallReferences final : public Cloneable<CallReferences, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 23;
  static constexpr int32_t kTypeField = 602;
  static constexpr int32_t kIndexField = 603;

  // One reference ("Duotone II", 0), format 128.
  CallReferences();

  // 116 for the last reference, 105 for a bad index; nothing refers to a reference.
  void delete_list(size_t index, BlockDirectory& blocks) override;

  // Drops every reference of one signalling type ("FSD", "Duotone II", "DTMF"), for a codeplug
  // that no longer holds that type's calls. The list keeps at least one entry: when every
  // reference is of that type, 116 and nothing changes. A label outside the table gives 108.
  void remove_type(std::string_view label);

 protected:
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
