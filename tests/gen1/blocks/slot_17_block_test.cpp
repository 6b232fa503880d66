// Block 20: records of eight byte fields both ways, the frame's bounds and the block's own value
// checks, refused images and sets changing nothing.
#include "gen1/blocks/slot_17_block.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
  const std::tuple<size_t, int32_t, const char*> expected[] = {
      {0, 950, "0"}, {0, 954, "127"}, {0, 957, "255"}, {1, 950, "165"}, {1, 957, "90"}};
  for (auto [entry, id, text] : expected)
    EXPECT_EQ(record.entry(entry).text(id), text) << entry << " " << id;
  EXPECT_EQ(record.entry(1).id_at(7), 957);
  EXPECT_EQ(block.pack(Slot17Block::kBlockId), kTwo);
}

TEST(Slot17Block, RefusedImagesAndSetsChangeNothing) {
  Image off_by_one = kTwo;
  ++off_by_one.back();
  Image seventeen(3 + 17 * 8 + 1, 0);
  seventeen[1] = 8;
  seventeen[2] = 17;
  const std::pair<Image, int> images[] = {
      {Image(kTwo.begin(), kTwo.end() - 1), err::kShortImage}, {off_by_one, err::kChecksum},
      {test::resealed({7, 7, 1, 0, 0, 0, 0, 0, 0, 0, 0}), err::kInvalidData},
      {test::resealed({7, 8, 0, 0}), err::kInvalidData}, {test::resealed(seventeen), err::kInvalidData}};
  for (const auto& [image, code] : images) {
    Slot17Block block = unpacked(kTwo);
    EXPECT_EQ(error_of([&] { block.unpack(Slot17Block::kBlockId, image.data(), image.size()); }), code);
    EXPECT_EQ(block.block(), unpacked(kTwo).block());
  }

  BlockRecord format_256 = record_of(2), bad_value = record_of(2);
  format_256.set_header_field({46, "256", 2});
  bad_value.entry(1).set_text(957, "256");
  const std::pair<BlockRecord, int> records[] = {
      {format_256, err::kInvalidData}, {bad_value, err::kInvalidData}, {record_of(17), err::kInvalidData},
      {BlockRecord{}, err::kFieldNotFound}, {record_of(16), 0}};
  for (const auto& [record, code] : records) {
    Slot17Block work = unpacked(kTwo);
    EXPECT_EQ(error_of([&] { work.set_block(record); }), code) << record.entry_count();
    EXPECT_EQ(work.block() == unpacked(kTwo).block(), code != 0);
  }
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {950, "256", 1}, err::kInvalidData}, {0, {950, "1.5", 1}, err::kInvalidData},
      {0, {958, "0", 1}, err::kFieldNotFound}, {0, {46, "300", 2}, err::kInvalidData},
      {0, {46, "12", 2}, err::kFieldNotFound}, {0, {48, "17", 2}, err::kInvalidData},
      {2, {957, "1", 1}, err::kBadIndex},      {1, {957, "254", 1}, 0}};
  for (const auto& [index, field, code] : fields) {
    Slot17Block work = unpacked(kTwo);
    EXPECT_EQ(error_of([&] { work.set_field(index, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(work.block() == unpacked(kTwo).block(), code != 0) << field.id;
  }
}

}  // namespace
}  // namespace cps
