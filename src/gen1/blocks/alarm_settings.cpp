#include "gen1/blocks/alarm_settings.h"

#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <cctype>

namespace cps {

namespace {

using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 11;
constexpr int32_t kFirstDigitRow = 654;  // 0..13
constexpr int32_t kOtherDigitRow = 655;  // 0..15

// Field 521: four hexadecimal digits in the nibbles of two bytes, high nibble of the first byte
// first.
uint32_t nibble(const uint8_t* at, size_t k) { return k % 2 == 0 ? at[k / 2] >> 4 : at[k / 2] & 0x0F; }

std::string identity_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  std::string text;
  for (size_t k = 0; k < 4; ++k) text += hex_digit(nibble(entry + row.offset, k));
  return text;
}
void identity_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  uint8_t* at = entry + row.offset;
  at[0] = static_cast<uint8_t>(hex_digit_value(text[0]) << 4 | hex_digit_value(text[1]));
  at[1] = static_cast<uint8_t>(hex_digit_value(text[2]) << 4 | hex_digit_value(text[3]));
}
void identity_check(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  for (size_t k = 0; k < 4; ++k) {
    if (!std::isxdigit(static_cast<unsigned char>(text[k]))) raise(err::kInvalidData);
    check_range(k == 0 ? kFirstDigitRow : kOtherDigitRow, hex_digit_value(text[k]));
  }
}
constexpr CustomCodec kIdentityCodec{identity_decode, identity_encode, identity_check};

constexpr Choice kResends[] = {{0, "None"}, {1, "5"}, {2, "10"}, kChoiceEnd};
constexpr Choice kAlarmTypes[] = {{0, "Alarm"}, {1, "Alarm/Call"}, kChoiceEnd};

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::scaled;

constexpr FieldDesc kRows[] = {
    flag(520, 0, 0x01),
    flag(519, 0, 0x02),
    choice(518, 0, 0x0C, kResends, "None", 2),
    named(choice(517, 0, 0x10, kAlarmTypes, "Alarm"), "alarm_type"),
    flag(516, 0, 0x20),
    named(custom(521, 1, 0xFF, 2, kIdentityCodec, {"0000"}), "identity"),
    flag(523, 3, 0x0F, "1"),
    scaled(522, 3, 0xF0, 5, "0"),  // stored / 5
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = 1,
                           .header_attribute = 2, .format = 128};

}  // namespace

AlarmSettings::AlarmSettings() : Cloneable(kFrame) { build_default(); }

void AlarmSettings::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else if (field.id != 465)  // an alias header field: passes, and is no field of this block
    FramedBlock::check_field(field);
}

}  // namespace cps
