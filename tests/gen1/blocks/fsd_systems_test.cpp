// The FSD signalling systems (blocks 41/466): golden images both ways, bad images, the identity
// digits, the limits, set checks that change nothing when they refuse, field 751 with the market
// class, and the deletion handing the references along.
#include "gen1/blocks/fsd_systems.h"

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

void drop_field(FieldList& list, int32_t id) {
  FieldList kept;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.at(i).id != id) kept.add(list.at(i));
  list = kept;
}

FsdSystems make(int market_class = 0, uint8_t mobile = 1) {
  FsdSystems block;
  block.base.market_class = market_class;
  block.base.mobile = mobile;
  block.build_default();
  return block;
}

// A system with every field away from its default; byte 23's 0x80 is field 751 where it exists.
Image system_record(uint8_t byte23 = 0x71) {
  return {0x17, 0x86, 20, 180, 0, 0, 0xD1, 0xE0, 0xEA, 0x0E, 170, 1, 255, 10, 5, 20, 96, 2, 0, 0,
          1, 17, 0x97, byte23, 0x0B, 180, 7, 0x01, 0, 0};
}

// The system image of `records`, with record size and count as given.
Image system_image(const std::vector<Image>& records, uint8_t size = 30, int count = -1) {
  Image image = {128, size, static_cast<uint8_t>(count < 0 ? records.size() : count)};
  for (const Image& r : records) image.insert(image.end(), r.begin(), r.end());
  image.push_back(0);
  return test::resealed(image);
}

Image alias_image(const std::string& alias) {
  Image image = {132, 16, 1, 0, 1, 16};
  Image text(16, 0);
  std::copy(alias.begin(), alias.end(), text.begin());
  image.insert(image.end(), text.begin(), text.end());
  image.push_back(0);
  return test::resealed(image);
}

TEST(FsdSystems, ImagesBothWays) {
  for (int market_class : {0, 1}) {
    SCOPED_TRACE(market_class);
    FsdSystems block = make(market_class);
    const Image systems = system_image({system_record(market_class ? 0xF1 : 0x71)}), aliases = alias_image("FSD ONE");
    block.unpack(41, systems.data(), systems.size());
    block.unpack(466, aliases.data(), aliases.size());
    const FieldList& e = block.block().entry(0);
    for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
             {316, "Pre and Post"}, {317, "1"}, {318, "0"}, {319, "1"}, {320, "0"}, {321, "Auto w/o Carrier Override"},
             {322, "1"}, {326, "Call Alert w/ Voice"}, {327, "500"}, {328, "4500"}, {329, "0"}, {330, "D1E0"},
             {331, "A0E"}, {332, "17.0"}, {333, "1"}, {334, "255"}, {337, "500"}, {338, "96"}, {339, "50"},
             {343, "17"}, {344, "Manual and Auto"}, {345, "1"}, {346, "1200 Hz or 1800 Hz"}, {347, "1"}, {350, "1"},
             {351, "1"}, {355, "1"}, {356, "non-Silent"}, {357, "120"}, {358, "10"}, {359, "180"}, {360, "7"},
             {361, "1"}, {424, "FSD ONE"}})
      EXPECT_EQ(e.text(id), text) << id;
    EXPECT_EQ(e.contains(751), market_class != 0);
    if (market_class) EXPECT_EQ(e.text(751), "1");
    EXPECT_EQ(e.count(), market_class ? 48u : 47u);
    EXPECT_EQ(block.block().header().text(464), "16");
    EXPECT_EQ(block.pack(41), systems);
    EXPECT_EQ(block.pack(466), aliases);
  }

  // A fresh block: one system of defaults, 327 shorter on a portable.
  FsdSystems mobile = make(0, 1), portable = make(0, 0);
  EXPECT_EQ(mobile.pack(41), system_image({{0x2D, 0x03, 20, 20, 20, 0, 0x11, 0x11, 0xE1, 0x11, 0, 64, 64, 10, 5,
                                            2, 0, 2, 0, 20, 1, 2, 0x18, 0, 0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(portable.block().entry(0).text(327), "300");
  const FieldList& h = mobile.block().header();
  EXPECT_EQ(h.text(46) + h.text(47) + h.text(48) + "/" + h.text(49) + "/" + h.text(464) + "/" + h.text(465),
            "128301/132/16/0");
}

TEST(FsdSystems, BadImages) {
  const Image good = system_image({system_record()});
  Image bad_sum = good;
  bad_sum.back() ^= 1;
  auto with = [](size_t at, uint8_t value) {
    Image r = system_record();
    r[at] = value;
    return system_image({r});
  };
  const std::tuple<const char*, Image, int> cases[] = {
      {"short", Image(good.begin(), good.end() - 1), err::kShortImage},
      {"header only", Image(good.begin(), good.begin() + 2), err::kShortImage},
      {"checksum", bad_sum, err::kChecksum},
      {"record size 29", system_image({Image(29, 0)}, 29), err::kInvalidData},
      {"no system", system_image({}), err::kInvalidData},
      {"five systems", system_image(std::vector<Image>(5, system_record())), err::kInvalidData},
      {"fleet without E", with(8, 0xDA), err::kInvalidData},
      {"system digit F", with(7, 0xEF), err::kInvalidData},
      {"first system digit E", with(6, 0xE0), err::kInvalidData},
      {"fleet digit F", with(9, 0xF0), err::kInvalidData},
      {"call alert code 3", with(1, 0xC6), err::kChoiceNotFound},
      {"327 above 4500", with(2, 181), err::kInvalidData},
      {"343 below 2", with(21, 1), err::kInvalidData},
      {"357 above 120", with(24, 0x0C), err::kInvalidData},
      {"332 above 17", with(10, 171), err::kInvalidData},
  };
  for (const auto& [what, image, code] : cases) {
    FsdSystems block = make();
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(41, image.data(), image.size()); }), code) << what;
    EXPECT_EQ(block.block(), before) << what;
  }
  // A radio's image may hold the identity 0000; only a set refuses it.
  FsdSystems block = make();
  Image zero_id = system_record();
  zero_id[6] = zero_id[7] = 0;
  const Image zeros = system_image({zero_id});
  EXPECT_EQ(error_of([&] { block.unpack(41, zeros.data(), zeros.size()); }), 0);
  EXPECT_EQ(block.block().entry(0).text(330), "0000");

  // The alias image only after the system image, once.
  const Image aliases = alias_image("A");
  FsdSystems fresh = make();
  EXPECT_EQ(error_of([&] { fresh.unpack(466, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  fresh.unpack(41, good.data(), good.size());
  const Image bad_alias = test::patched(aliases, {{6, 0x1F}});
  EXPECT_EQ(error_of([&] { fresh.unpack(466, bad_alias.data(), bad_alias.size()); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { fresh.unpack(466, aliases.data(), aliases.size()); }), 0);
  EXPECT_EQ(error_of([&] { fresh.unpack(466, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  EXPECT_EQ(error_of([&] { fresh.unpack(42, good.data(), good.size()); }), err::kBlockNotSupported);
}

// SetFieldAt: every refusal leaves the block as it was.
TEST(FsdSystems, FieldChecks) {
  const std::tuple<size_t, FieldValue, int> cases[] = {
      {0, {330, "0000", 1}, err::kInvalidData}, {0, {330, "DEEE", 1}, 0},
      {0, {330, "E000", 1}, err::kInvalidData}, {0, {330, "F111", 1}, err::kInvalidData},
      {0, {330, "1F11", 1}, err::kInvalidData}, {0, {330, "111", 1}, err::kInvalidData},
      {0, {330, "G111", 1}, err::kInvalidData}, {0, {331, "EEE", 1}, 0},
      {0, {331, "F00", 1}, err::kInvalidData},  {0, {331, "1111", 1}, err::kInvalidData},
      {0, {316, "Never", 1}, err::kChoiceNotFound}, {0, {327, "4525", 1}, err::kInvalidData},
      {0, {327, "30", 1}, err::kInvalidData},   {0, {327, "4500", 1}, 0},
      {0, {332, "17.1", 1}, err::kInvalidData}, {0, {332, "0.5", 1}, 0},
      {0, {343, "1", 1}, err::kInvalidData},    {0, {357, "0", 1}, err::kInvalidData},
      {0, {357, "125", 1}, err::kInvalidData},  {0, {358, "120", 1}, 0},
      {0, {751, "1", 1}, err::kFieldNotFound},  {0, {424, "\xDC", 1}, err::kInvalidData},
      {0, {999, "1", 1}, err::kFieldNotFound},  {0, {48, "1", 2}, err::kFieldNotFound},
      {0, {47, "29", 2}, err::kInvalidData},    {1, {316, "None", 1}, err::kBadIndex},
      {1, {330, "0000", 1}, err::kBadIndex},
  };
  for (const auto& [index, field, code] : cases) {
    FsdSystems block = make();
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(index, field); }), code) << field.id << " " << field.value;
    if (code) {
      EXPECT_EQ(block.block(), before) << field.id;
    } else {
      EXPECT_EQ(block.block().entry(0).text(field.id), field.value);
    }
  }
  FsdSystems japan = make(2);
  EXPECT_EQ(error_of([&] { japan.set_field(0, {751, "1", 1}); }), 0);
}

// SetBlockData: every refusal leaves the block as it was.
TEST(FsdSystems, SetChecks) {
  using Edit = void (*)(BlockRecord&);
  const std::tuple<const char*, int, Edit, int> cases[] = {
      {"as got", 0, [](BlockRecord&) {}, 0},
      {"48 not the count", 0, [](BlockRecord& r) { r.header().set_text(48, "2"); }, err::kInvalidData},
      {"five systems", 0, [](BlockRecord& r) {
         while (r.entry_count() < 5) r.add_entry(r.entry(0));
         r.header().set_text(48, "5");
       }, err::kInvalidData},
      {"record size", 0, [](BlockRecord& r) { r.header().set_text(47, "29"); }, err::kInvalidData},
      {"no 464", 0, [](BlockRecord& r) { drop_field(r.header(), 464); }, err::kFieldNotFound},
      {"465 not a byte", 0, [](BlockRecord& r) { r.header().set_text(465, "300"); }, err::kInvalidData},
      {"no 361", 0, [](BlockRecord& r) { drop_field(r.entry(0), 361); }, err::kFieldNotFound},
      {"system 0000", 0, [](BlockRecord& r) { r.entry(0).set_text(330, "0000"); }, err::kInvalidData},
      {"second system bad", 0, [](BlockRecord& r) {
         r.add_entry(r.entry(0));
         r.entry(1).set_text(331, "FFF");
         r.header().set_text(48, "2");
       }, err::kInvalidData},
      {"class 1 needs 751", 1, [](BlockRecord& r) { drop_field(r.entry(0), 751); }, err::kFieldNotFound},
  };
  for (const auto& [what, market_class, edit, code] : cases) {
    FsdSystems block = make(market_class);
    const BlockRecord good = block.block();
    BlockRecord given = good;
    edit(given);
    EXPECT_EQ(error_of([&] { block.set_block(given); }), code) << what;
    EXPECT_EQ(block.block(), good) << what;
  }
}

TEST(FsdSystems, LimitsAndDeletion) {
  FsdSystems block = make();
  Recording blocks;
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(block.add_list(), i);
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(block.block().header().text(48), "4");
  block.set_field(2, {330, "2222", 1});
  EXPECT_EQ(error_of([&] { block.delete_list(4, blocks); }), err::kBadIndex);
  EXPECT_TRUE(blocks.deleted.empty());
  block.delete_list(1, blocks);
  EXPECT_EQ(blocks.deleted, (std::vector<std::pair<int32_t, size_t>>{{41, 1}}));
  EXPECT_EQ(block.block().header().text(48), "3");
  EXPECT_EQ(block.block().entry(1).text(330), "2222");
  block.delete_list(0, blocks);
  block.delete_list(0, blocks);
  const BlockRecord last = block.block();
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  EXPECT_EQ(block.block(), last);
}

// Field 751 comes with market classes 1 and 2 and goes with class 0; other values stay.
TEST(FsdSystems, MarketClassForm) {
  FsdSystems block = make();
  block.set_field(0, {330, "ABCD", 1});
  block.base.market_class = 1;
  block.adapt_to_form();
  EXPECT_EQ(block.block().entry(0).text(751), "0");
  EXPECT_EQ(error_of([&] { block.set_block(block.block()); }), 0);
  block.base.market_class = 0;
  block.adapt_to_form();
  EXPECT_FALSE(block.block().entry(0).contains(751));
  EXPECT_EQ(block.block().entry(0).text(330), "ABCD");
  EXPECT_EQ(block.block().entry(0).count(), 47u);
}

}  // namespace
}  // namespace cps
