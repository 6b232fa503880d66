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

struct NoPasses final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  std::vector<std::pair<int32_t, size_t>> deleted;
};

// The record of a new system, byte by byte.
const Image kDefaultRecord = {0x0D, 0x7B, 0, 0, 20, 0, 0x01, 0x01, 0, 1, 0, 64, 64, 10, 5,
                              2,    0,    2, 0, 20, 1, 2,    0x18, 0x80, 0, 0, 0, 0, 0, 0xE0};

Image image_of(const std::vector<Image>& records) {
  Image image = {128, 30, static_cast<uint8_t>(records.size())};
  for (const Image& record : records) image.insert(image.end(), record.begin(), record.end());
  image.push_back(0);
  return test::resealed(image);
}

// Two aliases of eight characters: "SEL 1" and an empty one.
Image alias_image() {
  Image image = {132, 8, 2, 0, 1, 8, 'S', 'E', 'L', ' ', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  return test::resealed(image);
}

TEST(SelCallSystems, DefaultsPackToTheirBytes) {
  SelCallSystems block;
  EXPECT_EQ(block.pack(759), image_of({kDefaultRecord}));
  EXPECT_EQ(block.block().entry(0).text(874), "None");
}

// The second record: "Sel Cal" mode, 774 = 4 x 25, 787 = 2.5, 813/814 from nibbles 2 and 1,
// call alert code 2, 807 "Silent", 821 on, 805 "Manual and Auto".
TEST(SelCallSystems, ImageBothWays) {
  Image second = kDefaultRecord;
  second[1] = 0x80 | 0x03;
  second[2] = 4;
  second[6] = 0x20 | 0x0C;
  second[10] = 25;
  second[22] = 0x03;
  second[23] = 0x40;
  second[24] = 0x21;
  second[29] = 0x10;
  const Image image = image_of({kDefaultRecord, second}), aliases = alias_image();
  SelCallSystems block;
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
}

TEST(SelCallSystems, ModeBits) {
  // Two bits or none is no mode.
  for (uint8_t byte6 : std::vector<uint8_t>{0xA0, 0x21, 0x00, 0xA1}) {
    Image record = kDefaultRecord;
    record[6] = byte6;
    SelCallSystems block;
    const BlockRecord before = block.block();
    const Image image = image_of({record});
    EXPECT_EQ(error_of([&] { block.unpack(759, image.data(), image.size()); }), err::kInvalidData) << int{byte6};
    EXPECT_EQ(block.block(), before);
  }

  SelCallSystems block;
  block.set_field(0, {874, "Sel Cal", 1});
  const FieldList& entry = block.block().entry(0);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{{777, "0"}, {779, "1"}, {782, "0"}}) {
    EXPECT_EQ(entry.get(id), (FieldValue{id, text, 2}));
  }
  EXPECT_EQ(block.pack(759)[3 + 6], 0x20);
  block.set_field(0, {874, "Call Alert", 1});
  EXPECT_EQ(block.pack(759)[3 + 6], 0x80);

  // A label that is no mode, and a bit that leaves none, change nothing.
  const BlockRecord before = block.block();
  EXPECT_EQ(error_of([&] { block.set_field(0, {874, "Sel Call", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_field(0, {782, "1", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_field(0, {777, "2", 1}); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);
  // A bit set to what it is keeps the mode.
  block.set_field(0, {779, "0", 1});
  EXPECT_EQ(block.block().entry(0).text(874), "Call Alert");

  // A record whose mode disagrees with its bits.
  const BlockRecord held = block.block();
  BlockRecord record = held;
  record.entry(0).set_text(874, "None");
  EXPECT_EQ(error_of([&] { block.set_block(record); }), err::kInvalidData);
  EXPECT_EQ(block.block(), held);
}

TEST(SelCallSystems, IppanRadiosSwitch821On) {
  SelCallSystems block;
  own_context(block.base).radio.ippan = true;
  EXPECT_EQ(block.block().entry(0).text(821), "0");  // built before
  EXPECT_EQ(block.block().entry(block.add_list()).text(821), "1");
  block.build_default();
  EXPECT_EQ(block.block().entry(0).text(821), "1");
  EXPECT_EQ(block.pack(759)[3 + 29], 0xF0);
}

TEST(SelCallSystems, OneToFourSystems) {
  SelCallSystems block;
  NoPasses blocks;
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(block.add_list(), i);
  const BlockRecord full = block.block();
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(error_of([&] { block.delete_list(4, blocks); }), err::kBadIndex);
  EXPECT_EQ(block.block(), full);
  block.delete_list(1, blocks);
  EXPECT_EQ(blocks.deleted, (std::vector<std::pair<int32_t, size_t>>{{759, 1}}));
  EXPECT_EQ(block.block().header().text(48), "3");
}

// Every refused input leaves the block as it was.
TEST(SelCallSystems, RefusedInput) {
  const Image good = image_of({kDefaultRecord});
  struct Case {
    const char* what;
    Image image;
    int code;
  };
  const std::vector<Case> images = {
      {"short", Image(good.begin(), good.end() - 1), err::kShortImage},
      {"checksum", [&] { Image i = good; i.back() ^= 1; return i; }(), err::kChecksum},
      {"record size", test::resealed([] {
         Image i = {128, 29, 1};
         i.insert(i.end(), kDefaultRecord.begin(), kDefaultRecord.end());  // 29 bytes and a checksum
         return i;
       }()), err::kInvalidData},
      {"five systems", image_of(std::vector<Image>(5, kDefaultRecord)), err::kInvalidData},
      {"call alert code 3", patched(good, {{3 + 1, 0xFB}}), err::kChoiceNotFound},
      {"813 above 120", patched(good, {{3 + 24, 0xC0}}), err::kInvalidData},
  };
  for (const Case& c : images) {
    SelCallSystems block;
    block.add_list();
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(759, c.image.data(), c.image.size()); }), c.code) << c.what;
    EXPECT_EQ(block.block(), before) << c.what;
  }

  SelCallSystems block;
  const BlockRecord before = block.block();
  // The alias image needs the block's own image first, once.
  const Image aliases = alias_image();
  EXPECT_EQ(error_of([&] { block.unpack(760, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  for (const auto& [field, code] : std::vector<std::pair<FieldValue, int>>{{{813, "0", 1}, err::kInvalidData},
                                                                          {{807, "Loud", 1}, err::kChoiceNotFound},
                                                                          {{751, "0", 1}, err::kFieldNotFound}})
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), code) << field.id;
  EXPECT_EQ(error_of([&] { block.set_field(1, {774, "25", 1}); }), err::kBadIndex);

  BlockRecord record = block.block();
  record.set_header_field({464, "256", 2});
  EXPECT_EQ(error_of([&] { block.set_block(record); }), err::kInvalidData);
  record.header() = FieldList{};
  for (int32_t id : {46, 47, 48}) record.header().add(block.block().get_header_field(id));
  EXPECT_EQ(error_of([&] { block.set_block(record); }), err::kFieldNotFound);  // no alias header
  EXPECT_EQ(block.block(), before);

  const Image image = image_of({kDefaultRecord, kDefaultRecord});
  block.unpack(759, image.data(), image.size());
  block.unpack(760, aliases.data(), aliases.size());
  EXPECT_EQ(error_of([&] { block.unpack(760, aliases.data(), aliases.size()); }), err::kUnpackFailure);
}

// A class-1 radio with four channels on Sel Call systems: channel i names system i in field 418
// (type field 415) and system 3 - i in field 417 (type field 416).
Gen1Radio atis_radio(bool kani) {
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
  return radio;
}

std::vector<std::string> signalling(BlockHandler& channels) {
  std::vector<std::string> out;
  for (size_t i = 0; i < channels.block().entry_count(); ++i) {
    const FieldList& e = channels.block().entry(i);
    out.push_back(e.text(415) + " " + e.text(418) + " / " + e.text(416) + " " + e.text(417));
  }
  return out;
}

TEST(SelCallSystems, DeletionRewritesTheChannels) {
  for (bool kani : {false, true}) {
    SCOPED_TRACE(kani ? "Kani" : "not Kani");
    Gen1Radio radio = atis_radio(kani);
    Gen1Directory blocks(radio);
    blocks.find(759)->delete_list(1, blocks);
    const char* deleted_418 = kani ? "ATIS 0 / ATIS 1" : "None 0 / ATIS 1";
    EXPECT_EQ(signalling(*blocks.find(38)),
              (std::vector<std::string>{"ATIS 0 / ATIS 2", deleted_418, "ATIS 1 / None 0", "ATIS 2 / SDT 0"}));
    EXPECT_EQ(blocks.find(759)->block().entry_count(), 3u);
  }

  // Not enabled, the channel list keeps its references.
  Gen1Radio off = atis_radio(false);
  off.codeplug.flags().set_enabled(38, false);
  Gen1Directory blocks(off);
  const std::vector<std::string> before = signalling(*blocks.find(38));
  blocks.find(759)->delete_list(1, blocks);
  EXPECT_EQ(signalling(*blocks.find(38)), before);
}

}  // namespace
}  // namespace cps
