// Block 15, the programmable buttons: which radio function each programmable button position
// carries. A mobile radio has 15 positions (fields 240-254), a portable 30 (fields 255-284);
// each position is one byte holding a function code, shown as a label of the choice table of
// that position. The block is one record of one entry; the mobile flag chooses the layout.
//
// What is special: a code may read differently by position (code 3 is "Zone Selection (Fixed)"
// on the mobile's first position and "Emergency Siren On" elsewhere), a record set from the host
// may still say "LED Battery Indicator", which is taken as "Battery Indicator", and a codeplug
// written into a radio of an older major version clears the functions that radio lacks to
// "Unassigned", in the record as well as in the bytes.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class Buttons final : public Cloneable<Buttons, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 15;
  static constexpr uint8_t kMobileSize = 15;
  static constexpr uint8_t kPortableSize = 30;

  Buttons();  // every position "Unassigned"

  // 131 for a mobile flag other than 0 or 1, then as the frame does.
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  // Applies the downgrade for the version pair to the record, then lays it out.
  std::vector<uint8_t> pack(int32_t id) override;
  // "LED Battery Indicator" is taken as "Battery Indicator", then as the frame does.
  void set_block(const BlockRecord& given) override;

 protected:
  // The field check covers the header too: 47 must be the layout's size and 48 must be 1 (107).
  // A header field that passes is not an entry field, so setting it gives 104.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
