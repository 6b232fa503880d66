// Block 19: a hand-made image both ways, the pin function matrix, refused images and sets that
// change nothing, field 206 worked out on packing, and the service object storing a record only
// on a portable radio.
#include "gen1/blocks/accessory_pins.h"

#include "engine/variant_codec.h"
#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
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
  ASSERT_EQ(entry.count(), 34u);
  for (size_t k = 0; k < entry.count(); ++k) EXPECT_EQ(entry.id_at(k), 206 + static_cast<int32_t>(k));
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {206, "10"}, {207, "6400"}, {208, "20"}, {209, "30"}, {210, "1"}, {211, "0"}, {214, "Flat Audio"},
           {216, "On/Off and Ignition"}, {217, "External Mic PTT"}, {218, "1"}, {219, "Low"},
           {220, "External Alarm"}, {222, "High"}, {223, "Data PTT"}, {226, "CSQ Detect"}, {227, "1"},
           {229, "External Emergency Switch"}, {232, "VOX On/Off"}, {235, "Option Board 4 (Output)"},
           {238, "Dorn Data Terminal"}, {239, "375"}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(entry.get(206).attribute, 2);
  EXPECT_EQ(entry.get(211).attribute, 2);
  EXPECT_EQ(entry.get(207).attribute, 1);
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

TEST(AccessoryPins, RefusedImagesChangeNothing) {
  Image bad_sum = kGolden;
  bad_sum.back() ^= 1;
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
      {test::resealed({128, 21, 0, 0}), err::kInvalidData},
      {Image(kGolden.begin(), kGolden.end() - 1), err::kShortImage},
      {bad_sum, err::kChecksum},
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
  BlockRecord two = good, without_239 = good, without_46;
  two.set_header_field({48, "2", 2});
  without_239.entry(0) = FieldList{};
  for (size_t k = 0; k + 1 < good.entry(0).count(); ++k) without_239.entry(0).add(good.entry(0).at(k));
  for (int32_t id : {47, 48}) without_46.add_header_field(good.get_header_field(id));
  without_46.add_entry(good.entry(0));
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {two, {}, err::kInvalidData}, {without_239, {}, err::kFieldNotFound}, {without_46, {}, err::kFieldNotFound},
      {{}, {217, "VOX On/Off", 1}, err::kChoiceNotFound}, {{}, {226, "VOX On/Off", 1}, 0},
      {{}, {223, "External Alarm", 1}, err::kChoiceNotFound}, {{}, {220, "Clear To Send", 1}, 0},
      {{}, {229, "Data PTT", 1}, err::kChoiceNotFound},
      {{}, {207, "150", 1}, err::kInvalidData}, {{}, {207, "100", 1}, 0},
      {{}, {239, "400", 1}, err::kInvalidData}, {{}, {239, "30", 1}, err::kInvalidData},
      {{}, {208, "0", 1}, err::kInvalidData},   {{}, {206, "128", 2}, err::kInvalidData},
      {{}, {218, "2", 1}, err::kInvalidData},   {{}, {219, "Medium", 1}, err::kChoiceNotFound},
      {{}, {238, "Channel Steering", 1}, 0},    {{}, {238, "Steering", 1}, err::kChoiceNotFound},
      {{}, {216, "PTT Disabled", 1}, 0},        {{}, {214, "Flat", 1}, err::kChoiceNotFound},
      {{}, {47, "20", 2}, err::kInvalidData},   {{}, {48, "0", 2}, err::kInvalidData},
      {{}, {47, "21", 2}, err::kFieldNotFound}, {{}, {46, "1", 2}, err::kFieldNotFound},
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
  AccessoryPins work = block;
  EXPECT_EQ(error_of([&] { work.set_field(1, {210, "0", 1}); }), err::kBadIndex);
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

// SetBlockData of block 19 stores the record on a portable radio and nothing on a mobile one;
// SetFieldAt stores on either.
TEST(AccessoryPins, TheServiceObjectStoresRecordsOnlyOnAPortable) {
  for (bool mobile : {false, true}) {
    SCOPED_TRACE(mobile ? "mobile" : "portable");
    sim::SimulatedRadio radio = sim::make_gen1_radio({.mobile = mobile});
    CPServices object(nullptr);
    ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
    ScopedVariant got;
    ASSERT_EQ(object.GetBlockData(19, got.get()), S_OK);
    BlockRecord before;
    decode_block_record(*got, before);

    BlockRecord changed = before;
    changed.set_entry_field(0, {238, "Remote", 1});
    ScopedVariant sent;
    encode_block_record(changed, sent.get());
    EXPECT_EQ(object.SetBlockData(19, sent.get()), S_OK);
    ScopedVariant after;
    ASSERT_EQ(object.GetBlockData(19, after.get()), S_OK);
    BlockRecord now;
    decode_block_record(*after, now);
    EXPECT_EQ(now, mobile ? before : changed);

    ScopedVariant field;
    encode_field({239, "100", 1}, field.get());
    EXPECT_EQ(object.SetFieldAt(19, 0, *field), S_OK);
    ScopedVariant read;
    ASSERT_EQ(object.GetFieldAt(19, 239, 0, read.get()), S_OK);
    EXPECT_EQ(decode_field(*read).value, "100");
  }
}

}  // namespace
}  // namespace cps
