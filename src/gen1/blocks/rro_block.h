// Blocks 2 and 3 describe the radio itself and live in its read-only regions, outside the
// codeplug. Whatever goes wrong while either one is unpacked (a short or damaged image, a value
// the radio should not hold) reaches the caller as 135 "Invalid RRO data.", and the record stays
// as it was. A refused set is the host's mistake, not the radio's: it keeps its own code.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class RroBlock : public FramedBlock {
 public:
  using FramedBlock::FramedBlock;

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
};

}  // namespace cps
