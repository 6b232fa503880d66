// The second generation's registry checked whole: orders, presence and address fields, methods.
#include "gen2/block_table.h"

#include "gen2/blocks/directory.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace cps::gen2 {
namespace {

TEST(R9BlockTable, EveryDataBlockHasItsPlaceAndTableFields) {
  const std::vector<int32_t> read(r9_read_order().begin(), r9_read_order().end());
  EXPECT_EQ(read, (std::vector<int32_t>{2010, 2009, 2008, 2007, 2006, 2005, 2004, 2003, 2867, 2018, 2017, 2016, 2015,
                                        2014, 2013, 2012, 2011, 2024, 2023, 2022, 2021, 2020, 2019, 2026, 2025}));
  const std::vector<int32_t> write(r9_write_order().begin(), r9_write_order().end());
  EXPECT_EQ(write, (std::vector<int32_t>{2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014, 2015,
                                         2016, 2017, 2018, 2019, 2020, 2867, 2021, 2022, 2023, 2024, 2025, 2026}));
  std::set<int32_t> addresses;
  for (const R9Block& row : r9_blocks()) {
    if (row.shape != R9Shape::List) {
      EXPECT_EQ(row.address_field, 0) << row.id;
      EXPECT_EQ(row.presence_field, 0) << row.id;
      continue;
    }
    EXPECT_EQ(row.address_field, address_field(row.id)) << row.id;
    EXPECT_EQ(row.presence_field, row.id);
    EXPECT_TRUE(addresses.insert(row.address_field).second) << row.id;
  }
  EXPECT_EQ(r9_block(2001), nullptr);
  EXPECT_EQ(r9_block(2029)->methods, method::S);
}

TEST(R9BlockTable, MethodsFollowTheBlockShape) {
  using namespace method;
  for (const R9Block& row : r9_blocks()) {
    EXPECT_EQ(row.methods & (m | a | d | g | s | v), 0) << row.id;  // no block has members
    const bool list = row.shape == R9Shape::List && row.id != 2867;
    EXPECT_EQ((row.methods & (Q | D)) != 0, list) << row.id;
    const bool movable = row.id == 2006 || row.id == 2007 || row.id == 2008 || (row.id >= 2010 && row.id <= 2020);
    EXPECT_EQ((row.methods & M) != 0, movable) << row.id;
    if (row.shape == R9Shape::Record) {
      EXPECT_EQ(row.methods, G | S | A) << row.id;
      ASSERT_NE(row.make_record, nullptr);
      EXPECT_NE(row.make_record(), nullptr);
    }
  }
  EXPECT_EQ(r9_block(2867)->methods, G | S | F | f);
}

}  // namespace
}  // namespace cps::gen2
