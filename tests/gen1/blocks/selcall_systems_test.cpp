// The Sel Call systems (blocks 759/760): hand-made images both ways, the selective-call mode and
// its three bits, the "Ippan" default, the limits, refused input, and the channels a deletion
// rewrites.
#include "gen1/blocks/selcall_systems.h"
#include "gen1/values/radio_context.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using test::Image;
using test::patched;

// The record of a new system, byte by byte.
const Image kDefaultRecord = {0x0D, 0x7B, 0, 0, 20, 0, 0x01, 0x01, 0, 1, 0, 64, 64, 10, 5,
                              2,    0,    2, 0, 20, 1, 2,    0x18, 0x80, 0, 0, 0, 0, 0, 0xE0};

Image image_of(const std::vector<Image>& records) {
  Image image = {128, 30, static_cast<uint8_t>(records.size())};
  for (const Image& record : records) image.insert(image.end(), record.begin(), record.end());
  image.push_back(0);
  return test::resealed(image);
}

// The second record: "Sel Cal" mode, 774 = 4 x 25, 787 = 2.5, 813/814 from nibbles 2 and 1,
// call alert code 2, 807 "Silent", 821 on, 805 "Manual and Auto".
TEST(SelCallSystems, ImageBothWays) {
  const Image second = {0x0D, 0x83, 4, 0, 20, 0, 0x2C, 0x01, 0, 1, 25, 64, 64, 10, 5,
                        2,    0,    2, 0, 20, 1, 2,    0x03, 0x40, 0x21, 0, 0, 0, 0, 0x10};
  const Image image = image_of({kDefaultRecord, second});
  const Image aliases =
      test::resealed({132, 8, 2, 0, 1, 8, 'S', 'E', 'L', ' ', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  SelCallSystems block;
  // The alias image needs the block's own image first, once.
  EXPECT_EQ(error_of([&] { block.unpack(760, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  block.unpack(759, image.data(), image.size());
  block.unpack(760, aliases.data(), aliases.size());
  const FieldList& entry = block.block().entry(1);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {768, "Call Alert w/ Voice"}, {769, "0"}, {774, "100"}, {777, "0"}, {779, "1"}, {781, "3"}, {782, "0"},
           {787, "2.5"}, {805, "Manual and Auto"}, {803, "1200 Hz or 1800 Hz"}, {806, "0"}, {807, "Silent"},
           {813, "30"}, {814, "20"}, {818, "0"}, {821, "1"}, {874, "Sel Cal"}, {424, ""}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(block.block().entry(0).text(424), "SEL 1");
  EXPECT_EQ(block.pack(759), image);
  EXPECT_EQ(block.pack(760), aliases);
  EXPECT_EQ(error_of([&] { block.unpack(760, aliases.data(), aliases.size()); }), err::kUnpackFailure);
}

TEST(SelCallSystems, ModeBits) {
  // Two bits or none is no mode.
  SelCallSystems block;
  for (uint8_t byte6 : {uint8_t{0xA0}, uint8_t{0x00}}) {
    const BlockRecord before = block.block();
    const Image image = patched(image_of({kDefaultRecord}), {{3 + 6, byte6}});
    EXPECT_EQ(error_of([&] { block.unpack(759, image.data(), image.size()); }), err::kInvalidData) << int{byte6};
    EXPECT_EQ(block.block(), before);
  }
  block.set_field(0, {874, "Sel Cal", 1});
  EXPECT_EQ(block.pack(759)[3 + 6], 0x20);
  block.set_field(0, {874, "Call Alert", 1});
  EXPECT_EQ(block.pack(759)[3 + 6], 0x80);

  // A label that is no mode, and a bit that leaves none, change nothing.
  const BlockRecord before = block.block();
  EXPECT_EQ(error_of([&] { block.set_field(0, {874, "Sel Call", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_field(0, {782, "1", 1}); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);

  // A record whose mode disagrees with its bits.
  BlockRecord record = before;
  record.entry(0).set_text(874, "None");
  EXPECT_EQ(error_of([&] { block.set_block(record); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);
}

TEST(SelCallSystems, IppanRadiosSwitch821On) {
  SelCallSystems block;
  own_context(block.base).radio.ippan = true;
  EXPECT_EQ(block.block().entry(block.add_list()).text(821), "1");
  block.build_default();
  EXPECT_EQ(block.pack(759)[3 + 29], 0xF0);
}

// Every refused input leaves the block as it was.
TEST(SelCallSystems, RefusedInput) {
  const Image good = image_of({kDefaultRecord});
  for (const auto& [image, code] : std::vector<std::pair<Image, int>>{
           {Image(good.begin(), good.end() - 1), err::kShortImage},
           {[&] { Image i = good; i.back() ^= 1; return i; }(), err::kChecksum},
           {image_of(std::vector<Image>(5, kDefaultRecord)), err::kInvalidData},
           {patched(good, {{3 + 1, 0xFB}}), err::kChoiceNotFound}}) {  // call alert code 3
    SelCallSystems block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(759, image.data(), image.size()); }), code);
    EXPECT_EQ(block.block(), before);
  }

  SelCallSystems block;
  EXPECT_EQ(error_of([&] { block.set_field(0, {751, "0", 1}); }), err::kFieldNotFound);
  EXPECT_EQ(error_of([&] { block.set_field(1, {774, "25", 1}); }), err::kBadIndex);
  BlockRecord record = block.block();
  record.header() = FieldList{};
  for (int32_t id : {46, 47, 48}) record.header().add(block.block().get_header_field(id));
  EXPECT_EQ(error_of([&] { block.set_block(record); }), err::kFieldNotFound);  // no alias header
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(block.add_list(), i);
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
}

// A class-1 radio with four channels on Sel Call systems: channel i names system i in field 418
// (type field 415) and system 3 - i in field 417 (type field 416).
TEST(SelCallSystems, DeletionRewritesTheChannels) {
  for (bool kani : {false, true}) {
    SCOPED_TRACE(kani ? "Kani" : "not Kani");
    Gen1Radio radio({}, {});
    radio.codeplug.set_market_class(1);
    radio.codeplug.flags().set_enabled(759, true);
    own_context(radio.codeplug.base).radio.kani = kani;
    Gen1Directory blocks(radio);
    BlockHandler& channels = *blocks.find(38);
    BlockHandler& systems = *blocks.find(759);
    while (channels.block().entry_count() < 4) channels.add_list();
    while (systems.block().entry_count() < 4) systems.add_list();
    for (size_t i = 0; i < 4; ++i) {
      channels.set_field(i, {415, "ATIS", 1});
      channels.set_field(i, {418, std::to_string(i), 1});
      channels.set_field(i, {416, i == 3 ? "SDT" : "ATIS", 1});
      channels.set_field(i, {417, std::to_string(3 - i), 1});
    }
    systems.delete_list(1, blocks);
    std::vector<std::string> seen;
    for (size_t i = 0; i < 4; ++i) {
      const FieldList& e = channels.block().entry(i);
      seen.push_back(e.text(415) + " " + e.text(418) + " / " + e.text(416) + " " + e.text(417));
    }
    const char* deleted_418 = kani ? "ATIS 0 / ATIS 1" : "None 0 / ATIS 1";
    EXPECT_EQ(seen, (std::vector<std::string>{"ATIS 0 / ATIS 2", deleted_418, "ATIS 1 / None 0", "ATIS 2 / SDT 0"}));
    EXPECT_EQ(systems.block().header().text(48), "3");
  }
}

}  // namespace
}  // namespace cps
