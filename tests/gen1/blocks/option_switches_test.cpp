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

TEST(OptionSwitches, RefusedImagesAndSetsChangeNothing) {
  Image size_11(kClean.begin(), kClean.end() - 1);  // 11 x 1 + 4 bytes
  size_11[1] = 11;
  Image off_by_one = kClean;
  ++off_by_one.back();
  const std::pair<Image, int> images[] = {
      {Image(kClean.begin(), kClean.end() - 1), err::kShortImage}, {off_by_one, err::kChecksum},
      {test::resealed(size_11), err::kInvalidData}, {test::resealed({128, 12, 0, 0}), err::kInvalidData}};
  for (const auto& [image, code] : images) {
    OptionSwitches block = unpacked(kNoisy);
    EXPECT_EQ(error_of([&] { block.unpack(OptionSwitches::kBlockId, image.data(), image.size()); }), code);
    EXPECT_EQ(block.block(), unpacked(kClean).block());
  }

  const BlockRecord good = unpacked(kClean).block();
  BlockRecord two = good, without_573 = good;
  two.add_entry(good.entry(0));
  two.set_header_field({48, "2", 2});
  without_573.entry(0) = FieldList{};
  for (size_t k = 0; k + 1 < good.entry(0).count(); ++k) without_573.entry(0).add(good.entry(0).at(k));
  EXPECT_EQ(error_of([&] { unpacked(kClean).set_block(two); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { unpacked(kClean).set_block(without_573); }), err::kFieldNotFound);
  const std::pair<FieldValue, int> fields[] = {
      {{540, "2", 1}, err::kInvalidData},  {{540, "-1", 1}, err::kInvalidData}, {{577, "0", 1}, err::kFieldNotFound},
      {{47, "13", 2}, err::kInvalidData},  {{48, "2", 2}, err::kInvalidData},
      {{47, "12", 2}, err::kFieldNotFound},  // a good header value, but not an entry field
      {{540, "1", 1}, 0}};
  for (const auto& [field, code] : fields) {
    OptionSwitches work = unpacked(kClean);
    EXPECT_EQ(error_of([&] { work.set_field(0, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(work.block() == good, code != 0) << field.id;
  }
}

}  // namespace
}  // namespace cps
