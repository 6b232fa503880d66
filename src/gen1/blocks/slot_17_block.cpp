#include "gen1/blocks/slot_17_block.h"

#include "platform/errors.h"

#include <cmath>

namespace cps {

namespace {

using layout::FieldDesc;

constexpr int32_t kLastByteField = Slot17Block::kFirstByteField + Slot17Block::kRecordSize - 1;

// The block's own check: 104 for a field it does not have, 107 for a value that is not a whole
// number 0..255.
void check_value(int32_t field_id, double value) {
  if (field_id < Slot17Block::kFirstByteField || field_id > kLastByteField) raise(err::kFieldNotFound);
  if (value != std::floor(value) || value < 0 || value > 255) raise(err::kInvalidData);
}
constexpr layout::RangeTable kByteRanges{&check_value};

constexpr FieldDesc byte_row(uint16_t k, const char* name) {
  return {.id = Slot17Block::kFirstByteField + k, .offset = k, .ranges = &kByteRanges, .name = name};
}

constexpr FieldDesc kRows[] = {
    byte_row(0, "byte_0"), byte_row(1, "byte_1"), byte_row(2, "byte_2"), byte_row(3, "byte_3"),
    byte_row(4, "byte_4"), byte_row(5, "byte_5"), byte_row(6, "byte_6"), byte_row(7, "byte_7"),
};
static_assert(layout::layout_ok(kRows, Slot17Block::kRecordSize));
static_assert(kRows[Slot17Block::kRecordSize - 1].id == kLastByteField);

constexpr ListFrame kFrame{.rows = kRows, .record_size = Slot17Block::kRecordSize, .min_count = 1,
                           .max_count = Slot17Block::kMaxRecords, .header_attribute = 2, .format = 128};

void check_format(const FieldValue& field) {
  const int64_t value = parse_decimal(field.value);
  if (value < 0 || value > 255) raise(err::kInvalidData);
}

}  // namespace

Slot17Block::Slot17Block() : Cloneable(kFrame) { build_default(); }

void Slot17Block::set_block(const BlockRecord& given) {
  check_format(given.get_header_field(kFormatField));  // 104 when missing
  FramedBlock::set_block(given);
}

void Slot17Block::check_field(const FieldValue& field) const {
  if (field.id == kFormatField) {
    check_format(field);
  } else if (field.id == kRecordSizeField || field.id == kRecordCountField) {
    check_frame_field(*frame_, field, base);
  } else {
    FramedBlock::check_field(field);
  }
}

}  // namespace cps
