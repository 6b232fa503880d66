// Block 16: a hand-made image both ways (bits without a switch dropped), the order of the
// entry, refused images and sets that change nothing.
#include "gen1/blocks/option_switches.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using test::Image;

// Switches on: 524 and 531 (byte 0 = 0x81), 533 (0x08 of byte 1), 538, 541, 553, 554, 556, 561,
// 569 and 576. Bytes 2 and 4 and the bits of bytes 1 and 3 without a switch are set too: they
// are not read and pack as 0.
const Image kNoisy = test::resealed({128, 12, 1,
                                     0x81, 0xC8, 0xFF, 0xFC, 0xFF, 0x10, 0x01, 0x02, 0x10, 0x80, 0x08, 0x01, 0});
const Image kClean = test::resealed({128, 12, 1,
                                     0x81, 0x08, 0x00, 0x04, 0x00, 0x10, 0x01, 0x02, 0x10, 0x80, 0x08, 0x01, 0});
const std::set<int32_t> kOn = {524, 531, 533, 538, 541, 553, 554, 556, 561, 569, 576};

OptionSwitches unpacked(const Image& image) {
  OptionSwitches block;
  block.unpack(OptionSwitches::kBlockId, image.data(), image.size());
  return block;
}

TEST(OptionSwitches, HandMadeImageBothWays) {
  OptionSwitches block = unpacked(kNoisy);
  const FieldList& entry = block.block().entry(0);
  ASSERT_EQ(entry.count(), OptionSwitches::kSwitchCount);
  for (int32_t id = OptionSwitches::kFirstSwitch; id <= OptionSwitches::kLastSwitch; ++id) {
    EXPECT_EQ(entry.text(id), kOn.count(id) ? "1" : "0") << id;
    EXPECT_EQ(entry.get(id).attribute, 1) << id;
  }
  EXPECT_EQ(block.block().header().get(47).attribute, 2);
  EXPECT_EQ(block.pack(OptionSwitches::kBlockId), kClean);
  EXPECT_EQ(unpacked(kClean).block(), block.block());
}

// Byte by byte from the lowest bit; in byte 1, 533 comes before 534 and 532 last.
TEST(OptionSwitches, EntryOrderFollowsTheBits) {
  const OptionSwitches block;
  const FieldList& entry = block.block().entry(0);
  const std::vector<int32_t> first = {531, 530, 529, 528, 527, 526, 525, 524, 537, 536, 535, 533, 534, 532,
                                      540, 539, 538, 545};
  for (size_t k = 0; k < first.size(); ++k) EXPECT_EQ(entry.id_at(k), first[k]) << k;
  EXPECT_EQ(entry.id_at(OptionSwitches::kSwitchCount - 1), 573);
}

TEST(OptionSwitches, DefaultIsOneRecordAllOff) {
  OptionSwitches block;
  EXPECT_EQ(block.pack(OptionSwitches::kBlockId),
            test::resealed({128, 12, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(OptionSwitches, RefusedImagesChangeNothing) {
  Image two_records = kClean;
  two_records.back() = 0;
  two_records.insert(two_records.end(), 12, 0);
  two_records[2] = 2;
  Image size_11(kClean.begin(), kClean.end() - 1);  // 11 x 1 + 4 bytes
  size_11[1] = 11;
  Image off_by_one = kClean;
  ++off_by_one.back();
  struct Case { Image image; int code; } cases[] = {
      {Image(kClean.begin(), kClean.end() - 1), err::kShortImage},
      {Image(kClean.begin(), kClean.begin() + 2), err::kShortImage},
      {off_by_one, err::kChecksum},
      {test::resealed(size_11), err::kInvalidData},
      {test::resealed(two_records), err::kInvalidData},
      {test::resealed({128, 12, 0, 0}), err::kInvalidData},
  };
  for (const Case& c : cases) {
    OptionSwitches block = unpacked(kNoisy);
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(OptionSwitches::kBlockId, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(block.block(), before);
  }
}

TEST(OptionSwitches, SetsCheckEveryFieldOrChangeNothing) {
  const OptionSwitches block = unpacked(kClean);
  const BlockRecord good = block.block();
  BlockRecord count_2 = good, two_entries = good, size_13 = good, without_573 = good, extra = good;
  count_2.set_header_field({48, "2", 2});
  two_entries.add_entry(good.entry(0));
  two_entries.set_header_field({48, "2", 2});
  size_13.set_header_field({47, "13", 2});
  without_573.entry(0) = FieldList{};
  for (size_t k = 0; k + 1 < good.entry(0).count(); ++k) without_573.entry(0).add(good.entry(0).at(k));
  extra.entry(0).set_text(540, "2");
  struct Case { BlockRecord record; FieldValue field; size_t index; int code; } cases[] = {
      {count_2, {}, 0, err::kInvalidData},
      {two_entries, {}, 0, err::kInvalidData},
      {size_13, {}, 0, err::kInvalidData},
      {without_573, {}, 0, err::kFieldNotFound},
      {extra, {}, 0, err::kInvalidData},
      {{}, {540, "2", 1}, 0, err::kInvalidData},
      {{}, {540, "-1", 1}, 0, err::kInvalidData},
      {{}, {540, "on", 1}, 0, err::kInvalidData},
      {{}, {577, "0", 1}, 0, err::kFieldNotFound},
      {{}, {523, "0", 1}, 0, err::kFieldNotFound},
      {{}, {47, "13", 2}, 0, err::kInvalidData},
      {{}, {47, "12", 2}, 0, err::kFieldNotFound},   // a good header value, but not an entry field
      {{}, {48, "1", 2}, 0, err::kFieldNotFound},
      {{}, {540, "1", 1}, 1, err::kBadIndex},
      {{}, {540, "1", 1}, 0, 0},
      {{}, {524, "0", 1}, 0, 0},
  };
  for (const Case& c : cases) {
    OptionSwitches work = block;
    EXPECT_EQ(error_of([&] { c.field.id ? work.set_field(c.index, c.field) : work.set_block(c.record); }), c.code)
        << c.field.id << " " << c.field.value;
    if (c.code != 0) {
      EXPECT_EQ(work.block(), good);
    } else if (c.field.id) {
      EXPECT_EQ(work.block().entry(0).text(c.field.id), c.field.value);
    }
  }
}

// A switch set through the record reaches its own bit: 534 is 0x10 of record byte 1, above 533.
TEST(OptionSwitches, SetSwitchesPackIntoTheirBits) {
  OptionSwitches block;
  BlockRecord record = block.block();
  record.entry(0).set_text(534, "1");
  record.entry(0).set_text(573, "1");
  block.set_block(record);
  const Image image = block.pack(OptionSwitches::kBlockId);
  EXPECT_EQ(image[3 + 1], 0x10);
  EXPECT_EQ(image[3 + 11], 0x08);
  EXPECT_EQ(unpacked(image).block(), block.block());
}

}  // namespace
}  // namespace cps
