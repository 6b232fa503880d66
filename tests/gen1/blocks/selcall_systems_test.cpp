// The Sel Call systems (blocks 759/760): hand-made images both ways, the selective-call mode and
// its three bits, the "Ippan" default, and refused input.
#include "gen1/blocks/selcall_systems.h"
#include "gen1/values/radio_context.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <functional>

namespace cps {
namespace {

using test::Image;
using test::patched;

// The record of a new system, byte by byte.
const Image kDefaultRecord = {0x0D, 0x7B, 0, 0, 20, 0, 0x01, 0x01, 0, 1, 0, 64, 64, 10, 5,
                              2,    0,    2, 0, 20, 1, 2,    0x18, 0x80, 0, 0, 0, 0, 0, 0xE0};

Image image_of(const std::vector<Image>& records) { return test::list_image(128, 30, records); }

// The second record: "Sel Cal" mode, 774 = 4 x 25, 787 = 2.5, 813/814 from nibbles 2 and 1,
// call alert code 2, 807 "Silent", 821 on, 805 "Manual and Auto".
TEST(SelCallSystems, ImageBothWays) {
  const Image second = {0x0D, 0x83, 4, 0, 20, 0, 0x2C, 0x01, 0, 1, 25, 64, 64, 10, 5,
                        2,    0,    2, 0, 20, 1, 2,    0x03, 0x40, 0x21, 0, 0, 0, 0, 0x10};
  const Image image = image_of({kDefaultRecord, second});
  const Image aliases =
      test::resealed({132, 8, 2, 0, 1, 8, 'S', 'E', 'L', ' ', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  SelCallSystems block;
  block.unpack(759, image.data(), image.size());
  block.unpack(760, aliases.data(), aliases.size());
  const FieldList& entry = block.block().entry(1);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {768, "Call Alert w/ Voice"}, {769, "0"}, {774, "100"}, {777, "0"}, {779, "1"}, {781, "3"}, {782, "0"},
           {787, "2.5"}, {805, "Manual and Auto"}, {803, "1200 Hz or 1800 Hz"}, {806, "0"}, {807, "Silent"},
           {813, "30"}, {814, "20"}, {818, "0"}, {821, "1"}, {874, "Sel Cal"}, {424, ""}})
    EXPECT_EQ(entry.text(id), text) << id;
  EXPECT_EQ(block.block().entry(0).text(424), "SEL 1");
  EXPECT_EQ(block.pack(759), image);
  EXPECT_EQ(block.pack(760), aliases);
}

// One mode bit of three: two bits or none, a label that is no mode, a bit that leaves none and a
// record whose mode disagrees with its bits are refused, as is any other bad input, each changing
// nothing.
TEST(SelCallSystems, ModeBitsAndRefusedInput) {
  SelCallSystems block;
  block.set_field(0, {874, "Sel Cal", 1});
  EXPECT_EQ(block.pack(759)[3 + 6], 0x20);
  block.set_field(0, {874, "Call Alert", 1});
  EXPECT_EQ(block.pack(759)[3 + 6], 0x80);

  BlockRecord no_mode = block.block(), no_alias_header = block.block();
  no_mode.entry(0).set_text(874, "None");
  no_alias_header.header() = FieldList{};
  for (int32_t id : {46, 47, 48}) no_alias_header.header().add(block.block().get_header_field(id));
  auto unpack = [&](const test::Patch& bytes) {
    const Image image = patched(image_of({kDefaultRecord}), bytes);
    block.unpack(759, image.data(), image.size());
  };
  const std::pair<std::function<void()>, int> cases[] = {
      {[&] { unpack({{3 + 6, 0xA0}}); }, err::kInvalidData}, {[&] { unpack({{3 + 6, 0x00}}); }, err::kInvalidData},
      {[&] { block.set_field(0, {874, "Sel Call", 1}); }, err::kInvalidData},
      {[&] { block.set_field(0, {782, "1", 1}); }, err::kInvalidData},
      {[&] { block.set_block(no_mode); }, err::kInvalidData},
      {[&] { unpack({{3 + 1, 0xFB}}); }, err::kChoiceNotFound},  // call alert code 3
      {[&] { block.set_field(0, {751, "0", 1}); }, err::kFieldNotFound},
      {[&] { block.set_block(no_alias_header); }, err::kFieldNotFound},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(test::refused(block, cases[i].first), cases[i].second) << i;
}

TEST(SelCallSystems, IppanRadiosSwitch821On) {
  SelCallSystems block;
  own_context(block.base).radio.ippan = true;
  EXPECT_EQ(block.block().entry(block.add_list()).text(821), "1");
  block.build_default();
  EXPECT_EQ(block.pack(759)[3 + 29], 0xF0);
}

}  // namespace
}  // namespace cps
