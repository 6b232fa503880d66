// The FSD signalling systems (blocks 41/466): golden images, bad images, the identity digits,
// the limits, refused sets that change nothing, and field 751 with the market class.
#include "gen1/blocks/fsd_systems.h"
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
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  std::vector<std::pair<int32_t, size_t>> deleted;
};

FsdSystems make(int market_class = 0, uint8_t mobile = 1) {
  FsdSystems block;
  own_context(block.base).market_class = market_class;
  block.base.mobile = mobile;
  block.build_default();
  return block;
}

// A system with its fields away from their defaults; 0x80 of byte 23 is field 751.
const Image kSystem = {0x17, 0x86, 20, 180, 0, 0, 0xD1, 0xE0, 0xEA, 0x0E, 170, 1, 255, 10, 5, 20, 96, 2, 0, 0,
                       1, 17, 0x97, 0xF1, 0x0B, 180, 7, 0x01, 0, 0};

Image system_image(const std::vector<Image>& records) {
  Image image = {128, 30, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) image.insert(image.end(), r.begin(), r.end());
  image.push_back(0);
  return test::resealed(image);
}

Image with(size_t at, uint8_t value) {
  Image r = kSystem;
  r[at] = value;
  return system_image({r});
}

TEST(FsdSystems, Images) {
  FsdSystems block = make(1);
  const Image systems = system_image({kSystem});
  const Image aliases = test::resealed({132, 16, 1, 0, 1, 16, 'F', 'S', 'D', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(error_of([&] { block.unpack(466, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  block.unpack(41, systems.data(), systems.size());
  block.unpack(466, aliases.data(), aliases.size());
  EXPECT_EQ(error_of([&] { block.unpack(466, aliases.data(), aliases.size()); }), err::kUnpackFailure);  // used up
  std::string texts;
  for (size_t i = 0; i < block.block().entry(0).count(); ++i) texts += block.block().entry(0).text_at(i) + ",";
  EXPECT_EQ(texts,
            "Pre and Post,1,0,1,0,Auto w/o Carrier Override,1,0,0,0,Call Alert w/ Voice,500,4500,0,D1E0,A0E,17.0,"
            "1,255,10,5,500,96,50,0,0,1,17,Manual and Auto,1,1200 Hz or 1800 Hz,1,0,0,1,1,0,0,0,1,non-Silent,"
            "120,10,180,7,1,1,FSD,");
  EXPECT_EQ(block.pack(41), systems);
  EXPECT_EQ(block.pack(466), aliases);

  EXPECT_EQ(make(0, 0).block().entry(0).text(327), "300");  // shorter on a portable
  // A radio's image may hold the identity 0000 (only a set refuses it); these it may not.
  Image bad_sum = systems;
  bad_sum.back() ^= 1;
  const std::tuple<const char*, Image, int> cases[] = {
      {"short", Image(systems.begin(), systems.end() - 1), err::kShortImage},
      {"checksum", bad_sum, err::kChecksum},
      {"fleet without E", with(8, 0xDA), err::kInvalidData},
      {"first system digit E", with(6, 0xE0), err::kInvalidData},
      {"call alert code 3", with(1, 0xC6), err::kChoiceNotFound},
      {"identity 0000", test::patched(with(6, 0), {{3 + 7, 0}}), 0},
  };
  for (const auto& [what, image, code] : cases) {
    FsdSystems fresh = make();
    const BlockRecord before = fresh.block();
    EXPECT_EQ(error_of([&] { fresh.unpack(41, image.data(), image.size()); }), code) << what;
    if (code) {
      EXPECT_EQ(fresh.block(), before) << what;
    }
  }
}

// Every refused set leaves the block as it was.
TEST(FsdSystems, Sets) {
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {330, "0000", 1}, err::kInvalidData}, {0, {330, "DEEE", 1}, 0},
      {0, {330, "E000", 1}, err::kInvalidData}, {0, {330, "1F11", 1}, err::kInvalidData},
      {0, {331, "F00", 1}, err::kInvalidData},  {0, {751, "1", 1}, err::kFieldNotFound},
      {1, {330, "0000", 1}, err::kBadIndex},
  };
  for (const auto& [index, field, code] : fields) {
    FsdSystems block = make();
    BlockRecord expected = block.block();
    if (!code) expected.entry(0).set_text(field.id, field.value);
    EXPECT_EQ(error_of([&] { block.set_field(index, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(block.block(), expected) << field.id;
  }

  // A whole record: never system 0000, and field 751 present in class 1.
  FsdSystems block = make(1);
  const BlockRecord good = block.block();
  BlockRecord given = good;
  given.entry(0).set_text(330, "0000");
  EXPECT_EQ(error_of([&] { block.set_block(given); }), err::kInvalidData);
  given.entry(0) = FieldList{};
  for (size_t i = 0; i < good.entry(0).count(); ++i)
    if (good.entry(0).id_at(i) != 751) given.entry(0).add(good.entry(0).at(i));
  EXPECT_EQ(error_of([&] { block.set_block(given); }), err::kFieldNotFound);
  EXPECT_EQ(block.block(), good);
}

TEST(FsdSystems, LimitsAndForm) {
  FsdSystems block = make();
  Recording blocks;
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(block.add_list(), i);
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  block.set_field(2, {330, "ABCD", 1});
  block.delete_list(1, blocks);
  EXPECT_EQ(blocks.deleted, (std::vector<std::pair<int32_t, size_t>>{{41, 1}}));
  EXPECT_EQ(block.block().header().text(48) + block.block().entry(1).text(330), "3ABCD");
  block.delete_list(0, blocks);
  block.delete_list(1, blocks);
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  EXPECT_EQ(block.block().entry_count(), 1u);

  // Field 751 comes with market classes 1 and 2 and goes with class 0; other values stay.
  own_context(block.base).market_class = 1;
  block.adapt_to_form();
  EXPECT_EQ(block.block().entry(0).text(751), "0");
  own_context(block.base).market_class = 0;
  block.adapt_to_form();
  EXPECT_FALSE(block.block().entry(0).contains(751));
  EXPECT_EQ(block.block().entry(0).text(330), "ABCD");
}

}  // namespace
}  // namespace cps
