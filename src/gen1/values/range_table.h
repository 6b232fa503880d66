// The first generation's range table: for every numeric field its minimum, maximum and step.
// It checks values on their way in and answers GetRangeInfo.
#pragma once

#include "engine/field_layout.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace cps {

// All rows (without the terminator), in table order.
std::span<const RangeRow> gen1_range_rows();

// The first row with this field ID; 104 when there is none.
const RangeRow& gen1_range(int32_t field_id);

// 104 for an unknown ID, 107 below the minimum, above the maximum or off the step. The step
// test works on whole parts of value x 10000 and step x 10000 (see whole_part), counted from 0.
void check_range(int32_t field_id, double value);

// The table as the layout engine takes it, for the rows of every first-generation block.
constexpr layout::RangeTable kGen1Ranges{&check_range};

// The alias character check: every character code must pass field 424 (32..219), else 107.
void check_alias(const std::string_view text);

}  // namespace cps
