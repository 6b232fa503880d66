// The frame every first-generation list block shares:
//
//   byte 0            header field 46, the block format byte (passed through unchanged)
//   byte 1            header field 47, the record size L
//   byte 2            header field 48, the record count N
//   3 + i x L'        record i (L bytes; L' = L + 1 where each record carries its own checksum)
//   3 + N x L'        checksum byte over everything before it
//
// A block declares its frame once, next to its entry layout, and the frame does the rest:
// unpacking with the length, checksum and header checks, packing, taking a record from the host,
// and building a default block.
#pragma once

#include "engine/block_base.h"
#include "engine/field_layout.h"
#include "engine/field_values.h"

#include <cstdint>
#include <span>
#include <vector>

namespace cps {

inline constexpr int32_t kFormatField = 46;
inline constexpr int32_t kRecordSizeField = 47;
inline constexpr int32_t kRecordCountField = 48;

struct ListFrame {
  layout::Layout rows;             // one record's fields
  uint8_t record_size = 0;         // the size field 47 must hold; 0: any size the rows fit in
  // Where the size depends on the form of the block (version text): the size it must hold.
  uint8_t (*record_size_for)(const BlockBase&) = nullptr;
  uint8_t min_count = 1;           // the bounds of field 48 (a block may narrow them)
  uint8_t max_count = 1;
  uint8_t header_attribute = 2;    // of fields 46, 47 and 48
  uint8_t count_attribute = 0;     // of field 48 where it differs from the other two (0: it does not)
  uint8_t format = 128;            // field 46 of a freshly built block
  bool record_checksums = false;   // each record followed by its own checksum byte
  bool keep_unused = false;        // bytes without a field keep what was unpacked (else 0)
};

// The bytes a frame of `count` records of `record_size` bytes takes.
size_t frame_length(const ListFrame& frame, size_t record_size, size_t count);

// Rebuilds `out` from an image: 13 when it is shorter than its header says, 103 for a bad block
// or record checksum, 107 for a record size or count outside the frame, then every field's own
// check. `raw` receives each record's bytes, so a block can keep bytes that carry no field.
// On failure `out` and `raw` are left as they were.
void unpack_frame(const ListFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                  BlockRecord& out, std::vector<std::vector<uint8_t>>* raw = nullptr);

// Lays the record out: header bytes from fields 46 and 47, the count from the entries, each
// entry packed over a zeroed record (or over its bytes in `raw`, where the block keeps them),
// the checksums.
std::vector<uint8_t> pack_frame(const ListFrame& frame, const BlockRecord& record, const BlockBase& base,
                                const std::vector<std::vector<uint8_t>>* raw = nullptr);

// Checks the header field 46, 47 or 48 (other IDs: 104).
void check_frame_field(const ListFrame& frame, const FieldValue& field, const BlockBase& base);

// The record a set stores, built from the host's: fields 46, 47 and 48 taken and checked, 48
// equal to the number of entries (107), every entry taken through the layout (104 for a missing
// field). Header fields other than those three are the block's to take.
BlockRecord take_frame(const ListFrame& frame, const BlockRecord& given, const BlockBase& base);
// The same with a record the caller gives up: entries in table form are moved, not copied (the
// header is only read).
BlockRecord take_frame(const ListFrame& frame, BlockRecord&& given, const BlockBase& base);

// The attribute field 48 carries in a record the frame builds.
uint8_t count_attribute(const ListFrame& frame);

// A fresh block: header 46, 47, 48 and `count` entries of defaults.
BlockRecord default_frame(const ListFrame& frame, const BlockBase& base, size_t count = 1);

}  // namespace cps
