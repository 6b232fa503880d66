// Block 15: hand-made images of both layouts both ways, labels that depend on the position,
// refused images and sets that change nothing, and the functions an older radio loses.
#include "gen1/blocks/buttons.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

Buttons make(bool mobile) {
  Buttons block;
  block.base.mobile = mobile ? 1 : 0;
  block.build_default();
  return block;
}

// Mobile: 240 and 241 both hold code 3; 243 code 62 and 244 code 69 (home revert keys), 249 68.
Image mobile_image() { return test::resealed({128, 15, 1, 3, 3, 0, 62, 69, 64, 0, 0, 0, 68, 0, 0, 0, 0, 8, 0}); }

// Portable: code 52 at 255 and 264, 62 at 257, 69 at 259, 70 at 277, 68 at 256.
Image portable_image() {
  Image image(3 + 30 + 1, 0);
  image[0] = 128, image[1] = 30, image[2] = 1;
  for (auto [id, code] : {std::pair{255, 52}, {264, 52}, {257, 62}, {259, 69}, {277, 70}, {256, 68}})
    image[3 + id - 255] = static_cast<uint8_t>(code);
  return test::resealed(image);
}

TEST(Buttons, LayoutsBothWays) {
  const std::vector<std::pair<int32_t, const char*>> texts[] = {
      {{255, "Revert Memory Channel 1"}, {264, "Home Channel"}, {259, "Home Revert AutoKey 1"}, {277, "Home Revert AutoKey 2"}},
      {{240, "Zone Selection (Fixed)"}, {241, "Emergency Siren On"}, {243, "Home Revert AutoKey 1"}, {244, "Home Revert AutoKey 2"}}};
  for (bool mobile : {true, false}) {
    Buttons block = make(mobile);
    EXPECT_EQ(block.block().entry(0).count(), mobile ? 15u : 30u);
    const Image image = mobile ? mobile_image() : portable_image();
    block.unpack(15, image.data(), image.size());
    for (auto [id, text] : texts[mobile]) EXPECT_EQ(block.block().entry(0).text(id), text) << id;
    EXPECT_EQ(block.pack(15), image);
    // The other layout's image: its record size is not this layout's.
    const Image other = mobile ? portable_image() : mobile_image();
    EXPECT_EQ(error_of([&] { block.unpack(15, other.data(), other.size()); }), err::kInvalidData);
  }
}

TEST(Buttons, RefusalsChangeNothing) {
  Buttons block = make(true);
  const BlockRecord before = block.block();
  const Image bad = test::patched(mobile_image(), {{5, 1}});  // not in the third position's table
  for (auto [image, mobile, code] : {std::tuple{bad, 1, err::kChoiceNotFound}, {mobile_image(), 2, err::kRadioType}}) {
    Buttons work = block;
    work.base.mobile = static_cast<uint8_t>(mobile);
    EXPECT_EQ(error_of([&] { work.unpack(15, image.data(), image.size()); }), code);
    EXPECT_EQ(work.block(), before);
  }
  for (auto [field, code] : {std::pair{FieldValue{240, "Emergency On", 1}, err::kChoiceNotFound},  // own labels
                             {FieldValue{241, "LED Battery Indicator", 1}, err::kChoiceNotFound},  // record only
                             {FieldValue{255, "Monitor", 1}, err::kFieldNotFound}})  // a portable's
    EXPECT_EQ(test::refused(block, [&] { block.set_field(0, field); }), code) << field.id;
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

// Written into a radio of an older major version, menu mode goes before 2, the home revert keys
// before 3, in the record as well as in the bytes; a pair with a 0 is no write.
TEST(Buttons, OlderRadiosLoseTheirNewerFunctions) {
  struct Case { uint8_t data, target; bool before_2, before_3; } cases[] = {
      {3, 0, false, false}, {2, 1, true, false}, {3, 2, false, true}, {3, 1, true, true}};
  for (bool mobile : {true, false}) {
    const int32_t first = mobile ? 240 : 255, menu = mobile ? 249 : 256, key_1 = mobile ? 243 : 259,
                  key_2 = mobile ? 244 : 277;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.data) + " -> " + std::to_string(c.target) + (mobile ? " mobile" : ""));
      Buttons block = make(mobile);
      const Image image = mobile ? mobile_image() : portable_image();
      block.unpack(15, image.data(), image.size());
      own_context(block.base).data_major = c.data;
      own_context(block.base).target_major = c.target;
      const Image packed = block.pack(15);
      for (auto [id, cleared] : {std::pair{menu, c.before_2}, {key_1, c.before_3}, {key_2, c.before_3}}) {
        EXPECT_EQ(block.block().entry(0).text(id) == "Unassigned", cleared) << id;
        EXPECT_EQ(packed[3 + id - first] == 0, cleared) << id;
      }
    }
  }
}

}  // namespace
}  // namespace cps
