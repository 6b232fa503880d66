// Block 2016, the scan and voting lists. Each entry is one list as the radio stores it, opened
// by the option word of the retained radio block (2867) that the list was made under, so that
// a list added on the host carries the same radio options as the lists read from the radio:
//
//   bytes 0-3   field 2388, the option word, big-endian, "%d" (bit 31 is switch 2875 of block
//               2867, bit 0 switch 2906)
//   bytes 4 ... field 2389, the rest of the record as hexadecimal digits (raw_blocks.h)
//
// A block made afresh has 8-byte records. Entries: 1 to 255; delete refuses the last (116).
//
// What is special: the scan path. Unpacking with the retained radio block (the read flow hands
// it over, having unpacked 2867 first) remembers the radio's option word; adding with it (the
// service object's AddList) takes the word from it afresh. A new entry's 2388 is the word last
// learned, 0 before any; its bytes after the word are zero.
#pragma once

#include "gen2/blocks/raw_blocks.h"

#include <cstdint>

namespace cps::gen2 {

class ScanLists final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2016;
  static constexpr int32_t kOptionWord = 2388;
  static constexpr int32_t kRawField = 2389;
  ScanLists();

  // The plain unpack, then the option word of `retained` kept for entries added later.
  void unpack_with(const uint8_t* bytes, size_t length, const R9ListBlock& retained) override;
  // The option word of `retained` kept, then an entry added with it.
  size_t add_entry_with(const R9ListBlock& retained) override;

 protected:
  FieldList default_entry() const override;

 private:
  uint32_t option_word_ = 0;
};

}  // namespace cps::gen2
