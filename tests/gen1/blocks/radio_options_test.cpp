// Block 8: a hand-made image both ways, the version form of field 750, the four-digit number
// beside its two switches, and refused images and sets leaving the block as it was.
#include "gen1/blocks/radio_options.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;

RadioOptions make(const char* version = "07") {
  RadioOptions block;
  block.base.version = version;
  block.build_default();
  return block;
}

// Version 07: byte k of the record is image byte k + 3; record byte 9 carries no field.
const Bytes kRecord = {0xB6, 7, 200, 255, 0x9A, 0x16, 0x32, 0xC3, 0x0F, 0x99, 42, 5};

Bytes image_of(const Bytes& record) {
  Bytes image = {0x80, static_cast<uint8_t>(record.size()), 0x01};
  image.insert(image.end(), record.begin(), record.end());
  image.push_back(0);
  return test::resealed(image);
}

TEST(RadioOptions, GoldenImageBothWays) {
  RadioOptions block = make();
  const Bytes golden = image_of(kRecord);
  block.unpack(8, golden.data(), golden.size());
  const FieldList& e = block.block().entry(0);
  const std::vector<std::pair<int32_t, const char*>> expected = {
      {182, "Tones"}, {183, "1"}, {184, "0"}, {185, "12-hour format"}, {186, "1"}, {187, "0"}, {188, "1"},
      {189, "7"}, {190, "200"}, {191, "255"}, {192, "10"}, {193, "1"}, {194, "0"}, {195, "0"}, {196, "1"},
      {197, "Medium"}, {198, "LS Trunking"}, {199, "All Group active"}, {200, "2"}, {201, "French-Canadian"},
      {203, "1"}, {204, "1"}, {202, "0783"}, {205, "42"}, {750, "5"}};
  ASSERT_EQ(e.count(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(e.id_at(i), expected[i].first);
    EXPECT_EQ(e.text_at(i), expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(block.block().header().text(47), "12");
  EXPECT_EQ(block.pack(8), golden);

  // Up to "03" there is no field 750; its byte, where a record still has it, is kept.
  RadioOptions old = make("03");
  EXPECT_EQ(old.block().header().text(47), "11");
  old.unpack(8, golden.data(), golden.size());
  EXPECT_FALSE(old.block().entry(0).contains(750));
  EXPECT_EQ(old.pack(8), golden);
  const Bytes short_record = image_of(Bytes(kRecord.begin(), kRecord.end() - 1));
  old.unpack(8, short_record.data(), short_record.size());
  EXPECT_EQ(old.pack(8), short_record);
  EXPECT_EQ(error_of([&] { block.unpack(8, short_record.data(), short_record.size()); }), err::kInvalidData);
}

TEST(RadioOptions, BadImagesChangeNothing) {
  const Bytes golden = image_of(kRecord);
  const struct { Bytes image; int code; } cases[] = {
      {test::patched(golden, {{3 + 6, 0x42}}), err::kChoiceNotFound},  // language 4
      {test::patched(golden, {{3 + 7, 0x27}, {3 + 8, 0x10}}), err::kInvalidData},  // 10000
  };
  for (const auto& c : cases) {
    RadioOptions block = make();
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(8, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(block.block(), before);
  }
}

// SetFieldAt checks the value as the block's field check does, then stores it; the number and
// its two switches keep each other's bits.
TEST(RadioOptions, SetsCheckThenStore) {
  RadioOptions block = make();
  const Bytes golden = image_of(kRecord);
  block.unpack(8, golden.data(), golden.size());
  block.set_field(0, {202, "12", 1});
  Bytes packed = block.pack(8);
  EXPECT_EQ(packed[3 + 7], 0xC0);
  EXPECT_EQ(packed[3 + 8], 0x0C);
  EXPECT_EQ(block.block().entry(0).text(202), "12");
  block.set_field(0, {203, "0", 1});
  block.set_field(0, {202, "9999", 1});
  packed = block.pack(8);
  EXPECT_EQ(packed[3 + 7], 0x80 | 0x27);
  EXPECT_EQ(packed[3 + 8], 0x0F);

  const BlockRecord good = block.block();
  const struct { FieldValue field; int code; } refused[] = {
      {{202, "10000", 1}, err::kInvalidData}, {{201, "German", 1}, err::kChoiceNotFound},
      {{206, "0", 1}, err::kFieldNotFound},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(error_of([&] { block.set_field(0, r.field); }), r.code) << r.field.id << " " << r.field.value;
    EXPECT_EQ(block.block(), good);
  }
}

}  // namespace
}  // namespace cps
