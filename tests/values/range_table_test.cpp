#include "values/range_table.h"

#include "interface/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace cps {
namespace {

template <class F>
int32_t error_of(F&& f) {
  try {
    f();
  } catch (const ErrorCode& e) {
    return e.code;
  }
  return 0;
}

TEST(RangeTable, EveryFieldOnce) {
  auto rows = gen1_range_rows();
  EXPECT_EQ(rows.size(), 563u);
  std::set<uint32_t> ids;
  for (const RangeRow& row : rows) {
    EXPECT_TRUE(ids.insert(row.field_id).second) << row.field_id;
    EXPECT_EQ(&gen1_range(static_cast<int32_t>(row.field_id)), &row);
  }
  EXPECT_EQ(ids.count(0), 0u);
  for (int32_t unknown : {0, -1, 46, 48, 464, 465, 885, 2049})
    EXPECT_EQ(error_of([&] { gen1_range(unknown); }), err::kFieldNotFound) << unknown;
}

TEST(RangeTable, TellingRows) {
  const std::vector<RangeRow> expected = {
      {207, 100, 6400, 100},  {424, 32, 219, 1},      {372, 288.5, 3086, 0.1},
      {373, 288.5, 3086, 0.1}, {374, 288.5, 3086, 0.1}, {375, 288.5, 3086, 0.1},
      {159, 0.25, 63.75, 0.25}, {160, 0.25, 63.75, 0.25}, {90, 0.025, 3276.75, 0.025},
      {91, 0.025, 3276.75, 0.005}, {92, 0.025, 3276.75, 0.005}, {135, 500, 16000, 500},
      {139, 0, 63750, 250},   {315, 0, 0, 1},          {599, 0, 0, 1},
      {451, 14, 14, 1},       {872, 14, 14, 1},        {164, 1, 163, 0.5},
      {672, 0, 60, 4},        {588, 0, 3.5, 0.5},      {507, 0.2, 33, 0.1},
      {55, 0, 1, 1},          {884, 0, 1, 1},          {521, 0, 57343, 1},
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
    int32_t id = static_cast<int32_t>(row.field_id);
    EXPECT_EQ(error_of([&] { check_range(id, row.minimum); }), 0) << id;
    EXPECT_EQ(error_of([&] { check_range(id, row.maximum); }), 0) << id;
    EXPECT_EQ(error_of([&] { check_range(id, row.minimum - row.step); }), err::kInvalidData) << id;
    EXPECT_EQ(error_of([&] { check_range(id, row.maximum + row.step); }), err::kInvalidData) << id;
    EXPECT_EQ(error_of([&] { check_range(id, row.minimum + row.step / 2); }), err::kInvalidData)
        << id;
  }
}

TEST(RangeTable, StepCountsFromZero) {
  struct Case { int32_t id; double value; int32_t error; };
  for (const Case& c : std::vector<Case>{
           {207, 150, err::kInvalidData}, {207, 6400, 0}, {207, 200, 0},
           {91, 0.025, 0}, {91, 0.03, 0}, {91, 0.0275, err::kInvalidData},
           {164, 1.5, 0}, {164, 1.25, err::kInvalidData},     // minimum 1, step 0.5
           {672, 8, 0}, {672, 6, err::kInvalidData},          // step 4
           {377, 6, 0}, {377, 4, err::kInvalidData},          // 3..33 step 3
           {434, 1000, 0}, {434, 875, err::kInvalidData},     // 750..7750 step 250
           {372, 300.3, 0}, {489, 0.1 + 0.2, 0}, {90, 148.5125, err::kInvalidData},
           {315, 0, 0}, {315, -0.0, 0}, {315, 1, err::kInvalidData},
           {451, 14, 0}, {451, 13, err::kInvalidData},
           {207, NAN, err::kInvalidData}, {9999, NAN, err::kFieldNotFound},
       }) {
    EXPECT_EQ(error_of([&] { check_range(c.id, c.value); }), c.error) << c.id << " " << c.value;
  }
}

TEST(RangeTable, AliasCharacters) {
  for (const char* good : {"", " ", "Channel 1", "\x7F", "\x80", "\xC8", "\xDB"})
    EXPECT_EQ(error_of([&] { check_alias(good); }), 0) << good;
  for (const char* bad : {"\x1F", "A\tB", "\xDC", "\xFF", "ok\xE0"})
    EXPECT_EQ(error_of([&] { check_alias(bad); }), err::kInvalidData);
}

}  // namespace
}  // namespace cps
