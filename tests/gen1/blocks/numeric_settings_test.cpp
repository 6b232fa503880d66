// Block 22: the code's top bits and padding, the level's steps, refused input that changes
// nothing.
#include "gen1/blocks/numeric_settings.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Code 7 with both top bits set, 4660, 65535, level 500 / 200; record bytes 8 and 9 hold junk.
const Image kGolden = test::resealed({128, 10, 1, 0xC0, 0x07, 0x12, 0x34, 0xFF, 0xFF, 0x01, 0xF4, 0xAA, 0x55, 0});

TEST(NumericSettings, ImageSetsAndRefusedInput) {
  NumericSettings block;
  block.unpack(22, kGolden.data(), kGolden.size());
  const FieldList& entry = block.block().entry(0);
  EXPECT_EQ(entry.text(486) + " " + entry.text(487) + " " + entry.text(488) + " " + entry.text(489), "0007 4660 65535 2.5");
  EXPECT_EQ(block.pack(22), test::patched(kGolden, {{3, 0x00}, {11, 0}, {12, 0}}));
  block.set_field(0, {486, "9999", 1});
  block.set_field(0, {489, "0.1", 1});
  EXPECT_EQ(block.pack(22), test::patched(kGolden, {{3, 0x27}, {4, 0x0F}, {9, 0}, {10, 20}, {11, 0}, {12, 0}}));

  const BlockRecord good = block.block();
  Image size_11 = kGolden;
  size_11.insert(size_11.end() - 1, 0);
  size_11[1] = 11;
  struct Case { Image image; FieldValue field; int code; } cases[] = {
      {test::patched(kGolden, {{3, 0x27}, {4, 0x10}}), {}, err::kInvalidData},   // code 10000
      {test::resealed(size_11), {}, err::kInvalidData},
      {{}, {486, "7.0", 1}, err::kInvalidData},  {{}, {489, "2.55", 1}, err::kInvalidData},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.unpack(22, c.image.data(), c.image.size()); }),
              c.code) << c.field.id << " " << c.field.value;
    EXPECT_EQ(block.block(), good);
  }
}

}  // namespace
}  // namespace cps
