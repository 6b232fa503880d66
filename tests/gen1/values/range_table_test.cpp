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
  for (int32_t unknown : {-1, 46, 464, 2049})
    EXPECT_EQ(error_of([&] { gen1_range(unknown); }), err::kFieldNotFound) << unknown;
}

// Every row: both limits pass; a step beyond either and half a step above the minimum fail.
TEST(RangeTable, EdgesOfEveryRow) {
  for (const RangeRow& row : gen1_range_rows()) {
    const int32_t id = static_cast<int32_t>(row.field_id);
    for (double ok : {row.minimum, row.maximum})
      EXPECT_EQ(error_of([&] { check_range(id, ok); }), 0) << id << " " << ok;
    for (double bad : {row.minimum - row.step, row.maximum + row.step, row.minimum + row.step / 2})
      EXPECT_EQ(error_of([&] { check_range(id, bad); }), err::kInvalidData) << id << " " << bad;
  }
}

// The step counts from 0 in ten-thousandths through the "%f" truncation (0.57 x 10000 is
// 5699.999999999999).
TEST(RangeTable, StepAndAliasCharacters) {
  struct Case { int32_t id; double value; int32_t error; };
  for (const Case& c : {Case{207, 150, err::kInvalidData}, Case{207, 200, 0}, Case{91, 0.57, 0},
                        Case{91, 0.0275, err::kInvalidData}, Case{672, 8, 0}, Case{372, 300.3, 0},
                        Case{489, 0.1 + 0.2, 0}, Case{90, 148.5125, err::kInvalidData},
                        Case{315, -0.0, 0}, Case{451, 13, err::kInvalidData},
                        Case{207, NAN, err::kInvalidData}, Case{9999, 0, err::kFieldNotFound}})
    EXPECT_EQ(error_of([&] { check_range(c.id, c.value); }), c.error) << c.id << " " << c.value;
  for (const char* good : {"", "Channel 1", "\x80", "\xDB"})
    EXPECT_EQ(error_of([&] { check_alias(good); }), 0) << good;
  for (const char* bad : {"\x1F", "ok\xDC"})
    EXPECT_EQ(error_of([&] { check_alias(bad); }), err::kInvalidData) << bad;
}

}  // namespace
}  // namespace cps
