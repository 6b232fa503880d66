#include "gen1/blocks/fsd_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <cctype>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 30;
constexpr uint8_t kMaxSystems = 4;
constexpr uint8_t kFleetMarker = 0xE;  // the high nibble above the fleet identity's digits

// The header fields a record carries, in the order it shows them.

bool class_12(const BlockBase& b) { return b.long_form(); }

// ---- Identities ---------------------------------------------------------------------------------

// Digit k of a hexadecimal identity: '0'-'9', 'A'-'F' (either case) read as their value, at most
// `highest`; anything else is 107.
uint32_t digit_value(char c, uint32_t highest) {
  if (!std::isxdigit(static_cast<unsigned char>(c))) raise(err::kInvalidData);
  const uint32_t value = hex_digit_value(c);
  if (value > highest) raise(err::kInvalidData);
  return value;
}

uint32_t nibble(const uint8_t* entry, size_t k) {
  const uint8_t byte = entry[k / 2];
  return k % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

// Field 330: four digits in the nibbles of two bytes, high nibble first; digit 1 up to D, the
// others up to E.
constexpr uint32_t kSystemDigitMax[] = {0xD, 0xE, 0xE, 0xE};

std::string system_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  std::string text;
  for (size_t k = 0; k < 4; ++k) text += hex_digit(nibble(entry + row.offset, k));
  return text;
}
void system_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  uint8_t* at = entry + row.offset;
  at[0] = static_cast<uint8_t>(hex_digit_value(text[0]) << 4 | hex_digit_value(text[1]));
  at[1] = static_cast<uint8_t>(hex_digit_value(text[2]) << 4 | hex_digit_value(text[3]));
}
void system_check(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  for (size_t k = 0; k < 4; ++k) digit_value(text[k], kSystemDigitMax[k]);
}
constexpr CustomCodec kSystemCodec{system_decode, system_encode, system_check};

// Field 331: three digits up to E, in the low nibble of the first byte and both nibbles of the
// second; the first byte's high nibble is always E (107 on reading a record without it).
std::string fleet_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const uint8_t* at = entry + row.offset;
  if (nibble(at, 0) != kFleetMarker) raise(err::kInvalidData);
  std::string text;
  for (size_t k = 1; k < 4; ++k) text += hex_digit(nibble(at, k));
  return text;
}
void fleet_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  if (text.size() != 3) raise(err::kInvalidData);
  uint8_t* at = entry + row.offset;
  at[0] = static_cast<uint8_t>(kFleetMarker << 4 | hex_digit_value(text[0]));
  at[1] = static_cast<uint8_t>(hex_digit_value(text[1]) << 4 | hex_digit_value(text[2]));
}
void fleet_check(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() != 3) raise(err::kInvalidData);
  for (char c : text) digit_value(c, 0xE);
}
constexpr CustomCodec kFleetCodec{fleet_decode, fleet_encode, fleet_check};

// ---- The record ---------------------------------------------------------------------------------


using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::tens;
using rows::with_attribute;
using rows::with_default;

// A byte shown as its value and carried with attribute 2.
constexpr FieldDesc counter(int32_t id, uint16_t offset, const char* dflt) {
  return with_attribute(number(id, offset, dflt), 2);
}
// 30 bytes; byte 5, bytes 28-29, bits 0xC0 of byte 0 and 0xFE of byte 27 carry no field.
constexpr FieldDesc kRows[] = {
    named(choice(316, 0, 0x03, kPrePostIds, "Pre Only"), "transmit_id"),
    flag(317, 0, 0x04, "1"),
    flag(318, 0, 0x08, "1"),
    flag(319, 0, 0x10, "0"),
    flag(320, 0, 0x20, "1"),
    named(choice(321, 1, 0x03, kAcknowledgeModes, "Auto w/ Carrier Override"), "acknowledge"),
    flag(322, 1, 0x04),
    flag(323, 1, 0x08),
    flag(324, 1, 0x10),
    flag(325, 1, 0x20),
    named(choice(326, 1, 0xC0, kCallAlerts, "None"), "call_alert"),
    with_default(scaled(327, 2, 0xFF, 25, "500"), {"500", "300"}),  // ms; shorter on a portable
    scaled(328, 3, 0xFF, 25, "500"),
    scaled(329, 4, 0xFF, 25, "500"),
    named(custom(FsdSystems::kSystemId, 6, 0xFF, 2, kSystemCodec, {"1111"}), "system_id"),
    named(custom(FsdSystems::kFleetId, 8, 0xFF, 2, kFleetCodec, {"111"}), "fleet_id"),
    {.id = 332, .offset = 10, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranges = &kGen1Ranges, .scale = 0.1,
     .format = "%2.1f"},
    counter(333, 11, "64"),
    counter(334, 12, "64"),
    counter(335, 13, "10"),
    counter(336, 14, "5"),
    scaled(337, 15, 0xFF, 25, "50"),
    number(338, 16, "0"),
    scaled(339, 17, 0xFF, 25, "50"),
    counter(340, 18, "0"),
    scaled(341, 19, 0xFF, 25, "500"),
    counter(342, 20, "1"),
    counter(343, 21, "2"),
    named(choice(344, 22, 0x03, kAutoManualModes, "None"), "auto_manual"),
    with_attribute(flag(345, 22, 0x04), 2),
    named(choice(346, 22, 0x08, kTonePairs, "1200 Hz and 1800 Hz"), "tone_pair"),
    flag(347, 22, 0x10, "1"),
    flag(348, 22, 0x20),
    flag(349, 22, 0x40),
    flag(350, 22, 0x80),
    flag(351, 23, 0x01),
    flag(352, 23, 0x02),
    flag(353, 23, 0x04),
    flag(354, 23, 0x08),
    flag(355, 23, 0x10),
    named(choice(356, 23, 0x60, kSilentModes, "Disabled"), "silent_mode"),
    tens(357, 0x0F),
    tens(358, 0xF0),
    number(359, 25, "0"),
    number(360, 26, "0"),
    flag(361, 27, 0x01),
    flag(751, 23, 0x80, "0", class_12),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kRecordSize,
                           .min_count = 1,
                           .max_count = kMaxSystems,
                           .header_attribute = 2,
                           .format = 128};

// A set system never has the identity "0000" (a radio's image may hold it).
void check_system_id(const FieldList& entry) {
  if (entry.text(FsdSystems::kSystemId) == "0000") raise(err::kInvalidData);
}

}  // namespace

FsdSystems::FsdSystems() : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage}) { build_default(); }

// ---- Images -------------------------------------------------------------------------------------

// ---- Setting ------------------------------------------------------------------------------------

void FsdSystems::check_field(const FieldValue& field) const {
  switch (field.id) {
    case kFormatField: {
      // Passed through, as the byte it is packed into.
      const int64_t value = parse_decimal(field.value);
      if (value < 0 || value > 0xFF) raise(err::kInvalidData);
      return;
    }
    case kRecordSizeField:
    case kRecordCountField:
      return check_frame_field(*frame_, field, base);
    default:
      FramedBlock::check_field(field);
  }
}

// Field 46 is packed as it stands: a byte (107), checked before the frame takes the rest.
void FsdSystems::set_block(const BlockRecord& given) {
  check_field(given.get_header_field(kFormatField));  // 104 when missing
  FramedBlock::set_block(given);
}

// No set system has the identity "0000".
void FsdSystems::finish_record(const BlockRecord& candidate, const BlockRecord&) const {
  for (size_t i = 0; i < candidate.entry_count(); ++i) check_system_id(candidate.entry(i));
}

// Field 751 comes and goes with the market class.
void FsdSystems::adapt_to_form() { adapt_entries_to_form(); }

void FsdSystems::set_field(size_t index, const FieldValue& field) {
  if (field.id == kSystemId && field.value == "0000") {
    record_.entry(index);  // 105 for a bad index first
    raise(err::kInvalidData);
  }
  FramedBlock::set_field(index, field);
}

// ---- Systems ------------------------------------------------------------------------------------

}  // namespace cps
