// Block 5, the radio-wide settings: switches, the microphone or keypad in use, audio options,
// timers and levels, display line choices, the default channel type and a few values that only
// some markets have. One record; the container and the service object both reach it.
//
// What is special: the record changes shape with the radio. The mobile flag picks the keypad
// field (114) or the microphone field (447) and the field of byte 32 (470 or 162), and only a
// portable has the power levels 164 and 165; the market class picks the display lines 175-178
// (class 0) or the opaque values 755 and 756 (classes 1 and 2), and the signalling variant 754
// ("Kani", "Ippan"), which the channel list and the Sel Call systems read through the radio's
// facts; the version text picks the default channel (746/747 from "03", 166/167 before) and
// the second channel (748/749 from "03", 659/660 in "02", nothing in "01").
//
// The default channel and the second channel are references: their type says whether the
// index names a channel of the channel list or an LS trunking system. Deleting a channel or a
// system rewrites them; a reference to a deleted system becomes index 0, and becomes a
// conventional channel once the last system goes.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>
#include <vector>

namespace cps {

class RadioSettings final : public Cloneable<RadioSettings, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 5;
  static constexpr int32_t kSignallingVariant = 754;  // "Null", "Kani", "Ippan"
  static constexpr int32_t kDefaultChannelType = 746;
  static constexpr int32_t kDefaultChannelIndex = 747;
  static constexpr int32_t kSecondChannelType = 748;
  static constexpr int32_t kSecondChannelIndex = 749;

  RadioSettings();

  // The record takes the fields of the new form (with their defaults), keeping every value the
  // two forms share.
  void adapt_to_form() override;
  // Laid out in the form of the version it is packed for (a write into a radio of another
  // version): fields that form adds take their defaults; the record itself is kept.
  std::vector<uint8_t> pack(int32_t id) override;
};

}  // namespace cps
