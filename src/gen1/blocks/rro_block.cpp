#include "gen1/blocks/rro_block.h"

#include "platform/errors.h"

namespace cps {

void RroBlock::unpack(int32_t id, const uint8_t* image, size_t length) {
  try {
    FramedBlock::unpack(id, image, length);
  } catch (const ErrorCode&) {
    raise(err::kRroData);
  }
}

}  // namespace cps
