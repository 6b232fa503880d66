// Block 8, the radio-wide options: how alerts are shown, the clock format, the backlight level,
// whether the radio starts in conventional or LS trunking mode, the "All Group" state, the
// display language, a four-digit number, and several switches and counters. One record, reached
// by GetBlockData, SetBlockData, GetFieldAt and SetFieldAt (entry 0).
//
// What is special: the four-digit number (202) shares its first byte with the switches 203 and
// 204 (bits 0xC0), which it leaves alone; and from codeplug version "04" the record holds field
// 750, the 1-based position of a channel group member (0 for none), which follows every member
// that leaves a channel group: deleted by the host, or removed because the channel or trunking
// system it named was deleted. Block 8 names no channel or system itself.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>
#include <vector>

namespace cps {

class RadioOptions final : public Cloneable<RadioOptions, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 8;
  static constexpr int32_t kNumber = 202;
  static constexpr int32_t kMemberPosition = 750;

  RadioOptions();

  // The record takes the fields of the current form (750 comes and goes with the version text).
  void adapt_to_form() override;
  // Laid out in the form of the version it is packed for; the record itself is kept.
  std::vector<uint8_t> pack(int32_t id) override;
};

}  // namespace cps
