// The channel groups (block 6): golden images, bad images, the members (their limit from block 2),
// refused sets that change nothing, and the references a deletion reaches.
#include "gen1/blocks/channel_groups.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <tuple>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

struct Recording final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { log += "L" + std::to_string(id) + "." + std::to_string(index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  void references_member_deleted(int32_t id, size_t list, size_t member) override {
    log += "M" + std::to_string(id) + "." + std::to_string(list) + "." + std::to_string(member);
  }
  std::string log;
};

ChannelGroups make(int limit = 16) {
  ChannelGroups block;
  own_context(block.base).radio.group_members = limit;
  block.build_default();
  return block;
}

// Group 0: ("Conventional", 0, 5), ("LS Trunking", 3, 1), ("Selected", 0, 0); group 1 empty.
const Image kTwoGroups = test::resealed({0x81, 0, 2, 0x80, 2, 3, 0x01, 5, 0x32, 1, 0x07, 0, 0, 0});

std::string members(const ListBlockRecord& r, size_t g) {
  std::string out = r.list(g).header().text(48) + ":";
  for (size_t m = 0; m < r.member_count(g); ++m)
    for (int32_t id : {425, 426, 427}) out += " " + r.get_member_field(g, m, id).value;
  return out;
}

TEST(ChannelGroups, Images) {
  ChannelGroups block = make();
  block.unpack(6, kTwoGroups.data(), kTwoGroups.size());
  const ListBlockRecord& record = block.lists();
  std::string header;
  for (int32_t id : {49, 50, 51, 46, 47}) header += record.header().text(id) + " ";
  EXPECT_EQ(header, "129 0 2 128 2 ");
  EXPECT_EQ(members(record, 0), "3: Conventional 0 5 LS Trunking 3 1 Selected 0 0");
  EXPECT_EQ(members(record, 1), "0:");
  EXPECT_EQ(block.pack(6), kTwoGroups);
  EXPECT_EQ(make().pack(6), test::resealed({128, 0, 1, 128, 2, 1, 0x01, 0, 0}));  // the first channel

  const std::tuple<const char*, Image, int> cases[] = {
      {"count walks off", test::resealed({0x80, 0, 3, 0x80, 2, 0, 0, 0}), err::kShortImage},
      {"checksum", [] { Image i = kTwoGroups; i.back() ^= 1; return i; }(), err::kChecksum},
      {"member size", test::patched(kTwoGroups, {{4, 3}}), err::kInvalidData},
      {"member type 3", test::patched(kTwoGroups, {{6, 0x03}}), err::kChoiceNotFound},
  };
  for (const auto& [what, image, code] : cases) {
    EXPECT_EQ(error_of([&] { block.unpack(6, image.data(), image.size()); }), code) << what;
    EXPECT_EQ(block.pack(6), kTwoGroups) << what;
  }
}

// A new group starts empty; block 2 limits the members; a group keeps its last member, and a
// member deletion hands its pass on.
TEST(ChannelGroups, Members) {
  ChannelGroups block = make(3);
  Recording blocks;
  block.add_list();
  EXPECT_EQ(members(block.lists(), 1), "0:");
  for (size_t m = 0; m < 3; ++m) EXPECT_EQ(block.add_member(1), m);
  EXPECT_EQ(error_of([&] { block.add_member(1); }), err::kAboveMaximum);
  EXPECT_EQ(error_of([&] { block.delete_member(0, 0, blocks); }), err::kBelowMinimum);
  block.delete_member(1, 1, blocks);
  EXPECT_EQ(members(block.lists(), 1), "2: Conventional 0 0 Conventional 0 0");
  EXPECT_EQ(blocks.log, "M6.1.1");
}

// Every refused set leaves the block as it was; an empty group is taken back.
TEST(ChannelGroups, Sets) {
  ChannelGroups base = make(16);
  base.add_member(0);
  const ListBlockRecord good = base.lists();
  using Edit = void (*)(ListBlockRecord&);
  const std::tuple<const char*, Edit, int> records[] = {
      {"17 members", [](ListBlockRecord& r) {
         while (r.member_count(0) < 17) r.list(0).add_entry(r.list(0).entry(0));
         r.list(0).header().set_text(48, "17");
       }, err::kInvalidData},
      {"no 49", [](ListBlockRecord& r) { r.header() = ListBlockRecord{}.header(); }, err::kFieldNotFound},
      {"member type", [](ListBlockRecord& r) { r.list(0).entry(1).set_text(425, "Scan"); }, err::kChoiceNotFound},
      {"an empty group", [](ListBlockRecord& r) {
         r.add_list(BlockRecord{});
         r.list(1).header() = r.list(0).header();
         r.list(1).header().set_text(48, "0");
         r.header().set_text(51, "2");
       }, 0},
  };
  for (const auto& [what, edit, code] : records) {
    ChannelGroups block = base;
    ListBlockRecord given = good;
    edit(given);
    EXPECT_EQ(error_of([&] { block.set_lists(given); }), code) << what;
    EXPECT_EQ(block.lists(), code ? good : given) << what;
  }
}

// A deleted channel: members naming it leave (the counts follow), members above it move down,
// trunking members stay. Where block 453 does not enable the block, nothing changes.
TEST(ChannelGroups, ChannelDeletion) {
  const Image image = test::resealed({0x80, 0, 2, 0x80, 2, 3, 0x01, 1, 0x01, 2, 0x02, 1, 1, 0x01, 1, 0});
  Recording blocks;
  for (bool enabled : {true, false}) {
    ChannelGroups block = make();
    block.unpack(6, image.data(), image.size());
    blocks.log.clear();
    EXPECT_TRUE(block.rewrite_deleted(38, 1, blocks, enabled).empty());
    EXPECT_EQ(blocks.log, enabled ? "M6.0.0M6.1.0" : "");  // the members removed, as deleted members
    EXPECT_EQ(members(block.lists(), 0), enabled ? "2: Conventional 0 1 LS Trunking 0 1"
                                                 : "3: Conventional 0 1 Conventional 0 2 LS Trunking 0 1");
    EXPECT_EQ(members(block.lists(), 1), enabled ? "0:" : "1: Conventional 0 1");
  }
  EXPECT_EQ(make().referenced_blocks(), (std::vector<int32_t>{38, 32}));
}

}  // namespace
}  // namespace cps
