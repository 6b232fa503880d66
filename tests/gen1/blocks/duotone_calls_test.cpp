// The Duotone II call list (block 25): a golden image, the second tone tested only in a two-tone
// call, and bad input leaving the block as it was.
#include "gen1/blocks/duotone_calls.h"

#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::Image;

// A long-tone call on system 1: 619 = 7, 620 on, "LS Trunking" with 622 = 15, first tone 1000.0
// Hz, second 0, alias "CALL 1".
const Image kLongCall = {1, 7, 0x11, 0xF1, 0x27, 0x10, 0, 0, 'C', 'A', 'L', 'L', ' ', '1', 0, 0};

Image calls(const Image& call) { return test::list_image(128, 16, {call}, true); }

TEST(DuotoneCalls, ImageAndChecks) {
  DuotoneCalls block;
  const Image image = calls(kLongCall);
  block.unpack(25, image.data(), image.size());
  std::string shown;
  for (int32_t id : {618, 619, 621, 620, 623, 622, 624, 625, 424}) shown += block.block().entry(0).text(id) + ",";
  EXPECT_EQ(shown, "1,7,Long Tone,1,LS Trunking,15,1000.0,0.0,CALL 1,");
  EXPECT_EQ(block.pack(25), image);

  Image two_tone = kLongCall;
  two_tone[2] = 0x10;
  const Image no_second_tone = calls(two_tone);
  EXPECT_EQ(test::refused(block, [&] { block.unpack(25, no_second_tone.data(), no_second_tone.size()); }), err::kInvalidData);
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {625, "0.0", 1}, 0},  // a long-tone call
      {1, {625, "0.0", 1}, err::kInvalidData},  {1, {623, "Trunking", 2}, err::kChoiceNotFound},
      {1, {48, "2", 2}, err::kFieldNotFound},
  };
  block.add_list();
  for (const auto& [call, field, error] : fields)
    EXPECT_EQ(test::refused(block, [&] { block.set_field(call, field); }), error) << field.id << " " << field.value;
}

}  // namespace
}  // namespace cps
