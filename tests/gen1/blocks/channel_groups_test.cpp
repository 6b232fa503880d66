// The channel groups (block 6): a hand-made image both ways, bad images, the group and member
// limits (the member limit from block 2), set checks that change nothing when they refuse, and
// the references a channel deletion or a member deletion reaches.
#include "gen1/blocks/channel_groups.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

struct Recording final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index, 0); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  void references_member_deleted(int32_t id, size_t list, size_t member) override {
    deleted.emplace_back(id, list, member + 100);
  }
  std::vector<std::tuple<int32_t, size_t, size_t>> deleted;
};

// A block on a radio whose groups hold at most `limit` members.
ChannelGroups make(int limit = 16) {
  ChannelGroups block;
  block.base.facts = std::make_shared<RadioFacts>();
  block.base.facts->group_members = limit;
  block.build_default();
  return block;
}

// Two groups: ("Conventional", 0, 5), ("LS Trunking", 3, 1), ("Selected", 0, 0); and none.
Image two_groups() {
  return test::resealed({0x81, 0, 2, 0x80, 2, 3, 0x01, 5, 0x32, 1, 0x07, 0, 0, 0});
}

std::string member(const ListBlockRecord& r, size_t g, size_t m) {
  return r.get_member_field(g, m, 425).value + " " + r.get_member_field(g, m, 426).value + " " +
         r.get_member_field(g, m, 427).value;
}

TEST(ChannelGroups, ImageBothWays) {
  ChannelGroups block = make();
  const Image image = two_groups();
  ASSERT_EQ(image.size(), 14u);
  block.unpack(6, image.data(), image.size());
  const ListBlockRecord record = block.lists();
  ASSERT_EQ(record.list_count(), 2u);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{{49, "129"}, {50, "0"}, {51, "2"}, {46, "128"}, {47, "2"}})
    EXPECT_EQ(record.header().text(id), text) << id;
  EXPECT_EQ(member(record, 0, 0), "Conventional 0 5");
  EXPECT_EQ(member(record, 0, 1), "LS Trunking 3 1");
  EXPECT_EQ(member(record, 0, 2), "Selected 0 0");
  EXPECT_EQ(record.list(0).header().text(48) + "/" + record.list(1).header().text(48), "3/0");
  EXPECT_EQ(record.list(0).header().text(424), "");
  EXPECT_EQ(block.pack(6), image);
  EXPECT_EQ(error_of([&] { block.set_lists(record); }), 0);  // an empty group is taken back

  // A fresh block: one group holding the first conventional channel.
  const ChannelGroups fresh = make();
  EXPECT_EQ(ChannelGroups(fresh).pack(6), test::resealed({128, 0, 1, 128, 2, 1, 0x01, 0, 0}));
}

TEST(ChannelGroups, BadImages) {
  const Image good = two_groups();
  const Image shorter(good.begin(), good.end() - 1);
  const Image walks_off = test::resealed({0x80, 0, 3, 0x80, 2, 0, 0, 0});  // a third group past the end
  Image seventeen(5 + 17 + 1, 0);  // seventeen empty groups
  for (auto [at, value] : {std::pair<size_t, uint8_t>{0, 0x80}, {2, 17}, {3, 0x80}, {4, 2}}) seventeen[at] = value;
  seventeen = test::resealed(seventeen);
  Image bad_sum = good;
  bad_sum.back() ^= 1;
  const std::tuple<const char*, Image, int> cases[] = {
      {"short", shorter, err::kShortImage},
      {"header only", Image(good.begin(), good.begin() + 4), err::kShortImage},
      {"count walks off", walks_off, err::kShortImage},
      {"checksum", bad_sum, err::kChecksum},
      {"field 50", test::patched(good, {{1, 1}}), err::kInvalidData},
      {"no group", test::resealed({0x80, 0, 0, 0x80, 2, 0}), err::kInvalidData},
      {"17 groups", seventeen, err::kInvalidData},
      {"member size", test::patched(good, {{4, 3}}), err::kInvalidData},
      {"member type 3", test::patched(good, {{6, 0x03}}), err::kChoiceNotFound},
  };
  for (const auto& [what, image, code] : cases) {
    ChannelGroups block = make();
    const ListBlockRecord before = block.lists();
    EXPECT_EQ(error_of([&] { block.unpack(6, image.data(), image.size()); }), code) << what;
    EXPECT_EQ(block.lists(), before) << what;
  }
  ChannelGroups block = make();
  EXPECT_EQ(error_of([&] { block.unpack(7, good.data(), good.size()); }), err::kBlockNotSupported);
  EXPECT_EQ(error_of([&] { block.pack(12); }), err::kBlockNotSupported);
}

TEST(ChannelGroups, GroupAndMemberLimits) {
  ChannelGroups block = make(3);
  Recording blocks;
  for (size_t g = 1; g < 16; ++g) EXPECT_EQ(block.add_list(), g);
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(block.lists().header().text(51), "16");
  // A new group starts empty; it takes members up to the radio's limit.
  EXPECT_EQ(block.lists().member_count(15), 0u);
  EXPECT_EQ(block.lists().list(15).header().text(48), "0");
  for (size_t m = 0; m < 3; ++m) EXPECT_EQ(block.add_member(15), m);
  EXPECT_EQ(error_of([&] { block.add_member(15); }), err::kAboveMaximum);
  EXPECT_EQ(block.lists().list(15).header().text(48), "3");
  EXPECT_EQ(member(block.lists(), 15, 2), "Conventional 0 0");

  const ListBlockRecord before = block.lists();
  EXPECT_EQ(error_of([&] { block.delete_member(0, 0, blocks); }), err::kBelowMinimum);  // a group's last member
  EXPECT_EQ(error_of([&] { block.delete_member(15, 3, blocks); }), err::kBadIndex);
  EXPECT_EQ(error_of([&] { block.delete_member(16, 0, blocks); }), err::kBadIndex);
  EXPECT_EQ(error_of([&] { block.add_member(16); }), err::kBadIndex);
  EXPECT_EQ(block.lists(), before);
  EXPECT_TRUE(blocks.deleted.empty());

  block.delete_member(15, 1, blocks);
  EXPECT_EQ(block.lists().list(15).header().text(48), "2");
  block.delete_list(4, blocks);
  EXPECT_EQ(block.lists().header().text(51), "15");
  EXPECT_EQ(blocks.deleted, (std::vector<std::tuple<int32_t, size_t, size_t>>{{6, 15, 101}, {6, 4, 0}}));
  while (block.lists().list_count() > 1) block.delete_list(0, blocks);
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
}

// Every refused set leaves the block as it was.
TEST(ChannelGroups, SetChecks) {
  ChannelGroups base = make(16);
  base.add_member(0);
  const ListBlockRecord good = base.lists();
  using Edit = void (*)(ListBlockRecord&);
  const std::tuple<const char*, Edit, int> cases[] = {
      {"as got", [](ListBlockRecord&) {}, 0},
      {"17 members", [](ListBlockRecord& r) {
         while (r.member_count(0) < 17) r.list(0).add_entry(r.list(0).entry(0));
         r.list(0).header().set_text(48, "17");
       }, err::kInvalidData},
      {"48 not the count", [](ListBlockRecord& r) { r.list(0).header().set_text(48, "1"); }, err::kInvalidData},
      {"51 not the count", [](ListBlockRecord& r) { r.header().set_text(51, "2"); }, err::kInvalidData},
      {"50", [](ListBlockRecord& r) { r.header().set_text(50, "1"); }, err::kInvalidData},
      {"47", [](ListBlockRecord& r) { r.header().set_text(47, "3"); }, err::kInvalidData},
      {"46 not a byte", [](ListBlockRecord& r) { r.header().set_text(46, "256"); }, err::kInvalidData},
      {"no 49", [](ListBlockRecord& r) {
         FieldList h;
         for (int32_t id : {50, 51, 46, 47}) h.add(r.header().get(id));
         r.header() = h;
       }, err::kFieldNotFound},
      {"member type", [](ListBlockRecord& r) { r.list(0).entry(1).set_text(425, "Scan"); }, err::kChoiceNotFound},
      {"selector 16", [](ListBlockRecord& r) { r.list(0).entry(1).set_text(426, "16"); }, err::kInvalidData},
      {"alias character", [](ListBlockRecord& r) { r.list(0).header().set_text(424, "A\x1F"); }, err::kInvalidData},
      {"an empty group", [](ListBlockRecord& r) {
         BlockRecord empty;
         empty.header() = r.list(0).header();
         empty.header().set_text(48, "0");
         r.add_list(empty);
         r.header().set_text(51, "2");
       }, 0},
  };
  for (const auto& [what, edit, code] : cases) {
    ChannelGroups block = base;
    ListBlockRecord given = good;
    edit(given);
    EXPECT_EQ(error_of([&] { block.set_lists(given); }), code) << what;
    EXPECT_EQ(block.lists(), code ? good : given) << what;
  }

  // One field at a time.
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {48, "2", 1}, 0},                {0, {48, "1", 1}, err::kInvalidData},
      {0, {51, "1", 1}, 0},                {0, {51, "2", 1}, err::kInvalidData},
      {0, {50, "1", 2}, err::kInvalidData}, {0, {47, "2", 2}, 0},
      {0, {424, "Home", 1}, 0},            {0, {424, "\xDC", 1}, err::kInvalidData},
      {0, {425, "Conventional", 1}, err::kFieldNotFound},
      {1, {424, "Home", 1}, err::kBadIndex},
  };
  for (const auto& [group, field, code] : fields) {
    ChannelGroups block = base;
    EXPECT_EQ(error_of([&] { block.set_field(group, field); }), code) << field.id << " " << field.value;
    if (code) EXPECT_EQ(block.lists(), good) << field.id;
  }
  ChannelGroups block = base;
  Recording blocks;
  EXPECT_EQ(error_of([&] { block.set_member_field(0, 1, {427, "256", 1}, blocks); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_member_field(0, 2, {427, "1", 1}, blocks); }), err::kBadIndex);
  EXPECT_EQ(block.lists(), good);
}

// A deleted channel: members naming it leave their groups (the count follows), members behind
// it move down, trunking members stay.
TEST(ChannelGroups, ChannelDeletionRewritesMembers) {
  ChannelGroups block = make();
  const Image image = test::resealed({0x80, 0, 2, 0x80, 2, 3, 0x01, 1, 0x01, 2, 0x02, 1, 1, 0x01, 1, 0});
  block.unpack(6, image.data(), image.size());
  Recording blocks;
  EXPECT_TRUE(block.rewrite_deleted(38, 1, blocks, true).empty());
  const ListBlockRecord record = block.lists();
  ASSERT_EQ(record.member_count(0), 2u);
  EXPECT_EQ(member(record, 0, 0), "Conventional 0 1");
  EXPECT_EQ(member(record, 0, 1), "LS Trunking 0 1");
  EXPECT_EQ(record.list(0).header().text(48), "2");
  EXPECT_EQ(record.member_count(1), 0u);
  EXPECT_EQ(record.list(1).header().text(48), "0");
  // Not enabled: nothing changes.
  ChannelGroups off = make();
  off.unpack(6, image.data(), image.size());
  off.rewrite_deleted(38, 1, blocks, false);
  EXPECT_EQ(off.pack(6), image);
  EXPECT_EQ(block.referenced_blocks(), (std::vector<int32_t>{38, 32}));
}

}  // namespace
}  // namespace cps
