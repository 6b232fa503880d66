#include "gen2/values/range_table.h"

#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace cps::gen2 {
namespace {

using test::error_of;

// The rows of the blocks whose layouts this build holds, each found by its own ID; IDs without
// a row (framing and structural header fields, text and choice fields, blocks without a layout)
// give 104.
TEST(Gen2RangeTable, LookupAndUnknownIds) {
  auto rows = range_rows();
  EXPECT_EQ(rows.size(), 228u);
  for (const RangeRow& row : rows) EXPECT_EQ(&range_row(static_cast<int32_t>(row.field_id)), &row);
  for (int32_t unknown : {0, -1, 424, 2002, 2030, 2045, 2049, 2907, 2908})
    EXPECT_EQ(error_of([&] { range_row(unknown); }), err::kFieldNotFound) << unknown;
}

// Rows whose limits or step are easy to get wrong: negative, fractional and offset steps.
TEST(Gen2RangeTable, TellingRows) {
  const std::vector<RangeRow> expected = {
      {2040, 0, 15, 1},       {2058, 0, 65535, 1},    {2105, 5, 255, 1},       {2113, 20, 5100, 20},
      {2124, -128, 127, 1},   {2150, 2, 40, 2},       {2204, -120, -70, 1},    {2224, 0, 45, 1.5},
      {2381, 30, 2540, 10},   {2402, 2, 63.75, 0.25}, {2404, 500, 4000, 250},  {2003, 0, 1, 1},
  };
  for (const RangeRow& e : expected) {
    const RangeRow& row = range_row(static_cast<int32_t>(e.field_id));
    EXPECT_EQ(row.minimum, e.minimum) << e.field_id;
    EXPECT_EQ(row.maximum, e.maximum) << e.field_id;
    EXPECT_EQ(row.step, e.step) << e.field_id;
  }
}

// Every row: both limits pass; one step beyond either limit and half a step above the minimum
// fail.
TEST(Gen2RangeTable, EdgesOfEveryRow) {
  for (const RangeRow& row : range_rows()) {
    const int32_t id = static_cast<int32_t>(row.field_id);
    for (double ok : {row.minimum, row.maximum})
      EXPECT_EQ(error_of([&] { check_steps(id, ok); }), 0) << id << " " << ok;
    for (double bad : {row.minimum - row.step, row.maximum + row.step, row.minimum + row.step / 2})
      EXPECT_EQ(error_of([&] { check_steps(id, bad); }), err::kInvalidData) << id << " " << bad;
  }
}

// Steps count from 0 by the value's magnitude, in ten-thousandths through the "%f" whole part.
TEST(Gen2RangeTable, ValueToSteps) {
  struct Case { int32_t id; double value; uint32_t steps; int32_t error; };
  for (const Case& c : {Case{2402, 2.25, 9, 0}, Case{2402, 2.3, 0, err::kInvalidData},
                        Case{2124, -128, 128, 0}, Case{2204, -75, 75, 0}, Case{2113, 100, 5, 0},
                        Case{2224, 4.5, 3, 0}, Case{2224, 0.57, 0, err::kInvalidData},
                        Case{2058, 65535, 65535, 0}, Case{2051, NAN, 0, err::kInvalidData},
                        Case{2051, INFINITY, 0, err::kInvalidData}, Case{2030, 0, 0, err::kFieldNotFound}}) {
    uint32_t steps = 0;
    EXPECT_EQ(error_of([&] { steps = value_to_steps(c.id, c.value); }), c.error) << c.id << " " << c.value;
    if (c.error == 0) {
      EXPECT_EQ(steps, c.steps) << c.id << " " << c.value;
    }
  }
}

}  // namespace
}  // namespace cps::gen2
