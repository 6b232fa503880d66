#include "engine/block_base.h"

#include "platform/errors.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

namespace cps {

// ---- Checksum --------------------------------------------------------------------------------

uint8_t checksum(const uint8_t* bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<uint8_t>(0x5A - sum);
}

void verify_checksum(const uint8_t* bytes, size_t length, uint32_t stored) {
  if ((stored & 0xFFu) != checksum(bytes, length)) raise(err::kChecksum);
}

// ---- Choice tables ---------------------------------------------------------------------------

const char* label_of(uint32_t code, const Choice* table) {
  for (const Choice* row = table; row->label != nullptr; ++row)
    if (row->code == code) return row->label;
  raise(err::kChoiceNotFound);
}

namespace {

// Whether `text` is the whole of the zero-terminated `label`, without measuring every label of a
// table first: most differ in their first character.
bool is_label(std::string_view text, const char* label) {
  size_t i = 0;
  for (; i < text.size(); ++i)
    if (label[i] == '\0' || label[i] != text[i]) return false;
  return label[i] == '\0';
}

}  // namespace

uint32_t code_of(std::string_view label, const Choice* table) {
  for (const Choice* row = table; row->label != nullptr; ++row)
    if (is_label(label, row->label)) return row->code;
  raise(err::kChoiceNotFound);
}

bool has_label(std::string_view label, const Choice* table) {
  for (const Choice* row = table; row->label != nullptr; ++row)
    if (is_label(label, row->label)) return true;
  return false;
}

// ---- Number and text conversions ------------------------------------------------------------

uint32_t read_be(const uint8_t* bytes, size_t n) {
  uint32_t value = 0;
  for (size_t i = 0; i < n; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Bytes above the value's four are written as 0; a value wider than n bytes loses its high
// bytes without an error (callers pass values bounded by their range rows).
void write_be(uint32_t value, uint8_t* bytes, size_t n) {
  for (size_t k = 0; k < n; ++k)  // k counts bytes from the least significant one
    bytes[n - 1 - k] = k < 4 ? static_cast<uint8_t>(value >> (8 * k)) : uint8_t{0};
}

namespace {

// Reads the digits of `value` in base `from` and writes them as a number in base `to`.
uint32_t redigit(uint32_t value, uint32_t from, uint32_t to) {
  uint32_t result = 0;
  uint32_t weight = 1;
  while (value != 0) {
    result += (value % from) * weight;
    value /= from;
    weight *= to;
  }
  return result;
}

}  // namespace

uint32_t to_octal_digits(uint32_t value) { return redigit(value, 8, 10); }

uint32_t from_octal_digits(uint32_t value) { return redigit(value, 10, 8); }

uint32_t to_bcd(uint32_t value) {
  uint32_t result = 0;
  for (int shift = 0; value != 0 && shift < 32; shift += 4) {
    result |= (value % 10) << shift;
    value /= 10;
  }
  return result;
}

uint32_t text_to_bcd(std::string_view text) {
  int64_t value = parse_decimal(text);
  if (value < 0 || value > 99999999) raise(err::kInvalidData);
  return to_bcd(static_cast<uint32_t>(value));
}

uint32_t hex_digit_value(char c) {
  if (c >= '1' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  return 0;
}

char hex_digit(uint32_t value) {
  if (value >= 1 && value <= 9) return static_cast<char>('0' + value);
  if (value >= 10 && value <= 15) return static_cast<char>('A' + (value - 10));
  return '0';
}

int64_t whole_part(double value) {
  // A whole number prints as itself followed by ".000000": no text needed. (Most values that
  // reach here are whole: every count, code and character that the range check sees.)
  constexpr double kExact = 9007199254740992.0;  // 2^53: every whole double below is exact
  if (value > -kExact && value < kExact && value == static_cast<double>(static_cast<int64_t>(value)))
    return static_cast<int64_t>(value);
  // "%f" of the largest double needs 317 characters.
  char text[512];
  std::snprintf(text, sizeof text, "%f", value);
  // Read what stands before the '.' the way a C integer conversion would: an optional sign,
  // then digits up to the first other character ("inf" and "nan" read as 0). Values beyond
  // 64 bits saturate.
  const char* p = text;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  uint64_t magnitude = 0;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; *p >= '0' && *p <= '9'; ++p) {
    unsigned digit = static_cast<unsigned>(*p - '0');
    if (magnitude > (kLimit - digit) / 10) {
      return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    magnitude = magnitude * 10 + digit;
  }
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

std::string text_to_fixed_bytes(std::string_view text, size_t length, bool zero_fill) {
  std::string bytes(length, zero_fill ? '\0' : ' ');
  size_t n = text.size() < length ? text.size() : length;
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(text[i] & 0x7F);
  return bytes;
}

std::string fixed_bytes_to_text(const uint8_t* bytes, size_t length, bool trim) {
  size_t end = 0;
  while (end < length && bytes[end] != 0) ++end;
  std::string text(reinterpret_cast<const char*>(bytes), end);
  if (trim) {
    size_t keep = text.find_last_not_of(" \t\n\v\f\r");
    text.erase(keep == std::string::npos ? 0 : keep + 1);
  }
  return text;
}

bool is_dialling_text(std::string_view text) {
  for (char c : text) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'D') || c == '*' || c == '#' || c == ',';
    if (!ok) return false;
  }
  return true;
}

std::string decimal_text(int64_t value) {
  // The characters of "%lld", without a format to read: an optional '-', then the digits.
  char text[24];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) raise(err::kUnexpected);  // 20 characters at most: cannot happen
  return std::string(text, end);
}

int64_t parse_decimal(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes a leading '-' but no '+' and no white space, and is locale-free.
  if (first == last || (*first != '-' && (*first < '0' || *first > '9'))) raise(err::kInvalidData);
  int64_t value = 0;
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) raise(err::kInvalidData);
  return value;
}

double parse_number(std::string_view text) {
  // Accepted shape: [-] digits [. digits], or [-] . digits; no exponent, no "inf" or "nan".
  size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  size_t digits = 0, decimals = 0;
  bool point = false;
  // Up to 2^53 the digits make an exact double, and so does 10^22; the quotient of two exact
  // doubles is the correctly rounded value of the text, as from_chars gives it.
  constexpr uint64_t kExact = uint64_t{1} << 53;
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  uint64_t mantissa = 0;
  bool exact = true;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (point) ++decimals;
      if (mantissa > (kExact - 9) / 10) exact = false;
      else mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    } else if (c == '.' && !point) {
      point = true;
    } else {
      raise(err::kInvalidData);
    }
  }
  if (digits == 0) raise(err::kInvalidData);
  if (exact && decimals < std::size(kPowers)) {
    const double value = static_cast<double>(mantissa) / kPowers[decimals];
    return negative ? -value : value;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::fixed);
  if (ec != std::errc() || end != text.data() + text.size()) raise(err::kInvalidData);
  return value;
}

}  // namespace cps
