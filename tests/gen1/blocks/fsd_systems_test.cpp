// The FSD signalling systems (blocks 41/466): golden images, bad images, the identity digits,
// refused sets that change nothing, and field 751 with the market class.
#include "gen1/blocks/fsd_systems.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

namespace cps {
namespace {

using Image = std::vector<uint8_t>;

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

Image system_image(const std::vector<Image>& records) { return test::list_image(128, 30, records); }
Image with(size_t at, uint8_t value) { return system_image({test::with(kSystem, at, value)}); }

TEST(FsdSystems, Images) {
  FsdSystems block = make(1);
  const Image systems = system_image({kSystem});
  const Image aliases = test::resealed({132, 16, 1, 0, 1, 16, 'F', 'S', 'D', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  block.unpack(41, systems.data(), systems.size());
  block.unpack(466, aliases.data(), aliases.size());
  std::string texts;
  for (size_t i = 0; i < block.block().entry(0).count(); ++i) texts += block.block().entry(0).text_at(i) + ",";
  EXPECT_EQ(texts,
            "Pre and Post,1,0,1,0,Auto w/o Carrier Override,1,0,0,0,Call Alert w/ Voice,500,4500,0,D1E0,A0E,17.0,"
            "1,255,10,5,500,96,50,0,0,1,17,Manual and Auto,1,1200 Hz or 1800 Hz,1,0,0,1,1,0,0,0,1,non-Silent,"
            "120,10,180,7,1,1,FSD,");
  EXPECT_EQ(block.pack(41), systems);
  EXPECT_EQ(block.pack(466), aliases);

  // A radio's image may hold the identity 0000 (only a set refuses it); these it may not.
  const std::tuple<const char*, Image, int> cases[] = {
      {"fleet without E", with(8, 0xDA), err::kInvalidData},
      {"first system digit E", with(6, 0xE0), err::kInvalidData},
      {"call alert code 3", with(1, 0xC6), err::kChoiceNotFound},
      {"identity 0000", test::patched(with(6, 0), {{3 + 7, 0}}), 0},
  };
  for (const auto& [what, image, code] : cases) {
    FsdSystems fresh = make();
    EXPECT_EQ(test::refused(fresh, [&] { fresh.unpack(41, image.data(), image.size()); }), code) << what;
  }
}

// Every refused set leaves the block as it was.
TEST(FsdSystems, Sets) {
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {330, "0000", 1}, err::kInvalidData}, {0, {330, "DEEE", 1}, 0},
      {0, {330, "E000", 1}, err::kInvalidData}, {0, {330, "1F11", 1}, err::kInvalidData},
      {0, {331, "F00", 1}, err::kInvalidData},  {0, {751, "1", 1}, err::kFieldNotFound},
  };
  for (const auto& [index, field, code] : fields) {
    FsdSystems block = make();
    EXPECT_EQ(test::refused(block, [&] { block.set_field(index, field); }), code) << field.id << " " << field.value;
    if (!code) {
      EXPECT_EQ(block.block().entry(0).text(field.id), field.value);
    }
  }

  // A whole record: never system 0000, and field 751 present in class 1.
  FsdSystems block = make(1);
  const BlockRecord good = block.block();
  BlockRecord given = good;
  given.entry(0).set_text(330, "0000");
  EXPECT_EQ(test::refused(block, [&] { block.set_block(given); }), err::kInvalidData);
  given.entry(0) = FieldList{};
  for (size_t i = 0; i < good.entry(0).count(); ++i)
    if (good.entry(0).id_at(i) != 751) given.entry(0).add(good.entry(0).at(i));
  EXPECT_EQ(test::refused(block, [&] { block.set_block(given); }), err::kFieldNotFound);
}

// Field 751 comes with market classes 1 and 2 and goes with class 0; other values stay.
TEST(FsdSystems, FieldSevenFiftyOneFollowsTheMarketClass) {
  FsdSystems block = make();
  block.set_field(0, {330, "ABCD", 1});
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
