#include "gen1/values/power_level.h"

#include "platform/errors.h"

#include <cmath>
#include <cstdio>

namespace cps {

double power_level_of(uint32_t byte) {
  const double p = byte / 25.0;
  return std::floor(2 * p * p + 0.5) / 2;
}

uint8_t power_level_byte(double level, uint8_t stored) {
  if (power_level_of(stored) == level) return stored;
  for (uint32_t byte = 0; byte <= 0xFF; ++byte)
    if (power_level_of(byte) == level) return static_cast<uint8_t>(byte);
  raise(err::kInvalidData);
}

std::string power_level_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", power_level_of(entry[row.offset]));
  return text;
}

void power_level_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  entry[row.offset] = power_level_byte(parse_number(text), entry[row.offset]);
}

void power_level_check(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  power_level_byte(parse_number(text), 0);
}

}  // namespace cps
