// DTMF digits as the first generation stores them: one digit per nibble, 1-9 for "1" to "9",
// 10 for "0", 11 for "*", 12 for "#", and 15 for "no digit", which also ends a digit string.
// Nibbles 0, 13 and 14 are no digit at all (108), and so is any other character ("A" included).
//
// A digit string fills the nibbles of its bytes high nibble first, byte by byte; the nibbles
// after its last digit hold 15. A string longer than its nibbles is accepted and packs only as
// many digits as fit. The DTMF signalling systems, the DTMF call list and the phone systems
// share these.
#pragma once

#include "engine/block_base.h"
#include "engine/field_layout.h"

#include <string>
#include <string_view>

namespace cps {

inline constexpr uint32_t kNoDtmfDigit = 15;

// The digit table; its nibble 15 is the empty label, so a one-digit row may hold "no digit".
// Internal linkage, as the other shared tables: its address is a constant in every build.
constexpr Choice kDtmfDigits[] = {
    {1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, "6"}, {7, "7"}, {8, "8"}, {9, "9"},
    {10, "0"}, {11, "*"}, {12, "#"}, {kNoDtmfDigit, ""}, kChoiceEnd};

// The nibbles of `width` bytes as digits, up to the first 15 (108 for a nibble without a digit).
std::string dtmf_digits_of(const uint8_t* bytes, size_t width);
// The digits into the nibbles of `width` bytes, 15 after the last one (108 for a character
// that is no digit).
void write_dtmf_digits(std::string_view text, uint8_t* bytes, size_t width);
// 108 unless every character is a digit.
void check_dtmf_digits(std::string_view text);

// The codec of a digit-string row: the row's `width` bytes from its offset.
std::string dtmf_string_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void dtmf_string_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void dtmf_string_check(std::string_view text, const layout::FieldDesc& row, const BlockBase& base);
constexpr layout::CustomCodec kDtmfDigitString{dtmf_string_decode, dtmf_string_encode, dtmf_string_check};

}  // namespace cps
