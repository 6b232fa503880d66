// Frequencies as step counts above the band base, and squelch code words by their type.
#include "gen1/values/frequency.h"

#include "support/error_code.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace cps {
namespace {

using test::error_of;

RadioFacts band(const char* base, const char* lower, const char* upper) {
  RadioFacts radio;
  radio.band_base = base;
  radio.band_lower = lower;
  radio.band_upper = upper;
  return radio;
}

const RadioFacts kVhf = band("136.000000", "136.000000", "174.000000");
const RadioFacts k150 = band("150.000000", "150.000000", "174.000000");
const RadioFacts kWide = band("150.000000", "149.000000", "500.000000");  // lower limit below the base

TEST(Frequency, ShownAsStepsAboveTheBase) {
  EXPECT_EQ(frequency_text(1, 3, 0, kVhf), "136.009375");
  // The list's unprogrammed count shows the band's lower limit, whatever the step.
  const RadioFacts raised = band("136.000000", "138.000000", "174.000000");
  EXPECT_EQ(frequency_text(2, 65535, 65535, raised), "138.000000");
  EXPECT_EQ(error_of([&] { frequency_text(3, 0xFFFF, 0, kVhf); }), err::kInvalidData);  // above 174
  EXPECT_EQ(error_of([&] { frequency_text(0, 1, 0, raised); }), err::kInvalidData);      // below 138
}

// The direct text of base + count x step against snprintf's "%.6f", for every step and count on
// the band bases, and on bases that are no whole hertz (which take snprintf itself).
// The band's numbers follow its texts: a text given again is read again, and one that is no
// number fails every check that needs it, with the error of reading it.
TEST(Frequency, BandNumbersFollowTheirTexts) {
  RadioFacts radio = kVhf;
  EXPECT_EQ(error_of([&] { check_frequency("140.000000", radio); }), 0);
  radio.band_lower = "141.000000";
  EXPECT_EQ(error_of([&] { check_frequency("140.000000", radio); }), err::kInvalidData);
  RadioFacts copy = radio;
  copy.band_lower = std::string("139.000000");
  EXPECT_EQ(error_of([&] { check_frequency("140.000000", copy); }), 0);
  EXPECT_EQ(error_of([&] { check_frequency("140.000000", radio); }), err::kInvalidData);
  radio.band_upper = "no number";
  for (int k = 0; k < 2; ++k)
    EXPECT_EQ(error_of([&] { check_frequency("150.000000", radio); }), err::kInvalidData) << k;
  EXPECT_EQ(error_of([&] { store_frequency("150.000000", copy); }), 0);
}

TEST(Frequency, TextMatchesPrintf) {
  char want[64];
  for (double base : {0.0, 136.0, 403.0, 806.0125, 136.0000004, 1e10})
    for (double step : {6.25, 5.0, 3.125, 2.5, 2.0})
      for (uint32_t count = 0; count <= 0xFFFF; count += count < 300 ? 1 : 97) {
        std::snprintf(want, sizeof want, "%.6f", base + count * step / 1000.0);
        ASSERT_EQ(channel_frequency_text(base, step, count), want) << base << " " << step << " " << count;
      }
}

TEST(Frequency, PackedWithTheLargestExactStep) {
  struct Case { const RadioFacts& radio; const char* text; uint32_t code, count; int error; };
  const Case cases[] = {
      {kVhf, "148.5125", 3, 2002, 0},
      {k150, "150.003125", 1, 1, 0},
      {k150, "150.0025", 0, 1, 0},  // the quotient's rounding error is cut by the "%f" truncation
      {k150, "150.001", 0, 0, err::kFrequency},
      {kWide, "149.99375", 0, 0, err::kFrequency},  // below the base
      {kWide, "314.0025", 0, 0, err::kFrequency},   // more 2.5 kHz steps than 16 bits count
      {kVhf, "180", 0, 0, err::kInvalidData},       // outside the band
  };
  for (const Case& c : cases) {
    StoredFrequency stored;
    EXPECT_EQ(error_of([&] { stored = store_frequency(c.text, c.radio); }), c.error) << c.text;
    if (c.error == 0) {
      EXPECT_EQ(std::pair(stored.step_code, stored.count), std::pair(c.code, c.count)) << c.text;
    }
  }
  // A base that is not a whole number of MHz: every frequency packs to what unpacking shows.
  const RadioFacts fractional = band("136.025000", "136.025000", "174.000000");
  for (uint32_t code = 0; code < 4; ++code) {
    const std::string text = frequency_text(code, 777, 0, fractional);
    const StoredFrequency stored = store_frequency(text, fractional);
    EXPECT_EQ(frequency_text(stored.step_code, stored.count, 0, fractional), text);
  }
}

TEST(Frequency, BandCheckIncludesBothLimits) {
  for (auto [text, error] : {std::pair("136.000000", 0), {"174", 0}, {"174.00001", err::kInvalidData}, {"135.9999", err::kInvalidData}})
    EXPECT_EQ(error_of([&] { check_frequency(text, kVhf); }), error) << text;
}

TEST(SquelchCode, WordsByType) {
  struct Case { const char* type; uint32_t word; const char* text; };
  const Case shown[] = {
      {"CSQ", 1234, "0"}, {"TXQ", 1318, "131.8"}, {"TXQ", 670, "67.0"}, {"DXQ", 2048, "000"},
      {"DXQ", 2131, "123"}, {"DXQ", 2559, "777"},
  };
  for (const Case& c : shown) {
    EXPECT_EQ(squelch_text(c.type, c.word, 457, 458), c.text) << c.type << c.word;
    if (std::string(c.type) != "CSQ") {
      EXPECT_EQ(squelch_word(c.type, c.text), c.word) << c.text;
    }
  }
  EXPECT_EQ(squelch_word("CSQ", "0"), 0u);
  // A tone is the word's tenths of a hertz as "%.1f" prints them.
  for (uint32_t word = 670; word <= 2550; ++word) {
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", word / 10.0);
    ASSERT_EQ(squelch_text("TXQ", word, 457, 458), printed) << word;
  }
  // Stored words outside their rows fail on reading.
  for (const Case& c : {Case{"TXQ", 669, ""}, Case{"TXQ", 2551, ""}, Case{"DXQ", 2047, ""}, Case{"DXQ", 2560, ""}})
    EXPECT_EQ(error_of([&] { squelch_text(c.type, c.word, 459, 460); }), err::kInvalidData) << c.word;
  EXPECT_EQ(error_of([] { squelch_text("XQ", 0, 457, 458); }), err::kChoiceNotFound);
}

TEST(SquelchCode, ChecksByType) {
  struct Case { const char* type; const char* text; int error; };
  const Case cases[] = {
      {"CSQ", "anything", 0}, {"TXQ", "66.9", err::kInvalidData}, {"TXQ", "100.05", err::kInvalidData},
      {"DXQ", "777", 0}, {"DXQ", "128", err::kInvalidData}, {"DXQ", "1000", err::kInvalidData},
  };
  for (const Case& c : cases) EXPECT_EQ(error_of([&] { check_squelch(c.type, c.text, 457, 458); }), c.error) << c.text;
  // A code that does not suit its type is refused on packing too.
  EXPECT_EQ(error_of([] { squelch_word("DXQ", "8"); }), err::kInvalidData);
}

}  // namespace
}  // namespace cps
