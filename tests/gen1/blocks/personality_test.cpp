// The personalities (blocks 37/742/36/741): the three images, the member rules, the band rules
// and the trunking references a member change moves.
#include "gen1/blocks/personality.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

Personalities make(const char* band = "VHF") {
  Personalities block;
  block.base.version = "07";
  own_context(block.base).radio.band = band;
  block.build_default();
  return block;
}

// The reference passes the personalities ask for.
struct Directory final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t, size_t) override {}
  void references_moved(int32_t block, size_t list, size_t from, size_t to) override {
    moved.push_back({static_cast<size_t>(block), list, from, to});
  }
  std::vector<std::array<size_t, 4>> moved;
};

struct Images {
  Image personalities, aliases, members;
};
Images pack_all(Personalities& block) { return {block.pack(37), block.pack(742), block.pack(36)}; }

TEST(Personalities, ImagesPackBackToTheirBytes) {
  Personalities block = make();
  Directory blocks;
  block.add_list();
  block.set_field(1, {424, "Fleet", 1});
  block.set_field(1, {672, "60", 1});
  block.set_member_field(1, 3, {688, "0", 2}, blocks);
  block.set_member_field(1, 3, {695, "150.003125", 1}, blocks);
  const Images images = pack_all(block);
  EXPECT_EQ(images.personalities.size(), 2 * 9 + 4u);
  EXPECT_EQ(images.members.size(), 2 * 140 + 7u);
  EXPECT_TRUE(block.pack(741).empty());
  EXPECT_EQ(images.personalities[3 + 9 + 1] & 0x0F, 15);  // 60 / 4
  const uint8_t* member = images.members.data() + 6 + (20 + 3) * 7;
  EXPECT_EQ(member[1] << 8 | member[2], 4481);            // 150.003125 = 136 + 4481 x 3.125 kHz
  EXPECT_EQ(member[3] << 8 | member[4], 0);               // 696 at the lower limit

  Personalities back = make();
  back.unpack(37, images.personalities.data(), images.personalities.size());
  back.unpack(742, images.aliases.data(), images.aliases.size());
  back.unpack(36, images.members.data(), images.members.size());
  back.unpack(741, nullptr, 0);
  EXPECT_EQ(back.lists().list(1).header().text(424), "Fleet");
  EXPECT_EQ(back.lists().get_member_field(1, 3, 695).value, "150.003125");
  EXPECT_EQ(back.lists().get_member_field(1, 3, 688).value, "4481");
  // An unprogrammed member shows the lower limit and packs back to 65535.
  EXPECT_EQ(back.lists().get_member_field(1, 4, 696).value, "136.000000");
  const Images again = pack_all(back);
  EXPECT_EQ(again.personalities, images.personalities);
  EXPECT_EQ(again.aliases, images.aliases);
  EXPECT_EQ(again.members, images.members);
  EXPECT_EQ(error_of([&] { back.set_lists(back.lists()); }), 0);
  EXPECT_EQ(pack_all(back).members, images.members);
}

TEST(Personalities, BrokenImagesAreRefused) {
  Personalities block = make();
  const Images good = pack_all(block);
  const std::pair<Image, int> cases[] = {
      {test::patched(good.members, {{5, 19}}), err::kShortImage},
      {test::patched(good.members, {{2, 2}}), err::kInvalidData},
      {test::patched(good.members, {{6 + 5, 0x03}}), 0},  // a valid change: 6.25 kHz spacing
  };
  for (const auto& [image, code] : cases) {
    block.unpack(37, good.personalities.data(), good.personalities.size());
    EXPECT_EQ(error_of([&] { block.unpack(36, image.data(), image.size()); }), code);
  }
}

TEST(Personalities, MemberRules) {
  Personalities block = make();
  Directory blocks;
  auto member = [&](int32_t id) { return block.lists().get_member_field(0, 2, id).value; };
  block.set_member_field(0, 2, {688, "7", 2}, blocks);
  EXPECT_EQ(member(689), "7");
  EXPECT_EQ(member(695), "136.000000");
  EXPECT_EQ(member(690), "De-Emphasis and Pre-Emphasis");
  block.set_member_field(0, 2, {691, "1", 1}, blocks);
  EXPECT_EQ(std::pair(member(697), member(698)), std::pair(std::string("Full Compression"), std::string("Full Expansion")));
  block.set_member_field(0, 2, {693, "12.5", 1}, blocks);
  EXPECT_EQ(member(692), "2.5");
  // Resetting a member's count to another value resets its other fields.
  block.set_member_field(0, 2, {689, "9", 2}, blocks);
  EXPECT_EQ(std::tuple(member(688), member(691), member(693)), std::tuple("9", "0", "25"));
  // Unprogramming it moves the trunking references to the first programmed member.
  block.set_member_field(0, 5, {688, "3", 2}, blocks);
  block.set_member_field(0, 2, {689, "65535", 2}, blocks);
  EXPECT_EQ(member(688), "65535");
  ASSERT_EQ(blocks.moved.size(), 1u);
  EXPECT_EQ(blocks.moved[0], (std::array<size_t, 4>{37, 0, 2, 5}));

  struct Case { FieldValue field; int error; };
  const Case cases[] = {
      {{692, "2.5", 2}, err::kFieldNotFound},   // follows the spacing only
      {{695, "174.1", 1}, err::kInvalidData},
      {{690, "Both", 1}, err::kChoiceNotFound},
      {{688, "65536", 2}, err::kInvalidData},
  };
  for (const Case& c : cases) {
    const ListBlockRecord before = block.lists();
    EXPECT_EQ(error_of([&] { block.set_member_field(0, 2, c.field, blocks); }), c.error) << c.field.id;
    EXPECT_EQ(block.lists(), before);
  }
  EXPECT_EQ(error_of([&] { block.set_member_field(0, 20, {694, "1", 1}, blocks); }), err::kBadIndex);
  EXPECT_EQ(error_of([&] { block.add_member(0); }), err::kAboveMaximum);
  Personalities low = make("Low");
  EXPECT_EQ(error_of([&] { low.set_member_field(0, 0, {685, "2.100", 1}, blocks); }), err::kInvalidData);
}

TEST(Personalities, BandRulesAndTheList) {
  Personalities vhf = make("VHF"), band800 = make("800");
  EXPECT_EQ(error_of([&] { band800.set_field(0, {679, "Low", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { band800.set_field(0, {675, "1", 1}); }), 0);
  EXPECT_EQ(error_of([&] { vhf.set_field(0, {675, "1", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { vhf.set_field(0, {679, "Low", 1}); }), 0);
  EXPECT_EQ(error_of([&] { vhf.set_field(0, {681, "0", 2}); }), err::kFieldNotFound);
  EXPECT_EQ(error_of([&] { vhf.set_field(0, {672, "13", 1}); }), err::kInvalidData);  // step 4
  EXPECT_EQ(band800.lists().list(0).header().text(674), "1");
  EXPECT_EQ(vhf.lists().list(0).header().text(674), "0");

  EXPECT_EQ(vhf.add_list(), 1u);
  EXPECT_EQ(vhf.lists().list(1).header().text(671), "1");
  EXPECT_EQ(vhf.lists().member_count(1), 20u);

  ListBlockRecord record = band800.lists();
  record.list(0).remove_entry(19);
  EXPECT_EQ(error_of([&] { band800.set_lists(record); }), err::kInvalidData);  // twenty members each
}

}  // namespace
}  // namespace cps
