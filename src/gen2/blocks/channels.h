// Block 2018, the channels: per channel its spacing, power level, two squelch sets (each a step
// size, a squelch type and a squelch code), two 16-bit channel numbers, two deviation choices
// and a row of flags, 14 bytes per channel; 1 to 100 channels.
//
// What is special: a squelch code's text follows the type of its set. Under "TXQ" the 12 bits
// are a tone in tenths of a hertz (670 shows as 67.000000), under "DXQ" and "Inverted DXQ" they
// number one of the 104 digital codes (1 is "023"), under "CSQ" there is no code (the empty text,
// packed as 0). A set's code is checked against its entry's type, and setting a type of another
// kind alone gives the code that kind's first value. A radio whose model number is one of the
// fixed-spacing models reads every channel as 12.5 kHz, whatever the spacing bits hold.
//
// The service object holds the block twice, in the radio's form (the bytes a radio stores) and
// in the host's form (what the host edits). Both have the same field IDs and the same rules, so
// the codeplug makes the host form's record a copy of the radio form's after a read, and the
// radio form's a copy of the host form's before a pack.
#pragma once

#include "gen2/blocks/radio_info.h"
#include "gen2/values/list_frame.h"

#include <string>
#include <vector>

namespace cps::gen2 {

class Channels : public FramedList {
 public:
  Channels();

  // As every framed list; on a fixed-spacing model the spacing bits are read as 12.5 kHz.
  void unpack(const uint8_t* bytes, size_t length) override;

  // Reads the model number (2050) of `info`, a radio information block, on every unpack.
  void link(const R9ListBlock* info, const std::vector<std::string>& fixed_spacing_models) override;

 protected:
  // Each squelch code against its set's type: 107 for a tone that is not a 12-bit count of
  // tenths or a code under "CSQ", 108 for a digital code that is not in the table.
  void check_entry(const FieldList& entry) const override;

 private:
  bool fixed_spacing() const;

  const RadioInfo* radio_info_ = nullptr;
  std::vector<std::string> fixed_spacing_models_;
};

}  // namespace cps::gen2
