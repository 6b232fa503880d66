#include "gen1/values/list_frame.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using layout::Codec;
using layout::FieldDesc;

// A two-byte record: a number in byte 0, a flag in bit 0x01 of byte 1.
constexpr FieldDesc kRows[] = {
    {.id = 900, .offset = 0, .dflt = {"7"}},
    {.id = 901, .offset = 1, .mask = 0x01, .dflt = {"1"}},
};
constexpr ListFrame kFrame{.rows = kRows, .record_size = 2, .min_count = 1, .max_count = 3, .format = 128};
constexpr ListFrame kChecked{.rows = kRows, .record_size = 2, .min_count = 0, .max_count = 3,
                             .record_checksums = true};
static_assert(layout::layout_ok(kRows, 2));

// 46 = 128, 47 = 2, 48 = 2; records {5, 0x01} {9, 0xFE}; checksum 0x5A - sum.
std::vector<uint8_t> golden() {
  std::vector<uint8_t> image = {0x80, 2, 2, 5, 0x01, 9, 0xFE};
  image.push_back(checksum(image.data(), image.size()));
  return image;
}

TEST(ListFrame, UnpackAndPackGoldenImage) {
  const std::vector<uint8_t> image = golden();
  BlockRecord record;
  std::vector<std::vector<uint8_t>> raw;
  unpack_frame(kFrame, image.data(), image.size(), BlockBase{}, record, &raw);
  EXPECT_EQ(record.get_header_field(46), (FieldValue{46, "128", 2}));
  ASSERT_EQ(record.entry_count(), 2u);
  EXPECT_EQ(record.get_entry_field(1, 900).value, "9");
  EXPECT_EQ(record.get_entry_field(1, 901).value, "0");

  // Bytes without a field are written as 0, unless the frame keeps them.
  std::vector<uint8_t> zeroed = image;
  zeroed[6] = 0x00;
  zeroed = test::resealed(zeroed);
  EXPECT_EQ(pack_frame(kFrame, record, BlockBase{}), zeroed);
  EXPECT_EQ(pack_frame(kFrame, record, BlockBase{}, &raw), image);
}

TEST(ListFrame, RecordChecksums) {
  // 46 = 0, 47 = 2, 48 = 1; one record followed by its checksum.
  std::vector<uint8_t> image = {0, 2, 1, 5, 1};
  image.push_back(checksum(image.data() + 3, 2));
  image.push_back(checksum(image.data(), image.size()));
  BlockRecord record;
  unpack_frame(kChecked, image.data(), image.size(), BlockBase{}, record);
  EXPECT_EQ(pack_frame(kChecked, record, BlockBase{}), image);
  image[5] ^= 1;
  image.back() = checksum(image.data(), image.size() - 1);
  EXPECT_EQ(error_of([&] { unpack_frame(kChecked, image.data(), image.size(), BlockBase{}, record); }),
            err::kChecksum);
}

TEST(ListFrame, UnpackErrorsLeaveTheRecord) {
  struct Case { const char* what; std::vector<uint8_t> image; int code; } cases[] = {
      {"shorter than its header says", {0x80, 2, 2, 5, 1, 9}, err::kShortImage},
      {"bad checksum", {0x80, 2, 1, 5, 1, 0x00}, err::kChecksum},
      {"record size", {0x80, 3, 1, 5, 1, 0, 0}, err::kInvalidData},
      {"count above the maximum", {0x80, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, err::kInvalidData},
      {"count below the minimum", {0x80, 2, 0, 0}, err::kInvalidData},
  };
  for (Case& c : cases) {
    if (c.code != err::kChecksum && c.image.size() > 3) c.image.back() = checksum(c.image.data(), c.image.size() - 1);
    BlockRecord record = default_frame(kFrame, BlockBase{});
    const BlockRecord before = record;
    EXPECT_EQ(error_of([&] { unpack_frame(kFrame, c.image.data(), c.image.size(), BlockBase{}, record); }), c.code)
        << c.what;
    EXPECT_EQ(record, before) << c.what;
  }
}

TEST(ListFrame, TakeChecksHeaderCountAndEntries) {
  const BlockRecord good = default_frame(kFrame, BlockBase{}, 2);
  BlockRecord given = good;
  given.entry(0).add(999, "extra", 1);  // fields no row declares are not taken
  EXPECT_EQ(take_frame(kFrame, given, BlockBase{}), good);

  BlockRecord wrong_count = good;
  wrong_count.set_header_field({48, "3", 2});
  EXPECT_EQ(error_of([&] { take_frame(kFrame, wrong_count, BlockBase{}); }), err::kInvalidData);
  BlockRecord missing;
  missing.add_header_field({46, "0", 2});
  missing.add_header_field({47, "2", 2});
  EXPECT_EQ(error_of([&] { take_frame(kFrame, missing, BlockBase{}); }), err::kFieldNotFound);
  BlockRecord bad_value = good;
  bad_value.set_entry_field(1, {901, "2", 1});
  EXPECT_EQ(error_of([&] { take_frame(kFrame, bad_value, BlockBase{}); }), err::kInvalidData);
}

}  // namespace
}  // namespace cps
