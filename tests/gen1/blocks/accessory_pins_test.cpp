// Block 19: a hand-made image both ways, the pin function matrix, refused images and sets that
// change nothing, and field 206 worked out on packing.
#include "gen1/blocks/accessory_pins.h"

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

// Pin 3 "External Mic PTT" with its switch on; pin 4 "External Alarm" high; pin 6 "Data PTT"
// high (an input: no output bit); pin 8 "CSQ Detect" high with its switch; pin 9 "External
// Emergency Switch"; pin 12 "VOX On/Off"; pin 14 "Option Board 4 (Output)" low. So 206 holds the
// bits of pins 4 and 8 (0x0A). 207 = 64 x 100, 208 20, 209 30, 210 on, "Flat Audio", "On/Off
// and Ignition", "Dorn Data Terminal", 239 = 15 x 25.
const Image kGolden = test::resealed({128, 21, 1,
                                      0x0A, 64, 20, 30, 0x91,
                                      1, 0x40, 128, 0x80, 2, 0x80, 129, 0xC0, 10, 0, 3, 0, 138, 0,
                                      14, 15, 0});

AccessoryPins golden() {
  AccessoryPins block;
  block.unpack(19, kGolden.data(), kGolden.size());
  return block;
}

TEST(AccessoryPins, GoldenImageBothWays) {
  const AccessoryPins block = golden();
  const FieldList& entry = block.block().entry(0);
  ASSERT_EQ(entry.count(), 34u);
  for (size_t k = 0; k < entry.count(); ++k) EXPECT_EQ(entry.id_at(k), 206 + static_cast<int32_t>(k));
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {206, "10"}, {207, "6400"}, {214, "Flat Audio"}, {216, "On/Off and Ignition"}, {218, "1"},
           {220, "External Alarm"}, {222, "High"}, {229, "External Emergency Switch"},
           {235, "Option Board 4 (Output)"}, {238, "Dorn Data Terminal"}, {239, "375"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(std::tuple(entry.get(206).attribute, entry.get(211).attribute, entry.get(207).attribute), std::tuple(2, 2, 1));
  EXPECT_EQ(AccessoryPins(block).pack(19), kGolden);
}

// Each pin's functions, counted from the matrix: 3 on pin 3, 11 on pin 4, 24 on pin 6, 34 on
// pins 8, 12 and 14, 2 on pin 9; the emergency switch only on pin 9, the alarm only on pin 4.
TEST(AccessoryPins, PinFunctionMatrix) {
  const std::pair<int, size_t> counts[] = {{3, 3}, {4, 11}, {6, 24}, {8, 34}, {9, 2}, {12, 34}, {14, 34}};
  for (auto [pin, expected] : counts) {
    size_t allowed = 0;
    for (uint32_t code = 0; code < 256; ++code) allowed += error_of([&] { AccessoryPins::pin_function(code, pin); }) == 0;
    EXPECT_EQ(allowed, expected) << pin;
    EXPECT_EQ(error_of([&] { AccessoryPins::pin_function(10, pin); }) == 0, pin == 9) << pin;
    EXPECT_EQ(error_of([&] { AccessoryPins::pin_function(128, pin); }) == 0, pin == 4) << pin;
    EXPECT_EQ(error_of([&] { AccessoryPins::pin_function(132, pin); }), err::kChoiceNotFound);
  }
  EXPECT_STREQ(AccessoryPins::pin_function(3, 8), "VOX On/Off");
  EXPECT_EQ(error_of([&] { AccessoryPins::pin_function(0, 5); }), err::kChoiceNotFound);  // no such pin
}

// Refused images change nothing.
TEST(AccessoryPins, RefusedImages) {
  Image size_20(kGolden.begin(), kGolden.end() - 1);
  size_20[1] = 20;
  struct Case { Image image; int code; } cases[] = {
      {test::patched(kGolden, {{8, 3}}), err::kChoiceNotFound},  // pin 3 may not carry "VOX On/Off"
      {test::patched(kGolden, {{14, 3}}), 0},                    // pin 8 may
      {test::patched(kGolden, {{12, 128}}), err::kChoiceNotFound},  // the alarm on pin 4 only
      {test::patched(kGolden, {{8, 132}}), err::kChoiceNotFound},   // a code not used
      {test::patched(kGolden, {{4, 65}}), err::kInvalidData},       // 6500
      {test::patched(kGolden, {{4, 0}}), err::kInvalidData},        // 0, below 100
      {test::patched(kGolden, {{5, 21}}), err::kInvalidData},
      {test::patched(kGolden, {{23, 16}}), err::kInvalidData},      // 400
      {test::patched(kGolden, {{22, 12}}), err::kChoiceNotFound},   // configuration 12 has no label
      {test::resealed(size_20), err::kInvalidData},
  };
  for (const Case& c : cases) {
    AccessoryPins block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(19, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(block.block() == before, c.code != 0);
  }
}

// Every set holds a pin to the functions it may carry, as unpacking does.
TEST(AccessoryPins, SetsCheckEveryFieldOrChangeNothing) {
  const AccessoryPins block = golden();
  const BlockRecord good = block.block();
  BlockRecord two = good, without_239 = good;
  two.set_header_field({48, "2", 2});
  without_239.entry(0) = FieldList{};
  for (size_t k = 0; k + 1 < good.entry(0).count(); ++k) without_239.entry(0).add(good.entry(0).at(k));
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {two, {}, err::kInvalidData}, {without_239, {}, err::kFieldNotFound},
      {{}, {217, "VOX On/Off", 1}, err::kChoiceNotFound}, {{}, {226, "VOX On/Off", 1}, 0},
      {{}, {223, "External Alarm", 1}, err::kChoiceNotFound}, {{}, {220, "Clear To Send", 1}, 0},
      {{}, {207, "150", 1}, err::kInvalidData}, {{}, {239, "400", 1}, err::kInvalidData},
      {{}, {219, "Medium", 1}, err::kChoiceNotFound}, {{}, {238, "Channel Steering", 1}, 0},
      {{}, {47, "20", 2}, err::kInvalidData}, {{}, {47, "21", 2}, err::kFieldNotFound},
      {{}, {240, "0", 1}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    AccessoryPins work = block;
    EXPECT_EQ(error_of([&] { c.field.id ? work.set_field(0, c.field) : work.set_block(c.record); }), c.code)
        << c.field.id << " " << c.field.value;
    if (c.code != 0) {
      EXPECT_EQ(work.block(), good);
    } else if (c.field.id) {
      EXPECT_EQ(work.block().entry(0).text(c.field.id), c.field.value);
    }
  }
}

// Packing works field 206 out from the pins: an output function active "High" sets its pin's bit.
TEST(AccessoryPins, PackingWorksOutTheActiveHighOutputs) {
  AccessoryPins block;
  block.set_field(0, {206, "127", 2});  // the host's value gives way
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {220, "External Alarm"}, {222, "High"},                    // pin 4: bit 1
           {223, "Data PTT"}, {225, "High"},                          // pin 6: an input
           {232, "Auxiliary Control 2"}, {234, "High"},               // pin 12: bit 5
           {235, "Option Board 1 (Output)"}, {237, "Low"}})           // pin 14: low
    block.set_field(0, {id, text, 1});
  const Image image = block.pack(19);
  EXPECT_EQ(image[3], 0x22);
  EXPECT_EQ(block.block().entry(0).text(206), "34");
  AccessoryPins back;
  back.unpack(19, image.data(), image.size());
  EXPECT_EQ(back.block(), block.block());
}

}  // namespace
}  // namespace cps
