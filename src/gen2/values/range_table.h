// The second generation's range table: for every numeric field of the R9 blocks its minimum,
// maximum and step. Where the first generation only checks a value against its row, the second
// also counts it: value_to_steps gives the number of steps from 0, which is what a block that
// stores a value as a count of steps writes into its bytes. The same rows answer GetRangeInfo.
#pragma once

#include "engine/field_layout.h"

#include <cstdint>
#include <span>

namespace cps::gen2 {

// All rows (without the terminator), in field-ID order.
std::span<const RangeRow> range_rows();

// The row of this field ID, for GetRangeInfo; 104 when there is none.
const RangeRow& range_row(int32_t field_id);

// The steps from 0 that a value stands for: 104 for a field without a row, 107 below the
// minimum, above the maximum or off the step. The value counts by its magnitude (-75 against a
// row of -120..-70 is 75 steps; the sign is the field's), both sides in ten-thousandths through
// the "%f" whole part, so 2.25 against a step of 0.25 is 9.
uint32_t value_to_steps(int32_t field_id, double value);

// value_to_steps as a check only, for the layout engine.
void check_steps(int32_t field_id, double value);

// The table as the layout engine takes it, for the rows of every second-generation block.
constexpr layout::RangeTable kRanges{&check_steps};

}  // namespace cps::gen2
