// Block 40: a hand-made image both ways, refused images and sets that change nothing, and the
// system reference rewritten when a trunking system or a channel is deleted.
#include "gen1/blocks/alert_settings.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Switches 285, 287, 290, 292; alerts "Alert 3", "Standard", "Alert 7"; 295..298 = 200, 255, 0,
// 127; 300 on; mode "Silent w/Voice" with 302 = 7 x 20; 303, 305, 309 on; 310..312 = 15, 33, 0;
// trunking system 1.
const Image kGolden = test::resealed({128, 16, 1,
                                      0xA5, 2, 255, 200, 255, 0, 127, 6, 0x01, 0xE3, 0x45, 15, 33, 0, 1, 0x01,
                                      0});

AlertSettings golden() {
  AlertSettings block;
  block.unpack(40, kGolden.data(), kGolden.size());
  return block;
}

TEST(AlertSettings, GoldenImageBothWays) {
  AlertSettings block = golden();
  const FieldList& entry = block.block().entry(0);
  ASSERT_EQ(entry.count(), 31u);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {285, "1"}, {286, "0"}, {290, "1"}, {292, "1"}, {293, "Alert 3"}, {294, "Standard"}, {295, "200"},
           {296, "255"}, {298, "127"}, {299, "Alert 7"}, {300, "1"}, {301, "Silent w/Voice"}, {302, "140"},
           {303, "1"}, {304, "0"}, {305, "1"}, {309, "1"}, {310, "15"}, {311, "33"}, {313, "1"},
           {314, "LS Trunking"}, {315, "0"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(std::tuple(entry.get(303).attribute, entry.get(315).attribute, entry.get(302).attribute), std::tuple(2, 2, 1));
  EXPECT_EQ(block.block().header().get(48).attribute, 2);
  EXPECT_EQ(block.pack(40), kGolden);
}

// Every refused image leaves the block as it was.
TEST(AlertSettings, RefusedImages) {
  Image size_15(kGolden.begin(), kGolden.end() - 1);
  size_15[1] = 15;
  Image bad_sum = kGolden;
  bad_sum.back() ^= 1;
  struct Case { Image image; int code; } cases[] = {
      {test::patched(kGolden, {{4, 7}}), err::kChoiceNotFound},     // alert codes are 0..6 and 255
      {test::patched(kGolden, {{7, 0}}), err::kInvalidData},        // 296 starts at 1
      {test::patched(kGolden, {{9, 128}}), err::kInvalidData},      // 298 ends at 127
      {test::patched(kGolden, {{12, 0xE4}}), err::kChoiceNotFound}, // mode 4
      {test::patched(kGolden, {{14, 16}}), err::kInvalidData},      // 310 ends at 15
      {test::patched(kGolden, {{18, 0x02}}), err::kChoiceNotFound}, // system type 2
      {test::patched(kGolden, {{18, 0x11}}), err::kInvalidData},    // 315 admits only 0
      {test::resealed(size_15), err::kInvalidData},
      {test::resealed({128, 16, 0, 0}), err::kInvalidData},         // no record
      {Image(kGolden.begin(), kGolden.end() - 1), err::kShortImage},
      {bad_sum, err::kChecksum},
      {test::patched(kGolden, {{11, 0xFF}, {13, 0x80}}), 0},        // bits without a field
  };
  for (const Case& c : cases) {
    AlertSettings block = golden();
    EXPECT_EQ(error_of([&] { block.unpack(40, c.image.data(), c.image.size()); }), c.code) << int{c.image[1]};
    if (c.code != 0) EXPECT_EQ(block.block(), golden().block());
  }
}

TEST(AlertSettings, SetsCheckEachFieldOrChangeNothing) {
  AlertSettings block = golden();
  block.set_field(0, {302, "20", 1});
  block.set_field(0, {293, "Standard", 1});
  EXPECT_EQ(block.pack(40)[4], 255);
  EXPECT_EQ(block.pack(40)[12], 0x23);

  const BlockRecord good = block.block();
  auto changed = [&](int32_t id, const char* text) {
    BlockRecord r = good;
    id < 100 ? r.set_header_field({id, text, 2}) : r.set_entry_field(0, {id, text, 1});
    return r;
  };
  BlockRecord without_313 = good;
  FieldList kept;
  for (size_t k = 0; k < good.entry(0).count(); ++k)
    if (good.entry(0).at(k).id != 313) kept.add(good.entry(0).at(k));
  without_313.entry(0) = kept;
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {{}, {302, "150", 1}, err::kInvalidData}, {{}, {302, "130", 1}, err::kInvalidData},
      {{}, {296, "0", 1}, err::kInvalidData}, {{}, {298, "128", 1}, err::kInvalidData},
      {{}, {315, "1", 2}, err::kInvalidData}, {{}, {313, "256", 1}, err::kInvalidData},
      {{}, {293, "Alert 8", 1}, err::kChoiceNotFound}, {{}, {301, "silent", 1}, err::kChoiceNotFound},
      {{}, {314, "Trunking", 1}, err::kChoiceNotFound},
      {{}, {47, "17", 2}, err::kInvalidData}, {{}, {48, "2", 2}, err::kInvalidData},
      {{}, {46, "1", 2}, err::kFieldNotFound}, {{}, {600, "0", 1}, err::kFieldNotFound},
      {changed(48, "2"), {}, err::kInvalidData}, {changed(47, "15"), {}, err::kInvalidData},
      {changed(299, "Alert 9"), {}, err::kChoiceNotFound}, {without_313, {}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.set_block(c.record); }), c.code)
        << c.field.id;
    EXPECT_EQ(block.block(), good);
  }
  EXPECT_EQ(error_of([&] { block.set_field(1, {302, "40", 1}); }), err::kBadIndex);
  block.set_block(changed(302, "100"));
  EXPECT_EQ(block.block().entry(0).text(302), "100");
}

// The system reference, after trunking system 1 or channel 1 is deleted: a reference to it names
// no system ("Conventional" 255), one above it moves down, 255 and references to the other
// block stay. Where block 453 does not enable block 40, nothing changes.
TEST(AlertSettings, DeletedSystemsAndChannels) {
  struct Case { int32_t deleted; const char* type; const char* index; const char* after; } cases[] = {
      {32, "LS Trunking", "1", "Conventional 255"}, {32, "LS Trunking", "2", "LS Trunking 1"},
      {32, "LS Trunking", "0", "LS Trunking 0"},    {32, "LS Trunking", "255", "LS Trunking 255"},
      {32, "Conventional", "2", "Conventional 2"},  {38, "Conventional", "1", "Conventional 255"},
      {38, "Conventional", "3", "Conventional 2"},  {38, "Conventional", "255", "Conventional 255"},
      {38, "LS Trunking", "3", "LS Trunking 3"},
  };
  for (const Case& c : cases)
    for (bool enabled : {true, false}) {
      Gen1Radio radio({}, {});
      radio.codeplug.reset();
      radio.codeplug.flags().set_enabled(40, enabled);
      Gen1Directory blocks(radio);
      BlockHandler& alerts = *blocks.find(40);
      alerts.set_field(0, {314, c.type, 1});
      alerts.set_field(0, {313, c.index, 1});
      blocks.references_deleted(c.deleted, 1);
      const FieldList& entry = alerts.block().entry(0);
      EXPECT_EQ(entry.text(314) + " " + entry.text(313), enabled ? c.after : std::string(c.type) + " " + c.index)
          << c.deleted << " " << c.type << " " << c.index;
    }
}

}  // namespace
}  // namespace cps
