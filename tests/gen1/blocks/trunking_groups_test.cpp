// The LS trunking group lists (blocks 34/35): hand-made regions both ways, the block's own
// checks, and refusals that leave the block as it was.
#include "gen1/blocks/trunking_groups.h"

#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Two lists: list 0 scans, priority slot 2, talks on slot 1; list 1 the defaults.
Image list_region() {
  Image image = {128, 2, 2};
  for (const Image& list : {Image{0x82, 0x01}, Image{0x0F, 0x00}}) {
    image.insert(image.end(), list.begin(), list.end());
    image.push_back(checksum(list.data(), list.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}

// List 0 slot 0: group 17, receive only, home repeater 20; slot 1: group 250, call alert,
// repeater 3; the other slots unused (repeater 1).
Image member_region(uint8_t lists = 2, uint8_t slot_size = 2) {
  Image image = {128, 16, lists, 5, slot_size, 8};
  for (int i = 0; i < lists; ++i) {
    Image slots;
    for (int j = 0; j < 8; ++j) {
      if (i == 0 && j == 0) slots.insert(slots.end(), {17, 0x94});
      else if (i == 0 && j == 1) slots.insert(slots.end(), {250, 0x43});
      else slots.insert(slots.end(), {0, 0x01});
    }
    image.insert(image.end(), slots.begin(), slots.end());
    image.push_back(checksum(slots.data(), slots.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}

TEST(TrunkingGroups, HandMadeRegionsBothWays) {
  TrunkingGroups block;
  block.unpack(34, list_region().data(), list_region().size());
  block.unpack(35, member_region().data(), member_region().size());
  const ListBlockRecord record = block.lists();
  ASSERT_EQ(record.list_count(), 2u);
  EXPECT_EQ(record.header().text(51), "2");
  EXPECT_EQ(record.header().text(943), "5");
  const FieldList& list0 = record.list(0).header();
  EXPECT_EQ(list0.text(940) + list0.text(941) + list0.text(942), "121");
  EXPECT_EQ(record.list(1).header().text(941), "15");
  ASSERT_EQ(record.member_count(0), TrunkingGroups::kSlots);
  const FieldList& slot0 = record.list(0).entry(0);
  const FieldList& slot1 = record.list(0).entry(1);
  EXPECT_EQ(slot0.text(944) + "/" + slot0.text(946) + slot0.text(947) + "/" + slot0.text(945), "17/10/20");
  EXPECT_EQ(slot1.text(944) + "/" + slot1.text(946) + slot1.text(947) + "/" + slot1.text(945), "250/01/3");
  EXPECT_EQ(block.pack(34), list_region());
  EXPECT_EQ(block.pack(35), member_region());
}

TEST(TrunkingGroups, RefusalsChangeNothing) {
  TrunkingGroups block;
  test::Recorder passes;
  const std::pair<FieldValue, int> sets[] = {
      {{944, "251", 1}, err::kInvalidData}, {{940, "1", 1}, err::kFieldNotFound}};
  for (const auto& [field, code] : sets)
    EXPECT_EQ(test::refused(block, [&] { block.set_member_field(0, 0, field, passes); }), code) << field.id;
  EXPECT_EQ(error_of([&] { block.add_member(0); }), err::kAboveMaximum);

  // The priority names one of the eight slots or none; a list holds eight slots.
  for (auto [value, code] : {std::pair("7", 0), {"8", err::kInvalidData}, {"15", 0}}) {
    ListBlockRecord record = block.lists();
    record.list(0).header().set_text(941, value);
    EXPECT_EQ(test::refused(block, [&] { block.set_lists(record); }), code) << value;
  }
  ListBlockRecord no_slots = block.lists();
  no_slots.list(0).clear_entries();
  EXPECT_EQ(test::refused(block, [&] { block.set_lists(no_slots); }), err::kInvalidData);

  const std::pair<Image, int> members[] = {
      {member_region(1), err::kInvalidData},                    // one list against two
      {member_region(2, 3), err::kShortImage},                  // another slot size
  };
  for (const auto& [bytes, code] : members) {
    block.unpack(34, list_region().data(), list_region().size());  // a failed member region uses the mark up
    EXPECT_EQ(test::refused(block, [&] { block.unpack(35, bytes.data(), bytes.size()); }), code);
  }
}

}  // namespace
}  // namespace cps
