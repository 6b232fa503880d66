#include "gen1/blocks/sdt_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 30;
constexpr int32_t kSystemId = 837;
constexpr int32_t kUnitId = 838;

// ---- System and unit IDs ----------------------------------------------------------------------

// The IDs are hexadecimal digit characters, one per nibble, each within its range row: the
// system ID's first digit 0..D (row 869) and the other three 0..E (rows 870, 871, 871); the unit
// ID's three digits 0..E (row 873), stored behind a high nibble that is always E (row 872).
constexpr int32_t kSystemDigitRows[] = {869, 870, 871, 871};
constexpr int32_t kUnitDigitRow = 873;
constexpr int32_t kUnitFixedRow = 872;
constexpr uint8_t kUnitFixedNibble = 0xE;

uint8_t nibble(const uint8_t* bytes, size_t k) {
  return k % 2 == 0 ? static_cast<uint8_t>(bytes[k / 2] >> 4) : static_cast<uint8_t>(bytes[k / 2] & 0x0F);
}
void set_nibble(uint8_t* bytes, size_t k, uint32_t value) {
  set_bits(k % 2 == 0 ? 0xF0 : 0x0F, value, bytes[k / 2]);
}

// The value of one digit character; only '0'-'9' and 'A'-'F' are digits here (107).
uint32_t digit_value(char c) {
  const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
  if (!digit) raise(err::kInvalidData);
  return hex_digit_value(c);
}

// Nibbles `first`.. of the row's bytes as `count` digits.
std::string digits(const uint8_t* bytes, size_t first, size_t count) {
  std::string text;
  for (size_t k = first; k < first + count; ++k) text += hex_digit(nibble(bytes, k));
  return text;
}

std::string system_decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
  return digits(e + row.offset, 0, 4);
}
void system_encode(std::string_view text, uint8_t* e, const FieldDesc& row, const BlockBase&) {
  for (size_t k = 0; k < 4; ++k) set_nibble(e + row.offset, k, digit_value(text[k]));
}
void system_check(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() != 4 || text == "0000") raise(err::kInvalidData);
  for (size_t k = 0; k < 4; ++k) check_range(kSystemDigitRows[k], digit_value(text[k]));
}
constexpr CustomCodec kSystemIdCodec{system_decode, system_encode, system_check};

// The unit ID's fixed nibble is checked as it is read: its text shows only the three digits.
std::string unit_decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
  check_range(kUnitFixedRow, nibble(e + row.offset, 0));
  return digits(e + row.offset, 1, 3);
}
void unit_encode(std::string_view text, uint8_t* e, const FieldDesc& row, const BlockBase&) {
  set_nibble(e + row.offset, 0, kUnitFixedNibble);
  for (size_t k = 0; k < 3; ++k) set_nibble(e + row.offset, k + 1, digit_value(text[k]));
}
void unit_check(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() != 3) raise(err::kInvalidData);
  for (char c : text) check_range(kUnitDigitRow, digit_value(c));
}
constexpr CustomCodec kUnitIdCodec{unit_decode, unit_encode, unit_check};

// ---- The record -------------------------------------------------------------------------------

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::tens;
using rows::with_attribute;

// The FSD system's record. Within bytes 0, 1, 22, 23 and 24 the field IDs run from the high bits
// down, as in the Sel Call systems. Record bytes 5, 28 and 29, bit 0x80 of byte 23 and bits 0xFE
// of byte 27 carry no field.
constexpr FieldDesc kRows[] = {
    flag(823, 0, 0x20, "1"),
    flag(824, 0, 0x10, "0"),
    flag(825, 0, 0x08, "1"),
    flag(826, 0, 0x04, "1"),
    named(choice(827, 0, 0x03, kPrePostIds, "Pre Only"), "pre_post_id"),
    named(choice(828, 1, 0xC0, kCallAlerts, "None"), "call_alert"),
    flag(829, 1, 0x20, "0"),
    flag(830, 1, 0x10, "0"),
    flag(831, 1, 0x08, "0"),
    flag(832, 1, 0x04, "0"),
    named(choice(833, 1, 0x03, kAcknowledgeModes, "Auto w/ Carrier Override"), "acknowledge"),
    {.id = 834, .offset = 2, .codec = Codec::Scaled, .dflt = {"500", "300"}, .ranges = &kGen1Ranges, .scale = 25},
    scaled(835, 3, 0xFF, 25, "500"),
    scaled(836, 4, 0xFF, 25, "500"),
    named(custom(kSystemId, 6, 0xFF, 2, kSystemIdCodec, {"1111"}), "system_id"),
    named(custom(kUnitId, 8, 0xFF, 2, kUnitIdCodec, {"111"}), "unit_id"),
    {.id = 839, .offset = 10, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranges = &kGen1Ranges, .scale = 0.1,
     .format = "%2.1f"},
    with_attribute(number(840, 11, "64"), 2),
    with_attribute(number(841, 12, "64"), 2),
    with_attribute(number(842, 13, "10"), 2),
    with_attribute(number(843, 14, "5"), 2),
    scaled(844, 15, 0xFF, 25, "50"),
    number(845, 16, "0"),
    scaled(846, 17, 0xFF, 25, "50"),
    with_attribute(number(847, 18, "0"), 2),
    scaled(848, 19, 0xFF, 25, "500"),
    with_attribute(number(849, 20, "1"), 2),
    with_attribute(number(850, 21, "2"), 2),
    flag(851, 22, 0x80, "0"),
    flag(852, 22, 0x40, "0"),
    flag(853, 22, 0x20, "0"),
    flag(854, 22, 0x10, "1"),
    named(choice(855, 22, 0x08, kTonePairs, "1200 Hz and 1800 Hz"), "tone_pair"),
    with_attribute(flag(856, 22, 0x04, "1"), 2),
    named(choice(857, 22, 0x03, kAutoManualModes, "None"), "auto_manual"),
    named(choice(858, 23, 0x60, kSilentModes, "Disabled"), "silent_mode"),
    flag(859, 23, 0x10, "0"),
    flag(860, 23, 0x08, "0"),
    flag(861, 23, 0x04, "0"),
    flag(862, 23, 0x02, "0"),
    flag(863, 23, 0x01, "0"),
    tens(864, 0xF0),
    tens(865, 0x0F),
    number(866, 25, "0"),
    number(867, 26, "0"),
    flag(868, 27, 0x01, "0"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = 4};

}  // namespace

SdtSystems::SdtSystems() : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage, .alias_length = 8}) {
  build_default();
}

}  // namespace cps
