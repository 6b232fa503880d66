#include "blocks/rro_block.h"

#include "interface/errors.h"

namespace cps {

namespace {

template <class Action>
void as_rro_error(Action&& action) {
  try {
    action();
  } catch (const ErrorCode&) {
    raise(err::kRroData);
  }
}

}  // namespace

void RroBlock::unpack(int32_t id, const uint8_t* image, size_t length) {
  as_rro_error([&] { FramedBlock::unpack(id, image, length); });
}

void RroBlock::set_block(const BlockRecord& given) {
  as_rro_error([&] { FramedBlock::set_block(given); });
}

void RroBlock::set_field(size_t index, const FieldValue& field) {
  as_rro_error([&] { FramedBlock::set_field(index, field); });
}

}  // namespace cps
