#include "gen2/values/list_frame.h"

#include "gen2/values/range_table.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps::gen2 {
namespace {

using layout::Codec;
using layout::FieldDesc;
using test::error_of;
using test::Image;

// Three bytes: two flags and a five-bit number, and a byte counted in tens.
constexpr FieldDesc kRows[] = {
    {.id = 2233, .offset = 0, .mask = 0x80, .ranges = &kRanges},
    {.id = 2235, .offset = 0, .mask = 0x1F, .ranges = &kRanges},
    {.id = 2236, .offset = 1, .mask = 0x80, .ranges = &kRanges},
    {.id = 2307, .offset = 2, .codec = Codec::Scaled, .dflt = {"100"}, .ranges = &kRanges, .scale = 10},
};
static_assert(layout::layout_ok(kRows, 3));
constexpr ListShape kShape{.rows = kRows, .min_count = 1, .max_count = 3};
constexpr ListShape kEmptiable{.rows = kRows, .min_count = 0, .max_count = 3, .record_size = 26,
                               .reframe_when_empty = true};

// Block flag 2, flags 1 0 1; record size 4 (the fourth byte carries nothing); two entries.
const Image kGolden = {0x85, 0x00, 0x04, 0x02,   //
                       0x85, 0x80, 25, 0x00,     // 2233 1, 2235 5, 2236 1, 2307 250
                       0x1F, 0x00, 0xFF, 0x00,   // 2233 0, 2235 31, 2236 0, 2307 2550
                       0x93};                    // 0x5A - (sum of the bytes above)

FramedList unpacked(const ListShape& shape, const Image& image) {
  FramedList block(shape);
  block.unpack(image.data(), image.size());
  return block;
}

TEST(Gen2ListFrame, GoldenImageRoundTrip) {
  FramedList block = unpacked(kShape, kGolden);
  const BlockRecord& record = block.record();
  const FieldValue header[] = {{2030, "2", 2}, {2031, "1", 2}, {2032, "0", 2},
                               {2033, "1", 2}, {2034, "4", 2}, {2035, "2", 2}};
  ASSERT_EQ(record.header().count(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(record.header().at(i), header[i]);
  ASSERT_EQ(record.entry_count(), 2u);
  EXPECT_EQ(record.get_entry_field(0, 2235), (FieldValue{2235, "5", 1}));
  EXPECT_EQ(record.get_entry_field(1, 2307).value, "2550");
  EXPECT_EQ(block.pack(), kGolden);

  // Bytes no field covers, and bits 5-3 of byte 0, are written as 0.
  Image noisy = test::patched(kGolden, {{0, 0xBD}, {7, 0x55}, {5, 0xC0}});
  EXPECT_EQ(unpacked(kShape, noisy).pack(), test::patched(kGolden, {{5, 0x80}}));
}

// A failed unpack leaves the record as it was: the checksum is verified before it is cleared.
TEST(Gen2ListFrame, UnpackFailuresChangeNothing) {
  FramedList block = unpacked(kShape, kGolden);
  const BlockRecord before = block.record();
  Image bad_sum = kGolden;
  bad_sum[9] ^= 0x01;
  struct Case { const char* what; Image image; size_t length; int32_t code; };
  const Case cases[] = {
      {"a changed byte", bad_sum, bad_sum.size(), err::kChecksum},
      {"no bytes given", kGolden, 0, err::kShortImage},
      {"shorter than its frame", kGolden, kGolden.size() - 1, err::kShortImage},
      {"records too short for the rows", {0x85, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00}, 7, err::kShortImage},
  };
  for (Case c : cases) {
    if (c.code == err::kShortImage && c.image.size() > 4 && c.length == c.image.size())
      c.image = test::resealed(c.image);
    EXPECT_EQ(error_of([&] { block.unpack(c.image.data(), c.length); }), c.code) << c.what;
    EXPECT_EQ(block.record(), before) << c.what;
  }
}

// Add and delete stop at the shape's limits and change nothing there; add frames a block that was
// never unpacked afresh, and keeps the record size of one that was.
TEST(Gen2ListFrame, AddAndDeleteWithinTheLimits) {
  const Image one = test::resealed({0x81, 0x00, 0x03, 0x01, 0x01, 0x00, 0x0A, 0x00});
  FramedList block = unpacked(kShape, one);
  EXPECT_EQ(error_of([&] { block.delete_entry(0); }), err::kBelowMinimum);
  EXPECT_EQ(block.record().entry_count(), 1u);
  FramedList emptiable = unpacked(kEmptiable, one);
  emptiable.delete_entry(0);
  EXPECT_EQ(emptiable.pack(), test::resealed({0x81, 0x00, 0x03, 0x00, 0x00}));

  FramedList fresh(kShape);
  EXPECT_EQ(fresh.add_entry(), 0u);
  EXPECT_EQ(fresh.pack(), test::resealed({0x81, 0x00, 0x03, 0x01, 0x00, 0x00, 10, 0x00}));

  FramedList full = unpacked(kShape, kGolden);
  EXPECT_EQ(error_of([&] { full.delete_entry(2); }), err::kBadIndex);
  EXPECT_EQ(full.add_entry(), 2u);
  EXPECT_EQ(full.record().header().text(kRecordSize), "4");
  const BlockRecord before = full.record();
  EXPECT_EQ(error_of([&] { full.add_entry(); }), err::kAboveMaximum);
  EXPECT_EQ(full.record(), before);
}

TEST(Gen2ListFrame, SetFieldChecksBeforeStoring) {
  FramedList block = unpacked(kShape, kGolden);
  const BlockRecord before = block.record();
  struct Case { size_t index; FieldValue field; int32_t code; };
  for (const Case& c : {Case{0, {2307, "255", 1}, err::kInvalidData}, Case{2, {2307, "250", 1}, err::kBadIndex},
                        Case{0, {2999, "0", 1}, err::kFieldNotFound},
                        Case{0, {kEntryCount, "3", 2}, err::kInvalidData},
                        Case{0, {kRecordSize, "2", 2}, err::kInvalidData}}) {
    EXPECT_EQ(error_of([&] { block.set_field(c.index, c.field); }), c.code) << c.field.id << " " << c.field.value;
    EXPECT_EQ(block.record(), before) << c.field.id;
  }
  block.set_field(1, {2307, "260", 1});
  block.set_field(9, {kRecordSize, "5", 2});  // framing fields ignore the index
  EXPECT_EQ(block.record().get_entry_field(1, 2307).value, "260");
  EXPECT_EQ(block.pack().size(), 5u * 2 + 5);
}

TEST(Gen2ListFrame, SetRecordTakesAWholeValidRecord) {
  FramedList block = unpacked(kShape, kGolden);
  const BlockRecord before = block.record();

  BlockRecord missing = before;
  missing.header() = FieldList{};
  for (int32_t id : {2030, 2031, 2032, 2034, 2035}) missing.add_header_field(before.get_header_field(id));
  BlockRecord miscounted = before;
  miscounted.set_header_field({kEntryCount, "1", 2});
  BlockRecord too_many = before;
  too_many.add_entry(before.entry(0));
  too_many.add_entry(before.entry(0));
  too_many.set_header_field({kEntryCount, "4", 2});
  struct Case { const char* what; BlockRecord record; int32_t code; };
  for (const Case& c : {Case{"framing field missing", missing, err::kFieldNotFound},
                        Case{"count not the entries'", miscounted, err::kInvalidData},
                        Case{"above the maximum", too_many, err::kInvalidData}}) {
    EXPECT_EQ(error_of([&] { block.set_record(c.record); }), c.code) << c.what;
    EXPECT_EQ(block.record(), before) << c.what;
  }

  BlockRecord edited = block.get_record();
  edited.set_entry_field(0, {2307, "0", 1});
  block.set_record(edited);
  EXPECT_EQ(block.pack(), test::patched(kGolden, {{6, 0}}));
}

TEST(Gen2BlockBase, StateIsEachHandlersOwn) {
  FramedList block(kShape);
  block.set_radio_type(2);
  block.set_target_version("04");
  block.set_codeplug_version("03");
  block.set_version_pair(0x0403);  // data of major version 3 written to a radio of version 4
  const R9Context& seen = r9_state(block.base);  // what the block's codecs read
  EXPECT_EQ(seen.radio_type, 2);
  EXPECT_EQ(seen.data_major, 3);
  EXPECT_EQ(seen.target_major, 4);

  FramedList copy = block;
  copy.set_radio_type(0);
  copy.set_version_pair(0);
  EXPECT_EQ(block.radio_type(), 2);
  EXPECT_EQ(block.version_pair(), 0x0403);
  EXPECT_EQ(copy.codeplug_version(), "03");
}

}  // namespace
}  // namespace cps::gen2
