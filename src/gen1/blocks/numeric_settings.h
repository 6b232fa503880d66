// Block 22, the numeric settings: one record of four numbers, a four-digit code (field 486),
// two 16-bit numbers (487, 488) and a level in tenths (489).
//
// What is special: the code keeps 14 bits of its two bytes (the top two read as 0 and pack as
// 0) and always shows at least four digits ("0007"); the level is stored in units of 1/200 and
// shown with one decimal. Header fields 47 (10) and 48 (1) are checked like entry fields.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class NumericSettings final : public Cloneable<NumericSettings, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 22;

  // One record of defaults, format 128.
  NumericSettings();

 protected:
  // 47 must be 10 and 48 must be 1 (107), 46 passes; then the entry's rows.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
