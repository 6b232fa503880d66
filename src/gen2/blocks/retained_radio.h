// Block 2867, the retained radio block: a block the radio keeps for itself. When a codeplug is
// written, the copy read from the destination radio is what goes back (not the host's), and the
// host then sees the radio's; the scan block takes its companion word from it (see
// scan_lists.h), and the telegram and sequence blocks read it while packing.
//
// Entry layout, record size from the image (4 bytes in a block made afresh):
//
//   bytes 0-3   fields 2875 to 2906, one bit each, "%d": bit 7 of byte 0 is 2875, bit 0 of
//               byte 3 is 2906 (the radio's option switches, read together as the option word)
//   bytes 4 ... field 2907, the rest of the record as hexadecimal digits (raw_blocks.h)
//
// What is special: the list is the radio's. Add entry returns 0 and changes nothing, delete
// entry does nothing; a set record takes any count of entries up to 255.
#pragma once

#include "gen2/blocks/raw_blocks.h"

#include <cstdint>

namespace cps::gen2 {

class RetainedRadioBlock final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2867;
  static constexpr int32_t kFirstSwitch = 2875;
  static constexpr int32_t kLastSwitch = 2906;
  static constexpr int32_t kRawField = 2907;
  RetainedRadioBlock();
};

// The option word of a retained radio block: entry 0's switches 2875 (bit 31) to 2906 (bit 0);
// 0 for a block without entries. 104 for an entry 0 without a switch, 107 for a switch that
// does not read as a number.
uint32_t retained_option_word(const R9ListBlock& retained);

}  // namespace cps::gen2
