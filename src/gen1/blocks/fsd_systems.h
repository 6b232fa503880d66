// Blocks 41 and 466, the FSD signalling systems: up to four systems, each with the radio's own
// FSD identities, the pre/post transmit-ID choice, acknowledge and call-alert behaviour, timing
// values and feature switches. Channels (fields 415-418) and the FSD call list (field 604) name
// a system by its index, so deleting a system rewrites those references.
//
// Block 41 is the system image (the list frame with 30-byte records), block 466 the alias image
// that follows it and can only be read after it (130).
//
// What is special: the system identity (field 330) is four hexadecimal digits, the first at most
// D and the others at most E, never "0000" when set; the fleet identity (331) three digits up
// to E, stored below a fixed E nibble that a record must carry. Field 751 exists only in market
// classes 1 and 2.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class FsdSystems final : public Cloneable<FsdSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 41;
  static constexpr int32_t kAliasImage = 466;
  static constexpr int32_t kSystemId = 330;
  static constexpr int32_t kFleetId = 331;

  FsdSystems();

  // One system of defaults; alias header 49 = 132, 464 = 16, 465 = 0.
  // Header fields 49, 46, 464, 465, 47, 48 (104 when missing, 107 out of their rules), 48
  // equal to the number of systems, every system through the table; no system "0000" (107).
  void set_block(const BlockRecord& given) override;
  void set_field(size_t index, const FieldValue& field) override;
  // Field 751 comes and goes with the market class.
  void adapt_to_form() override;

 protected:
  void check_field(const FieldValue& field) const override;
  void finish_record(const BlockRecord& candidate, const BlockRecord& given) const override;
};

}  // namespace cps
