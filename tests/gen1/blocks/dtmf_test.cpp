// The DTMF signalling systems (blocks 43/657) and the DTMF call list (block 26): images both ways,
// the digit strings, the alias image's order, and refusals.
#include "gen1/blocks/dtmf_calls.h"
#include "gen1/blocks/dtmf_systems.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

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

Image systems(const std::vector<Image>& records) { return test::list_image(128, 22, records); }
Image calls(const std::vector<Image>& records) { return test::list_image(128, 17, records, true); }

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

// A refused image changes nothing; the alias image needs the system image first, once for each.
TEST(Dtmf, BrokenImagesChangeNothing) {
  const Image good = systems({kOtherSystem, kDefaultSystem});
  DtmfSystems s;
  const Image aliases = alias_image();
  EXPECT_EQ(error_of([&] { s.unpack(657, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  s.unpack(43, good.data(), good.size());
  s.unpack(657, aliases.data(), aliases.size());
  EXPECT_EQ(error_of([&] { s.unpack(657, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  const Image nibble_0 = systems({test::with(kOtherSystem, 7, 0xB0)});  // in 502
  EXPECT_EQ(test::refused(s, [&] { s.unpack(43, nibble_0.data(), nibble_0.size()); }), err::kChoiceNotFound);
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
    EXPECT_EQ(test::refused(*block, [&] { block->set_field(0, c.field); }), c.error) << c.field.id << " " << c.field.value;
    if (!c.error) {
      EXPECT_EQ(block->block().entry(0).get(c.field.id), c.field);
    }
  }
}

}  // namespace
}  // namespace cps
