// Block 2023, the option board data: the bytes an option board fitted to the radio works from,
// opaque to this component and shown to the host as hexadecimal text. Each entry holds one
// field, 2695: the entry's record-size bytes as upper-case hexadecimal digits, two per byte.
//
// The block is filled from a codeplug, or from an option-board file through ImportOBD, which
// hands over the file's bytes after its first 800 (the payload):
//
//   byte 0      a, at most 63
//   byte 1      b
//   2 ... n-1   a x b data bytes
//
// A payload is good when n = a x b + 2, or when it is the three bytes 0 0 0 (no board data);
// it is framed as a list block of one-byte records, one entry per payload byte (flags 2030 = 2
// and 2033 = 1), and unpacked as if read from a codeplug.
//
// What is special: a block of no bytes (record size x count = 0) unpacks as one entry "00" and
// packs as the bare frame whatever its entries; sets store 2695 unchecked (on packing, a
// character that is not a hexadecimal digit counts as 0, and a text longer than the record
// gives 107); the host cannot add entries (117) and a delete does nothing.
#pragma once

#include "gen2/blocks/raw_blocks.h"

#include <cstddef>
#include <cstdint>

namespace cps::gen2 {

class OptionBoardData final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2023;
  static constexpr int32_t kBoardBytes = 2695;
  OptionBoardData();

  // The frame and entries (13, 103); a block of no bytes gives the single entry "00".
  void unpack(const uint8_t* bytes, size_t length) override;
  // The frame; the entries' bytes unless the block has none (107 for a count that differs from
  // the entries, or a text longer than its record).
  std::vector<uint8_t> pack() override;
  // The framing fields checked as every list block's (104, 107), but a block of no bytes may
  // hold any entries (its unpack gives one); each entry must hold 2695 (104).
  void set_record(const BlockRecord& record) override;

  // Rebuilds the block from an option-board payload of `length` bytes: 127 for one that breaks
  // the length rule, is shorter than 3 or longer than 255 bytes, or whose byte 0 exceeds 63.
  // Unchanged on failure.
  void import(const uint8_t* payload, size_t length);
};

// The option-board part of ImportOBD, on the file's bytes as read: 127 for a file shorter than
// 803 or longer than 1055 bytes; otherwise the bytes after the first 800 go to the block's
// import (127).
void import_option_board_file(OptionBoardData& block, const uint8_t* file, size_t length);

}  // namespace cps::gen2
