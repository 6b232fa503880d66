// Block 22: a hand-made image both ways (the code's top two bits dropped), refused images and
// sets that change nothing.
#include "gen1/blocks/numeric_settings.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Code 7 with both top bits set, 4660, 65535, level 500 / 200; bytes 8 and 9 of the record hold
// junk that packs as 0.
const Image kGolden = test::resealed({128, 10, 1, 0xC0, 0x07, 0x12, 0x34, 0xFF, 0xFF, 0x01, 0xF4, 0xAA, 0x55, 0});

NumericSettings golden() {
  NumericSettings block;
  block.unpack(22, kGolden.data(), kGolden.size());
  return block;
}

TEST(NumericSettings, GoldenImageBothWays) {
  NumericSettings block = golden();
  const FieldList& entry = block.block().entry(0);
  ASSERT_EQ(entry.count(), 4u);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{{486, "0007"}, {487, "4660"}, {488, "65535"}, {489, "2.5"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(block.pack(22), test::patched(kGolden, {{3, 0x00}, {11, 0}, {12, 0}}));
}

TEST(NumericSettings, RefusedImages) {
  Image size_11 = kGolden;
  size_11.insert(size_11.end() - 1, 0);
  size_11[1] = 11;
  Image two = kGolden;
  two.insert(two.end() - 1, kGolden.begin() + 3, kGolden.end() - 1);
  two[2] = 2;
  Image bad_sum = kGolden;
  bad_sum.back() ^= 1;
  struct Case { Image image; int code; } cases[] = {
      {test::patched(kGolden, {{3, 0x27}, {4, 0x10}}), err::kInvalidData},  // code 10000
      {test::patched(kGolden, {{3, 0x27}, {4, 0x0F}}), 0},                  // 9999
      {test::patched(kGolden, {{9, 0}, {10, 0}}), err::kInvalidData},       // level 0.0
      {test::patched(kGolden, {{9, 0x07}, {10, 0xE4}}), err::kInvalidData}, // 2020: 10.1
      {test::patched(kGolden, {{9, 0}, {10, 20}}), 0},                      // 0.1
      {test::resealed(size_11), err::kInvalidData},
      {test::resealed(two), err::kInvalidData},
      {Image(kGolden.begin(), kGolden.end() - 1), err::kShortImage},
      {bad_sum, err::kChecksum},
  };
  for (const Case& c : cases) {
    NumericSettings block = golden();
    EXPECT_EQ(error_of([&] { block.unpack(22, c.image.data(), c.image.size()); }), c.code) << int{c.image[4]};
    if (c.code != 0) EXPECT_EQ(block.block(), golden().block());
  }
}

TEST(NumericSettings, SetsCheckEachFieldOrChangeNothing) {
  NumericSettings block = golden();
  block.set_field(0, {486, "9999", 1});
  block.set_field(0, {489, "10.0", 1});
  const Image packed = block.pack(22);
  EXPECT_EQ(Image(packed.begin() + 3, packed.end() - 1), (Image{0x27, 0x0F, 0x12, 0x34, 0xFF, 0xFF, 0x07, 0xD0, 0, 0}));

  const BlockRecord good = block.block();
  auto changed = [&](int32_t id, const char* text) {
    BlockRecord r = good;
    id < 100 ? r.set_header_field({id, text, 2}) : r.set_entry_field(0, {id, text, 1});
    return r;
  };
  BlockRecord two_entries = changed(48, "2");
  two_entries.add_entry(good.entry(0));
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {{}, {486, "10000", 1}, err::kInvalidData}, {{}, {486, "7.0", 1}, err::kInvalidData},
      {{}, {486, "-1", 1}, err::kInvalidData},     {{}, {486, "12a", 1}, err::kInvalidData},
      {{}, {487, "65536", 1}, err::kInvalidData},  {{}, {488, "", 1}, err::kInvalidData},
      {{}, {489, "2.55", 1}, err::kInvalidData},   {{}, {489, "0.0", 1}, err::kInvalidData},
      {{}, {489, "10.1", 1}, err::kInvalidData},   {{}, {47, "11", 2}, err::kInvalidData},
      {{}, {48, "0", 2}, err::kInvalidData},       {{}, {46, "128", 2}, err::kFieldNotFound},
      {{}, {490, "0", 1}, err::kFieldNotFound},    {changed(48, "2"), {}, err::kInvalidData},
      {two_entries, {}, err::kInvalidData},        {changed(47, "11"), {}, err::kInvalidData},
      {changed(489, "0.05"), {}, err::kInvalidData},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.set_block(c.record); }), c.code)
        << c.field.id << " " << c.field.value;
    EXPECT_EQ(block.block(), good);
  }
  // A code given without its leading zeros packs as the same number.
  block.set_field(0, {486, "7", 1});
  block.set_field(0, {489, "0.1", 1});
  const Image small = block.pack(22);
  EXPECT_EQ(Image(small.begin() + 3, small.begin() + 11), (Image{0x00, 0x07, 0x12, 0x34, 0xFF, 0xFF, 0x00, 20}));
}

}  // namespace
}  // namespace cps
