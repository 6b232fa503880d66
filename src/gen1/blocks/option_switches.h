// Block 16, the option switches: 53 on/off switches of the radio's options, one bit each, in
// one 12-byte record. Every switch shows as "0" or "1" and is checked against its range row
// (0..1); the block has no rule beyond its bits.
//
// What is special: the switches are not in ID order inside the bytes. The entry holds them byte
// by byte, from the lowest bit of each byte upwards (531 down to 524, then 537, 536, 535, 533,
// 534, 532, ...), and in record byte 1 field 533 sits below 534. Record bytes 2 and 4 and the
// bits without a switch are not read and pack as 0.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>

namespace cps {

class OptionSwitches final : public Cloneable<OptionSwitches, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 16;
  static constexpr uint8_t kRecordSize = 12;
  static constexpr int32_t kFirstSwitch = 524;
  static constexpr int32_t kLastSwitch = 576;
  static constexpr size_t kSwitchCount = kLastSwitch - kFirstSwitch + 1;

  // Format 128, one record with every switch off.
  OptionSwitches();

 protected:
  // The field check covers the header too: 47 must be 12 and 48 must be 1 (107). A header
  // field that passes is not an entry field, so setting it gives 104.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
