// The LS trunking systems (blocks 32/33): a hand-made image both ways, the radio-kind and version
// forms, field checks, the limit of field 743, and the last system that a channel must outlive.
// What a deletion rewrites elsewhere is in the cross-reference test.
#include "gen1/blocks/trunking.h"
#include "gen1/values/radio_context.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

TrunkingSystems make(uint8_t mobile = 0, const char* version = "07", int max_systems = 3) {
  TrunkingSystems block;
  block.base.mobile = mobile;
  block.base.version = version;
  own_context(block.base).radio.max_trunking_systems = max_systems;
  block.build_default();
  return block;
}

// One system: 699 10, 700 20, 701 255, 702 250, 703 1, switches 704 709 711, 712 "FSD", 714 2,
// 715 255, personality 1 member 5, 718 on, 719 "And Unmuting, Or Muting", 731 on, hang time
// "30", 729 "Conventional", 721 on, "High", 723 255, 724 3, 879 on, 725 1500, 726 255, 727 4.
const Image kRecord = {10, 20, 255, 250, 1, 0x85, 0x10, 2, 255, 1, 5, 0xEA, 0x05, 255, 3, 0x2F, 255, 4};

Image system_image(const Image& record = kRecord) { return test::list_image(192, 18, {record}, true); }

Image alias_image() {
  Image image = {132, 8, 1, 0, 1, 8, 'S', 'Y', 'S', ' ', 'A', 0, 0, 0, 0};
  return test::resealed(image);
}

TEST(TrunkingSystems, HandMadeImageBothWays) {
  TrunkingSystems block = make();
  const Image image = system_image();
  block.unpack(32, image.data(), image.size());
  block.unpack(33, alias_image().data(), alias_image().size());
  const FieldList& e = block.block().entry(0);
  const std::pair<int32_t, const char*> expected[] = {
      {699, "10"}, {702, "250"}, {705, "0"}, {711, "1"}, {712, "FSD"}, {713, "None"}, {717, "5"},
      {719, "And Unmuting, Or Muting"}, {720, "30"}, {729, "Conventional"}, {722, "High"}, {879, "1"},
      {725, "1500"}, {727, "4"}, {424, "SYS A"}};
  for (auto [id, text] : expected) EXPECT_EQ(e.text(id), text) << id;
  EXPECT_EQ(block.pack(32), image);
  EXPECT_EQ(block.pack(33), alias_image());

  // A mobile has no fallback channel and no 879; a portable below "05" no 879.
  TrunkingSystems mobile = make(1);
  mobile.unpack(32, image.data(), image.size());
  TrunkingSystems older = make(0, "04");
  older.unpack(32, image.data(), image.size());
  for (int32_t id : {727, 729, 879}) EXPECT_FALSE(mobile.block().entry(0).contains(id)) << id;
  EXPECT_FALSE(older.block().entry(0).contains(879));
  EXPECT_TRUE(older.block().entry(0).contains(727));
}

// Every refused value or image leaves the block exactly as it was.
TEST(TrunkingSystems, RefusalsChangeNothing) {
  TrunkingSystems block = make(0, "07", 3);
  const BlockRecord good = block.block();
  const std::pair<FieldValue, int> sets[] = {
      {{725, "1600", 1}, err::kInvalidData}, {{712, "DTMF", 1}, err::kChoiceNotFound},
      {{48, "4", 1}, err::kInvalidData}, {{999, "0", 1}, err::kFieldNotFound}};
  for (const auto& [field, code] : sets) {
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(block.block(), good);
  }
  BlockRecord four = good;  // a whole record with a count above field 743
  for (int i = 0; i < 3; ++i) four.add_entry(good.entry(0));
  four.set_header_field({48, "4", 1});
  EXPECT_EQ(error_of([&] { block.set_block(four); }), err::kInvalidData);
  for (auto [at, value, code] : {std::tuple<size_t, uint8_t, int>{2, 252, err::kInvalidData}, {6, 0x20, err::kChoiceNotFound}}) {
    const Image image = system_image(test::with(kRecord, at, value));
    EXPECT_EQ(error_of([&] { block.unpack(32, image.data(), image.size()); }), code);
  }
  EXPECT_EQ(block.block(), good);
}

TEST(TrunkingSystems, FieldSevenFortyThreeLimitsTheSystems) {
  TrunkingSystems block = make(0, "07", 3);
  block.add_list();
  block.add_list();
  const BlockRecord full = block.block();
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(block.block(), full);
  // Block 2 without field 743 (below "03"): a whole record is not held against a limit, but no
  // system is added.
  TrunkingSystems old = make(0, "02", -1);
  old.set_block(full);
  EXPECT_EQ(error_of([&] { old.add_list(); }), err::kAboveMaximum);
}

// Trunking systems and channels: the last of either goes only while one of the other remains;
// without the channel list no channel counts.
TEST(TrunkingSystems, TheLastSystemAndTheLastChannel) {
  for (int32_t first : {32, 38, 0}) {
    Gen1Radio radio = test::trunked_radio();
    radio.codeplug.flags().set_enabled(38, first != 0);
    Gen1Directory blocks(radio);
    const int32_t other = first == 32 ? 38 : 32;
    if (first != 0) {
      SCOPED_TRACE(first);
      EXPECT_EQ(error_of([&] { blocks.find(first)->delete_list(0, blocks); }), 0);
      EXPECT_EQ(error_of([&] { blocks.find(other)->delete_list(0, blocks); }), err::kBelowMinimum);
    } else {
      const BlockRecord last = blocks.find(32)->block();
      EXPECT_EQ(error_of([&] { blocks.find(32)->delete_list(0, blocks); }), err::kBelowMinimum);
      EXPECT_EQ(blocks.find(32)->block(), last);
    }
  }
}

}  // namespace
}  // namespace cps
