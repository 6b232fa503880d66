// The SDT systems (blocks 761/762): hand-made images both ways, the system and unit IDs, the
// radio-kind default, and refused input.
#include "gen1/blocks/sdt_systems.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using test::Image;
using test::patched;

// The record of a new system on a mobile, byte by byte.
const Image kDefaultRecord = {0x2D, 0x03, 20, 20, 20, 0, 0x11, 0x11, 0xE1, 0x11, 0, 64, 64, 10, 5,
                              2,    0,    2,  0,  20, 1, 2, 0x1C, 0,    0,    0,    0, 0,  0,  0};

Image image_of(const std::vector<Image>& records) { return test::list_image(128, 30, records); }

// The second record: system ID "D0E7", unit ID "A0E", 828 "Call Alert w/ Voice", 834 = 7 x 25,
// 839 = 17.0, 858 "non-Silent", 864/865 from nibbles 11 and 0, the bit of byte 23 without a
// field ignored and written as 0.
TEST(SdtSystems, ImageBothWays) {
  const Image second = {0x2D, 0x80, 7,  20, 20, 0, 0xD0, 0xE7, 0xEA, 0x0E, 170, 64, 64, 10, 5,
                        2,    0,    2,  0,  20, 1, 2, 0x1C, 0x61, 0xB0, 0,   0,  0,  0,  0};
  const Image image = image_of({kDefaultRecord, second});
  SdtSystems block;
  block.unpack(761, image.data(), image.size());
  const FieldList& entry = block.block().entry(1);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {828, "Call Alert w/ Voice"}, {833, "None"}, {834, "175"}, {837, "D0E7"}, {838, "A0E"}, {839, "17.0"},
           {858, "non-Silent"}, {863, "1"}, {864, "120"}, {865, "10"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(block.pack(761), image);

  Image spare_bit = image;
  spare_bit[3 + 30 + 23] |= 0x80;
  block.unpack(761, test::resealed(spare_bit).data(), spare_bit.size());
  EXPECT_EQ(block.pack(761), image);
}

TEST(SdtSystems, SystemAndUnitIds) {
  SdtSystems block;
  const BlockRecord before = block.block();
  // The first system digit is at most D, the others at most E, never 0000; unit digits up to E.
  for (const FieldValue& field : {FieldValue{837, "0000", 1}, FieldValue{837, "E000", 1},
                                  FieldValue{837, "111F", 1}, FieldValue{838, "F11", 1}})
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), err::kInvalidData) << field.value;
  EXPECT_EQ(block.block(), before);
  block.set_field(0, {837, "DEEE", 1});
  block.set_field(0, {838, "0E0", 1});
  const Image image = block.pack(761);
  EXPECT_EQ(Image(image.begin() + 3 + 6, image.begin() + 3 + 10), (Image{0xDE, 0xEE, 0xE0, 0xE0}));

  // Read from a radio: the unit ID's high nibble must be E, every digit within its row.
  for (const test::Patch& bytes : {test::Patch{{3 + 8, 0xD1}}, test::Patch{{3 + 6, 0xE1}}}) {
    const Image bad = patched(image_of({kDefaultRecord}), bytes);
    EXPECT_EQ(error_of([&] { block.unpack(761, bad.data(), bad.size()); }), err::kInvalidData);
  }
}

// Every refused input leaves the block as it was.
TEST(SdtSystems, RefusedInput) {
  SdtSystems block;
  const BlockRecord one = block.block();
  const Image alert_3 = patched(image_of({kDefaultRecord}), {{3 + 1, 0xC3}});  // call alert code 3
  EXPECT_EQ(error_of([&] { block.unpack(761, alert_3.data(), alert_3.size()); }), err::kChoiceNotFound);
  EXPECT_EQ(error_of([&] { block.set_field(0, {751, "0", 1}); }), err::kFieldNotFound);
  EXPECT_EQ(block.block(), one);
}

}  // namespace
}  // namespace cps
