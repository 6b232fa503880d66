// Block 30: a hand-made image both ways, the identity's digits, refused images and sets that
// change nothing.
#include "gen1/blocks/alarm_settings.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// 520 on, 519 off, 518 "10", "Alarm/Call", 516 on; identity 12AF; 522 = 12 x 5, 523 = 3. Record
// bytes 4 to 10 hold junk that packs as 0.
const Image kGolden = test::resealed({128, 11, 1, 0x39, 0x12, 0xAF, 0xC3, 1, 2, 3, 4, 5, 6, 7, 0});

AlarmSettings golden() {
  AlarmSettings block;
  block.unpack(30, kGolden.data(), kGolden.size());
  return block;
}

TEST(AlarmSettings, GoldenImageBothWays) {
  AlarmSettings block = golden();
  const FieldList& entry = block.block().entry(0);
  const std::vector<std::pair<int32_t, const char*>> expected = {
      {520, "1"}, {519, "0"}, {518, "10"}, {517, "Alarm/Call"}, {516, "1"}, {521, "12AF"}, {523, "3"}, {522, "60"}};
  ASSERT_EQ(entry.count(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(entry.id_at(k), expected[k].first);
    EXPECT_EQ(entry.text_at(k), expected[k].second) << expected[k].first;
  }
  EXPECT_EQ(entry.get(518).attribute, 2);
  EXPECT_EQ(block.pack(30), test::patched(kGolden, {{7, 0}, {8, 0}, {9, 0}, {10, 0}, {11, 0}, {12, 0}, {13, 0}}));
}

TEST(AlarmSettings, RefusedImages) {
  Image size_12 = kGolden;
  size_12.insert(size_12.end() - 1, 0);
  size_12[1] = 12;
  Image bad_sum = kGolden;
  bad_sum.back() ^= 1;
  struct Case { Image image; int code; } cases[] = {
      {test::patched(kGolden, {{4, 0xE0}, {5, 0x00}}), err::kInvalidData},  // first digit above D
      {test::patched(kGolden, {{4, 0xDF}, {5, 0xFF}}), 0},
      {test::patched(kGolden, {{6, 0xD3}}), err::kInvalidData},             // 65
      {test::patched(kGolden, {{6, 0x30}}), err::kInvalidData},             // 523 starts at 1
      {test::patched(kGolden, {{6, 0x0B}}), err::kInvalidData},             // 523 ends at 10
      {test::patched(kGolden, {{3, 0x0C}}), err::kChoiceNotFound},          // 518 code 3
      {test::resealed(size_12), err::kInvalidData},
      {Image(kGolden.begin(), kGolden.end() - 1), err::kShortImage},
      {bad_sum, err::kChecksum},
  };
  for (const Case& c : cases) {
    AlarmSettings block = golden();
    EXPECT_EQ(error_of([&] { block.unpack(30, c.image.data(), c.image.size()); }), c.code) << int{c.image[6]};
    if (c.code != 0) EXPECT_EQ(block.block(), golden().block());
  }
}

TEST(AlarmSettings, SetsCheckEachFieldOrChangeNothing) {
  AlarmSettings block = golden();
  block.set_field(0, {521, "d0f9", 1});  // either case
  block.set_field(0, {522, "5", 1});
  block.set_field(0, {518, "None", 2});
  const Image packed = block.pack(30);
  EXPECT_EQ(Image(packed.begin() + 3, packed.begin() + 7), (Image{0x31, 0xD0, 0xF9, 0x13}));

  const BlockRecord good = block.block();
  auto changed = [&](int32_t id, const char* text) {
    BlockRecord r = good;
    id < 100 ? r.set_header_field({id, text, 2}) : r.set_entry_field(0, {id, text, 1});
    return r;
  };
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {{}, {521, "E000", 1}, err::kInvalidData}, {{}, {521, "D00G", 1}, err::kInvalidData},
      {{}, {521, "12A", 1}, err::kInvalidData},  {{}, {521, "12345", 1}, err::kInvalidData},
      {{}, {521, " 123", 1}, err::kInvalidData}, {{}, {522, "65", 1}, err::kInvalidData},
      {{}, {522, "12", 1}, err::kInvalidData},   {{}, {523, "0", 1}, err::kInvalidData},
      {{}, {523, "11", 1}, err::kInvalidData},   {{}, {516, "2", 1}, err::kInvalidData},
      {{}, {517, "Call", 1}, err::kChoiceNotFound}, {{}, {518, "15", 2}, err::kChoiceNotFound},
      {{}, {47, "10", 2}, err::kInvalidData},    {{}, {48, "2", 2}, err::kInvalidData},
      {{}, {465, "0", 2}, err::kFieldNotFound},  {{}, {46, "128", 2}, err::kFieldNotFound},
      {{}, {524, "0", 1}, err::kFieldNotFound},  {changed(48, "2"), {}, err::kInvalidData},
      {changed(47, "12"), {}, err::kInvalidData}, {changed(521, "DG00"), {}, err::kInvalidData},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.set_block(c.record); }), c.code)
        << c.field.id << " " << c.field.value;
    EXPECT_EQ(block.block(), good);
  }
  EXPECT_EQ(error_of([&] { block.set_field(1, {523, "2", 1}); }), err::kBadIndex);
}

}  // namespace
}  // namespace cps
