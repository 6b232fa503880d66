// Blocks 9 and 10, the dialling digit list: up to 26 dialling numbers of up to sixteen digits,
// each with an alias. A number is stored as nibbles, high nibble first: the ten decimal digits,
// "*", "#", the separator "-" and the pause "P"; nibble 15 is no digit. The list's length is
// set with the record: there is no add or delete, and nothing points at a number.
//
// Block 9 is the digit image, block 10 the alias image that follows it (130 when it comes
// first). The digit image has a header of its own: byte 0 (field 656), the entry length 8
// (field 50), the count (48), byte 3 (46), then 4 and 16, which pack writes. Radios of version
// text "01" and "02" have no pause: a "P" is stored as "-" there, when it is set and when the
// list is packed.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class DiallingDigits final : public Cloneable<DiallingDigits, FramedBlock> {
 public:
  static constexpr int32_t kDigitImage = 9;
  static constexpr int32_t kAliasImage = 10;

  // Twenty-six empty numbers without aliases.
  DiallingDigits();

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;

  // Header 656, 48, 50, 46, 49, 464 and 465 (104 when one is missing), then the numbers.
  void set_block(const BlockRecord& given) override;

 protected:
  void check_field(const FieldValue& field) const override;

 private:
  bool unpacked_ = false;  // the digit image is in; the alias image may follow (once)
};

}  // namespace cps
