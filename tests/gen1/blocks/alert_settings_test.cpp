// Block 40: a hand-made image both ways and refused input that changes nothing.
#include "gen1/blocks/alert_settings.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Switches 285, 287, 290, 292; alerts "Alert 3", "Standard", "Alert 7"; 296 = 255, 298 = 127;
// mode "Silent w/Voice" with 302 = 7 x 20; 303, 305, 309 on; 310 = 15; trunking system 1.
const Image kGolden = test::resealed({128, 16, 1, 0xA5, 2, 255, 200, 255, 0, 127, 6, 0x01, 0xE3, 0x45, 15, 33, 0, 1, 0x01, 0});

TEST(AlertSettings, GoldenImageAndRefusedInput) {
  AlertSettings block;
  block.unpack(40, kGolden.data(), kGolden.size());
  std::string shown;
  for (int32_t id : {285, 286, 292, 293, 294, 296, 298, 299, 301, 302, 303, 309, 310, 313, 314})
    shown += block.block().entry(0).text(id) + ",";
  EXPECT_EQ(shown, "1,0,1,Alert 3,Standard,255,127,Alert 7,Silent w/Voice,140,1,1,15,1,LS Trunking,");
  EXPECT_EQ(block.pack(40), kGolden);

  const BlockRecord good = block.block();
  struct Case { test::Patch image; FieldValue field; int code; } cases[] = {
      {{{4, 7}}, {}, err::kChoiceNotFound},      // alert codes are 0..6 and 255
      {{{18, 0x11}}, {}, err::kInvalidData},     // 315 admits only 0
      {{}, {302, "130", 1}, err::kInvalidData},   {{}, {46, "1", 2}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    const Image image = test::patched(kGolden, c.image);
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.unpack(40, image.data(), image.size()); }),
              c.code) << c.field.id;
    EXPECT_EQ(block.block(), good);
  }
}

}  // namespace
}  // namespace cps
