#include "gen2/blocks/raw_blocks.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

// Flags 2 0 0 1, record size 3, two entries.
const Image kTwoEntries = test::resealed({0x81, 0x00, 0x03, 0x02, 0xAB, 0x0C, 0x7F, 0x00, 0x10, 0xFF, 0x00});

TEST(Gen2RawBlocks, GoldenImageBothWays) {
  DataBlock2004 block;
  block.unpack(kTwoEntries.data(), kTwoEntries.size());
  const BlockRecord& record = block.record();
  EXPECT_EQ(record.header().text(kRecordSize), "3");
  ASSERT_EQ(record.entry_count(), 2u);
  EXPECT_EQ(record.entry(0).get(2071), (FieldValue{2071, "AB0C7F", 1}));
  EXPECT_EQ(record.entry(1).text(2071), "0010FF");
  EXPECT_EQ(block.pack(), kTwoEntries);

  // Lower-case digits pack as their bytes; a shorter text leaves the rest of the record zero.
  block.set_field(0, {2071, "c0de", 1});
  block.set_field(1, {2071, "", 1});
  EXPECT_EQ(block.pack(), test::patched(kTwoEntries, {{4, 0xC0}, {5, 0xDE}, {6, 0x00}, {8, 0x00}, {9, 0x00}}));
}

TEST(Gen2RawBlocks, EachBlockItsFieldLimitsAndFreshRecord) {
  struct Case {
    std::function<std::unique_ptr<RawList>()> make;
    int32_t raw;
    size_t fresh_size;
    bool adds;       // whether add appends (else it returns 0 and changes nothing)
    bool deletes;    // whether delete removes (down to its minimum)
    size_t maximum;  // entries add may reach
  };
  const Case cases[] = {
      {[] { return std::make_unique<DataBlock2004>(); }, 2071, 16, false, true, 0},
      {[] { return std::make_unique<DataBlock2005>(); }, 2229, 16, false, false, 0},
      {[] { return std::make_unique<DataBlock2022>(); }, 2694, 16, false, false, 0},
      {[] { return std::make_unique<BoardIoBlock>(); }, 2696, 16, true, true, 1},
      {[] { return std::make_unique<RadioWideBlock>(); }, 2832, 32, true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    std::unique_ptr<RawList> block = c.make();
    EXPECT_EQ(block->add_entry(), 0u);
    if (!c.adds) {
      EXPECT_EQ(block->record().entry_count(), 0u);
      block->unpack(kTwoEntries.data(), kTwoEntries.size());
      EXPECT_EQ(block->add_entry(), 0u);
      EXPECT_EQ(block->record().entry_count(), 2u);
      EXPECT_EQ(block->record().entry(0).text(c.raw), "AB0C7F");
      if (c.deletes) {
        block->delete_entry(0);
        EXPECT_EQ(block->record().entry(0).text(c.raw), "0010FF");
        EXPECT_EQ(error_of([&] { block->delete_entry(0); }), err::kBelowMinimum);
      } else {
        block->delete_entry(0);
        block->delete_entry(9);
        EXPECT_EQ(block->record().entry_count(), 2u);
      }
      continue;
    }
    // A block made afresh: its fresh record size, all zero, and a frame of its own.
    ASSERT_EQ(block->record().entry_count(), 1u);
    EXPECT_EQ(block->record().entry(0).text(c.raw), std::string(2 * c.fresh_size, '0'));
    Image fresh = {0x81, 0x00, static_cast<uint8_t>(c.fresh_size), 0x01};
    fresh.resize(c.fresh_size + 5);
    EXPECT_EQ(block->pack(), test::resealed(fresh));
    EXPECT_EQ(error_of([&] { block->add_entry(); }), err::kAboveMaximum);
    EXPECT_EQ(error_of([&] { block->delete_entry(0); }), err::kBelowMinimum);
  }
}

TEST(Gen2RawBlocks, RawTextRefusedLeavesTheBlockAsItWas) {
  DataBlock2004 block;
  block.unpack(kTwoEntries.data(), kTwoEntries.size());
  const BlockRecord before = block.get_record();
  for (const char* text : {"ABC", "GG", "AABBCCDD"})  // odd, not hex, too long
    EXPECT_EQ(error_of([&] { block.set_field(0, {2071, text, 1}); }), err::kInvalidData) << text;
  EXPECT_EQ(error_of([&] { block.set_field(2, {2071, "00", 1}); }), err::kBadIndex);
  EXPECT_EQ(error_of([&] { block.set_field(0, {2070, "00", 1}); }), err::kFieldNotFound);

  BlockRecord lacking = before;
  lacking.entry(1) = FieldList{};
  EXPECT_EQ(error_of([&] { block.set_record(lacking); }), err::kFieldNotFound);
  EXPECT_EQ(block.get_record(), before);

  // The record size lowered under a text set before: packing refuses it.
  block.set_field(0, {kRecordSize, "2", 2});
  EXPECT_EQ(error_of([&] { block.pack(); }), err::kInvalidData);
}

}  // namespace
}  // namespace cps::gen2
