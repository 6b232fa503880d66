// Block 15: hand-made images of both layouts both ways, labels that depend on the position,
// refused images and sets that change nothing, and the functions an older radio loses.
#include "gen1/blocks/buttons.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Texts = std::vector<std::pair<int32_t, const char*>>;

Buttons make(bool mobile) {
  Buttons block;
  block.base.mobile = mobile ? 1 : 0;
  block.build_default();
  return block;
}

// Mobile: 240 and 241 both hold code 3; 243 code 62 and 244 code 69 (the home revert keys of
// those tables), 245 64, 249 68, 254 8.
Image mobile_image() {
  Image image = {128, 15, 1, 3, 3, 0, 62, 69, 64, 0, 0, 0, 68, 0, 0, 0, 0, 8, 0};
  return test::resealed(image);
}
const Texts kMobileTexts = {{240, "Zone Selection (Fixed)"}, {241, "Emergency Siren On"}, {242, "Unassigned"},
                            {243, "Home Revert AutoKey 1"},  {244, "Home Revert AutoKey 2"}, {245, "Toneramp"},
                            {249, "Menu Mode"},              {254, "Battery Indicator"}};

// Portable: code 52 at 255 and 264, 62 at 257, 69 at 259, 70 at 277, 68 at 256.
Image portable_image() {
  Image image(3 + 30 + 1, 0);
  image[0] = 128, image[1] = 30, image[2] = 1;
  for (auto [id, code] : {std::pair{255, 52}, {264, 52}, {257, 62}, {259, 69}, {277, 70}, {256, 68}})
    image[3 + id - 255] = static_cast<uint8_t>(code);
  return test::resealed(image);
}
const Texts kPortableTexts = {{255, "Revert Memory Channel 1"}, {264, "Home Channel"}, {257, "Toggle Local/Distance"},
                              {259, "Home Revert AutoKey 1"},   {277, "Home Revert AutoKey 2"}, {256, "Menu Mode"},
                              {284, "Unassigned"}};

TEST(Buttons, LayoutsBothWays) {
  for (bool mobile : {true, false}) {
    Buttons block = make(mobile);
    EXPECT_EQ(block.block().entry(0).count(), mobile ? 15u : 30u);
    EXPECT_EQ(block.block().header().text(47), mobile ? "15" : "30");
    const Image image = mobile ? mobile_image() : portable_image();
    block.unpack(15, image.data(), image.size());
    for (auto [id, text] : mobile ? kMobileTexts : kPortableTexts)
      EXPECT_EQ(block.block().entry(0).text(id), text) << id;
    EXPECT_EQ(block.pack(15), image);

    // The other layout's image: its record size is not this layout's.
    const Image other = mobile ? portable_image() : mobile_image();
    EXPECT_EQ(error_of([&] { block.unpack(15, other.data(), other.size()); }), err::kInvalidData);
  }
}

// Refused images and sets change nothing.
TEST(Buttons, RefusalsChangeNothing) {
  const Image good = mobile_image();
  struct Unpack { Image image; uint8_t mobile; int code; } unpacks[] = {
      {test::patched(good, {{4, 19}}), 1, err::kChoiceNotFound},  // in no table
      {test::patched(good, {{5, 1}}), 1, err::kChoiceNotFound},   // not in the third position's table
      {test::patched(good, {{3, 6}}), 1, err::kChoiceNotFound},   // the first position ends at 5
      {good, 2, err::kRadioType},
  };
  Buttons block = make(true);
  block.set_field(0, {241, "Monitor", 1});
  const BlockRecord before = block.block();
  for (const Unpack& c : unpacks) {
    Buttons work = block;
    work.base.mobile = c.mobile;
    EXPECT_EQ(error_of([&] { work.unpack(15, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(work.block(), before);
  }

  auto changed = [&](int32_t id, const char* text) {
    BlockRecord r = before;
    return id < 100 ? r.set_header_field({id, text, 2}) : r.set_entry_field(0, {id, text, 1}), r;
  };
  struct Set { BlockRecord record; FieldValue field; int code; } sets[] = {
      {changed(48, "2"), {}, err::kInvalidData}, {changed(47, "30"), {}, err::kInvalidData},
      {changed(254, "Emergency On"), {}, err::kChoiceNotFound},
      {{}, {240, "Emergency On", 1}, err::kChoiceNotFound},  // the first position has its own labels
      {{}, {241, "Home Revert AutoKey 1", 1}, err::kChoiceNotFound},
      {{}, {241, "LED Battery Indicator", 1}, err::kChoiceNotFound},  // the old label only in a record
      {{}, {255, "Monitor", 1}, err::kFieldNotFound},  // a portable's position
      {{}, {47, "30", 2}, err::kInvalidData},  {{}, {47, "15", 2}, err::kFieldNotFound},
  };
  for (const Set& c : sets) {
    Buttons work = block;
    EXPECT_EQ(error_of([&] { c.field.id ? work.set_field(0, c.field) : work.set_block(c.record); }), c.code)
        << c.field.id << " " << c.field.value;
    EXPECT_EQ(work.block(), before);
  }
}

// A whole record may still say "LED Battery Indicator": it is stored as "Battery Indicator",
// which a portable's first positions do not have.
TEST(Buttons, LedBatteryIndicatorInARecord) {
  for (bool mobile : {true, false}) {
    Buttons block = make(mobile);
    BlockRecord led = block.block();
    const int32_t id = mobile ? 241 : 255;
    led.set_entry_field(0, {id, "LED Battery Indicator", 1});
    EXPECT_EQ(error_of([&] { block.set_block(led); }), mobile ? 0 : err::kChoiceNotFound);
    EXPECT_EQ(block.block().entry(0).text(id), mobile ? "Battery Indicator" : "Unassigned");
  }
}

// Written into a radio of an older major version, the tone ramp and menu mode go before 2, the
// home revert keys before 3, in the record as well as in the bytes; a pair with a 0 is no write.
TEST(Buttons, OlderRadiosLoseTheirNewerFunctions) {
  struct Case { uint8_t data, target; bool before_2, before_3; } cases[] = {
      {0, 0, false, false}, {3, 0, false, false}, {2, 2, false, false}, {1, 1, false, false},
      {2, 1, true, false},  {3, 2, false, true},  {3, 1, true, true},   {7, 3, false, false},
  };
  for (bool mobile : {true, false}) {
    // Menu mode and the two home revert keys, which stand on other codes in the two layouts.
    const int32_t newest_2 = mobile ? 249 : 256, key_1 = mobile ? 243 : 259, key_2 = mobile ? 244 : 277;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.data) + " -> " + std::to_string(c.target) + (mobile ? " mobile" : ""));
      Buttons block = make(mobile);
      const Image image = mobile ? mobile_image() : portable_image();
      block.unpack(15, image.data(), image.size());
      own_context(block.base).data_major = c.data;
      own_context(block.base).target_major = c.target;
      const Image packed = block.pack(15);
      const FieldList& entry = block.block().entry(0);
      const int32_t first = mobile ? 240 : 255;
      for (auto [id, cleared] : {std::pair{newest_2, c.before_2}, {key_1, c.before_3}, {key_2, c.before_3}}) {
        EXPECT_EQ(entry.text(id) == "Unassigned", cleared) << id;
        EXPECT_EQ(packed[3 + id - first] == 0, cleared) << id;
      }
    }
  }
}

}  // namespace
}  // namespace cps
