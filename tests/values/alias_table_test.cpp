#include "values/alias_table.h"

#include "interface/errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

template <class F>
int32_t error_of(F&& f) {
  try {
    f();
  } catch (const ErrorCode& e) {
    return e.code;
  }
  return 0;
}

// Three channels as the channel image leaves them: count 3, every alias empty.
BlockRecord unpacked_channels(const std::string& count = "3") {
  BlockRecord record;
  record.add_header_field({48, count, 1});
  for (int i = 0; i < 3; ++i) {
    record.add_entry();
    record.add_entry_field(i, {424, "", 1});
  }
  return record;
}

// 49 = 132, L = 8, N = 3, 465 = 0; "CH1", no alias, "ABCDEFGH" (no terminator at full length).
const std::vector<uint8_t> kImage = {
    0x84, 0x08, 0x03, 0x00, 0x01, 0x08,
    'C',  'H',  '1',  0x00, 0x00, 0x00, 0x00, 0x00,
    0xFF, 'x',  'y',  0x00, 0x00, 0x00, 0x00, 0x00,
    'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',
    0xF2,  // 0x5A - (0x98 + 0xBC + 0x1F0 + 0x224)
};

TEST(AliasTable, UnpackGoldenImage) {
  BlockRecord record = unpacked_channels();
  record.set_entry_field(1, {424, "kept", 1});
  unpack_alias_image(kImage.data(), kImage.size(), record);
  EXPECT_EQ(record.get_header_field(49), (FieldValue{49, "132", 2}));
  EXPECT_EQ(record.get_header_field(464), (FieldValue{464, "8", 2}));
  EXPECT_EQ(record.get_header_field(465), (FieldValue{465, "0", 2}));
  EXPECT_EQ(record.get_entry_field(0, 424), (FieldValue{424, "CH1", 1}));
  EXPECT_EQ(record.get_entry_field(1, 424).value, "kept");  // 0xFF: no alias
  EXPECT_EQ(record.get_entry_field(2, 424).value, "ABCDEFGH");
}

TEST(AliasTable, UnpackFailures) {
  auto with = [](size_t at, uint8_t value) {
    std::vector<uint8_t> image = kImage;
    image[at] = value;
    image.back() = static_cast<uint8_t>(image.back() + kImage[at] - value);  // checksum kept
    return image;
  };
  std::vector<uint8_t> bad_checksum = kImage;
  bad_checksum.back() ^= 0x01;
  // N = 2: the checksum follows the second alias; what stands after it is ignored.
  std::vector<uint8_t> two(kImage.begin(), kImage.begin() + 22);
  two[2] = 2;
  two.push_back(0x17);  // 0x5A - (0x97 + 0xBC + 0x1F0)
  two.push_back(0xAA);
  struct Case { const char* what; std::vector<uint8_t> image; std::string count; int32_t error; };
  std::vector<Case> cases = {
      {"one byte short", {kImage.begin(), kImage.end() - 1}, "3", err::kShortImage},
      {"no frame", {kImage.begin(), kImage.begin() + 6}, "3", err::kShortImage},
      {"empty", {}, "3", err::kShortImage},
      {"checksum", bad_checksum, "3", err::kChecksum},
      {"checksum before count", bad_checksum, "2", err::kChecksum},
      {"more aliases than entries", kImage, "2", err::kShortImage},
      {"fewer aliases than entries", two, "3", 0},
      {"control character", with(7, 0x1F), "3", err::kInvalidData},
      {"above 219", with(23, 0xDC), "3", err::kInvalidData},
      {"219 passes", with(23, 0xDB), "3", 0},
      {"no alias bytes", {0x84, 0x00, 0x03, 0x00, 0x01, 0x00, 0xD2}, "3", 0},
  };
  for (Case& c : cases) {
    BlockRecord record = unpacked_channels(c.count);
    EXPECT_EQ(error_of([&] { unpack_alias_image(c.image.data(), c.image.size(), record); }),
              c.error)
        << c.what;
  }
}

TEST(AliasTable, PackGoldenImage) {
  BlockRecord record = unpacked_channels();
  record.add_header_field({49, "132", 2});
  record.add_header_field({464, "8", 2});
  record.add_header_field({465, "0", 2});
  record.set_entry_field(0, {424, "CH1", 1});
  record.set_entry_field(2, {424, "ABCDEFGHIJ", 1});  // cut to L
  const std::vector<uint8_t> expected = {
      0x84, 0x08, 0x03, 0x00, 0x01, 0x08,
      'C',  'H',  '1',  0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // no alias: zeros, not 0xFF
      'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',
      0xE2,  // 0x5A - (0x98 + 0xBC + 0x224)
  };
  EXPECT_EQ(pack_alias_image(record, BlockBase{}), expected);

  record.set_entry_field(0, {424, "\xC3H1", 1});  // top bit cleared
  EXPECT_EQ(pack_alias_image(record, BlockBase{}), expected);

  struct Bad { int32_t id; const char* text; int32_t error; };
  for (const Bad& b : std::vector<Bad>{{464, "256", err::kInvalidData},
                                       {49, "-1", err::kInvalidData},
                                       {48, "x", err::kInvalidData},
                                       {48, "4", err::kBadIndex}}) {
    BlockRecord bad = record;
    bad.header().set_text(b.id, b.text);
    EXPECT_EQ(error_of([&] { pack_alias_image(bad, BlockBase{}); }), b.error) << b.id;
  }
  BlockRecord missing = unpacked_channels();
  EXPECT_EQ(error_of([&] { pack_alias_image(missing, BlockBase{}); }), err::kFieldNotFound);
}

TEST(AliasTable, VersionPairConvertsTheAliasLength) {
  struct Case { uint8_t data, target; size_t length; };
  for (const Case& c : std::vector<Case>{
           {1, 2, 8}, {1, 3, 8}, {2, 1, 14}, {3, 1, 14},
           {0, 2, 16}, {2, 0, 16}, {1, 1, 16}, {2, 2, 16}, {2, 3, 16}}) {
    BlockRecord record = unpacked_channels();
    record.add_header_field({49, "132", 2});
    record.add_header_field({464, "16", 2});
    record.add_header_field({465, "0", 2});
    record.set_entry_field(0, {424, "ABCDEFGHIJKLMNOP", 1});
    BlockBase base;
    base.data_major = c.data;
    base.target_major = c.target;
    std::vector<uint8_t> image = pack_alias_image(record, base);
    SCOPED_TRACE(std::to_string(c.data) + " -> " + std::to_string(c.target));
    ASSERT_EQ(image.size(), 3 * c.length + 7);
    EXPECT_EQ(image[1], c.length);
    EXPECT_EQ(image[5], c.length);
    EXPECT_EQ(record.get_header_field(464), (FieldValue{464, std::to_string(c.length), 2}));
    EXPECT_EQ(std::string(image.begin() + 6, image.begin() + 6 + c.length),
              std::string("ABCDEFGHIJKLMNOP").substr(0, c.length));
    EXPECT_EQ(checksum(image.data(), image.size() - 1), image.back());
  }
}

// Two personalities; the member image has supplied header field 49 already.
ListBlockRecord unpacked_personalities() {
  ListBlockRecord record;
  record.header().add(49, "132", 2);
  for (int i = 0; i < 2; ++i) {
    record.add_list();
    record.add_list_header_field(i, {424, "", 1});
  }
  return record;
}

TEST(AliasTable, ListsCarryTheirAliasInTheListHeader) {
  const std::vector<uint8_t> image = {
      0x84, 0x04, 0x02, 0x07, 0x01, 0x04,
      0xFF, 0x00, 0x00, 0x00,
      'P',  '2',  0x00, 0x00,
      0x43,  // 0x5A - (0x96 + 0xFF + 0x82)
  };
  ListBlockRecord record = unpacked_personalities();
  unpack_alias_image(image.data(), image.size(), record);
  EXPECT_EQ(record.header().count(), 3u);  // 49 comes from the member image, not from here
  EXPECT_EQ(record.header().get(464), (FieldValue{464, "4", 2}));
  EXPECT_EQ(record.header().get(465), (FieldValue{465, "7", 2}));
  EXPECT_EQ(record.get_list_header_field(0, 424).value, "");
  EXPECT_EQ(record.get_list_header_field(1, 424).value, "P2");

  std::vector<uint8_t> packed = image;
  packed[6] = 0x00;  // an empty alias packs as zeros
  packed.back() = 0x42;
  EXPECT_EQ(pack_alias_image(record, BlockBase{}), packed);

  ListBlockRecord one;
  one.add_list();
  EXPECT_EQ(error_of([&] { unpack_alias_image(image.data(), image.size(), one); }),
            err::kShortImage);
}

}  // namespace
}  // namespace cps
