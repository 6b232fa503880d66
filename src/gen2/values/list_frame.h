// The frame every second-generation list block shares:
//
//   byte 0        bits 7-6 field 2030 (block flag), bits 5-3 written as 0, bit 2 field 2031,
//                 bit 1 field 2032, bit 0 field 2033
//   bytes 1-2     field 2034, the record size S, big-endian
//   byte 3        field 2035, the entry count N
//   4 + i x S     entry i (S bytes)
//   4 + N x S     checksum over every byte before it
//
// so a block is S x N + 5 bytes. The six framing fields stand in the record's header with
// attribute 2. The flags' meaning belongs to the radio: they go from unpack to pack unchanged.
//
// FramedList is a list block made of this frame and one entry table: a block declares its
// entry rows, its quantity limits and the record size a fresh block gets, and holds only the
// rules no table can say.
#pragma once

#include "engine/field_layout.h"
#include "engine/field_values.h"
#include "gen2/values/block_base.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps::gen2 {

inline constexpr int32_t kBlockFlag = 2030;
inline constexpr int32_t kFlag2 = 2031;
inline constexpr int32_t kFlag1 = 2032;
inline constexpr int32_t kFlag0 = 2033;
inline constexpr int32_t kRecordSize = 2034;
inline constexpr int32_t kEntryCount = 2035;
inline constexpr int32_t kFramingFields[] = {kBlockFlag, kFlag2, kFlag1, kFlag0, kRecordSize, kEntryCount};
inline constexpr uint8_t kFramingAttribute = 2;
inline constexpr size_t kFrameHeaderLength = 4;

constexpr bool is_framing_field(int32_t id) { return id >= kBlockFlag && id <= kEntryCount; }
// Header, entries and checksum.
constexpr size_t frame_length(size_t record_size, size_t count) {
  return kFrameHeaderLength + record_size * count + 1;
}

struct Framing {
  size_t record_size = 0;
  size_t count = 0;
  size_t total = 0;  // record_size x count + 5
};

// Reads the frame of an image of `length` readable bytes: 13 when the image is shorter than its
// header says, 103 when its last byte is not the checksum of the bytes before it. Only then is
// `record` cleared and given the six framing fields; the entries are the block's to unpack from
// byte 4 on.
Framing unpack_framing(const uint8_t* bytes, size_t length, BlockRecord& record);

// A zero-filled image of the size the framing fields give, with bytes 0-3 set from them (a flag
// wider than its bits is cut to them): 104 for a missing framing field, 107 for one that is not
// a number or does not fit its bytes, 106 when the buffer cannot be had. The block packs its
// entries from byte 4 on, then seals the image.
std::vector<uint8_t> pack_framing(const BlockRecord& record, Framing& framing);

// The last byte made the checksum of every byte before it.
void seal(std::vector<uint8_t>& image);

// Removes entry `index`: 116 when fewer than `minimum` entries would remain, 105 for a bad index,
// 104 for a record without field 2035; then 2035 becomes the new count.
void delete_entry(BlockRecord& record, size_t index, size_t minimum);

// ---- A list block built from one entry table ------------------------------------------------

struct ListShape {
  layout::Layout rows;       // one entry's fields
  uint8_t min_count = 1;     // delete refuses below it (116), set refuses a count below it (107)
  uint8_t max_count = 255;   // add refuses above it (117), set refuses a count above it (107)
  uint16_t record_size = 0;  // field 2034 of a block framed afresh; 0: the rows' extent
  // Whether adding to a block without entries frames it afresh (blocks that a codeplug may hold
  // empty or not at all). A block that has never been unpacked is always framed afresh.
  bool reframe_when_empty = false;
};

// The bytes an entry's stored rows reach.
size_t rows_extent(layout::Layout rows);

class FramedList : public R9ListBlock {
 public:
  explicit FramedList(const ListShape& shape) : shape_(&shape) {}

  // The frame, then each entry through the rows (each value checked as it is decoded: 107, 108);
  // 13 for a record size the rows do not fit in. The record changes only when all of it is good.
  void unpack(const uint8_t* bytes, size_t length) override;
  // The frame from the header, each entry over zeroed bytes, the checksum; 107 when field 2035
  // differs from the number of entries.
  std::vector<uint8_t> pack() override;
  // The six framing fields taken and checked (2035 within the limits and equal to the number
  // of entries), every entry taken through the rows, the block's own rules; then stored.
  void set_record(const BlockRecord& record) override;
  size_t add_entry() override;
  void delete_entry(size_t index) override;
  void set_field(size_t index, const FieldValue& field) override;

  const ListShape& shape() const { return *shape_; }

  // The entry rows, and the six framing fields of a block framed afresh.
  BlockShape describe() const override { return {.entries = shape_->rows, .header = fresh_framing()}; }

 protected:
  // What a new entry holds.
  virtual FieldList default_entry() const { return layout::defaults(shape_->rows, base); }
  // A block's rules across the fields of one entry, run on a candidate entry before it is stored
  // (they throw; nothing is stored).
  virtual void check_entry(const FieldList& /*entry*/) const {}
  // 107 for a framing field that is not a number, does not fit its bytes, or (2035) is not a
  // count within the limits equal to `entries`.
  void check_framing_field(const FieldValue& field, size_t entries) const;
  // The six framing fields of a block framed afresh, with count 0.
  FieldList fresh_framing() const;

  const ListShape* shape_;
};

}  // namespace cps::gen2
