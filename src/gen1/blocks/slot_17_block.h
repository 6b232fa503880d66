// Block 20, the block of container slot 17: radio data that the component carries between the
// radio and the host without giving it a meaning. It is a list block like the others, so the
// codeplug reads, writes, clones and resets it, and the host reads and edits it record by record;
// what the radio does with the bytes is the radio's business.
//
//   byte 0        header field 46, the format byte (0..255, passed through)
//   byte 1        header field 47, the record size: always 8
//   byte 2        header field 48, the record count: 1..16
//   3 + 8i        record i: 8 bytes
//   3 + 8N        checksum byte over everything before it
//
//   record byte k (k = 0..7)   field 950 + k, "%d", 0..255, attribute 1, default 0
//
// Field IDs 950 to 957 are the block's own (no other block uses them), and so are their checks:
// a value must be a whole number 0..255 (107), and any other field ID gives 104. They have no
// rows in the radio family's range table. The block has no list methods: the record count
// changes only through a whole record set by the host. A freshly built block is format 128 with
// one record of zeros.
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>

namespace cps {

class Slot17Block final : public Cloneable<Slot17Block, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 20;
  static constexpr int32_t kFirstByteField = 950;
  static constexpr uint8_t kRecordSize = 8;
  static constexpr uint8_t kMaxRecords = 16;

  Slot17Block();

  // The frame's checks, and field 46 a number of a byte (107), so that whatever is stored packs.
  void set_block(const BlockRecord& given) override;

 protected:
  // The header too: 46 a byte, 47 must be 8, 48 must be 1..16 (107). A header field that
  // passes is not an entry field, so setting it gives 104.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
