// Block 454: both forms against hand-made images, and refusals that leave the table as it was.
#include "gen1/codeplug/address_table.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;

AddressTable table_for(int32_t market_class, const Bytes& image = {}) {
  AddressTable table;
  own_context(table.base).market_class = market_class;
  table.build_default();
  if (!image.empty()) table.unpack(454, image.data(), image.size());
  return table;
}

Bytes image_of(size_t length, const std::map<size_t, uint8_t>& bytes, uint8_t sum) {
  Bytes image(length, 0);
  for (auto [at, value] : bytes) image[at] = value;
  return image.back() = sum, image;
}

// 0x12 + 0x34 + 0x03 + 0x08 + 0xAB + 0xCD = 0x1C9, 0x5A - 0xC9 = 0x91; 0x5A - 0x112 = 0x48.
const Bytes kImages[] = {
    image_of(115, {{0, 0x12}, {1, 0x34}, {18, 0x03}, {19, 0x08}, {110, 0xAB}, {111, 0xCD}}, 0x91),
    image_of(147, {{4, 0x03}, {111, 0x01}, {120, 0x0F}, {121, 0xFF}}, 0x48)};
const std::map<int32_t, uint16_t> kAddresses[] = {{{53, 0x1234}, {4, 0x0308}, {44, 0xABCD}, {3, 0}},
                                                  {{2, 0x0300}, {44, 1}, {762, 0x0FFF}, {759, 0}}};

TEST(AddressTableTest, GoldenImagesAndForms) {
  for (int32_t market_class : {0, 1}) {
    AddressTable table = table_for(market_class, kImages[market_class]);
    const FieldList list = table.fields();
    EXPECT_EQ(list.count(), market_class == 0 ? 49u : 53u);
    for (auto [id, address] : kAddresses[market_class]) {
      EXPECT_EQ(table.address_of(id), address) << id;
      EXPECT_EQ(list.text(id), std::to_string(address)) << id;
    }
    EXPECT_EQ(table.pack(454), kImages[market_class]);
    EXPECT_EQ(error_of([&] { table.address_of(760); }), market_class == 0 ? err::kFieldNotFound : 0);
    const Bytes fresh = table_for(market_class).pack(454);
    EXPECT_EQ(table_for(market_class, fresh).pack(454), fresh);
  }
}

TEST(AddressTableTest, RefusalsChangeNothing) {
  const Bytes& image = kImages[1];
  const FieldList good = table_for(1, image).fields();
  auto with = [&](const char* value) { FieldList f = good; return f.set_text(38, value), f; };
  Bytes bad_sum = image;
  bad_sum.back() ^= 1;
  const FieldList before = table_for(1).fields();
  FieldList reversed;  // a set stores image order
  for (size_t i = good.count(); i-- > 0;) reversed.add(good.at(i));
  struct Case { Bytes image; FieldList set; int code; } cases[] = {
      {Bytes(image.begin(), image.end() - 1), {}, err::kInvalidData}, {kImages[0], {}, err::kInvalidData},
      {bad_sum, {}, err::kChecksum}, {{}, table_for(0).fields(), err::kFieldNotFound},  // lacks 759..762
      {{}, with("65536"), err::kInvalidData}, {{}, reversed, 0},
  };
  for (const Case& c : cases) {
    AddressTable table = table_for(1);
    EXPECT_EQ(error_of([&] { c.image.empty() ? table.set_fields(c.set) : table.unpack(454, c.image.data(), c.image.size()); }),
              c.code);
    EXPECT_EQ(table.fields(), c.code ? before : good);
  }
}

}  // namespace
}  // namespace cps
