// Block 3, the radio-identity block: who the radio is. Serial number (83), model number (84),
// codeplug version (85), where and when it was last programmed (86-88), its band with the base
// frequency and band limits (89-92), two power levels (96, 97) and its region (99). It lives in
// a read-only region of the radio and is read first: the service object takes the version text
// and market class from it, writing compares its serial and model numbers, and the channel
// lists store their frequencies as steps above field 90 and keep them within fields 91..92.
//
// What is special about it: the band limits are counts of 5 kHz above the base frequency, so
// they are decoded and checked against field 90 of the same entry; a power level is a byte whose
// square is shown rounded to half units, and only a portable radio checks it against its range
// (a mobile's levels may be 0); dates and times are BCD. Every failure inside the block is
// reported as 135 "Invalid RRO data.", and bytes that carry no field keep what the radio had.
#pragma once

#include "gen1/blocks/rro_block.h"

#include <cstdint>
#include <string>

namespace cps {

// The radio's band, as the channel lists need it.
struct BandData {
  std::string band;  // field 89: "Low", "VHF", "UHF", "800" or "900"
  double base = 0;   // field 90, MHz
  double lower = 0;  // field 91, MHz
  double upper = 0;  // field 92, MHz
};

class RadioIdentity final : public Cloneable<RadioIdentity, RroBlock> {
 public:
  // A VHF radio for North America (see build_default) until a radio is read.
  RadioIdentity();

  // Entry 0's text of a field; 104 for an ID the block does not have.
  const std::string& text(int32_t field_id) const;
  std::string model_number() const;              // field 84, trailing blanks removed
  const std::string& region() const;             // field 99
  const std::string& codeplug_version() const;   // field 85, "07.20"
  BandData band() const;                         // fields 89-92

 protected:
  // Fields 91 and 92 must be a 16-bit count of 5 kHz above field 90 (107).
  void finish_record(const BlockRecord& candidate, const BlockRecord& given) const override;
};

}  // namespace cps
