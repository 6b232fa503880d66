// Block 3: a golden image both ways, the BCD, band and power level encodings at their edges,
// the power range that only a portable checks, and every failure as 135 leaving the record alone.
#include "gen1/blocks/radio_identity.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Bytes = std::vector<std::pair<size_t, uint8_t>>;
constexpr int kRro = err::kRroData;

// An 88-byte record; bytes 10-11, 28-29, 76-80 and 82-87 belong to no field.
Image golden() {
  static const char kRecord[] =
      "7A0123    " "\xDE\xAD" "H01KDC9AA3AN    " "\x01\x02" "\x07\x20" "\x02" "\x20\x09\x04\x07"
      "\x13\x45" "\x01" "\x15\x40" "\x00\x00" "\x1D\xB0" "XYZ123          " "\x01\x2C" "FLASH01   "
      "\xFA\x4F" "\x11\x22\x33\x44\x55" "\x01" "\x66\x77\x88\x99\xAA\xBB";
  Image image = {0x01, 88, 0x01};
  for (size_t i = 0; i + 1 < sizeof kRecord; ++i) image.push_back(static_cast<uint8_t>(kRecord[i]));
  image.push_back(0x7B);  // checksum
  return image;
}

// Record bytes changed (offsets from the record's start, after the 3-byte header).
Image patched(const Image& image, const Bytes& bytes) { return test::patched(image, bytes, 3); }

RadioIdentity radio(uint8_t mobile, const Image& image = golden()) {
  RadioIdentity block;
  block.base.mobile = mobile;
  block.unpack(3, image.data(), image.size());
  return block;
}

TEST(RadioIdentity, GoldenImageBothWays) {
  RadioIdentity block = radio(0);
  FieldList want;
  for (auto [id, text, attribute] : std::vector<std::tuple<int32_t, const char*, uint8_t>>{
           {83, "7A0123", 0}, {84, "H01KDC9AA3AN    ", 0}, {85, "07.20", 0}, {86, "CPS", 0}, {87, "04-07-2009", 0},
           {88, "13:45", 0}, {89, "VHF", 2}, {90, "136.000000", 0}, {91, "136.000000", 0}, {92, "174.000000", 0},
           {93, "XYZ123", 2}, {94, "300", 2}, {95, "FLASH01", 2}, {96, "100.0", 0}, {97, "10.0", 0},
           {99, "North America", 2}})
    want.add(id, text, attribute);
  EXPECT_EQ(block.block().entry(0), want);
  EXPECT_EQ(block.block().header().at(1), (FieldValue{47, "88", 0}));
  EXPECT_EQ(block.model_number() + " " + block.codeplug_version(), "H01KDC9AA3AN 07.20");
  EXPECT_EQ(block.band().band + " " + std::to_string(block.band().upper), "VHF 174.000000");
  EXPECT_EQ(block.pack(3), golden());  // incl. the bytes without a field
}

// The golden image with record bytes changed and unpacked, and/or the field set: what is taken
// shows and packs as those bytes; what is refused (135 when unpacked, the value's own code when
// set) leaves the block as it was.
TEST(RadioIdentity, UnpackAndSetEdges) {
  enum Paths { kUnpack = 1, kSet = 2, kBoth = 3 };
  struct Case { Paths paths; uint8_t mobile; int32_t id; const char* text; int code; Bytes bytes = {}; int set_code = -1; } cases[] = {
      {kBoth, 0, 85, "07.99", 0, {{30, 0x07}, {31, 0x99}}}, {kBoth, 0, 96, "10.0", 0, {{74, 79}}},
      {kBoth, 0, 87, "12-31-2008", 0, {{33, 0x20}, {34, 0x08}, {35, 0x12}, {36, 0x31}}},
      {kBoth, 0, 96, "0.0", kRro, {{74, 0}}, 107}, {kBoth, 1, 96, "0.0", 0, {{74, 0}}},  // a portable checks the range
      {kUnpack, 1, 96, "0.0", 0, {{74, 7}}},  // not the smallest byte of 0.0: kept on packing
      {kUnpack, 0, 97, "104.0", 0, {{75, 255}}}, {kSet, 1, 96, "104.5", 107},
      {kUnpack, 0, 99, "Zell Unprogrammable", 0, {{81, 255}}}, {kBoth, 0, 99, "Japan", 0, {{81, 7}}},
      {kSet, 0, 99, "Mars", 108}, {kUnpack, 0, 89, "", kRro, {{39, 5}}},
      {kSet, 0, 111, "0", 104},
      {kBoth, 0, 91, "136.005000", 0, {{42, 0x00}, {43, 0x01}}}, {kSet, 0, 91, "135.995000", 107},
      {kBoth, 0, 92, "174.005000", 0, {{44, 0x1D}, {45, 0xB1}}},
      {kUnpack, 0, 92, "488.000000", 0, {{40, 0x46}, {41, 0x50}}},  // the limits follow the base
      {kUnpack, 0, 90, "", kRro, {{40, 0x00}, {41, 0x00}}}, {kSet, 0, 90, "137.000000", 107},
      {kSet, 0, 84, "H01KDC9AA3", 0, {{22, ' '}, {23, ' '}}},  // blank-padded
  };
  for (const Case& c : cases) {
    for (const Paths path : {kUnpack, kSet}) {
      if (!(c.paths & path)) continue;
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << (path == kSet ? " set" : " unpack"));
      const Image image = patched(golden(), c.bytes);
      RadioIdentity block = radio(c.mobile);
      const int code = path == kSet && c.set_code >= 0 ? c.set_code : c.code;
      EXPECT_EQ(error_of([&] {
                  if (path == kSet) block.set_field(0, {c.id, c.text, 0});
                  else block.unpack(3, image.data(), image.size());
                }), code);
      if (code == 0) { EXPECT_EQ(block.text(c.id), c.text); }
      EXPECT_EQ(block.pack(3), code ? golden() : image);
    }
  }
}

// A BCD nibble above 9 is read as its decimal value, not refused; packing takes the digits at the
// pattern's fixed positions, so such a text does not pack back to the radio's bytes.
TEST(RadioIdentity, BcdNibblesAboveNineShowTheirValue) {
  const Image image = patched(golden(), {{30, 0x0A}, {31, 0x20}, {37, 0xF0}, {38, 0xF9}});
  RadioIdentity block = radio(0, image);
  EXPECT_EQ(block.text(85), "010.20");
  EXPECT_EQ(block.text(88), "150:159");
  const Image packed = block.pack(3);
  EXPECT_EQ(Bytes({{30, packed[3 + 30]}, {31, packed[3 + 31]}, {37, packed[3 + 37]}, {38, packed[3 + 38]}}),
            Bytes({{30, 0x01}, {31, 0x02}, {37, 0x15}, {38, 0x01}}));
}

TEST(RadioIdentity, DefaultsByRadioKindAndBadImages) {
  for (const uint8_t mobile : {uint8_t{0}, uint8_t{1}}) {
    RadioIdentity block;
    block.base.mobile = mobile;  // portable 5 W, mobile 25 W
    block.build_default();
    EXPECT_EQ(block.text(96), mobile ? "25.0" : "5.0");
  }
  Image bad_sum = golden(), too_small(3 + 81 + 1, 0);  // a record of 81 bytes: 99 lies past it
  bad_sum.back() ^= 1;
  too_small[1] = 81, too_small[2] = 1;
  for (const Image& image : {bad_sum, patched(too_small, {})})
    EXPECT_EQ(error_of([&] { RadioIdentity().unpack(3, image.data(), image.size()); }), kRro);
}

}  // namespace
}  // namespace cps
