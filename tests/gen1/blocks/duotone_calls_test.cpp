// The Duotone II call list (block 25): a golden image, the second tone tested only in a two-tone
// call, bad input leaving the block as it was, the limits and the pass a deletion hands on.
#include "gen1/blocks/duotone_calls.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using test::Image;

struct Passes final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  std::vector<std::pair<int32_t, size_t>> deleted;
};

// A long-tone call on system 1: 619 = 7, 620 on, "LS Trunking" with 622 = 15, first tone 1000.0
// Hz, second 0, alias "CALL 1".
const Image kLongCall = {1, 7, 0x11, 0xF1, 0x27, 0x10, 0, 0, 'C', 'A', 'L', 'L', ' ', '1', 0, 0};

Image calls(const Image& call) {
  Image image = {128, 16, 1};
  image.insert(image.end(), call.begin(), call.end());
  image.push_back(checksum(call.data(), call.size()));
  image.push_back(0);
  return test::resealed(image);
}

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
  for (auto [bytes, error] : {std::pair{test::patched(image, {{3 + 16, 0}}), err::kChecksum},
                              {calls(two_tone), err::kInvalidData}}) {
    DuotoneCalls fresh;
    const BlockRecord before = fresh.block();
    EXPECT_EQ(error_of([&] { fresh.unpack(25, bytes.data(), bytes.size()); }), error);
    EXPECT_EQ(fresh.block(), before);
  }
  const std::tuple<size_t, FieldValue, int> fields[] = {
      {0, {625, "0.0", 1}, 0},  // a long-tone call
      {1, {625, "0.0", 1}, err::kInvalidData},  {1, {623, "Trunking", 2}, err::kChoiceNotFound},
      {1, {48, "2", 2}, err::kFieldNotFound},
  };
  block.add_list();
  for (const auto& [call, field, error] : fields) {
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(call, field); }), error) << field.id << " " << field.value;
    if (error != 0) {
      EXPECT_EQ(block.block(), before) << field.id;
    }
  }
}

TEST(DuotoneCalls, Limits) {
  DuotoneCalls block;
  Passes blocks;
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  while (block.block().entry_count() < 30) block.add_list();
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  block.delete_list(5, blocks);
  EXPECT_EQ(blocks.deleted, (std::vector<std::pair<int32_t, size_t>>{{25, 5}}));  // the call references
  EXPECT_EQ(block.block().header().text(48), "29");
}

}  // namespace
}  // namespace cps
