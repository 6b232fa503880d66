// Every list block between its fewest and most entries: the add past the most and the delete
// past the fewest are refused and change nothing, and a deletion hands the reference pass on
// for the entry deleted (nothing refers to a call reference: block 23 hands none on).
#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;

size_t held(const BlockHandler& list) {
  return list.kind() == RecordKind::Lists ? list.lists().list_count() : list.block().entry_count();
}

TEST(ListLimits, EveryListKeepsItsBounds) {
  Gen1Radio radio = test::trunked_radio({24});
  radio.codeplug.set_market_class(1);
  Gen1Directory blocks(radio);
  const struct { int32_t id; size_t fewest, most; bool passes = true; } cases[] = {
      {6, 1, 16},  {23, 1, 250, false},  {11, 1, 4},  {13, 1, 16}, {24, 1, 190}, {25, 1, 30}, {26, 1, 30},  {34, 0, 16},
      {37, 0, 255}, {41, 1, 4},  {42, 1, 4},  {43, 1, 4},   {759, 1, 4}, {761, 1, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    std::unique_ptr<BlockHandler> list = blocks.find(c.id)->clone();
    test::Recorder passes;
    while (held(*list) < c.most) ASSERT_EQ(error_of([&] { list->add_list(); }), 0) << held(*list);
    const std::unique_ptr<BlockHandler> full = list->clone();
    EXPECT_EQ(error_of([&] { list->add_list(); }), err::kAboveMaximum);
    EXPECT_EQ(error_of([&] { list->delete_list(c.most, passes); }), err::kBadIndex);
    EXPECT_TRUE(list->kind() == RecordKind::Lists ? list->lists() == full->lists() : list->block() == full->block());
    list->delete_list(1, passes);
    EXPECT_EQ(passes.deleted, (c.passes ? std::vector<std::pair<int32_t, size_t>>{{c.id, 1}} : std::vector<std::pair<int32_t, size_t>>{}));
    while (held(*list) > c.fewest) list->delete_list(0, passes);
    EXPECT_EQ(error_of([&] { list->delete_list(0, passes); }), err::kBelowMinimum);
  }
}

}  // namespace
}  // namespace cps
