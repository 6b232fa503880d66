// The alias image: golden bytes both ways, failure codes, version changes, lists.
#include "gen1/values/alias_table.h"

#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Three channels as the channel image leaves them: field 48 = `count`, every alias empty; with
// `length`, also the header fields that the alias image carries (49 = 132, 464, 465 = 0).
BlockRecord channels(const char* count = "3", const char* length = nullptr) {
  BlockRecord record;
  record.add_header_field({48, count, 1});
  if (length != nullptr)
    for (const FieldValue& f : {FieldValue{49, "132", 2}, {464, length, 2}, {465, "0", 2}})
      record.add_header_field(f);
  for (int i = 0; i < 3; ++i) record.add_entry_field(record.add_entry(), {424, "", 1});
  return record;
}

// 49 = 132, L = 8, N = 3, 465 = 0; "CH1", no alias, "ABCDEFGH" (no terminator at full length);
// the checksum 0x5A - (0x98 + 0xBC + 0x1F0 + 0x224).
const Image kImage = {0x84, 0x08, 0x03, 0x00, 0x01, 0x08,
                      'C',  'H',  '1',  0, 0, 0, 0, 0,   0xFF, 'x', 'y', 0, 0, 0, 0, 0,
                      'A',  'B',  'C',  'D', 'E', 'F', 'G', 'H', 0xF2};

TEST(AliasTable, GoldenImageBothWays) {
  BlockRecord record = channels();
  record.set_entry_field(1, {424, "kept", 1});
  unpack_alias_image(kImage.data(), kImage.size(), record);
  for (const FieldValue& f : {FieldValue{49, "132", 2}, {464, "8", 2}, {465, "0", 2}})
    EXPECT_EQ(record.get_header_field(f.id), f);
  EXPECT_EQ(record.get_entry_field(0, 424), (FieldValue{424, "CH1", 1}));
  EXPECT_EQ(record.get_entry_field(1, 424).value, "kept");  // 0xFF: no alias
  EXPECT_EQ(record.get_entry_field(2, 424).value, "ABCDEFGH");

  record.set_entry_field(1, {424, "", 1});
  record.set_entry_field(2, {424, "ABCDEFGHIJ", 1});  // cut to L
  Image expected = kImage;
  std::fill(expected.begin() + 14, expected.begin() + 22, 0x00);  // no alias: zeros, not 0xFF
  expected.back() = 0xE2;                                         // 0x5A - (0x98 + 0xBC + 0x224)
  EXPECT_EQ(pack_alias_image(record, BlockBase{}), expected);
}

TEST(AliasTable, UnpackFailures) {
  Image bad_checksum = kImage;
  bad_checksum.back() ^= 0x01;
  Image longer = kImage;
  longer.push_back(0xAA);  // what stands after the checksum is ignored
  struct Case { const char* what; Image image; const char* count; int32_t error; };
  const Case cases[] = {
      {"empty", {}, "3", err::kShortImage}, {"checksum", bad_checksum, "3", err::kChecksum},
      {"checksum before count", bad_checksum, "2", err::kChecksum},
      {"more aliases than entries", kImage, "2", err::kShortImage},
      {"fewer aliases than entries", longer, "4", 0},
      {"alias character above 219", {0x84, 1, 1, 0, 1, 1, 0xDC, 0xF6}, "3", err::kInvalidData},
      {"no alias bytes", {0x84, 0x00, 0x03, 0x00, 0x01, 0x00, 0xD2}, "3", 0},
  };
  for (const Case& c : cases) {
    BlockRecord r = channels(c.count);
    EXPECT_EQ(error_of([&] { unpack_alias_image(c.image.data(), c.image.size(), r); }), c.error)
        << c.what;
  }
}

// A block's second read of its aliases: the header is the one given plus the image's three
// fields, every entry without an alias in the image is cleared, and an image that fails anywhere
// (the last alias included) leaves the record exactly as it was.
TEST(AliasTable, ReplacingAliasesTakesTheWholeImageOrNothing) {
  BlockRecord record = channels("3", "16");
  for (size_t i = 0; i < 3; ++i) record.set_entry_field(i, {424, "old" + std::to_string(i), 1});
  FieldList header;
  header.add(48, "3", 1);
  const BlockRecord before = record;

  Image bad_last = kImage;
  bad_last[29] = 0xDC;  // 'H' of the third alias, above 219
  bad_last.back() = static_cast<uint8_t>(bad_last.back() - (0xDC - 'H'));
  BlockRecord no_field = record;
  no_field.entry(2) = FieldList();
  const BlockRecord no_field_before = no_field;
  EXPECT_EQ(error_of([&] { replace_aliases(bad_last.data(), bad_last.size(), header, record); }), err::kInvalidData);
  EXPECT_EQ(record, before);
  EXPECT_EQ(error_of([&] { replace_aliases(kImage.data(), kImage.size() - 1, header, record); }), err::kShortImage);
  EXPECT_EQ(record, before);
  EXPECT_EQ(error_of([&] { replace_aliases(kImage.data(), kImage.size(), header, no_field); }), err::kFieldNotFound);
  EXPECT_EQ(no_field, no_field_before);

  replace_aliases(kImage.data(), kImage.size(), header, record);
  BlockRecord expected = channels("3", "8");
  expected.set_entry_field(0, {424, "CH1", 1});
  expected.set_entry_field(2, {424, "ABCDEFGH", 1});
  EXPECT_EQ(record, expected);  // entry 1 has no alias in the image: cleared
}

TEST(AliasTable, PackRefusesBadHeaders) {
  struct Bad { int32_t id; const char* text; int32_t error; };
  for (const Bad& b : {Bad{464, "256", err::kInvalidData}, Bad{48, "4", err::kBadIndex}}) {
    BlockRecord bad = channels("3", "8");
    bad.header().set_text(b.id, b.text);
    EXPECT_EQ(error_of([&] { pack_alias_image(bad, BlockBase{}); }), b.error) << b.id;
  }
  BlockRecord missing = channels();
  EXPECT_EQ(error_of([&] { pack_alias_image(missing, BlockBase{}); }), err::kFieldNotFound);
}

// Version 1 data to a later radio gets L = 8, later data to version 1 L = 14 (464 rewritten).
TEST(AliasTable, VersionPairConvertsTheAliasLength) {
  struct Case { uint8_t data, target; const char* length; };
  for (const Case& c : {Case{1, 2, "8"}, Case{3, 1, "14"}, Case{0, 2, "16"}, Case{1, 1, "16"}}) {
    BlockRecord record = channels("3", "16"), direct = channels("3", c.length);
    EXPECT_EQ(pack_alias_image(record, BlockBase{.context = std::make_shared<RadioContext>(RadioContext{.data_major = c.data, .target_major = c.target})}),
              pack_alias_image(direct, BlockBase{})) << int{c.data} << " -> " << int{c.target};
    EXPECT_EQ(record.get_header_field(464).value, c.length);
  }
}

// Two personalities; the member image has supplied header field 49 already.
TEST(AliasTable, ListsCarryTheirAliasInTheListHeader) {
  const Image image = {0x84, 0x04, 0x02, 0x07, 0x01, 0x04, 0xFF, 0x00, 0x00, 0x00,
                       'P',  '2',  0x00, 0x00, 0x43};  // 0x5A - (0x96 + 0xFF + 0x82)
  ListBlockRecord record;
  record.header().add(49, "132", 2);
  for (int i = 0; i < 2; ++i) record.add_list_header_field(record.add_list(), {424, "", 1});
  unpack_alias_image(image.data(), image.size(), record);
  EXPECT_EQ(record.header().count(), 3u);  // 49 comes from the member image, not from here
  EXPECT_EQ(record.header().get(464), (FieldValue{464, "4", 2}));
  EXPECT_EQ(record.header().get(465), (FieldValue{465, "7", 2}));
  EXPECT_EQ(record.get_list_header_field(1, 424).value, "P2");

  Image packed = image;
  packed[6] = 0x00;  // an empty alias packs as zeros
  packed.back() = 0x42;
  EXPECT_EQ(pack_alias_image(record, BlockBase{}), packed);

  record.remove_list(1);  // two aliases for one list
  EXPECT_EQ(error_of([&] { unpack_alias_image(image.data(), image.size(), record); }),
            err::kShortImage);
}

}  // namespace
}  // namespace cps
