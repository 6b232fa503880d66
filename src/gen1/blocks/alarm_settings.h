// Block 30, the alarm settings: one record holding the alarm type ("Alarm" or "Alarm/Call",
// field 517), a four-digit hexadecimal identity (521), two timings (522 in steps of 5, 523) and
// a few switches.
//
// What is special: the identity's first digit goes up to D, the other three up to F; a
// character that is no hexadecimal digit is refused rather than stored as 0. Record bytes 4 to
// 10 carry no field and pack as 0. Header fields 47 (11) and 48 (1) are checked like entry
// fields.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class AlarmSettings final : public Cloneable<AlarmSettings, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 30;

  // One record of defaults, format 128.
  AlarmSettings();

 protected:
  // 47 must be 11 and 48 must be 1 (107), 46 and 465 pass; then the entry's rows.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
