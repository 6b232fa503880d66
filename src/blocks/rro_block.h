// Blocks 2 and 3 describe the radio itself and live in its read-only regions, outside the
// codeplug. Whatever goes wrong inside either one (a short or damaged image, a value the radio
// should not hold, a refused set) reaches the caller as 135 "Invalid RRO data.", and the record
// stays as it was.
#pragma once

#include "blocks/framed_block.h"

namespace cps {

class RroBlock : public FramedBlock {
 public:
  using FramedBlock::FramedBlock;

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  void set_block(const BlockRecord& given) override;
  void set_field(size_t index, const FieldValue& field) override;
};

}  // namespace cps
