// The byte-level tools every first-generation block handler is built from: bit fields inside a
// byte, the block checksum, choice tables, and the number and text conversions. All of them
// are pure functions of their arguments and the constant tables. BlockBase is the state every
// handler carries (mobile flag, version texts, version pair, market class).
#pragma once

#include "engine/field_values.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cps {

// ---- Handler state ---------------------------------------------------------------------------

// What the blocks of a codeplug need to know about the radio they belong to, taken from blocks
// 3 and 2 (and block 5 where the codeplug has it) by the service object and the container
// before a block is unpacked, packed, set or extended. Texts are the blocks' own field texts.
struct RadioFacts {
  std::string band = "VHF";             // block 3 field 89
  std::string band_base = "136.000000";  // field 90, MHz
  std::string band_lower = "136.000000"; // field 91
  std::string band_upper = "174.000000"; // field 92
  bool fixed_spacing = false;            // field 84 names a fixed-spacing (12.5 kHz) model
  int max_channels = 16;                 // block 2 field 81
  bool trunking = false;                 // field 61: LS trunking channels allowed
  bool conventional = true;              // field 62: conventional channels allowed
  bool field_55 = false;                 // field 55 reads "1"
  bool kani = false;                     // block 5 field 754 reads "Kani"
  bool ippan = false;                    // block 5 field 754 reads "Ippan"
};

struct BlockBase {
  uint8_t mobile = 1;           // 1 for a mobile radio; set before unpacking or setting a block
  std::string version = "00";   // major part of the codeplug version ("01" for 01.02)
  std::string minor = "00";     // minor part ("02")
  uint8_t data_major = 0;       // version pair: major version of the codeplug data being written
  uint8_t target_major = 0;     //   and of the radio it is written to
  int32_t market_class = 0;     // 0, 1 or 2
  // The radio the block belongs to: one set of facts that the codeplug owns and keeps current,
  // read by every block through this pointer. A block on its own sees a default radio.
  std::shared_ptr<RadioFacts> facts{};

  const RadioFacts& radio() const { return facts ? *facts : default_radio(); }
  static const RadioFacts& default_radio();

  // Market classes 1 and 2 use the longer forms of blocks 453 and 454 (the blocks 759-762).
  bool long_form() const { return market_class == 1 || market_class == 2; }
};

// ---- Bit fields ------------------------------------------------------------------------------

// Position 0..7 of the lowest set bit; 8 for an empty mask.
constexpr int lowest_bit(uint8_t mask) {
  for (int bit = 0; bit < 8; ++bit)
    if (mask & (1u << bit)) return bit;
  return 8;
}
constexpr uint8_t get_bits(uint8_t mask, uint8_t byte) {
  return static_cast<uint8_t>((byte & mask) >> (lowest_bit(mask) & 7));
}
// Bits of the value that do not fit the mask are dropped.
constexpr void set_bits(uint8_t mask, uint32_t value, uint8_t& byte) {
  byte = static_cast<uint8_t>((byte & ~mask) | ((value << (lowest_bit(mask) & 7)) & mask));
}

// ---- Checksum --------------------------------------------------------------------------------

// (0x5A - byte sum) mod 256: the covered bytes plus the checksum byte sum to 0x5A.
uint8_t checksum(const uint8_t* bytes, size_t length);
// 103 when the low 8 bits of `stored` differ from checksum(bytes, length).
void verify_checksum(const uint8_t* bytes, size_t length, uint32_t stored);

// ---- Choice tables ---------------------------------------------------------------------------

// A code-to-label pair. A table ends with {0xFF, nullptr}: only the missing label ends the
// scan, so 0xFF may also be an ordinary code. A code may stand on several rows.
struct Choice {
  uint32_t code;
  const char* label;
};
inline constexpr Choice kChoiceEnd{0xFF, nullptr};

const char* label_of(uint32_t code, const Choice* table);       // 108 when absent
uint32_t code_of(std::string_view label, const Choice* table);  // exact match; 108 when absent
bool has_label(std::string_view label, const Choice* table);

// ---- Number and text conversions ------------------------------------------------------------

uint32_t read_be(const uint8_t* bytes, size_t n);
void write_be(uint32_t value, uint8_t* bytes, size_t n);
uint32_t to_octal_digits(uint32_t value);    // 83 -> 123
uint32_t from_octal_digits(uint32_t value);  // 123 -> 83
uint32_t to_bcd(uint32_t value);             // 1234 -> 0x1234
uint32_t text_to_bcd(std::string_view text);
uint32_t hex_digit_value(char c);            // '1'..'9','A'..'F','a'..'f'; anything else 0
char hex_digit(uint32_t value);              // 1..15 -> '1'..'F'; anything else '0'
// The "%f" truncation: format with six decimals, keep what stands before the '.', read it as
// an integer (0.9999999 -> 1, 2.4999999 -> 2).
int64_t whole_part(double value);
// `length` bytes, 0x00- or space-filled; the text's characters copied with their top bit cleared.
std::string text_to_fixed_bytes(std::string_view text, size_t length, bool zero_fill);
// The first `length` bytes as text, ending early at 0x00; trailing white space removed on `trim`.
std::string fixed_bytes_to_text(const uint8_t* bytes, size_t length, bool trim);
bool is_dialling_text(std::string_view text);  // "0"-"9", "A"-"D", "*", "#", ","

// "%d" of an integer, and the reverse for a decimal text (107 for a text that is not one).
std::string decimal_text(int64_t value);
int64_t parse_decimal(std::string_view text);
// A decimal number text such as "12.5" (107 when it is not one).
double parse_number(std::string_view text);

}  // namespace cps
