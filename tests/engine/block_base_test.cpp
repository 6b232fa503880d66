#include "engine/block_base.h"

#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace cps {
namespace {

using test::error_of;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(ChoiceTables, FirstMatchBothWays) {  // 0xFF with a label is an ordinary code
  constexpr Choice kTable[] = {
      {0, "Off"}, {1, "On"}, {0, "Disabled"}, {0xFF, "Always"}, {2, "On"}, kChoiceEnd};
  EXPECT_STREQ(label_of(0, kTable), "Off");
  EXPECT_EQ(code_of("On", kTable), 1u);
  EXPECT_TRUE(has_label("Always", kTable));
  // Only the whole label: not a prefix of one, nor one with more after it, nor one with a zero
  // byte standing in for its end.
  using namespace std::string_view_literals;
  for (std::string_view label : {"on"sv, "Offx"sv, "Of"sv, ""sv, "On\0"sv, "Off\0x"sv, "\0"sv}) {
    EXPECT_EQ(error_of([&] { code_of(label, kTable); }), err::kChoiceNotFound) << label;
    EXPECT_FALSE(has_label(label, kTable)) << label;
  }
  EXPECT_EQ(error_of([&] { label_of(3, kTable); }), err::kChoiceNotFound);
}

TEST(Conversions, OctalBcdAndHexDigits) {
  struct Octal { uint32_t value, digits; };
  for (const Octal& c : {Octal{83, 123}, Octal{511, 777}}) {
    EXPECT_EQ(to_octal_digits(c.value), c.digits);
    EXPECT_EQ(from_octal_digits(c.digits), c.value);
  }
  EXPECT_EQ(to_bcd(99999999), 0x99999999u);
  EXPECT_EQ(text_to_bcd("0042"), 0x42u);
  for (const char* bad : {"", "4x", "100000000"})
    EXPECT_EQ(error_of([&] { text_to_bcd(bad); }), err::kInvalidData) << bad;
  std::string shown;
  for (uint32_t v = 0; v <= 16; ++v) shown += hex_digit(v);
  EXPECT_EQ(shown, "0123456789ABCDEF0");
  for (uint32_t v = 0; v < 16; ++v) EXPECT_EQ(hex_digit_value(shown[v]), v);
  EXPECT_EQ(hex_digit_value('f') + hex_digit_value('G'), 15u);
}

TEST(Conversions, FixedLengthTextAndDiallingText) {
  using namespace std::string_literals;
  EXPECT_EQ(text_to_fixed_bytes("ABCDEF", 4, false), "ABCD");
  EXPECT_EQ(text_to_fixed_bytes("\xC1" "B", 3, true), "AB\0"s);  // top bit cleared
  const uint8_t bytes[] = {'A', ' ', '\t', 0x00, 'C', 0xC1};
  EXPECT_EQ(fixed_bytes_to_text(bytes, 6, false), "A \t");
  EXPECT_EQ(fixed_bytes_to_text(bytes, 6, true), "A");
  EXPECT_EQ(fixed_bytes_to_text(bytes + 4, 2, false), "C\xC1");  // high bytes kept
  EXPECT_TRUE(is_dialling_text("0123456789ABCD*#,"));
  for (const char* bad : {"E", "1 2"}) EXPECT_FALSE(is_dialling_text(bad)) << bad;
}

TEST(Conversions, NumberTexts) {
  struct Whole { double value; int64_t whole; };  // the "%f" truncation
  for (const Whole& c : {Whole{0.9999999, 1}, Whole{0.025 * 10000, 250}, Whole{-1.5, -1},
                         Whole{1e30, kMax}, Whole{-1e30, kMin}, Whole{NAN, 0}})
    EXPECT_EQ(whole_part(c.value), c.whole) << c.value;
  // decimal_text gives exactly what "%lld" prints.
  for (int64_t value : {int64_t{0}, int64_t{-10}, int64_t{4294967296LL}, kMax, kMin, kMin + 1}) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%lld", static_cast<long long>(value));
    EXPECT_EQ(decimal_text(value), printed) << value;
  }
  EXPECT_EQ(parse_decimal("-007"), -7);
  EXPECT_EQ(parse_decimal("9223372036854775807"), kMax);
  for (const char* bad : {"", "+1", " 1", "1.0", "9223372036854775808"})
    EXPECT_EQ(error_of([&] { parse_decimal(bad); }), err::kInvalidData) << bad;
  struct Number { const char* text; double value; };
  for (const Number& c : {Number{"-0.25", -0.25}, Number{"148.512500", 148.5125},
                          Number{".5", 0.5}, Number{"5.", 5}})
    EXPECT_EQ(parse_number(c.text), c.value) << c.text;
  for (const char* bad : {".", "1e3", "inf", "1,5", "1.2.3"})
    EXPECT_EQ(error_of([&] { parse_number(bad); }), err::kInvalidData) << bad;
}

// Numbers are read by a quick exact path where their digits allow one: every text gives the
// very double from_chars gives, short and long, with and without a point, sign or zeros.
TEST(Conversions, NumbersReadAsFromCharsReadsThem) {
  std::mt19937 random(7);
  const auto compare = [](const std::string& text) {
    double expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected, std::chars_format::fixed);
    const double read = parse_number(text);
    EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << text;
  };
  for (const char* text : {"0", "-0", "-0.0", "0.1", "148.512500", "9007199254740992", "9007199254740993",
                           "900719925474099.3", "0.0000000000000000000001", "1.00000000000000000000000",
                           "123456789012345678901234567890", "0.30000000000000004", "174.000000"})
    compare(text);
  for (int n = 0; n < 200000; ++n) {
    std::string text = random() % 4 == 0 ? "-" : "";
    const size_t length = 1 + random() % 24;
    const size_t point = random() % (length + 2);  // past the end: no point
    for (size_t k = 0; k < length; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10));
    }
    compare(text);
  }
}

}  // namespace
}  // namespace cps
