#include "gen1/blocks/numeric_settings.h"

#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <cstdio>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 10;  // bytes 8 and 9 carry no field
constexpr uint32_t kCodeBits = 0x3FFF;

// Field 486: the low 14 bits of two bytes, shown with at least four digits; the text packs as
// the decimal number it reads as (leading zeros ignored), and its range row keeps it to 0..9999.
std::string code_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  char text[8];
  std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(read_be(entry + row.offset, 2) & kCodeBits));
  return text;
}
void code_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const int64_t value = parse_decimal(text);
  if (value < 0 || value > kCodeBits) raise(err::kInvalidData);
  write_be(static_cast<uint32_t>(value), entry + row.offset, 2);
}
void code_check(std::string_view text, const FieldDesc&, const BlockBase&) { parse_decimal(text); }
constexpr CustomCodec kCodeCodec{code_decode, code_encode, code_check};

using rows::named;
using rows::number;

constexpr FieldDesc kRows[] = {
    {.id = 486, .offset = 0, .width = 2, .codec = Codec::Custom, .dflt = {"0000"}, .ranges = &kGen1Ranges,
     .custom = &kCodeCodec, .name = "code"},
    number(487, 2, "0", nullptr, 2),
    number(488, 4, "0", nullptr, 2),
    {.id = 489, .offset = 6, .width = 2, .codec = Codec::Scaled, .dflt = {"1.0"}, .ranges = &kGen1Ranges,
     .scale = 1.0 / 200, .format = "%.1f", .name = "level"},  // stored x 200
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = 1,
                           .header_attribute = 2, .format = 128};

}  // namespace

NumericSettings::NumericSettings() : Cloneable(kFrame) { build_default(); }

void NumericSettings::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
