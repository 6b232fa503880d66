// Block 20: records of eight byte fields both ways, the frame's bounds and the block's own value
// checks, refused images and sets changing nothing.
#include "gen1/blocks/slot_17_block.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace cps {
namespace {

using test::error_of;
using test::Image;

const Image kTwo = test::resealed({7, 8, 2, 0, 1, 2, 3, 127, 128, 254, 255, 0xA5, 0, 0, 0, 0, 0, 0, 0x5A, 0});

Slot17Block unpacked(const Image& image) {
  Slot17Block block;
  block.unpack(Slot17Block::kBlockId, image.data(), image.size());
  return block;
}

BlockRecord record_of(size_t count) {
  BlockRecord record = Slot17Block().block();
  while (record.entry_count() < count) record.add_entry(record.entry(0));
  record.set_header_field({48, std::to_string(count), 2});
  return record;
}

TEST(Slot17Block, HandMadeImageBothWays) {
  Slot17Block block = unpacked(kTwo);
  const BlockRecord& record = block.block();
  ASSERT_EQ(record.entry_count(), 2u);
  EXPECT_EQ(record.header().text(46), "7");
  EXPECT_EQ(record.entry(0).text(957), "255");
  EXPECT_EQ(record.entry(1).text(957), "90");
  EXPECT_EQ(record.entry(1).id_at(7), 957);
  EXPECT_EQ(block.pack(Slot17Block::kBlockId), kTwo);
}

TEST(Slot17Block, RefusalsChangeNothing) {
  const BlockRecord good = unpacked(kTwo).block();
  Slot17Block work = unpacked(kTwo);
  const Image size_7 = test::resealed({7, 7, 1, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(error_of([&] { work.unpack(Slot17Block::kBlockId, size_7.data(), size_7.size()); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { work.unpack(Slot17Block::kBlockId, kTwo.data(), kTwo.size() - 1); }), err::kShortImage);
  EXPECT_EQ(error_of([&] { work.set_block(record_of(17)); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { work.set_field(0, {950, "256", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { work.set_field(0, {958, "0", 1}); }), err::kFieldNotFound);
  EXPECT_EQ(error_of([&] { work.set_field(2, {957, "1", 1}); }), err::kBadIndex);
  EXPECT_EQ(work.block(), good);
  EXPECT_EQ(error_of([&] { work.set_block(record_of(16)); }), 0);
  EXPECT_EQ(work.block().entry_count(), 16u);
}

}  // namespace
}  // namespace cps
