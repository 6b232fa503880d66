// Block 2: a golden image both ways, the forms of the version text, the radio kind labelled by
// the form of field 66, sets that must leave the record alone, and every failure as 135.
#include "gen1/blocks/radio_info.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Bytes = std::vector<std::pair<size_t, uint8_t>>;
using Shown = std::vector<std::pair<int32_t, const char*>>;
constexpr int kRro = err::kRroData;

// A portable radio in the "06" form, then the checksum; bit 0x08 of record byte 3 has no field.
const Image kGolden = {0x80, 0x0A, 0x01, 0x10, 0x03, 0x12, 0x6B, 0xB6, 0x1A, 0x2F, 0x30, 0x09, 0x05, 0x02};

// Record bytes changed (offsets from the record's start, after the 3-byte header).
Image patched(const Image& image, const Bytes& bytes) { return test::patched(image, bytes, 3); }

RadioInfo radio(const char* version, const Image& image = kGolden) {
  RadioInfo block;
  block.base = {.mobile = 0, .version = version};
  block.unpack(2, image.data(), image.size());
  return block;
}

TEST(RadioInfo, GoldenImageBothWays) {
  RadioInfo block = radio("06");
  FieldList want;
  for (auto [id, text] : Shown{
           {54, "16"}, {55, "0"}, {56, "0"}, {57, "0"}, {58, "0"}, {59, "0"}, {60, "0"}, {61, "1"}, {62, "1"},
           {63, "Popular"}, {64, "Full Graphic"}, {65, "Single"}, {66, "Portable"}, {67, "ASCII"},
           {68, "GROUP2 (English Only)"}, {880, "1"}, {69, "1"}, {70, "0"}, {71, "Decode and Encode"},
           {72, "Decode Only"}, {73, "Encode Only"}, {74, "None"}, {75, "Decode Only"}, {76, "Encode Only"},
           {77, "1"}, {883, "0"}, {78, "5"}, {79, "1"}, {80, "Manual and Auto"}, {81, "48"}, {82, "1"},
           {667, "Morrow (MFK - Full Keypad)"}, {743, "5"}})
    want.add(id, text, 0);
  EXPECT_EQ(block.block().entry(0), want);
  EXPECT_EQ(block.block().header().at(1), (FieldValue{47, "10", 2}));
  EXPECT_EQ(std::tuple(block.is_mobile(), block.max_channel_count(), block.group_member_limit(),
                       block.max_trunking_systems()), std::tuple(false, 48, 16, 5));
  EXPECT_EQ(block.pack(2), kGolden);
}

// The golden image with some record bytes changed: a good one packs back as it was (nullptr:
// no such field in this form), a bad one (nothing shown) leaves the block as it was.
TEST(RadioInfo, UnpackFollowsVersionAndForm) {
  struct Case { const char* version; Bytes bytes; Shown shown; } cases[] = {
      {"05", {{3, 0x23}}, {}},  // 68 = code 3 has no label
      {"06", {{3, 0x23}}, {{66, "Portable"}, {68, "GROUP2 (English Only)"}, {880, "1"}}},
      {"05", {{3, 0x21}, {5, 0x1B}}, {{68, "Group 1"}, {880, nullptr}, {77, "Decode and Encode"}, {883, nullptr}}},
      {"06", {{5, 0x1B}}, {{77, "1"}, {883, "1"}}}, {"02", {{3, 0x20}}, {{743, nullptr}}}, {"03", {{3, 0x20}}, {{743, "5"}}},
      {"06", {{3, 0x4B}, {8, 0x03}}, {{66, "Mobile"}, {667, "Vesk+"}}},
      {"06", {{3, 0x4B}}, {}}, {"06", {{8, 0x0B}}, {}},  // a mobile has no kind 4, nor a portable kind 5
      {"06", {{0, 0x00}}, {}}, {"06", {{7, 0x00}}, {}},  // 54 and 81 below their ranges
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << " case " << (&c - cases));
    const Image old_image = patched(kGolden, {{3, 0x20}}), image = patched(kGolden, c.bytes);
    RadioInfo block = radio(c.version, old_image);
    EXPECT_EQ(error_of([&] { block.unpack(2, image.data(), image.size()); }), c.shown.empty() ? kRro : 0);
    for (auto [id, text] : c.shown)
      EXPECT_EQ(block.block().entry(0).contains(id) ? block.text(id) : "none", text ? text : "none");
    EXPECT_EQ(block.pack(2), c.shown.empty() ? old_image : image);
  }
}

TEST(RadioInfo, SetChecksRadioKindAgainstForm) {
  struct Case { int32_t id; const char* text; int error; } cases[] = {
      {667, "Vesk", 108}, {667, "2W Tobin", 0}, {66, "Mobile", 108}, {68, "Group 1", 108},
      {880, "2", 107},    {78, "32", 107},     {81, "255", 0},        {81, "0", 107}, {999, "0", 104}};
  for (const Case& c : cases) {
    RadioInfo block = radio("06");
    EXPECT_EQ(error_of([&] { block.set_field(0, {c.id, c.text, 0}); }), c.error) << c.id << c.text;
    if (c.error) { EXPECT_EQ(block.pack(2), kGolden); } else { EXPECT_EQ(block.text(c.id), c.text); }
  }
  // A whole record may switch the form together with the kind, and packs the new bits.
  RadioInfo block = radio("06");
  BlockRecord record = block.block();
  record.set_entry_field(0, {66, "Mobile", 0});
  EXPECT_EQ(error_of([&] { block.set_block(record); }), 108);
  record.set_entry_field(0, {667, "Vesk+", 0});
  block.set_block(record);
  EXPECT_TRUE(block.is_mobile());
  EXPECT_EQ(block.pack(2), patched(kGolden, {{3, 0x4B}, {8, 0x03}}));
}

TEST(RadioInfo, DefaultsByRadioKindAndBadImages) {
  for (const uint8_t mobile : {uint8_t{0}, uint8_t{1}}) {
    RadioInfo block;
    block.base = {.mobile = mobile, .version = "06"};
    block.build_default();
    EXPECT_EQ(block.is_mobile(), mobile == 1);
  }
  Image bad_sum = kGolden, record_of_9 = patched({0x80, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {});
  bad_sum.back() ^= 1;
  for (const Image& image : {bad_sum, record_of_9}) {
    RadioInfo block = radio("06");
    EXPECT_EQ(error_of([&] { block.unpack(2, image.data(), image.size()); }), kRro);
    EXPECT_EQ(block.pack(2), kGolden);
  }
}

}  // namespace
}  // namespace cps
