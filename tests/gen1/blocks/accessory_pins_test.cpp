// Block 19: a hand-made image both ways, refused images and sets that change nothing (a pin held
// to its functions), and field 206 worked out on packing.
#include "gen1/blocks/accessory_pins.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

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
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {206, "10"}, {207, "6400"}, {220, "External Alarm"}, {222, "High"}, {239, "375"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(AccessoryPins(block).pack(19), kGolden);
}

// Refused images and sets change nothing; a set holds a pin to its functions, as unpacking does.
TEST(AccessoryPins, RefusalsChangeNothing) {
  AccessoryPins block = golden();
  const BlockRecord good = block.block();
  for (auto [image, code] : {std::pair{test::patched(kGolden, {{8, 3}}), err::kChoiceNotFound},  // VOX on pin 3
                             {test::patched(kGolden, {{4, 65}}), err::kInvalidData}}) {       // 6500
    EXPECT_EQ(error_of([&] { block.unpack(19, image.data(), image.size()); }), code);
    EXPECT_EQ(block.block(), good);
  }
  BlockRecord without_239 = good;
  without_239.entry(0) = FieldList{};
  for (size_t k = 0; k + 1 < good.entry(0).count(); ++k) without_239.entry(0).add(good.entry(0).at(k));
  EXPECT_EQ(error_of([&] { block.set_block(without_239); }), err::kFieldNotFound);
  EXPECT_EQ(error_of([&] { block.set_field(0, {217, "VOX On/Off", 1}); }), err::kChoiceNotFound);
  EXPECT_EQ(block.block(), good);
  EXPECT_EQ(error_of([&] { block.set_field(0, {226, "VOX On/Off", 1}); }), 0);
  EXPECT_EQ(block.block().entry(0).text(226), "VOX On/Off");
  EXPECT_EQ(error_of([&] { AccessoryPins::pin_function(0, 5); }), err::kChoiceNotFound);  // no such pin
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
