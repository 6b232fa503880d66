#include "gen2/blocks/radio_info.h"

#include "gen2/values/range_table.h"
#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cps::gen2 {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

// 2049: ten bytes shown as twenty upper-case hexadecimal digits. Packing reads the digits in
// pairs; a character that is not a hexadecimal digit, or a digit missing at the end, counts as 0.
std::string hex_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  std::string text;
  for (size_t i = 0; i < row.width; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", entry[row.offset + i]);
    text += pair;
  }
  return text;
}

void hex_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  auto digit = [&](size_t at) { return at < text.size() ? hex_digit_value(text[at]) : 0u; };
  for (size_t i = 0; i < row.width; ++i)
    entry[row.offset + i] = static_cast<uint8_t>(digit(2 * i) << 4 | digit(2 * i + 1));
}

constexpr CustomCodec kHexDigits{&hex_decode, &hex_encode, nullptr};

// 2054 and 2055: ASCII digits in the radio's order (year, month, day / hour, minute), shown in
// the host's ("month-day-year", "hour:minute"). `place[k]` is the entry byte of text position k;
// a position whose place is -1 is the separator. A first stored byte of 0 means no stamp: the
// text is empty, and an empty text packs as zero bytes.
struct StampShape {
  int8_t place[10];
  size_t length;
  char separator;
  size_t first;  // the entry byte that says whether a stamp is stored
};
// Month 33-34, day 35-36, year 29-32.
constexpr StampShape kDate{{33, 34, -1, 35, 36, -1, 29, 30, 31, 32}, 10, '-', 29};
// Hour 37-38, minute 39-40.
constexpr StampShape kTime{{37, 38, -1, 39, 40}, 5, ':', 37};

template <const StampShape& kShape>
std::string stamp_decode(const uint8_t* entry, const FieldDesc&, const BlockBase&) {
  if (entry[kShape.first] == 0) return {};
  std::string text;
  for (size_t k = 0; k < kShape.length; ++k)
    text += kShape.place[k] < 0 ? kShape.separator : static_cast<char>(entry[kShape.place[k]]);
  return text;
}

template <const StampShape& kShape>
void stamp_encode(std::string_view text, uint8_t* entry, const FieldDesc&, const BlockBase&) {
  for (size_t k = 0; k < kShape.length; ++k)
    if (kShape.place[k] >= 0) entry[kShape.place[k]] = k < text.size() ? static_cast<uint8_t>(text[k]) : 0;
}

constexpr CustomCodec kDateCodec{&stamp_decode<kDate>, &stamp_encode<kDate>, nullptr};
constexpr CustomCodec kTimeCodec{&stamp_decode<kTime>, &stamp_encode<kTime>, nullptr};

// 2068 and 2069: a byte b shown as (b / 25.9) squared with one decimal; a value v packs as the
// whole part of (sqrt(v) x 25.9 + 0.5), so 14.9 is 100 again. 107 for a value that is not a
// number, is negative or packs above 255.
constexpr double kLevelDivisor = 25.9;

uint8_t level_byte(std::string_view text) {
  const double value = parse_number(text);
  if (!(value >= 0)) raise(err::kInvalidData);
  const int64_t b = whole_part(std::sqrt(value) * kLevelDivisor + 0.5);
  if (b > 0xFF) raise(err::kInvalidData);
  return static_cast<uint8_t>(b);
}

std::string level_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const double ratio = entry[row.offset] / kLevelDivisor;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ratio * ratio);
  return text;
}

void level_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  entry[row.offset] = level_byte(text);
}

void level_check(std::string_view text, const FieldDesc&, const BlockBase&) { (void)level_byte(text); }

constexpr CustomCodec kLevel{&level_decode, &level_encode, &level_check};

constexpr Choice kSources[] = {
    {0, "Lab"},  {1, "Factory"},  {2, "Zell"}, {3, "Zell with system key"}, {4, "Zell with no authorization"},
    {5, "Benchrig"}, {6, "Zell with Pindar key"}, {7, "Radio cloning"}, {255, "Upgrade Tool"}, kChoiceEnd,
};
constexpr Choice kSixNumbers[] = {
    {400, "400"}, {1260, "1260"}, {2060, "2060"}, {5400, "5400"}, {7500, "7500"}, {16020, "16020"}, kChoiceEnd,
};
constexpr Choice kRegions[] = {
    {0, "Super Kelvo"}, {1, "North America"}, {2, "Latin America"}, {3, "EMEA"}, {4, "Asia"},
    {255, "Zell Unprogrammable"}, kChoiceEnd,
};

constexpr size_t kEntryBytes = 67;

// Only 2051, 2052 and 2058 have range rows; 2053, 2056 and 2059 are held to their tables; the
// other numbers need only fit their bits, and texts are taken as they come.
constexpr FieldDesc kRows[] = {
    {.id = 2049, .offset = 0, .width = 10, .codec = Codec::Custom, .custom = &kHexDigits, .name = "serial_number"},
    {.id = 2050, .offset = 10, .width = 16, .codec = Codec::Text, .zero_fill = true, .trim = false,
     .name = "model_number"},
    {.id = 2051, .offset = 26, .ranges = &kRanges, .name = "codeplug_major"},
    {.id = 2052, .offset = 27, .ranges = &kRanges, .name = "codeplug_minor"},
    {.id = 2053, .offset = 28, .codec = Codec::Choice, .choices = kSources, .name = "programming_source"},
    {.id = 2054, .offset = 29, .width = 8, .codec = Codec::Custom, .custom = &kDateCodec, .name = "programming_date"},
    {.id = 2055, .offset = 37, .width = 4, .codec = Codec::Custom, .custom = &kTimeCodec, .name = "programming_time"},
    {.id = 2056, .offset = 41, .width = 2, .codec = Codec::Choice, .choices = kSixNumbers},
    {.id = 2057, .offset = 43, .width = 10, .codec = Codec::Text, .zero_fill = true, .trim = false},
    {.id = 2058, .offset = 53, .width = 2, .ranges = &kRanges, .name = "kept_on_write"},
    {.id = 2059, .offset = 55, .codec = Codec::Choice, .choices = kRegions, .name = "region"},
    {.id = 2060, .offset = 56, .width = 2},
    {.id = 2061, .offset = 58, .width = 2},
    {.id = 2062, .offset = 60},
    {.id = 2063, .offset = 61, .mask = 0x03},
    {.id = 2065, .offset = 61, .mask = 0xF0},
    {.id = 2066, .offset = 62, .width = 2},
    {.id = 2067, .offset = 64},
    {.id = 2068, .offset = 65, .codec = Codec::Custom, .custom = &kLevel, .name = "level_1"},
    {.id = 2069, .offset = 66, .codec = Codec::Custom, .custom = &kLevel, .name = "level_2"},
    {.id = 2070, .codec = Codec::Virtual, .attribute = 0, .dflt = {""}, .name = "software_version"},
};
static_assert(layout::layout_ok(kRows, kEntryBytes));
static_assert(layout::choices_fit(kRows));

constexpr ListShape kShape{.rows = kRows, .min_count = 1, .max_count = 1, .record_size = kEntryBytes};

std::tm from_clock(RadioInfo::Clock clock) { return clock != nullptr ? clock() : local_now(); }

// "%2d" with its blanks turned into zeros.
std::string two_digits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%2d", value);
  std::string out = text;
  std::replace(out.begin(), out.end(), ' ', '0');
  return out;
}

}  // namespace

RadioInfo::RadioInfo() : FramedList(kShape), clock_(&local_now) {}

void RadioInfo::unpack(const uint8_t* bytes, size_t length) {
  BlockRecord scratch;
  if (unpack_framing(bytes, length, scratch).count != 1) raise(err::kInvalidData);
  FramedList::unpack(bytes, length);
}

std::vector<uint8_t> RadioInfo::pack() {
  if (record_.entry_count() > 0) stamp(from_clock(clock_));
  return FramedList::pack();
}

void RadioInfo::stamp(const std::tm& when) {
  char year[16];
  std::snprintf(year, sizeof year, "%4d", when.tm_year + 1900);
  std::string date = two_digits(when.tm_mon + 1) + "-" + two_digits(when.tm_mday) + "-" + year;
  std::replace(date.begin(), date.end(), ' ', '0');
  FieldList& entry = record_.entry(0);
  entry.set_text(kProgrammingDate, std::move(date));
  entry.set_text(kProgrammingTime, two_digits(when.tm_hour) + ":" + two_digits(when.tm_min));
}

std::string RadioInfo::model_number() const {
  if (record_.entry_count() == 0 || !record_.entry(0).contains(kModelNumber)) return {};
  std::string model = record_.entry(0).text(kModelNumber);
  model.erase(model.find_last_not_of(' ') + 1);
  return model;
}

}  // namespace cps::gen2
