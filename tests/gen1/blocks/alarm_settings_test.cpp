// Block 30: a hand-made image both ways, the identity's digits and the timings' nibbles, refused
// input that changes nothing.
#include "gen1/blocks/alarm_settings.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// 520 on, 519 off, 518 "10", "Alarm/Call", 516 on; identity 12AF; 522 = 12 x 5, 523 = 3. Record
// bytes 4 to 10 hold junk that packs as 0.
const Image kGolden = test::resealed({128, 11, 1, 0x39, 0x12, 0xAF, 0xC3, 1, 2, 3, 4, 5, 6, 7, 0});

TEST(AlarmSettings, ImageSetsAndRefusedInput) {
  AlarmSettings block;
  block.unpack(30, kGolden.data(), kGolden.size());
  std::string shown;
  for (size_t k = 0; k < block.block().entry(0).count(); ++k)
    shown += std::to_string(block.block().entry(0).id_at(k)) + "=" + block.block().entry(0).text_at(k) + " ";
  EXPECT_EQ(shown, "520=1 519=0 518=10 517=Alarm/Call 516=1 521=12AF 523=3 522=60 ");
  EXPECT_EQ(block.pack(30), test::patched(kGolden, {{7, 0}, {8, 0}, {9, 0}, {10, 0}, {11, 0}, {12, 0}, {13, 0}}));
  block.set_field(0, {521, "d0f9", 1});  // either case
  block.set_field(0, {522, "5", 1});
  const Image packed = block.pack(30);
  EXPECT_EQ(Image(packed.begin() + 4, packed.begin() + 7), (Image{0xD0, 0xF9, 0x13}));

  const BlockRecord good = block.block();
  struct Case { test::Patch image; FieldValue field; int code; } cases[] = {
      {{{4, 0xE0}, {5, 0x00}}, {}, err::kInvalidData},  // first digit above D
      {{{3, 0x0C}}, {}, err::kChoiceNotFound},          // 518 code 3
      {{}, {521, "E000", 1}, err::kInvalidData}, {{}, {522, "12", 1}, err::kInvalidData},
      {{}, {465, "0", 2}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    const Image image = test::patched(kGolden, c.image);
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.unpack(30, image.data(), image.size()); }),
              c.code) << c.field.id << " " << c.field.value;
    EXPECT_EQ(block.block(), good);
  }
}

}  // namespace
}  // namespace cps
