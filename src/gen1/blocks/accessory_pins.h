// Block 19, the accessory pins: what the radio's accessory connector does. Each of its seven
// programmable pins (3, 4, 6, 8, 9, 12 and 14) carries a function (an input such as an external
// microphone's push-to-talk, or an output such as an external alarm) with an active level and a
// switch; besides them the block holds the accessory configuration the connector serves and a
// handful of audio and ignition settings. One record of one entry, the same on every radio; the
// service object stores a record set from the host only on a portable radio.
//
// What is special: the pin function table is a matrix of which functions each pin may carry.
// Unpacking and every set hold a pin to it (108), so that whatever is stored packs into an image
// that reads back. Field 206 shows the pins whose function is an output active "High", one bit
// per pin in pin order from the lowest bit; packing works it out from the pins, in the record as
// well as in the bytes.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>

namespace cps {

class AccessoryPins final : public Cloneable<AccessoryPins, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 19;
  static constexpr int32_t kActiveHighOutputs = 206;
  static constexpr uint8_t kRecordSize = 21;

  AccessoryPins();

  // Field 206 worked out from the pins, then as the frame does.
  std::vector<uint8_t> pack(int32_t id) override;

  // The connector's programmable pins, in the order of their fields; the function field of pin
  // k is 217 + 3k, its switch 218 + 3k and its active level 219 + 3k.
  static constexpr uint8_t kPins[] = {3, 4, 6, 8, 9, 12, 14};
  // The label of a function code on a pin (108 for an unknown code, a code the pin may not
  // carry, or a pin without a function).
  static const char* pin_function(uint32_t code, int pin);

 protected:
  // The field check covers the header too: 47 must be 21 and 48 must be 1 (107). A header field
  // that passes is not an entry field, so setting it gives 104.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
