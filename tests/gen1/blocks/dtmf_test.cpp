// The DTMF signalling systems (blocks 43/657) and the DTMF call list (block 26): images both ways,
// the digit strings, refusals, the list limits, and what a system deletion rewrites.
#include "gen1/blocks/dtmf_calls.h"
#include "gen1/blocks/dtmf_systems.h"

#include "engine/variant_codec.h"
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Texts = std::vector<std::pair<int32_t, const char*>>;

// Defaults: "Pre Only", 492, 490; "Auto w/ Carrier Override", 496, 497, "Call Alert"; 500 ms
// twice; eight 1s twice; 504 = 100 and 505 = 50 as (stored + 1) x 25; 507 = 2.5 as 100 x 0.025;
// side tone "ID" with digit "0".
const Image kDefaultSystem = {0x25, 0x5B, 20, 20, 0, 0, 0x11, 0x11, 0x11, 0x11, 0x11,
                              0x11, 0x11, 0x11, 3, 1, 0, 0x00, 0x64, 0xA3, 0, 0};
const Image kOtherSystem = {0x36, 0x9D, 4, 180, 0, 0, 0x12, 0xBC, 0xFF, 0xFF, 0xA9,
                            0x87, 0x65, 0x43, 0, 255, 170, 0x05, 0x28, 0xC2, 0, 0};
const Texts kOtherTexts = {{500, "100"}, {501, "4500"}, {502, "12*#"}, {503, "09876543"}, {504, "25"},
                           {505, "6400"}, {506, "17.0"}, {507, "33.0"}, {509, "Digit"}, {508, "#"}};
// System 0, 628 = 255, "Conventional", eight 1s, no alias; and system 2 with 630 and 629 on,
// "LS Trunking" with 631 = 5, "123", alias "BASE".
const Image kDefaultCall = {0, 255, 0, 0, 0x11, 0x11, 0x11, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Image kOtherCall = {2, 255, 0x30, 0x51, 0x12, 0x3F, 0xFF, 0xFF, 0, 'B', 'A', 'S', 'E', 0, 0, 0, 0};
const Texts kCallTexts = {{627, "2"}, {630, "1"}, {629, "1"}, {632, "LS Trunking"}, {631, "5"}, {633, "123"},
                          {424, "BASE"}};

// A list image of `records` under a header of `size`; calls carry a checksum each.
Image list_image(const std::vector<Image>& records, uint8_t size, bool record_sums) {
  Image image = {128, size, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) {
    image.insert(image.end(), r.begin(), r.end());
    if (record_sums) image.push_back(checksum(r.data(), r.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}
Image systems(const std::vector<Image>& records) { return list_image(records, 22, false); }
Image calls(const std::vector<Image>& records) { return list_image(records, 17, true); }
Image with(Image record, size_t at, uint8_t value) {
  record[at] = value;
  return record;
}

std::unique_ptr<BlockHandler> make_block(int32_t id) {
  if (id == DtmfCalls::kBlockId) return std::make_unique<DtmfCalls>();
  return std::make_unique<DtmfSystems>();
}

// Aliases of length 8: "DISPATCH" for system 0, none (0xFF) for system 1.
Image alias_image(uint8_t fill = 0xFF) {
  Image image = {132, 8, 2, 0, 1, 8, 'D', 'I', 'S', 'P', 'A', 'T', 'C', 'H'};
  image.insert(image.end(), 8, fill);
  image.push_back(0);
  return test::resealed(image);
}

// The reference passes asked for, with the entries the block held at the time.
struct Recorder final : BlockDirectory {
  explicit Recorder(const BlockHandler& held) : block(held) {}
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index, block.block().entry_count()); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  const BlockHandler& block;
  std::vector<std::tuple<int32_t, size_t, size_t>> deleted;
};

TEST(Dtmf, ImagesBothWays) {
  DtmfSystems s;
  const Image two = systems({kOtherSystem, kDefaultSystem}), aliases = alias_image();
  s.unpack(43, two.data(), two.size());
  s.unpack(657, aliases.data(), aliases.size());
  for (auto [id, text] : kOtherTexts) EXPECT_EQ(s.block().entry(0).text(id), text) << id;
  EXPECT_EQ(s.block().entry(0).text(424), "DISPATCH");
  EXPECT_EQ(s.block().entry(1), DtmfSystems().block().entry(0));
  EXPECT_EQ(s.pack(43), two);
  EXPECT_EQ(s.pack(657), alias_image(0));  // no alias packs as an empty one

  DtmfCalls c;
  const Image list = calls({kOtherCall, kDefaultCall});
  c.unpack(26, list.data(), list.size());
  for (auto [id, text] : kCallTexts) EXPECT_EQ(c.block().entry(0).text(id), text) << id;
  EXPECT_EQ(c.pack(26), list);
}

TEST(Dtmf, BrokenImagesChangeNothing) {
  const Image good = systems({kOtherSystem, kDefaultSystem}), good_calls = calls({kOtherCall});
  Image record_sum = good_calls;
  record_sum[3 + 17] ^= 1;  // the call's own checksum
  struct Case { int32_t block; Image image; int error; };
  const Case cases[] = {
      {43, Image(good.begin(), good.end() - 1), err::kShortImage},
      {43, systems(std::vector<Image>(5, kDefaultSystem)), err::kInvalidData},
      {43, systems({with(kOtherSystem, 7, 0xB0)}), err::kChoiceNotFound},   // nibble 0 in 502
      {26, test::resealed(record_sum), err::kChecksum},
      {26, calls(std::vector<Image>(31, kDefaultCall)), err::kInvalidData},
  };
  for (const Case& c : cases) {
    std::unique_ptr<BlockHandler> block = make_block(c.block);
    const Image& kept = c.block == 43 ? good : good_calls;
    block->unpack(c.block, kept.data(), kept.size());
    const BlockRecord before = block->block();
    EXPECT_EQ(error_of([&] { block->unpack(c.block, c.image.data(), c.image.size()); }), c.error) << &c - cases;
    EXPECT_EQ(block->block(), before) << &c - cases;
  }

  // The alias image needs the system image first, once for each.
  DtmfSystems s;
  const Image aliases = alias_image();
  EXPECT_EQ(error_of([&] { s.unpack(657, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  s.unpack(43, good.data(), good.size());
  s.unpack(657, aliases.data(), aliases.size());
  EXPECT_EQ(error_of([&] { s.unpack(657, aliases.data(), aliases.size()); }), err::kUnpackFailure);
}

TEST(Dtmf, FieldRules) {
  struct Case { int32_t block; FieldValue field; int error; };
  const Case cases[] = {
      {43, {502, "12A4", 1}, err::kChoiceNotFound}, {43, {502, "0123456789*#", 1}, 0},
      {43, {508, "", 1}, 0},                        {43, {507, "2.55", 1}, err::kInvalidData},
      {43, {507, "0.2", 1}, 0},                     {43, {47, "22", 2}, err::kFieldNotFound},
      {26, {633, "12B", 1}, err::kChoiceNotFound},  {26, {424, "\xDB", 1}, 0},
  };
  for (const Case& c : cases) {
    std::unique_ptr<BlockHandler> block = make_block(c.block);
    const BlockRecord before = block->block();
    EXPECT_EQ(error_of([&] { block->set_field(0, c.field); }), c.error) << c.field.id << " " << c.field.value;
    if (c.error) {
      EXPECT_EQ(block->block(), before) << c.field.id;
    } else {
      EXPECT_EQ(block->block().entry(0).get(c.field.id), c.field);
    }
  }
}

TEST(Dtmf, AddAndDeleteKeepTheLimits) {
  for (auto [id, most] : {std::pair{43, 4u}, std::pair{26, 30u}}) {
    std::unique_ptr<BlockHandler> block = make_block(id);
    Recorder blocks(*block);
    EXPECT_EQ(error_of([&] { block->delete_list(0, blocks); }), err::kBelowMinimum);
    for (size_t i = 1; i < most; ++i) EXPECT_EQ(block->add_list(), i);
    const BlockRecord full = block->block();
    EXPECT_EQ(full.header().get(48), (FieldValue{48, std::to_string(most), 1}));
    EXPECT_EQ(error_of([&] { block->add_list(); }), err::kAboveMaximum);
    EXPECT_EQ(error_of([&] { block->delete_list(most, blocks); }), err::kBadIndex);
    EXPECT_EQ(block->block(), full);
    block->set_field(2, {424, "THIRD", 1});
    block->delete_list(1, blocks);
    // The references are rewritten while the entry is still there.
    EXPECT_EQ(blocks.deleted, (std::vector<std::tuple<int32_t, size_t, size_t>>{{id, 1, most}}));
    EXPECT_EQ(block->block().entry(1).text(424), "THIRD");
    EXPECT_EQ(block->block().header().text(48), std::to_string(most - 1));
  }
}

std::vector<std::string> texts(CPServices& object, LONG block, std::initializer_list<LONG> fields) {
  std::vector<std::string> out;
  BYTE count = 0;
  EXPECT_EQ(object.GetCurrentListQuantity(block, &count), S_OK);
  for (BYTE i = 0; i < count; ++i) {
    std::string line;
    for (LONG field : fields) {
      ScopedVariant v;
      EXPECT_EQ(object.GetFieldAt(block, field, i, v.get()), S_OK);
      line += (line.empty() ? "" : " ") + decode_field(*v).value;
    }
    out.push_back(line);
  }
  return out;
}

// Deleting system 1 of three: DTMF channel references to it become "None" / 0, those to system 2
// move to 1, other types stay; calls on 1 move to 0, those on 2 to 1.
TEST(Dtmf, SystemDeletionRewritesChannelsAndCalls) {
  CPServices object(nullptr);
  BYTE index = 0;
  ASSERT_EQ(object.AddList(43, &index), S_OK);
  ASSERT_EQ(object.AddList(657, &index), S_OK);  // the same block
  ASSERT_EQ(object.AddList(38, &index), S_OK);
  ASSERT_EQ(object.AddList(26, &index), S_OK);
  const std::vector<std::tuple<LONG, BYTE, FieldValue>> sets = {
      {38, 0, {415, "DTMF", 1}}, {38, 0, {418, "1", 1}}, {38, 0, {416, "DTMF", 1}}, {38, 0, {417, "2", 1}},
      {38, 1, {415, "DTMF", 1}}, {38, 1, {418, "2", 1}}, {38, 1, {416, "FSD", 1}},  {38, 1, {417, "1", 1}},
      {26, 0, {627, "1", 1}},    {26, 1, {627, "2", 1}}};
  for (const auto& [block, entry, field] : sets) {
    ScopedVariant v;
    encode_field(field, v.get());
    ASSERT_EQ(object.SetFieldAt(block, entry, *v), S_OK);
  }
  ASSERT_EQ(object.DeleteList(657, 1), S_OK);
  EXPECT_EQ(texts(object, 38, {415, 418, 416, 417}), (std::vector<std::string>{"None 0 DTMF 1", "DTMF 1 FSD 1"}));
  EXPECT_EQ(texts(object, 26, {627}), (std::vector<std::string>{"0", "1"}));
}

}  // namespace
}  // namespace cps
