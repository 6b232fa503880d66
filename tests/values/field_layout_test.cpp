// The field-descriptor engine on a small layout holding every codec kind: compile-time table
// checks, golden bytes both ways, round trips, untouched bits, every error code, and the forms
// (mobile or portable, market class) that change which rows exist.
#include "values/field_layout.h"

#include "interface/errors.h"
#include "values/range_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cps::layout {
namespace {

// ---- The test layout -------------------------------------------------------------------------

constexpr Choice kTxId[] = {
    {0, "None"}, {1, "Pre Only"}, {2, "Post Only"}, {3, "Pre and Post"}, kChoiceEnd};
constexpr Choice kAlert[] = {
    {0, "None"}, {1, "Call Alert"}, {2, "Call Alert w/ Voice"}, kChoiceEnd};

bool market_class_1_or_2(const BlockBase& base) { return base.market_class != 0; }
bool mobile_radio(const BlockBase& base) { return base.mobile != 0; }
bool portable_radio(const BlockBase& base) { return base.mobile == 0; }

// Four hexadecimal digit characters in the nibbles of two bytes, high nibble first; digits
// 0..E, and "0000" is not a system ID.
std::string hex_decode(const uint8_t* entry, const FieldDesc& row) {
  std::string text;
  for (int k = 0; k < 4; ++k) {
    const uint8_t byte = entry[row.offset + k / 2];
    text += hex_digit(k % 2 == 0 ? byte >> 4 : byte & 0x0Fu);
  }
  return text;
}
void hex_encode(std::string_view text, uint8_t* entry, const FieldDesc& row) {
  for (size_t k = 0; k < 4; ++k) {
    const uint32_t digit = k < text.size() ? hex_digit_value(text[k]) : 0;
    uint8_t& byte = entry[row.offset + k / 2];
    byte = static_cast<uint8_t>(k % 2 == 0 ? (byte & 0x0F) | (digit << 4) : (byte & 0xF0) | digit);
  }
}
void hex_check(std::string_view text, const FieldDesc&) {
  if (text.size() != 4 || text == "0000") raise(err::kInvalidData);
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'E'))) raise(err::kInvalidData);
}
constexpr CustomCodec kHexDigits{hex_decode, hex_encode, hex_check};

// A power level: (byte / 25)^2 rounded to the nearest 0.5, "%.1f"; the range row checks it.
std::string power_decode(const uint8_t* entry, const FieldDesc& row) {
  const double p = entry[row.offset] / 25.0;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::floor(2 * p * p + 0.5) / 2);
  return text;
}
void power_encode(std::string_view text, uint8_t* entry, const FieldDesc& row) {
  entry[row.offset] = static_cast<uint8_t>(std::lround(25 * std::sqrt(parse_number(text))));
}
constexpr CustomCodec kPowerLevel{power_decode, power_encode, nullptr};

// Extra checks on rows of other kinds.
void version_limit(std::string_view text, const FieldDesc&) {
  if (text > "07.99") raise(err::kVersionNotSupported);
}
constexpr CustomCodec kVersionLimit{nullptr, nullptr, version_limit};
void alias_chars(std::string_view text, const FieldDesc&) { check_alias(text); }
constexpr CustomCodec kAliasChars{nullptr, nullptr, alias_chars};

// Field IDs from 900 have no range row.
constexpr FieldDesc kRows[] = {
    {.id = 55, .offset = 0, .mask = 0x80, .ranged = true},
    {.id = 316, .offset = 0, .mask = 0x03, .codec = Codec::Choice, .dflt = {"Pre Only"},
     .choices = kTxId},
    {.id = 903, .offset = 0, .mask = 0x1C, .codec = Codec::Signed},
    // byte 0 bits 0x60 belong to no row
    {.id = 326, .offset = 1, .mask = 0xC0, .codec = Codec::Choice, .dflt = {"None"},
     .choices = kAlert},
    {.id = 900, .offset = 1, .mask = 0x30},
    {.id = 751, .offset = 1, .mask = 0x01, .ranged = true, .when = market_class_1_or_2},
    {.id = 327, .offset = 2, .codec = Codec::Scaled, .dflt = {"500", "300"}, .ranged = true,
     .scale = 25},                                                            // ms
    {.id = 332, .offset = 3, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranged = true,
     .scale = 0.1, .format = "%2.1f"},                                        // s
    {.id = 901, .offset = 4, .mask = 0x0F, .codec = Codec::Scaled, .dflt = {"10"}, .scale = 10,
     .bias = 10},
    {.id = 907, .offset = 4, .mask = 0xF0, .when = mobile_radio},
    {.id = 907, .offset = 4, .mask = 0x30, .codec = Codec::Choice, .dflt = {"None"},
     .choices = kAlert, .when = portable_radio},
    {.id = 343, .offset = 5, .attribute = 2, .dflt = {"2"}, .ranged = true},
    {.id = 474, .offset = 6, .width = 2, .ranged = true},
    {.id = 902, .offset = 8, .width = 2, .codec = Codec::Signed},
    {.id = 905, .offset = 10, .width = 6, .codec = Codec::Text, .dflt = {""}},
    {.id = 906, .offset = 16, .width = 4, .codec = Codec::Text, .dflt = {""}, .zero_fill = true,
     .trim = false},
    {.id = 103, .offset = 20, .width = 2, .codec = Codec::Bcd, .attribute = 0, .dflt = {"07.20"},
     .format = "01.23", .custom = &kVersionLimit},
    {.id = 330, .offset = 22, .width = 2, .codec = Codec::Custom, .dflt = {"1111"},
     .custom = &kHexDigits},
    {.id = 96, .offset = 24, .codec = Codec::Custom, .attribute = 0, .dflt = {"10.0"},
     .ranged = true, .custom = &kPowerLevel},                                 // W
    {.id = 105, .offset = 25, .width = 4, .codec = Codec::Bcd, .attribute = 0,
     .dflt = {"01-01-2000"}, .format = "45-67-0123"},  // bytes: year (2), month, day
    // byte 29 belongs to no row
    {.id = 904, .offset = 30, .width = 4},
    {.id = 424, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasChars},
};
constexpr size_t kEntrySize = 34;
using Bytes = std::array<uint8_t, kEntrySize>;

static_assert(layout_ok(kRows, kEntrySize));
static_assert(choices_fit(kRows));
static_assert(!layout_ok(kRows, kEntrySize - 1));

// ---- Broken tables -----------------------------------------------------------------------------

constexpr FieldDesc kZeroId[] = {{.id = 0}};
constexpr FieldDesc kZeroMask[] = {{.id = 1, .mask = 0}};
constexpr FieldDesc kMaskOnWord[] = {{.id = 1, .mask = 0x0F, .width = 2}};
constexpr FieldDesc kMaskOnText[] = {{.id = 1, .mask = 0x0F, .codec = Codec::Text}};
constexpr FieldDesc kPastEnd[] = {{.id = 1, .offset = 3, .width = 2}};
constexpr FieldDesc kWideNumber[] = {{.id = 1, .width = 5}};
constexpr FieldDesc kChoiceWithoutTable[] = {{.id = 1, .codec = Codec::Choice}};
constexpr FieldDesc kCustomWithoutCodec[] = {{.id = 1, .codec = Codec::Custom}};
constexpr FieldDesc kIdTwice[] = {{.id = 1, .offset = 0}, {.id = 1, .offset = 1}};
constexpr FieldDesc kIdTwiceOneConditional[] = {{.id = 1, .offset = 0},
                                                {.id = 1, .offset = 1, .when = mobile_radio}};
constexpr FieldDesc kIdTwiceSameCondition[] = {{.id = 1, .offset = 0, .when = mobile_radio},
                                               {.id = 1, .offset = 1, .when = mobile_radio}};
constexpr FieldDesc kSharedBit[] = {{.id = 1, .mask = 0x0C}, {.id = 2, .mask = 0x04}};
constexpr FieldDesc kBitInsideWord[] = {{.id = 1, .width = 2},
                                        {.id = 2, .offset = 1, .mask = 0x01}};
constexpr FieldDesc kScaledFractionAsInteger[] = {{.id = 1, .codec = Codec::Scaled, .scale = 0.1}};
constexpr FieldDesc kScaledText[] = {{.id = 1, .codec = Codec::Scaled, .format = "%s"}};
constexpr FieldDesc kScaledTwoValues[] = {{.id = 1, .codec = Codec::Scaled, .format = "%.1f-%.1f"}};
constexpr FieldDesc kScaledLong[] = {{.id = 1, .codec = Codec::Scaled, .format = "%ld"}};
constexpr FieldDesc kScaledByZero[] = {
    {.id = 1, .codec = Codec::Scaled, .scale = 0, .format = "%f"}};
constexpr FieldDesc kBcdWithoutPattern[] = {{.id = 1, .width = 2, .codec = Codec::Bcd}};
constexpr FieldDesc kBcdNibblePastEnd[] = {{.id = 1, .codec = Codec::Bcd, .format = "0.2"}};
constexpr FieldDesc kChoiceTooWide[] = {
    {.id = 1, .mask = 0x03, .codec = Codec::Choice, .choices = kAlert},
    {.id = 2, .mask = 0x04, .codec = Codec::Choice, .choices = kTxId}};

static_assert(!layout_ok(kZeroId, 4));
static_assert(!layout_ok(kZeroMask, 4));
static_assert(!layout_ok(kMaskOnWord, 4));
static_assert(!layout_ok(kMaskOnText, 4));
static_assert(!layout_ok(kPastEnd, 4));
static_assert(!layout_ok(kWideNumber, 8));
static_assert(!layout_ok(kChoiceWithoutTable, 4));
static_assert(!layout_ok(kCustomWithoutCodec, 4));
static_assert(!layout_ok(kIdTwice, 4));
static_assert(!layout_ok(kIdTwiceOneConditional, 4));
static_assert(!layout_ok(kIdTwiceSameCondition, 4));
static_assert(!layout_ok(kSharedBit, 4));
static_assert(!layout_ok(kBitInsideWord, 4));
static_assert(!layout_ok(kScaledFractionAsInteger, 4));
static_assert(!layout_ok(kScaledText, 4));
static_assert(!layout_ok(kScaledTwoValues, 4));
static_assert(!layout_ok(kScaledLong, 4));
static_assert(!layout_ok(kScaledByZero, 4));
static_assert(!layout_ok(kBcdWithoutPattern, 4));
static_assert(!layout_ok(kBcdNibblePastEnd, 4));
static_assert(layout_ok(kChoiceTooWide, 4) && !choices_fit(kChoiceTooWide));

// What the checks must still allow: alternatives under different conditions sharing bits and
// an ID, a virtual row past the entry, a whole-number Scaled row shown with "%d", a literal %.
constexpr FieldDesc kAllowed[] = {
    {.id = 1, .mask = 0xF0, .when = mobile_radio},
    {.id = 1, .mask = 0x30, .codec = Codec::Choice, .choices = kAlert, .when = portable_radio},
    {.id = 2, .offset = 9, .codec = Codec::Virtual},
    {.id = 3, .offset = 1, .codec = Codec::Scaled, .scale = 25, .bias = 25},
    {.id = 4, .offset = 2, .codec = Codec::Scaled, .scale = 0.5, .format = "%.1f%%"},
};
static_assert(layout_ok(kAllowed, 3) && choices_fit(kAllowed));

// ---- Helpers -----------------------------------------------------------------------------------

BlockBase form(uint8_t mobile, int32_t market_class) {
  BlockBase base;
  base.mobile = mobile;
  base.market_class = market_class;
  return base;
}
const BlockBase kMobile1 = form(1, 1);   // mobile radio, market class 1: 751 and 907 as a number
const BlockBase kPortable0 = form(0, 0);  // portable, market class 0: no 751, 907 as a choice

int32_t error_of(auto&& action) {
  try {
    action();
  } catch (const ErrorCode& e) {
    return e.code;
  }
  return 0;
}

Bytes packed(const FieldList& fields, const BlockBase& base, uint8_t fill = 0) {
  Bytes bytes;
  bytes.fill(fill);
  pack(kRows, fields, base, bytes.data(), bytes.size());
  return bytes;
}

FieldList unpacked(const Bytes& bytes, const BlockBase& base) {
  FieldList fields;
  unpack(kRows, bytes.data(), bytes.size(), base, fields);
  return fields;
}

// Every field of the layout with a value that is not its default (mobile, market class 1).
FieldList golden_fields() {
  FieldList f;
  f.add(55, "1", 1);
  f.add(316, "Post Only", 1);
  f.add(903, "-3", 1);
  f.add(326, "Call Alert w/ Voice", 1);
  f.add(900, "3", 1);
  f.add(751, "1", 1);
  f.add(327, "4500", 1);
  f.add(332, "12.5", 1);
  f.add(901, "160", 1);
  f.add(907, "9", 1);
  f.add(343, "17", 2);
  f.add(474, "4660", 1);
  f.add(902, "-2", 1);
  f.add(905, "AB C", 1);
  f.add(906, "xy", 1);
  f.add(103, "07.20", 0);
  f.add(330, "D1E0", 1);
  f.add(96, "100.0", 0);
  f.add(105, "04-07-2009", 0);
  f.add(904, "305419896", 1);
  f.add(424, "", 1);
  return f;
}

constexpr Bytes kGoldenBytes = {
    0x96,                                // 55 = 1 (0x80), 903 = -3 (0b101 << 2), 316 = 2
    0xB1,                                // 326 = 2 (0x80), 900 = 3 (0x30), 751 = 1
    0xB4,                                // 327: 4500 / 25
    0x7D,                                // 332: 12.5 / 0.1
    0x9F,                                // 907 = 9 (high nibble), 901: 160 / 10 - 1
    0x11,                                // 343
    0x12, 0x34,                          // 474
    0xFF, 0xFE,                          // 902
    0x41, 0x42, 0x20, 0x43, 0x20, 0x20,  // 905, space-filled
    0x78, 0x79, 0x00, 0x00,              // 906, zero-filled
    0x07, 0x20,                          // 103
    0xD1, 0xE0,                          // 330
    0xFA,                                // 96: 250 / 25 = 10, squared
    0x20, 0x09, 0x04, 0x07,              // 105: year, month, day
    0x00,                                // no row
    0x12, 0x34, 0x56, 0x78,              // 904
};

// ---- Golden bytes ------------------------------------------------------------------------------

TEST(FieldLayout, PacksKnownValuesIntoHandComputedBytes) {
  EXPECT_EQ(packed(golden_fields(), kMobile1), kGoldenBytes);
}

TEST(FieldLayout, UnpacksHandWrittenBytesIntoKnownTexts) {
  EXPECT_EQ(unpacked(kGoldenBytes, kMobile1), golden_fields());
}

// One field's bytes changed in an otherwise valid entry, and the text it then shows.
TEST(FieldLayout, ShowsStoredValuesExactly) {
  struct Case {
    int32_t id;
    size_t offset;
    std::vector<uint8_t> bytes;
    const char* text;
  };
  const Case cases[] = {
      {903, 0, {0x0C}, "3"},                     // 0b011
      {903, 0, {0x10}, "-4"},                    // 0b100
      {902, 8, {0x80, 0x00}, "-32768"},
      {902, 8, {0x7F, 0xFF}, "32767"},
      {904, 30, {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
      {474, 6, {0xFF, 0xFF}, "65535"},
      {332, 3, {0xAA}, "17.0"},
      {332, 3, {0x05}, "0.5"},
      {327, 2, {0x00}, "0"},
      {901, 4, {0xF0}, "10"},                    // the high nibble is 907's
      {907, 4, {0xF0}, "15"},
      {905, 10, {'A', ' ', 'B', ' ', ' ', '\t'}, "A B"},
      {905, 10, {'A', 0x00, 'B', 'C', 'D', 'E'}, "A"},
      {906, 16, {'x', ' ', 0x00, 'z'}, "x "},    // not trimmed
      {906, 16, {'w', 'x', 'y', 'z'}, "wxyz"},
      {103, 20, {0x07, 0x99}, "07.99"},
      {105, 25, {0x20, 0x08, 0x12, 0x31}, "12-31-2008"},
      {330, 22, {0xDE, 0xEE}, "DEEE"},
      {96, 24, {79}, "10.0"},
  };
  const Bytes valid = packed(golden_fields(), kMobile1);
  for (const Case& c : cases) {
    Bytes bytes = valid;
    std::memcpy(bytes.data() + c.offset, c.bytes.data(), c.bytes.size());
    EXPECT_EQ(unpacked(bytes, kMobile1).text(c.id), c.text) << "field " << c.id;
  }
}

// Texts that are not in their shown form still pack to the right bytes.
TEST(FieldLayout, PacksTypedTextsExactly) {
  struct Case {
    int32_t id;
    const char* text;
    size_t offset;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {332, "12.50", 3, {0x7D}},
      {332, "0.3", 3, {0x03}},                                  // 2.9999999999999996 raw
      {327, "25.0", 2, {0x01}},
      {901, "160.0000001", 4, {0x9F}},
      {905, "ABCDEFGH", 10, {'A', 'B', 'C', 'D', 'E', 'F'}},   // cut to the field
      {905, "\xC1", 10, {0x41, ' ', ' ', ' ', ' ', ' '}},     // top bit cleared
      {906, "abcdef", 16, {'a', 'b', 'c', 'd'}},
      {105, "12-31-2008", 25, {0x20, 0x08, 0x12, 0x31}},
      {103, "7", 20, {0x70, 0x00}},                           // missing digits read as 0
  };
  for (const Case& c : cases) {
    FieldList fields = golden_fields();
    fields.set_text(c.id, c.text);
    const Bytes bytes = packed(fields, kMobile1);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + c.offset,
                                   bytes.begin() + c.offset + c.bytes.size()),
              c.bytes)
        << "field " << c.id << " = " << c.text;
  }
}

// ---- Round trips, forms and untouched bits -----------------------------------------------------

TEST(FieldLayout, DefaultsSurvivePackAndUnpackInEveryForm) {
  for (const BlockBase& base : {form(1, 0), form(1, 1), form(0, 0), form(0, 2)}) {
    const FieldList fresh = defaults(kRows, base);
    EXPECT_EQ(error_of([&] { check_entry(kRows, fresh, base); }), 0);
    const Bytes first = packed(fresh, base);
    const FieldList back = unpacked(first, base);
    EXPECT_EQ(back, fresh) << "mobile " << int{base.mobile} << " class " << base.market_class;
    EXPECT_EQ(packed(back, base), first);
  }
}

// Packing over an entry of all ones changes exactly the bits that the existing rows own.
TEST(FieldLayout, PackKeepsBitsThatNoRowOwns) {
  struct Case {
    BlockBase base;
    uint8_t byte0, byte1, byte4;  // the bits of the three shared bytes that rows own
  };
  const Case cases[] = {
      {kMobile1, 0x9F, 0xF1, 0xFF},
      {kPortable0, 0x9F, 0xF0, 0x3F},  // no 751; 907 is the two-bit choice
  };
  for (const Case& c : cases) {
    Bytes owned;
    owned.fill(0xFF);
    owned[0] = c.byte0;
    owned[1] = c.byte1;
    owned[4] = c.byte4;
    owned[29] = 0x00;
    const FieldList fields = defaults(kRows, c.base);
    const Bytes onto_zeros = packed(fields, c.base, 0x00);
    const Bytes onto_ones = packed(fields, c.base, 0xFF);
    for (size_t i = 0; i < kEntrySize; ++i)
      EXPECT_EQ(onto_ones[i], (onto_zeros[i] & owned[i]) | (~owned[i] & 0xFF)) << "byte " << i;
  }
}

// Market class 1 has 751 and a mobile radio's 907 is a number; market class 0 has no 751,
// a portable's 907 is a two-bit choice, and its 327 starts from the portable default.
TEST(FieldLayout, TheFormDecidesRowsAndDefaults) {
  const FieldList mobile = defaults(kRows, kMobile1);
  const FieldList portable = defaults(kRows, kPortable0);
  EXPECT_EQ(mobile.text(327), "500");
  EXPECT_EQ(portable.text(327), "300");
  EXPECT_EQ(packed(mobile, kMobile1)[2], 20);
  EXPECT_EQ(packed(portable, kPortable0)[2], 12);
  EXPECT_EQ(portable.text(907), "None");
  EXPECT_EQ(mobile.count(), portable.count() + 1);

  Bytes bytes = packed(mobile, kMobile1);
  bytes[1] |= 0x01;
  bytes[4] = 0x20;
  const FieldList as_mobile = unpacked(bytes, kMobile1);
  const FieldList as_portable = unpacked(bytes, kPortable0);
  EXPECT_EQ(as_mobile.text(751), "1");
  EXPECT_FALSE(as_portable.contains(751));
  EXPECT_EQ(as_mobile.text(907), "2");
  EXPECT_EQ(as_portable.text(907), "Call Alert w/ Voice");
}

// ---- Errors ------------------------------------------------------------------------------------

TEST(FieldLayout, CheckGivesTheExactErrorCode) {
  struct Case {
    int32_t id;
    const char* text;
    int32_t code;
    BlockBase base = kMobile1;
  };
  const Case cases[] = {
      {1234, "0", err::kFieldNotFound},
      {751, "0", err::kFieldNotFound, kPortable0},  // absent in market class 0
      {751, "1", 0},
      // Unsigned, ranged and not: not a number, out of range, too big for the bits
      {55, "1", 0},
      {55, "2", err::kInvalidData},
      {55, "", err::kInvalidData},
      {55, " 1", err::kInvalidData},
      {343, "17", 0},
      {343, "1", err::kInvalidData},
      {343, "18", err::kInvalidData},
      {474, "65535", 0},
      {474, "65536", err::kInvalidData},
      {900, "3", 0},
      {900, "4", err::kInvalidData},
      {904, "4294967295", 0},
      {904, "4294967296", err::kInvalidData},
      // Signed
      {903, "-4", 0},
      {903, "4", err::kInvalidData},
      {903, "-5", err::kInvalidData},
      {902, "-32768", 0},
      {902, "32768", err::kInvalidData},
      {902, "-32769", err::kInvalidData},
      {902, "+1", err::kInvalidData},
      // Scaled: range and step of the shown value, whole raw value, the raw value's bits
      {327, "4500", 0},
      {327, "510", err::kInvalidData},
      {327, "4525", err::kInvalidData},
      {332, "12.5", 0},
      {332, "12.55", err::kInvalidData},
      {332, "17.1", err::kInvalidData},
      {332, "1e1", err::kInvalidData},
      {901, "160", 0},
      {901, "160.0000001", 0},
      {901, "160.001", err::kInvalidData},
      {901, "15", err::kInvalidData},
      {901, "0", err::kInvalidData},
      {901, "170", err::kInvalidData},
      // Choice
      {316, "Pre Only", 0},
      {316, "pre only", err::kChoiceNotFound},
      {326, "Bogus", err::kChoiceNotFound},
      // One ID, two rows: a number on a mobile, a choice on a portable
      {907, "12", 0},
      {907, "Call Alert", err::kInvalidData},
      {907, "Call Alert", 0, kPortable0},
      {907, "12", err::kChoiceNotFound, kPortable0},
      // Text, Bcd and Virtual take any text unless their row adds a check
      {905, "a text much longer than six", 0},
      {105, "whenever", 0},
      {103, "07.99", 0},
      {103, "08.00", err::kVersionNotSupported},
      {424, "Alpha", 0},
      {424, "\x01", err::kInvalidData},
      // Custom
      {330, "D1E0", 0},
      {330, "0000", err::kInvalidData},
      {330, "F111", err::kInvalidData},
      {96, "100.0", 0},
      {96, "0.0", err::kInvalidData},   // its range row
      {96, "10.25", err::kInvalidData},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { check(kRows, FieldValue{c.id, c.text, 1}, c.base); }), c.code)
        << "field " << c.id << " = \"" << c.text << "\"";
  }
}

// A stored value that its row refuses fails the unpack, and the output keeps what it held.
TEST(FieldLayout, UnpackRefusesStoredValuesThatFailTheirCheck) {
  struct Case {
    size_t offset;
    std::vector<uint8_t> bytes;
    int32_t code;
  };
  const Case cases[] = {
      {5, {0x01}, err::kInvalidData},            // 343 below 2
      {2, {181}, err::kInvalidData},             // 327 = 4525
      {3, {171}, err::kInvalidData},             // 332 = 17.1
      {1, {0xC0}, err::kChoiceNotFound},         // 326 code 3
      {20, {0x08}, err::kVersionNotSupported},   // 103 = 08.20
      {22, {0x00, 0x00}, err::kInvalidData},     // 330 = "0000"
      {24, {0x00}, err::kInvalidData},           // 96 = 0.0
  };
  const Bytes valid = packed(golden_fields(), kMobile1);
  for (const Case& c : cases) {
    Bytes bytes = valid;
    std::memcpy(bytes.data() + c.offset, c.bytes.data(), c.bytes.size());
    FieldList out;
    out.add(46, "128", 2);
    EXPECT_EQ(error_of([&] { unpack(kRows, bytes.data(), bytes.size(), kMobile1, out); }), c.code)
        << "byte " << c.offset;
    EXPECT_EQ(out.count(), 1u);
  }
}

TEST(FieldLayout, PackRefusesFieldsItCannotEncodeAndLeavesTheEntry) {
  struct Case {
    int32_t id;
    const char* text;  // nullptr: the field is missing
    int32_t code;
    BlockBase base = kMobile1;
  };
  const Case cases[] = {
      {904, nullptr, err::kFieldNotFound},
      {751, nullptr, err::kFieldNotFound},
      {751, nullptr, 0, kPortable0},  // a row that does not exist needs no field
      {424, nullptr, 0},              // nor does a virtual one
      {316, "Bogus", err::kChoiceNotFound},
      {904, "4294967296", err::kInvalidData},
      {900, "4", err::kInvalidData},
      {901, "15", err::kInvalidData},
      {474, "many", err::kInvalidData},
  };
  for (const Case& c : cases) {
    FieldList fields;
    const FieldList full = golden_fields();
    for (size_t i = 0; i < full.count(); ++i) {
      FieldValue f = full.at(i);
      if (f.id == c.id && c.text == nullptr) continue;
      if (f.id == c.id) f.value = c.text;
      if (f.id == 907 && c.base.mobile == 0) f.value = "None";
      fields.add(f);
    }
    Bytes bytes;
    bytes.fill(0xA5);
    const Bytes before = bytes;
    EXPECT_EQ(error_of([&] { pack(kRows, fields, c.base, bytes.data(), bytes.size()); }), c.code)
        << "field " << c.id;
    if (c.code != 0) {
      EXPECT_EQ(bytes, before) << "field " << c.id;
    }
  }
}

TEST(FieldLayout, ShortEntryGivesThirteenWithoutTouchingIt) {
  const FieldList fields = golden_fields();
  Bytes bytes = kGoldenBytes;
  for (size_t size : {size_t{0}, size_t{1}, kEntrySize - 1}) {
    FieldList out;
    EXPECT_EQ(error_of([&] { unpack(kRows, bytes.data(), size, kMobile1, out); }),
              err::kShortImage);
    EXPECT_EQ(out.count(), 0u);
    // The entry is given as exactly `size` bytes, so ASan sees any access past them.
    std::vector<uint8_t> entry(bytes.begin(), bytes.begin() + size);
    EXPECT_EQ(error_of([&] { pack(kRows, fields, kMobile1, entry.data(), entry.size()); }),
              err::kShortImage);
    EXPECT_TRUE(std::equal(entry.begin(), entry.end(), bytes.begin()));
  }
  FieldList out;
  EXPECT_EQ(error_of([&] { unpack(kRows, nullptr, 0, kMobile1, out); }), err::kShortImage);
}

TEST(FieldLayout, CheckEntryWantsEveryExistingRowAndNothingElse) {
  struct Case {
    const char* what;
    int32_t drop;    // field taken out, or 0
    int32_t extra;   // field added, or 0
    int32_t code;
    BlockBase base = kMobile1;
  };
  const Case cases[] = {
      {"complete", 0, 0, 0},
      {"missing stored field", 904, 0, err::kFieldNotFound},
      {"missing virtual field", 424, 0, err::kFieldNotFound},
      {"missing conditional field", 751, 0, err::kFieldNotFound},
      {"foreign field", 0, 1234, err::kFieldNotFound},
      {"field of an absent row", 0, 751, err::kFieldNotFound, kPortable0},
  };
  for (const Case& c : cases) {
    const FieldList fresh = defaults(kRows, c.base);
    FieldList entry;
    for (size_t i = 0; i < fresh.count(); ++i)
      if (fresh.at(i).id != c.drop) entry.add(fresh.at(i));
    if (c.extra != 0) entry.add(c.extra, "0", 1);
    EXPECT_EQ(error_of([&] { check_entry(kRows, entry, c.base); }), c.code) << c.what;
  }
  FieldList bad = defaults(kRows, kMobile1);
  bad.set_text(343, "99");
  EXPECT_EQ(error_of([&] { check_entry(kRows, bad, kMobile1); }), err::kInvalidData);
}

TEST(FieldLayout, RawValuesConvertOnlyWhereTheRowHasThem) {
  const FieldDesc& signed3 = *find(kRows, 903, kMobile1);
  const FieldDesc& scaled = *find(kRows, 901, kMobile1);
  const FieldDesc& version = *find(kRows, 103, kMobile1);
  const FieldDesc& text = *find(kRows, 905, kMobile1);
  EXPECT_EQ(text_of(signed3, 7), "-1");
  EXPECT_EQ(raw_of(signed3, "-1"), 7u);
  EXPECT_EQ(text_of(scaled, 0), "10");
  EXPECT_EQ(raw_of(scaled, "20"), 1u);
  EXPECT_EQ(text_of(version, 0x0102), "01.02");
  EXPECT_EQ(raw_of(version, "01.02"), 0x0102u);
  EXPECT_EQ(error_of([&] { text_of(signed3, 8); }), err::kInvalidData);  // beyond three bits
  EXPECT_EQ(error_of([&] { raw_of(scaled, "25"); }), err::kInvalidData);
  // A choice code that the bits cannot hold is refused even where choices_fit was not asserted.
  EXPECT_EQ(raw_of(kChoiceTooWide[1], "Pre Only"), 1u);
  EXPECT_EQ(error_of([&] { raw_of(kChoiceTooWide[1], "Pre and Post"); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { text_of(text, 0); }), err::kUnexpected);
  EXPECT_EQ(error_of([&] { raw_of(text, "A"); }), err::kUnexpected);
}

}  // namespace
}  // namespace cps::layout
