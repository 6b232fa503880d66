// A transmit power level as the first generation stores it: one byte b, shown in watts as
// (b / 25)^2 rounded to the nearest 0.5, with one decimal ("25.0"). Block 3 holds the radio's
// two levels (96, 97), block 5 the portable's two (164, 165).
#pragma once

#include "engine/field_layout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace cps {

// The level a byte shows.
double power_level_of(uint32_t byte);

// The byte for a level: `stored` when it shows the level (so an unchanged level keeps the
// radio's byte), else the smallest byte that does; 107 when no byte shows it.
uint8_t power_level_byte(double level, uint8_t stored);

std::string power_level_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void power_level_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void power_level_check(std::string_view text, const layout::FieldDesc& row, const BlockBase& base);

// The codec of a one-byte power level row; the row's range table (where it has one) checks the
// level in watts.
constexpr layout::CustomCodec kPowerLevel{power_level_decode, power_level_encode, power_level_check};

}  // namespace cps
