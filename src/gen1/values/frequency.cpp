#include "gen1/values/frequency.h"

#include "platform/errors.h"
#include "gen1/values/range_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace cps {

namespace {

// The steps tried on packing, largest first: the step codes' labels in whole hertz, taken from
// the table once.
struct Step {
  int64_t hz;
  uint32_t code;
};

const std::vector<Step>& packing_steps() {
  static const std::vector<Step> steps = [] {
    std::vector<Step> all;
    for (const Choice* step = kStepCodes; step->label != nullptr; ++step)
      all.push_back({std::llround(parse_number(step->label) * 1000.0), step->code});
    std::sort(all.begin(), all.end(), [](const Step& a, const Step& b) { return a.hz > b.hz; });
    return all;
  }();
  return steps;
}

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// A frequency in MHz as whole hertz, cut by the "%f" truncation.
int64_t hertz(double mhz) { return whole_part(mhz * 1000000.0); }

}  // namespace

std::string spacing_decode(const uint8_t* e, const layout::FieldDesc& row, const BlockBase& b) {
  return radio_of(b).fixed_spacing ? kFixedSpacing : label_of(get_bits(row.mask, e[row.offset]), kSpacings);
}
void spacing_encode(std::string_view text, uint8_t* e, const layout::FieldDesc& row, const BlockBase& b) {
  set_bits(row.mask, code_of(radio_of(b).fixed_spacing ? kFixedSpacing : text, kSpacings), e[row.offset]);
}
void spacing_check(std::string_view text, const layout::FieldDesc&, const BlockBase&) { code_of(text, kSpacings); }

// ---- Frequencies ------------------------------------------------------------------------------

std::string channel_frequency_text(double base_mhz, double step_khz, uint32_t count) {
  // With the base and the step in whole hertz, the sum has at most six decimals, and the double
  // that "%.6f" would print lies within far less than half a hertz of it: its text is the exact
  // sum, written out directly.
  const double base_hz = base_mhz * 1e6, step_hz = step_khz * 1e3;
  constexpr double kLargest = 1e15;
  if (!(base_hz >= 0 && base_hz < kLargest && step_hz >= 0 && step_hz < 1e9) || base_hz != std::floor(base_hz) ||
      step_hz != std::floor(step_hz))
    return format("%.6f", base_mhz + count * step_khz / 1000.0);
  uint64_t hz = static_cast<uint64_t>(base_hz) + static_cast<uint64_t>(count) * static_cast<uint64_t>(step_hz);
  char text[32];
  char* const end = text + sizeof text;
  char* p = end;
  for (int i = 0; i < 6; ++i, hz /= 10) *--p = static_cast<char>('0' + hz % 10);
  *--p = '.';
  do *--p = static_cast<char>('0' + hz % 10); while ((hz /= 10) != 0);
  return std::string(p, end);
}

std::string frequency_text(uint32_t step_code, uint32_t count, uint32_t unprogrammed, const RadioFacts& radio) {
  const double step = parse_number(label_of(step_code, kStepCodes));  // kHz
  const std::string text =
      count == unprogrammed ? radio.band_lower.text() : channel_frequency_text(radio.band_base.mhz(), step, count);
  check_frequency(text, radio);
  return text;
}

void check_frequency(std::string_view text, const RadioFacts& radio) {
  const double f = parse_number(text);
  if (f < radio.band_lower.mhz() || f > radio.band_upper.mhz()) raise(err::kInvalidData);
}

// The count is taken above the base in full, the way unpacking adds it back, so that every
// frequency packs to what it was unpacked from (the base is a multiple of 25 kHz, which every
// step divides).
StoredFrequency store_frequency(std::string_view text, const RadioFacts& radio) {
  const int64_t base = hertz(radio.band_base.mhz());
  check_frequency(text, radio);  // a band that changed since the value was set
  const int64_t distance = hertz(parse_number(text)) - base;
  if (distance < 0) raise(err::kFrequency);
  for (const Step& step : packing_steps()) {
    if (distance % step.hz != 0) continue;
    const int64_t count = distance / step.hz;
    if (count > 0xFFFF) raise(err::kFrequency);
    return {step.code, static_cast<uint32_t>(count)};
  }
  raise(err::kFrequency);
}

// ---- Squelch codes ----------------------------------------------------------------------------

namespace {

constexpr uint32_t kDigitalFlag = 2048;  // bit 11 marks a digital code
constexpr int64_t kLargestDigital = 777;

// A digital code text as its octal-digit number; 107 for digits 8 and 9 or a value off its row.
uint32_t digital_digits(std::string_view text, int32_t digital_row) {
  if (text.find_first_of("89") != std::string_view::npos) raise(err::kInvalidData);
  const int64_t digits = parse_decimal(text);
  if (digits < 0 || digits > kLargestDigital) raise(err::kInvalidData);
  check_range(digital_row, static_cast<double>(digits));
  return static_cast<uint32_t>(digits);
}

}  // namespace

std::string squelch_text(std::string_view type, uint32_t word, int32_t tone_row, int32_t digital_row) {
  switch (code_of(type, kSquelchTypes)) {
    case 1: {
      check_range(tone_row, word / 10.0);
      // "%.1f" of word / 10: the whole tenths of a hertz, written out.
      std::string text = std::to_string(word / 10);
      text += '.';
      text += static_cast<char>('0' + word % 10);
      return text;
    }
    case 2: {
      if (word < kDigitalFlag) raise(err::kInvalidData);
      const uint32_t digits = to_octal_digits(word - kDigitalFlag);
      check_range(digital_row, digits);
      char text[16];
      std::snprintf(text, sizeof text, "%03d", static_cast<int>(digits));
      return text;
    }
    default:
      return "0";
  }
}

void check_squelch(std::string_view type, std::string_view text, int32_t tone_row, int32_t digital_row) {
  switch (code_of(type, kSquelchTypes)) {
    case 1:
      check_range(tone_row, parse_number(text));
      break;
    case 2:
      digital_digits(text, digital_row);
      break;
    default:
      break;
  }
}

uint32_t squelch_word(std::string_view type, std::string_view text) {
  switch (code_of(type, kSquelchTypes)) {
    case 1: {
      // A tone must suit its row here too: a type set after its code must not pack a word that
      // the radio's next read would refuse.
      check_range(457, parse_number(text));
      const int64_t tenths = whole_part(parse_number(text) * 10.0);
      if (tenths < 0 || tenths > 0xFFFF) raise(err::kInvalidData);
      return static_cast<uint32_t>(tenths);
    }
    case 2:
      return from_octal_digits(digital_digits(text, 458)) + kDigitalFlag;
    default:
      return 0;
  }
}

}  // namespace cps
