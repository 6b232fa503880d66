// Block 16: a hand-made image both ways (bits without a switch dropped, 533 below 534), and
// refused images and sets that change nothing.
#include "gen1/blocks/option_switches.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using test::Image;

// On: 524 and 531 (byte 0 = 0x81), 533 (0x08 of byte 1), 538, 541, 553, 554, 556, 561, 569, 576.
// The noisy image also sets bytes 2 and 4 and the bits of bytes 1 and 3 that carry no switch.
const Image kNoisy = test::resealed({128, 12, 1, 0x81, 0xC8, 0xFF, 0xFC, 0xFF, 0x10, 0x01, 0x02, 0x10, 0x80, 0x08, 0x01, 0});
const Image kClean = test::resealed({128, 12, 1, 0x81, 0x08, 0x00, 0x04, 0x00, 0x10, 0x01, 0x02, 0x10, 0x80, 0x08, 0x01, 0});

OptionSwitches unpacked(const Image& image) {
  OptionSwitches block;
  block.unpack(OptionSwitches::kBlockId, image.data(), image.size());
  return block;
}

TEST(OptionSwitches, HandMadeImageBothWaysInBitOrder) {
  const std::set<int32_t> on = {524, 531, 533, 538, 541, 553, 554, 556, 561, 569, 576};
  OptionSwitches block = unpacked(kNoisy);
  const FieldList& entry = block.block().entry(0);
  ASSERT_EQ(entry.count(), 53u);
  for (int32_t id = 524; id <= 576; ++id) EXPECT_EQ(entry.text(id), on.count(id) ? "1" : "0") << id;
  const std::vector<int32_t> first = {531, 530, 529, 528, 527, 526, 525, 524, 537, 536, 535, 533, 534, 532, 540};
  for (size_t k = 0; k < first.size(); ++k) EXPECT_EQ(entry.id_at(k), first[k]) << k;
  EXPECT_EQ(block.pack(OptionSwitches::kBlockId), kClean);
}

TEST(OptionSwitches, RefusalsChangeNothing) {
  const Image short_image(kClean.begin(), kClean.end() - 1);
  OptionSwitches block = unpacked(kClean);
  const BlockRecord good = block.block();
  EXPECT_EQ(error_of([&] { block.unpack(OptionSwitches::kBlockId, short_image.data(), short_image.size()); }),
            err::kShortImage);
  for (const auto& [field, code] : {std::pair{FieldValue{540, "2", 1}, err::kInvalidData},
                                    {FieldValue{577, "0", 1}, err::kFieldNotFound}}) {
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(block.block(), good) << field.id;
  }
}

}  // namespace
}  // namespace cps
