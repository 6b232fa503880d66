#include "gen1/values/range_table.h"

#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace cps {
namespace {

using test::error_of;

TEST(RangeTable, LookupAndUnknownIds) {
  auto rows = gen1_range_rows();
  EXPECT_EQ(rows.size(), 563u);
  for (const RangeRow& row : rows) EXPECT_EQ(&gen1_range(static_cast<int32_t>(row.field_id)), &row);
  for (int32_t unknown : {0, -1, 46, 48, 464, 465, 885, 2049})
    EXPECT_EQ(error_of([&] { gen1_range(unknown); }), err::kFieldNotFound) << unknown;
}

// Rows whose limits or step are easy to get wrong.
TEST(RangeTable, TellingRows) {
  const std::vector<RangeRow> expected = {
      {207, 100, 6400, 100},      {424, 32, 219, 1},        {372, 288.5, 3086, 0.1},
      {375, 288.5, 3086, 0.1},    {159, 0.25, 63.75, 0.25}, {90, 0.025, 3276.75, 0.025},
      {91, 0.025, 3276.75, 0.005}, {135, 500, 16000, 500},   {139, 0, 63750, 250},
      {315, 0, 0, 1},             {451, 14, 14, 1},         {164, 1, 163, 0.5},
      {672, 0, 60, 4},            {588, 0, 3.5, 0.5},       {507, 0.2, 33, 0.1},
      {55, 0, 1, 1},              {884, 0, 1, 1},           {521, 0, 57343, 1},
  };
  for (const RangeRow& e : expected) {
    const RangeRow& row = gen1_range(static_cast<int32_t>(e.field_id));
    EXPECT_EQ(row.minimum, e.minimum) << e.field_id;
    EXPECT_EQ(row.maximum, e.maximum) << e.field_id;
    EXPECT_EQ(row.step, e.step) << e.field_id;
  }
}

// Every row: both limits pass; one step beyond either limit and half a step above the minimum
// fail.
TEST(RangeTable, EdgesOfEveryRow) {
  for (const RangeRow& row : gen1_range_rows()) {
    const int32_t id = static_cast<int32_t>(row.field_id);
    for (double ok : {row.minimum, row.maximum})
      EXPECT_EQ(error_of([&] { check_range(id, ok); }), 0) << id << " " << ok;
    for (double bad : {row.minimum - row.step, row.maximum + row.step, row.minimum + row.step / 2})
      EXPECT_EQ(error_of([&] { check_range(id, bad); }), err::kInvalidData) << id << " " << bad;
  }
}

// The step counts from 0 in ten-thousandths, each side through the "%f" truncation (0.57 x 10000
// is 5699.999999999999).
TEST(RangeTable, StepAndAliasCharacters) {
  struct Case { int32_t id; double value; int32_t error; };
  for (const Case& c : {Case{207, 150, err::kInvalidData}, Case{207, 200, 0}, Case{91, 0.57, 0},
                        Case{91, 0.0275, err::kInvalidData}, Case{164, 1.25, err::kInvalidData},
                        Case{672, 8, 0}, Case{672, 6, err::kInvalidData}, Case{372, 300.3, 0},
                        Case{489, 0.1 + 0.2, 0}, Case{90, 148.5125, err::kInvalidData},
                        Case{315, -0.0, 0}, Case{451, 13, err::kInvalidData},
                        Case{207, NAN, err::kInvalidData}, Case{9999, 0, err::kFieldNotFound}})
    EXPECT_EQ(error_of([&] { check_range(c.id, c.value); }), c.error) << c.id << " " << c.value;
  for (const char* good : {"", "Channel 1", "\x7F", "\x80", "\xDB"})
    EXPECT_EQ(error_of([&] { check_alias(good); }), 0) << good;
  for (const char* bad : {"\x1F", "A\tB", "\xDC", "ok\xE0"})
    EXPECT_EQ(error_of([&] { check_alias(bad); }), err::kInvalidData) << bad;
}

}  // namespace
}  // namespace cps
