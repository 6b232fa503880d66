// The phone systems (blocks 11/658): hand-made images both ways, the defaults as bytes on a
// mobile and a portable, broken images and refused values (each changing nothing), the
// trunking fields that only a trunking radio sets, the limits, and the references that deleting
// a phone system or a trunking system rewrites.
#include "gen1/blocks/phone_systems.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "gen1/values/radio_context.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
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

Image systems(const std::vector<Image>& records, uint8_t size = 24) {
  Image image = {128, size, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) image.insert(image.end(), r.begin(), r.end());
  image.push_back(0);
  return test::resealed(image);
}
Image with(Image record, size_t at, uint8_t value) {
  record[at] = value;
  return record;
}

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
  EXPECT_EQ(error_of([&] { block.unpack(658, aliases.data(), aliases.size()); }), err::kUnpackFailure);

  // Broken images change nothing.
  const std::pair<Image, int> cases[] = {
      {systems({with(kOtherSystem, 2, 181)}), err::kInvalidData},       // 4525 ms
      {systems({with(kOtherSystem, 11, 0xCD)}), err::kChoiceNotFound},  // nibble 13 in 585
      {systems({with(kOtherSystem, 20, 0x0A)}), err::kInvalidData},     // 599 = 1
  };
  const BlockRecord before = block.block();
  for (const auto& [image, error] : cases) {
    EXPECT_EQ(error_of([&] { block.unpack(11, image.data(), image.size()); }), error) << &image - &cases[0].first;
    EXPECT_EQ(block.block(), before);
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
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(0, c.field); }), c.error) << c.field.id << " " << c.field.value;
    if (c.error) {
      EXPECT_EQ(block.block(), before) << c.field.id;
    } else {
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

// A portable radio taking three trunking systems, with three phone systems, three trunking
// systems and three channels.
Gen1Radio phone_radio() {
  Gen1Radio radio({}, {});
  BlockRecord info = radio.block2.block();
  for (auto [id, text] : {std::pair(61, "1"), {66, "Portable"}, {667, "Tobin"}, {743, "3"}})
    info.entry(0).set_text(id, text);
  radio.block2.set_block(info);
  radio.codeplug.base.mobile = radio.mobile_flag();
  radio.codeplug.reset();
  for (int32_t id : {37, 742, 36, 741, 32, 33, 34, 35}) radio.codeplug.flags().set_enabled(id, true);
  radio.refresh_facts();
  Gen1Directory blocks(radio);
  for (int32_t id : {11, 11, 32, 32, 38, 38}) blocks.find(id)->add_list();
  return radio;
}

std::string column(const BlockRecord& record, int32_t a, int32_t b = 0) {
  std::string out;
  for (size_t i = 0; i < record.entry_count(); ++i)
    out += record.entry(i).text(a) + (b ? "/" + record.entry(i).text(b) : "") + " ";
  return out;
}

// Deleting phone system 1: channels and trunking systems on it name none, those on 2 name 1, and
// 255 stays.
TEST(PhoneSystems, DeletingASystemRewritesChannelsAndTrunkingSystems) {
  Gen1Radio radio = phone_radio();
  Gen1Directory blocks(radio);
  BlockHandler &phones = *blocks.find(658), &channels = *blocks.find(38), &trunking = *blocks.find(32);
  for (auto [i, phone] : {std::pair(0, "1"), {1, "2"}, {2, "255"}}) {
    channels.set_field(i, {419, phone, 1});
    trunking.set_field(i, {723, phone, 1});
  }
  phones.delete_list(1, blocks);
  EXPECT_EQ(column(channels.block(), 419), "255 1 255 ");
  EXPECT_EQ(column(trunking.block(), 723), "255 1 255 ");

  // Four systems at most, and the last one stays.
  while (phones.block().entry_count() < 4) phones.add_list();
  EXPECT_EQ(error_of([&] { phones.add_list(); }), err::kAboveMaximum);
  while (phones.block().entry_count() > 1) phones.delete_list(0, blocks);
  EXPECT_EQ(error_of([&] { phones.delete_list(0, blocks); }), err::kBelowMinimum);
}

// Deleting trunking system 1: phone systems on it become "Unassigned" with none, those on 2 name
// 1; an unassigned system's index and a 255 stay as they are.
TEST(PhoneSystems, DeletingATrunkingSystemUnassignsThePhoneSystems) {
  Gen1Radio radio = phone_radio();
  Gen1Directory blocks(radio);
  BlockHandler& phones = *blocks.find(11);
  blocks.find(11)->add_list();
  const std::pair<const char*, const char*> set[] = {
      {"LS Trunking", "1"}, {"LS Trunking", "2"}, {"LS Trunking", "255"}, {"Unassigned", "2"}};
  for (size_t i = 0; i < 4; ++i) {
    phones.set_field(i, {600, set[i].first, 1});
    phones.set_field(i, {601, set[i].second, 1});
  }
  blocks.find(32)->delete_list(1, blocks);
  EXPECT_EQ(column(phones.block(), 600, 601),
            "Unassigned/255 LS Trunking/1 LS Trunking/255 Unassigned/2 ");
}

}  // namespace
}  // namespace cps
