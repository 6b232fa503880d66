// The scan lists (blocks 13/468/12): hand-made regions both ways, empty slots, the members of a
// list, the two oldest layouts, field checks, and the references a channel or trunking deletion
// rewrites.
#include "gen1/blocks/scan_lists.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

ScanLists make(const char* version = "07") {
  ScanLists block;
  block.base.version = version;
  block.build_default();
  return block;
}


// Two lists. List 0: 429 on, 430 "Priority Channel" (2), 434 = 10 x 250, 437 = 16 x 25, 438
// "Conventional" with 441 = 3, 440 = 16 stored as 15, 442 = 4 x 25. List 1: defaults but 441 255.
Image list_region() {
  Image image = {128, 7, 2};
  const Image list0 = {0x09, 0x0A, 16, 0xF1, 3, 4, 0};
  const Image list1 = {0x8D, 0x08, 16, 0x07, 255, 16, 0};
  for (const Image& list : {list0, list1}) {
    image.insert(image.end(), list.begin(), list.end());
    image.push_back(checksum(list.data(), list.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}

// List 0: members ("Conventional", 0) and ("LS Trunking", selector 2, 1) in slots 0 and 1; list 1
// has every slot "Unassigned".
Image member_region() {
  Image image = {128, 32, 2, 9, 0, 16};
  for (int i = 0; i < 2; ++i) {
    Image slots(32, 0);
    if (i == 0) slots = {0x01, 0, 0x22, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    image.insert(image.end(), slots.begin(), slots.end());
    image.push_back(checksum(slots.data(), slots.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}

TEST(ScanLists, RegionsBothWays) {
  ScanLists block = make();
  const Image lists = list_region(), members = member_region();
  block.unpack(13, lists.data(), lists.size());
  block.unpack(12, members.data(), members.size());
  const ListBlockRecord record = block.lists();
  ASSERT_EQ(record.list_count(), 2u);
  EXPECT_EQ(record.list(0).header().text(434), "2500");
  EXPECT_EQ(record.list(0).header().text(440), "15");
  EXPECT_EQ(record.member_count(0), 2u);
  EXPECT_EQ(record.get_member_field(0, 1, 445).value, "2");
  EXPECT_EQ(record.member_count(1), 0u);  // every slot unassigned
  EXPECT_EQ(block.pack(13), lists);
  EXPECT_EQ(block.pack(12), members);

  // Members need the lists first.
  ScanLists fresh = make();
  EXPECT_EQ(error_of([&] { fresh.unpack(12, members.data(), members.size()); }), err::kUnpackFailure);
}

TEST(ScanLists, MembersAndCounts) {
  ScanLists block = make();
  block.add_list();
  // A new list holds exactly one member, of type "Selected"; a list holds 16 at most.
  EXPECT_EQ(block.lists().member_count(1), 1u);
  EXPECT_EQ(block.lists().get_member_field(1, 0, 443).value, "Selected");
  for (size_t j = 1; j < 16; ++j) EXPECT_EQ(block.add_member(0), j);
  EXPECT_EQ(error_of([&] { block.add_member(0); }), err::kAboveMaximum);

  // 441 = 256 and 440 = 16 read back as 255 and 15.
  block.set_field(0, {441, "256", 1});
  block.set_field(0, {440, "16", 2});
  ScanLists back = make();
  const Image lists = block.pack(13);
  back.unpack(13, lists.data(), lists.size());
  EXPECT_EQ(back.lists().list(0).header().text(441), "255");
  EXPECT_EQ(back.lists().list(0).header().text(440), "15");
}

TEST(ScanLists, RefusedSetsChangeNothing) {
  ScanLists block = make();
  const ListBlockRecord before = block.lists();
  for (const auto& [field, error] : {std::pair{FieldValue{430, "Never", 1}, err::kChoiceNotFound},
                                     {FieldValue{434, "800", 1}, err::kInvalidData},  // off its 250 step
                                     {FieldValue{51, "2", 1}, err::kInvalidData},     // not the count
                                     {FieldValue{47, "7", 2}, err::kFieldNotFound}}) {  // passes, not held
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), error) << field.id << " " << field.value;
    EXPECT_EQ(block.lists(), before) << field.id;
  }
}

// In the two oldest layouts a sample time of 0 is taken as 400 and "Last Active" packs as
// "Selected", in the record too; later layouts keep both.
TEST(ScanLists, OldestLayouts) {
  for (const char* version : {"02", "03"}) {
    const bool legacy = std::string(version) < "03";
    ScanLists block = make(version);
    EXPECT_EQ(error_of([&] { block.set_field(0, {442, "0", 1}); }), legacy ? 0 : err::kInvalidData) << version;
    if (legacy) {
      EXPECT_EQ(block.lists().list(0).header().text(442), "400");
    }
    block.set_field(0, {438, "Last Active", 1});
    block.pack(13);
    EXPECT_EQ(block.lists().list(0).header().text(438), legacy ? "Selected" : "Last Active") << version;
  }
}

// A deleted channel or trunking system: members naming it go, members of that kind behind it
// move down, the other kind stays; the designated channel naming it becomes "Selected" with no
// index.
TEST(ScanLists, DeletionRewritesMembersAndTheDesignatedChannel) {
  const struct { int32_t deleted; const char* designated; const char* after; } cases[] = {
      {38, "Conventional", "Conventional 1, LS Trunking 1, LS Trunking 2, "},
      {32, "LS Trunking", "Conventional 1, Conventional 2, LS Trunking 1, "},
  };
  for (const auto& c : cases) {
    ScanLists block = make();
    test::Recorder blocks;
    const std::pair<const char*, const char*> members[] = {
        {"Conventional", "1"}, {"Conventional", "2"}, {"LS Trunking", "1"}, {"LS Trunking", "2"}};
    for (size_t j = 0; j < 4; ++j) {
      if (j > 0) block.add_member(0);
      block.set_member_field(0, j, {443, members[j].first, 1}, blocks);
      block.set_member_field(0, j, {446, members[j].second, 1}, blocks);
    }
    block.set_field(0, {438, c.designated, 1});
    block.set_field(0, {441, "1", 1});
    EXPECT_TRUE(block.rewrite_deleted(c.deleted, 1, blocks, true).empty());
    const ListBlockRecord record = block.lists();
    std::string shown;
    for (size_t j = 0; j < record.member_count(0); ++j)
      shown += record.get_member_field(0, j, 443).value + " " + record.get_member_field(0, j, 446).value + ", ";
    EXPECT_EQ(shown, c.after) << c.deleted;
    EXPECT_EQ(record.list(0).header().text(438) + record.list(0).header().text(441), "Selected255");
  }
  EXPECT_EQ(make().referenced_blocks(), (std::vector<int32_t>{38, 32}));
}

}  // namespace
}  // namespace cps
