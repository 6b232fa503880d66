// The FSD call list (block 24): hand-made images both ways, the target ID, and refused images and
// values (each changing nothing).
#include "gen1/blocks/fsd_calls.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::with;
using Image = std::vector<uint8_t>;

// System 0, no trunking system, "Individual" with 606 on, "Conventional", "1111", "Standard",
// "FSDCL1", "Silent" with 616 = 615 = 1.
const Image kDefaultCall = {0, 255, 0x20, 0x00, 0x11, 0x11, 255, 'F', 'S', 'D', 'C', 'L', '1', 0, 0, 0x0A};
const Image kOtherCall = {2, 1, 0x33, 0x51, 0xAB, 0xCF, 3, 'B', 'A', 'S', 'E', 0, 0, 0, 0, 0x3F};
const std::vector<std::pair<int32_t, const char*>> kOtherTexts = {
    {604, "2"},    {605, "1"},    {608, "All Call"}, {607, "1"},          {606, "1"}, {610, "LS Trunking"},
    {609, "5"},    {611, "ABCF"}, {612, "Alert 4"},  {424, "BASE"},       {617, "Non-Silent"},
    {616, "3"},    {615, "3"},    {614, "1"}};

Image calls(const std::vector<Image>& records) { return test::list_image(128, 16, records, true); }

TEST(FsdCalls, ImagesBothWays) {
  FsdCalls block;
  const Image two = calls({kOtherCall, kDefaultCall});
  block.unpack(24, two.data(), two.size());
  for (auto [id, text] : kOtherTexts) EXPECT_EQ(block.block().entry(0).text(id), text) << id;
  EXPECT_EQ(block.block().entry(1), FsdCalls().block().entry(0));
  EXPECT_EQ(block.pack(24), two);

  // A radio's image may hold the target ID "0000"; it reads and packs as it is.
  const Image unset = calls({with(with(kOtherCall, 4, 0), 5, 0)});
  block.unpack(24, unset.data(), unset.size());
  EXPECT_EQ(block.block().entry(0).text(611), "0000");
  EXPECT_EQ(block.pack(24), unset);
  const Image type_4 = calls({with(kOtherCall, 2, 0x34)});
  EXPECT_EQ(test::refused(block, [&] { block.unpack(24, type_4.data(), type_4.size()); }), err::kChoiceNotFound);
}

TEST(FsdCalls, FieldRules) {
  const std::pair<FieldValue, int> cases[] = {
      {{611, "0000", 1}, err::kInvalidData},     {{611, "FFFF", 1}, 0},
      {{611, "12G4", 1}, err::kInvalidData},     {{612, "Alert 8", 1}, err::kChoiceNotFound},
      {{330, "1", 1}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : cases) {
    FsdCalls block;
    EXPECT_EQ(test::refused(block, [&] { block.set_field(0, field); }), error) << field.id << " " << field.value;
    if (!error) {
      EXPECT_EQ(block.block().entry(0).get(field.id), field);
    }
  }

  // Nor does a whole record set a call with the target ID "0000".
  FsdCalls block;
  block.add_list();
  BlockRecord unset = block.block();
  unset.entry(1).set_text(611, "0000");
  EXPECT_EQ(test::refused(block, [&] { block.set_block(unset); }), err::kInvalidData);
}

}  // namespace
}  // namespace cps
