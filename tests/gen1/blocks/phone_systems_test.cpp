// The phone systems (blocks 11/658): hand-made images both ways, the defaults as bytes on a
// mobile and a portable, broken images and refused values (each changing nothing), and the
// trunking fields that only a trunking radio sets.
#include "gen1/blocks/phone_systems.h"

#include "gen1/block_test_support.h"
#include "gen1/values/radio_context.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::with;
using Image = std::vector<uint8_t>;

// 581 on, 500 ms, no access strings, 100 and 75 ms as (stored + 1) x 25, "Live Dial" with 592
// and (on a mobile) 590 on, 1.0 s as 2 half seconds, "Timed", "Immediate Auto", 100 and 1000
// ms, "Unassigned" with no trunking system.
const Image kDefaultSystem = {0x20, 0, 20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0xFF, 3, 2, 0x4B, 0, 4, 40, 0, 255, 0, 0};
const Image kOtherSystem = {0x10, 0, 180, 0, 0, 0, 0x55, 0x51, 0x23, 0x4F, 0xBA, 0xC9,
                            0xFF, 0xFF, 255, 0, 0xF4, 0x51, 0, 180, 0x02, 1, 0, 0};
const std::vector<std::pair<int32_t, const char*>> kOtherTexts = {
    {582, "1"}, {581, "0"}, {583, "4500"}, {584, "5551234"}, {585, "*0#9"}, {586, "6400"}, {587, "25"},
    {593, "Buffered Dial"}, {592, "0"}, {591, "1"}, {590, "0"}, {589, "1"}, {588, "3.5"}, {596, "1"},
    {595, "Continuous"}, {594, "Manual"}, {597, "0"}, {598, "4500"}, {600, "LS Trunking"}, {599, "0"},
    {601, "1"}, {424, ""}};

Image systems(const std::vector<Image>& records) { return test::list_image(128, 24, records); }

PhoneSystems make(bool trunking = false, uint8_t mobile = 1) {
  PhoneSystems block;
  own_context(block.base).radio.trunking = trunking;
  block.base.mobile = mobile;
  block.build_default();
  return block;
}

TEST(PhoneSystems, ImagesBothWays) {
  PhoneSystems block = make();
  EXPECT_EQ(block.pack(11), systems({kDefaultSystem}));
  EXPECT_EQ(make(false, 0).pack(11), systems({with(kDefaultSystem, 16, 0x43)}));  // 590 off on a portable

  const Image two = systems({kOtherSystem, kDefaultSystem});
  Image aliases = {132, 8, 2, 0, 1, 8, 'O', 'P', 'E', 'R', 'A', 'T', 'O', 'R'};
  aliases.insert(aliases.end(), 8, 0xFF);
  aliases.push_back(0);
  aliases = test::resealed(aliases);
  block.unpack(11, two.data(), two.size());
  block.unpack(658, aliases.data(), aliases.size());
  for (auto [id, text] : kOtherTexts) EXPECT_EQ(block.block().entry(0).text(id), id == 424 ? "OPERATOR" : text) << id;
  EXPECT_EQ(block.block().entry(0).get(599).attribute, 2);
  EXPECT_EQ(block.block().entry(0).get(596).attribute, 2);
  EXPECT_EQ(block.block().entry(1), make().block().entry(0));
  EXPECT_EQ(block.pack(11), two);

  // Broken images change nothing.
  const std::pair<Image, int> cases[] = {
      {systems({with(kOtherSystem, 11, 0xCD)}), err::kChoiceNotFound},  // nibble 13 in 585
      {systems({with(kOtherSystem, 20, 0x0A)}), err::kInvalidData},     // 599 = 1
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Image& image = cases[i].first;
    EXPECT_EQ(test::refused(block, [&] { block.unpack(11, image.data(), image.size()); }), cases[i].second) << i;
  }
}

TEST(PhoneSystems, FieldRules) {
  struct Case { bool trunking; FieldValue field; int error; };
  const Case cases[] = {
      {false, {585, "12A", 1}, err::kChoiceNotFound},
      // The trunking fields: not on a radio without trunking, whatever the value.
      {false, {600, "LS Trunking", 1}, err::kFieldNotFound}, {true, {600, "LS Trunking", 1}, 0},
      {true, {599, "1", 2}, err::kInvalidData},      {true, {599, "0", 2}, 0},
  };
  for (const Case& c : cases) {
    PhoneSystems block = make(c.trunking);
    EXPECT_EQ(test::refused(block, [&] { block.set_field(0, c.field); }), c.error) << c.field.id << " " << c.field.value;
    if (!c.error) {
      EXPECT_EQ(block.block().entry(0).get(c.field.id), c.field);
    }
  }

  // A whole record may name a trunking system on any radio.
  PhoneSystems block = make();
  BlockRecord record = block.block();
  record.entry(0).set_text(600, "LS Trunking");
  record.entry(0).set_text(601, "0");
  block.set_block(record);
  EXPECT_EQ(block.block(), record);
}

}  // namespace
}  // namespace cps
