// The three directory blocks of an R9 codeplug, which the service object reads before it
// touches any data block:
//
//   2002  the codeplug header, the codeplug's first 8 bytes (virtual address 643): four flags and
//         two header values the radio owns, the codeplug's total length, and where the presence
//         and address tables lie;
//   2027  the block presence table: one bit per data block, the field ID being the block ID;
//   2028  the block address table: the start address of each data block.
//
// The host sees each as one field list, every field with attribute 2 and decimal text. What is
// special: none of them checks what it is given (set field and set record store it as it comes),
// and a value wider than its bits is cut to them when packed, so "2" in a presence bit packs as
// a clear bit. The presence and address tables carry a checksum that is not verified on unpack
// and is recomputed on pack.
#pragma once

#include "gen2/values/block_base.h"

#include <cstdint>

namespace cps::gen2 {

// Header field 2045 is byte 1 of the header, read and written whole.
class CodeplugHeader : public R9RecordBlock {
 public:
  static constexpr size_t kLength = 8;
  // 13 for fewer than 8 bytes; the record changes only when it succeeds.
  void unpack(const uint8_t* bytes, size_t length) override;
  // 104 for a field missing from the record, 107 for one that is not a number.
  std::vector<uint8_t> pack() override;
  BlockShape describe() const override;
};

class PresenceTable : public R9RecordBlock {
 public:
  static constexpr size_t kLength = 7;
  void unpack(const uint8_t* bytes, size_t length) override;
  // The image is field 2833 bytes long (107 below 7); the bit of block 2867 is set only when the
  // record holds its field.
  std::vector<uint8_t> pack() override;
  // Whether the codeplug holds block `block_id`: its field is present and not "0".
  bool present(int32_t block_id) const;
  BlockShape describe() const override;
};

class AddressTable : public R9RecordBlock {
 public:
  static constexpr size_t kLength = 67;
  void unpack(const uint8_t* bytes, size_t length) override;
  std::vector<uint8_t> pack() override;
  BlockShape describe() const override;
};

// The address-table field that holds the start address of data block `block_id` (2835 for 2003
// ... 2866 for 2026, 2853 for 2867); 0 for a block without one.
int32_t address_field(int32_t block_id);

}  // namespace cps::gen2
