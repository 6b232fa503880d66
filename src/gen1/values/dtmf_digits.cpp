#include "gen1/values/dtmf_digits.h"

#include "platform/errors.h"

namespace cps {

namespace {

uint32_t nibble_of(char digit) {
  const char text[2] = {digit, '\0'};
  return code_of(std::string_view(text, 1), kDtmfDigits);
}

uint8_t nibble_at(const uint8_t* bytes, size_t k) {
  return static_cast<uint8_t>(k % 2 == 0 ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0F);
}

}  // namespace

std::string dtmf_string_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  return dtmf_digits_of(entry + row.offset, row.width);
}

void dtmf_string_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  write_dtmf_digits(text, entry + row.offset, row.width);
}

void dtmf_string_check(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  check_dtmf_digits(text);
}

std::string dtmf_digits_of(const uint8_t* bytes, size_t width) {
  std::string text;
  for (size_t k = 0; k < 2 * width; ++k) {
    const uint8_t nibble = nibble_at(bytes, k);
    if (nibble == kNoDtmfDigit) break;
    text += label_of(nibble, kDtmfDigits);
  }
  return text;
}

void write_dtmf_digits(std::string_view text, uint8_t* bytes, size_t width) {
  check_dtmf_digits(text);  // before any byte changes
  for (size_t k = 0; k < 2 * width; ++k) {
    const uint32_t nibble = k < text.size() ? nibble_of(text[k]) : kNoDtmfDigit;
    uint8_t& byte = bytes[k / 2];
    byte = k % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (nibble << 4))
                      : static_cast<uint8_t>((byte & 0xF0) | nibble);
  }
}

void check_dtmf_digits(std::string_view text) {
  for (char c : text) nibble_of(c);
}

}  // namespace cps
