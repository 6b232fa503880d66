#include "gen2/blocks/channels.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

constexpr size_t kFirst = 4;    // block byte of entry 0's byte 0
constexpr size_t kSecond = 18;  // and of entry 1's

// Channel 0: set A "TXQ" 67.0 Hz, set B "DXQ" 023; channel 1: set A "Inverted DXQ" 754, set B "CSQ".
const Image kGolden = test::resealed({
    0x81, 0x00, 0x0E, 0x02,
    7, 0x9A, 0xB3, 200, 0x12, 0x9E, 0x60, 0x01, 0x01, 0x2C, 0xFF, 0xFE, 0xE0, 0x50,
    0, 0x00, 0x00, 0, 0x30, 0x68, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00,
});

Channels unpacked(const Image& image) {
  Channels block;
  block.unpack(image.data(), image.size());
  return block;
}

TEST(Gen2Channels, GoldenImageBothWays) {
  Channels block = unpacked(kGolden);
  const BlockRecord& record = block.record();
  ASSERT_EQ(record.entry_count(), 2u);
  const FieldList& first = record.entry(0);
  const int32_t order[] = {2501, 2502, 2503, 2504, 2505, 2506, 2507, 2508, 2509, 2510, 2511, 2512, 2513, 2514,
                           2515, 2516, 2517, 2518, 2519, 2520, 2521, 2523, 2522, 2525, 2526, 2527, 2528};
  const char* texts[] = {"7", "25", "0", "1", "High", "0", "1", "0", "1", "0", "1", "19", "200", "5.00KHz", "TXQ",
                         "67.000000", "6.25KHz", "DXQ", "023", "300", "65534", "2.4", "2.225", "0", "1", "0", "1"};
  ASSERT_EQ(first.count(), std::size(order));
  for (size_t i = 0; i < first.count(); ++i) {
    EXPECT_EQ(first.id_at(i), order[i]);
    EXPECT_EQ(first.text_at(i), texts[i]) << order[i];
    EXPECT_EQ(first.attribute_at(i), 1) << order[i];
  }
  const FieldList& second = record.entry(1);
  EXPECT_EQ(second.text(2515) + " " + second.text(2516), "Inverted DXQ 754");
  EXPECT_EQ(second.text(2518) + " " + second.text(2519), "CSQ ");
  EXPECT_EQ(block.pack(), kGolden);

  // Bits no field owns are written as 0, and so are a "CSQ" set's code bits (it has no code).
  const Image noisy = test::patched(kGolden, {{kFirst + 12, 0xEF}, {kFirst + 13, 0x5F}, {kSecond + 6, 0x0A}, {kSecond + 7, 0xBC}});
  EXPECT_EQ(unpacked(noisy).pack(), kGolden);
}

TEST(Gen2Channels, SquelchCodesFollowTheirType) {
  struct Case { const char* what; Image image; const char* code; int error; };
  const Case cases[] = {
      {"TXQ, largest code", test::patched(kGolden, {{kFirst + 4, 0x1F}, {kFirst + 5, 0xFF}}), "409.500000", 0},
      {"DXQ, code 104", test::patched(kGolden, {{kFirst + 4, 0x20}, {kFirst + 5, 104}}), "754", 0},
      {"DXQ, code 105", test::patched(kGolden, {{kFirst + 4, 0x20}, {kFirst + 5, 105}}), "", err::kChoiceNotFound},
      {"CSQ, any bits", test::patched(kGolden, {{kFirst + 4, 0x0F}, {kFirst + 5, 0xFF}}), "", 0},
  };
  for (const Case& c : cases) {
    Channels block;
    EXPECT_EQ(error_of([&] { block = unpacked(c.image); }), c.error) << c.what;
    if (c.error == 0) {
      EXPECT_EQ(block.record().entry(0).text(2516), c.code) << c.what;
    }
  }

  // Set alone, a code is held to its entry's type: channel 0 has "TXQ" in set A, "DXQ" in set B.
  struct Set { int32_t id; const char* text; int error; };
  const Set sets[] = {
      {2516, "409.5", 0}, {2516, "409.6", err::kInvalidData}, {2516, "67.05", err::kInvalidData},
      {2519, "754", 0},   {2519, "67.0", err::kChoiceNotFound},
  };
  Channels set = unpacked(kGolden);
  for (const Set& s : sets)
    EXPECT_EQ(error_of([&] { set.set_field(0, {s.id, s.text, 1}); }), s.error) << s.id << " " << s.text;
  // Under "CSQ" only the empty code is one.
  Channels block = unpacked(kGolden);
  EXPECT_EQ(error_of([&] { block.set_field(1, {2519, "023", 1}); }), err::kInvalidData);
  block.set_field(0, {2516, "151.4", 1});
  EXPECT_EQ(block.pack(), test::patched(kGolden, {{kFirst + 4, 0x15}, {kFirst + 5, 0xEA}}));  // 1514
}

// Setting a type alone: a type of another kind gives the code that kind's first value; DXQ and
// Inverted DXQ share their codes.
TEST(Gen2Channels, TypeSetAloneKeepsTheEntryWhole) {
  struct Step { size_t entry; int32_t type; const char* to; const char* code; };
  const Step steps[] = {
      {0, 2515, "CSQ", ""},         {0, 2515, "DXQ", "023"}, {0, 2515, "TXQ", "0.000000"},
      {0, 2518, "Inverted DXQ", "023"},
      {1, 2515, "DXQ", "754"},      {1, 2518, "CSQ", ""},
  };
  Channels block = unpacked(kGolden);
  for (const Step& s : steps) {
    block.set_field(s.entry, {s.type, s.to, 1});
    EXPECT_EQ(block.record().entry(s.entry).text(s.type), s.to);
    EXPECT_EQ(block.record().entry(s.entry).text(s.type + 1), s.code) << s.type << " " << s.to;
  }
  const BlockRecord before = block.record();
  EXPECT_EQ(error_of([&] { block.set_field(0, {2515, "txq", 1}); }), err::kChoiceNotFound);
  EXPECT_EQ(block.record(), before);
  block.pack();

  // A whole record is held to the same rule.
  BlockRecord mixed = before;
  mixed.entry(0).set_text(2515, "CSQ");  // code still "0.000000"
  EXPECT_EQ(error_of([&] { block.set_record(mixed); }), err::kInvalidData);
  EXPECT_EQ(block.record(), before);
}

TEST(Gen2Channels, AddDeleteAndLimits) {
  Channels block;
  EXPECT_EQ(block.add_entry(), 0u);
  EXPECT_EQ(block.record().entry(0).text(2502), "12.5");
  EXPECT_EQ(block.pack(), test::resealed(Image{0x81, 0x00, 0x0E, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  while (block.record().entry_count() < 100) block.add_entry();
  EXPECT_EQ(error_of([&] { block.add_entry(); }), err::kAboveMaximum);
  EXPECT_EQ(block.record().entry_count(), 100u);
  EXPECT_EQ(block.record().header().text(2035), "100");
}

// A radio information block whose model number is "H12ABC3456" (blank-padded).
RadioInfo radio_of_model() {
  Image image(72, 0);
  image[0] = 0x81, image[2] = 67, image[3] = 1;
  const std::string model = "H12ABC3456      ";
  std::copy(model.begin(), model.end(), image.begin() + 4 + 10);
  image[4 + 41] = 0x01, image[4 + 42] = 0x90;  // 2056: 400
  image = test::resealed(image);
  RadioInfo info;
  info.unpack(image.data(), image.size());
  return info;
}

TEST(Gen2Channels, FixedSpacingModelsReadTwelveAndAHalf) {
  const RadioInfo info = radio_of_model();
  const Image spacing3 = test::patched(kGolden, {{kFirst + 1, 0xDA}});  // code 3 is no spacing
  Channels block;
  block.link(&info, {});
  EXPECT_EQ(error_of([&] { block.unpack(spacing3.data(), spacing3.size()); }), err::kChoiceNotFound);

  block.link(&info, {"H12ABC3456"});
  block.unpack(kGolden.data(), kGolden.size());
  EXPECT_EQ(block.record().entry(0).text(2502), "12.5");
  EXPECT_EQ(block.record().entry(0).text(2505), "High");  // the byte's other bits as they were
  block.unpack(spacing3.data(), spacing3.size());
  EXPECT_EQ(block.record().entry(0).text(2502), "12.5");
  EXPECT_EQ(block.pack(), test::patched(kGolden, {{kFirst + 1, 0x1A}}));

  // The radio's own bytes are still checked.
  Image bad_sum = kGolden;
  bad_sum[kFirst] ^= 1;
  EXPECT_EQ(error_of([&] { block.unpack(bad_sum.data(), bad_sum.size()); }), err::kChecksum);
  const Image narrow = test::patched(Image(kGolden.begin(), kGolden.begin() + 9), {{2, 1}, {3, 4}});
  EXPECT_EQ(error_of([&] { block.unpack(narrow.data(), narrow.size()); }), err::kShortImage);

  // Another model reads the bits.
  block.link(&info, {"H12ABC3457"});
  block.unpack(kGolden.data(), kGolden.size());
  EXPECT_EQ(block.record().entry(0).text(2502), "25");
}

}  // namespace
}  // namespace cps::gen2
