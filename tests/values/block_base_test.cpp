#include "values/block_base.h"

#include "interface/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace cps {
namespace {

template <class F>
int32_t error_of(F&& f) {
  try {
    f();
  } catch (const ErrorCode& e) {
    return e.code;
  }
  return 0;
}

TEST(BitFields, LowestGetAndSet) {
  EXPECT_EQ(lowest_bit(0x00), 8);
  EXPECT_EQ(lowest_bit(0x01), 0);
  EXPECT_EQ(lowest_bit(0x0C), 2);
  EXPECT_EQ(lowest_bit(0x80), 7);

  EXPECT_EQ(get_bits(0x0C, 0b10110110), 1);
  EXPECT_EQ(get_bits(0xF0, 0xA5), 0x0A);
  EXPECT_EQ(get_bits(0x00, 0xFF), 0);

  struct Case { uint8_t mask; uint32_t value; uint8_t before, after; };
  for (const Case& c : std::vector<Case>{
           {0xC0, 5, 0xFF, 0x7F},     // 5 cut to its low two bits
           {0x0F, 0x1A, 0x00, 0x0A},
           {0x30, 2, 0xFF, 0xEF},
           {0x80, 1, 0x00, 0x80},
           {0x00, 7, 0x5A, 0x5A},
       }) {
    uint8_t byte = c.before;
    set_bits(c.mask, c.value, byte);
    EXPECT_EQ(byte, c.after) << int(c.mask) << " " << c.value;
  }
}

TEST(Checksum, SumsToTheConstantAndVerifies) {
  const uint8_t bytes[] = {0x5A, 0x5B, 0xFF, 0xFF};
  EXPECT_EQ(checksum(bytes, 0), 0x5A);
  EXPECT_EQ(checksum(bytes, 1), 0x00);
  EXPECT_EQ(checksum(bytes + 1, 1), 0xFF);
  EXPECT_EQ(checksum(bytes + 2, 2), 0x5C);  // 0x1FE wraps to 0xFE
  EXPECT_EQ(error_of([&] { verify_checksum(bytes + 2, 2, 0x15C); }), 0);  // low byte only
  EXPECT_EQ(error_of([&] { verify_checksum(bytes + 2, 2, 0x5D); }), err::kChecksum);
}

constexpr Choice kTable[] = {
    {0, "Off"}, {1, "On"}, {0, "Disabled"}, {0xFF, "Always"}, {2, "On"}, kChoiceEnd,
};

TEST(ChoiceTables, FirstMatchBothWays) {
  EXPECT_STREQ(label_of(0, kTable), "Off");
  EXPECT_STREQ(label_of(2, kTable), "On");
  EXPECT_STREQ(label_of(0xFF, kTable), "Always");  // 0xFF with a label is an ordinary row
  EXPECT_EQ(code_of("Disabled", kTable), 0u);
  EXPECT_EQ(code_of("On", kTable), 1u);
  EXPECT_EQ(code_of("Always", kTable), 0xFFu);
  EXPECT_TRUE(has_label("Disabled", kTable));
  for (const char* label : {"on", "OFF", "Of", "Offx", ""}) {
    EXPECT_EQ(error_of([&] { code_of(label, kTable); }), err::kChoiceNotFound) << label;
    EXPECT_FALSE(has_label(label, kTable));
  }
  EXPECT_EQ(error_of([] { label_of(3, kTable); }), err::kChoiceNotFound);
}

TEST(Conversions, BigEndian) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(read_be(bytes, 2), 0x1234u);
  EXPECT_EQ(read_be(bytes, 3), 0x123456u);
  EXPECT_EQ(read_be(bytes, 4), 0x12345678u);
  EXPECT_EQ(read_be(bytes, 0), 0u);

  std::vector<uint8_t> out(5, 0xEE);
  write_be(0x12345678, out.data(), 2);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x56, 0x78, 0xEE, 0xEE, 0xEE}));
  write_be(0x12345678, out.data(), 5);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0x12, 0x34, 0x56, 0x78}));
}

TEST(Conversions, OctalBcdAndHexDigits) {
  struct Octal { uint32_t value, digits; };
  for (const Octal& c : std::vector<Octal>{{83, 123}, {0, 0}, {7, 7}, {8, 10}, {511, 777}}) {
    EXPECT_EQ(to_octal_digits(c.value), c.digits);
    EXPECT_EQ(from_octal_digits(c.digits), c.value);
  }
  EXPECT_EQ(to_bcd(1234), 0x1234u);
  EXPECT_EQ(to_bcd(0), 0u);
  EXPECT_EQ(to_bcd(99999999), 0x99999999u);
  EXPECT_EQ(text_to_bcd("0042"), 0x42u);
  for (const char* bad : {"", "4x", "-1", "100000000"})
    EXPECT_EQ(error_of([&] { text_to_bcd(bad); }), err::kInvalidData) << bad;

  const std::string digits = "0123456789ABCDEF";
  for (uint32_t v = 0; v < 16; ++v) {
    EXPECT_EQ(hex_digit(v), digits[v]);
    EXPECT_EQ(hex_digit_value(digits[v]), v);
  }
  EXPECT_EQ(hex_digit(16), '0');
  EXPECT_EQ(hex_digit_value('f'), 15u);
  for (char c : {'G', 'g', ' ', '-', '\xC1'}) EXPECT_EQ(hex_digit_value(c), 0u) << c;
}

TEST(Conversions, WholePartIsThePercentFTruncation) {
  struct Case { double value; int64_t whole; };
  for (const Case& c : std::vector<Case>{
           {0.9999999, 1}, {2.4999999, 2}, {2.5, 2}, {0.0000004, 0}, {0.99999999999909, 1},
           {0.025 * 10000, 250}, {-1.5, -1}, {-0.5, 0}, {655350000.0, 655350000},
           {1e30, std::numeric_limits<int64_t>::max()},
           {-1e30, std::numeric_limits<int64_t>::min()},
           {std::numeric_limits<double>::max(), std::numeric_limits<int64_t>::max()},
           {INFINITY, 0}, {NAN, 0},
       }) {
    EXPECT_EQ(whole_part(c.value), c.whole) << c.value;
  }
}

TEST(Conversions, FixedLengthText) {
  using namespace std::string_literals;
  EXPECT_EQ(text_to_fixed_bytes("AB", 4, false), "AB  ");
  EXPECT_EQ(text_to_fixed_bytes("AB", 4, true), "AB\0\0"s);
  EXPECT_EQ(text_to_fixed_bytes("ABCDEF", 4, true), "ABCD");
  EXPECT_EQ(text_to_fixed_bytes("\xC1" "B", 3, true), "AB\0"s);  // top bit cleared
  EXPECT_EQ(text_to_fixed_bytes("AB", 0, false), "");

  const uint8_t bytes[] = {'A', ' ', '\t', 0x00, 'C', 0xC1};
  EXPECT_EQ(fixed_bytes_to_text(bytes, 6, false), "A \t");
  EXPECT_EQ(fixed_bytes_to_text(bytes, 6, true), "A");
  EXPECT_EQ(fixed_bytes_to_text(bytes, 2, false), "A ");
  EXPECT_EQ(fixed_bytes_to_text(bytes + 1, 2, true), "");
  EXPECT_EQ(fixed_bytes_to_text(bytes + 4, 2, false), "C\xC1");  // high bytes kept
}

TEST(Conversions, DiallingText) {
  EXPECT_TRUE(is_dialling_text("0123456789ABCD*#,"));
  EXPECT_TRUE(is_dialling_text(""));
  for (const char* bad : {"E", "a", "1 2", "P", "-"}) EXPECT_FALSE(is_dialling_text(bad)) << bad;
}

TEST(Conversions, DecimalTexts) {
  EXPECT_EQ(decimal_text(0), "0");
  EXPECT_EQ(decimal_text(-12), "-12");
  EXPECT_EQ(decimal_text(std::numeric_limits<int64_t>::min()), "-9223372036854775808");

  EXPECT_EQ(parse_decimal("0"), 0);
  EXPECT_EQ(parse_decimal("-12"), -12);
  EXPECT_EQ(parse_decimal("007"), 7);
  EXPECT_EQ(parse_decimal("9223372036854775807"), std::numeric_limits<int64_t>::max());
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "1.0", "12a", "0x10", "--1",
                          "9223372036854775808"})
    EXPECT_EQ(error_of([&] { parse_decimal(bad); }), err::kInvalidData) << bad;

  struct Number { const char* text; double value; };
  for (const Number& c : std::vector<Number>{
           {"12.5", 12.5}, {"-0.25", -0.25}, {"148.512500", 148.5125}, {"7", 7}, {".5", 0.5},
           {"5.", 5}, {"007.50", 7.5}}) {
    EXPECT_EQ(parse_number(c.text), c.value) << c.text;
  }
  for (const char* bad : {"", ".", "-", "-.", "1e3", "inf", "nan", "1,5", "1.2.3", " 1", "+1",
                          "0x10", "1-"})
    EXPECT_EQ(error_of([&] { parse_number(bad); }), err::kInvalidData) << bad;
}

}  // namespace
}  // namespace cps
