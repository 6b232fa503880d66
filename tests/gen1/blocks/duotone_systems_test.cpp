// The Duotone II signalling systems (blocks 42/467): golden images, the tones tested only where
// the format uses them, and bad input leaving the block as it was.
#include "gen1/blocks/duotone_systems.h"

#include "gen1/block_test_support.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using test::Image;

// A new system: 363, 366, 367 on, acknowledge 3, call alert 1, timings 20 x 25, tones A 358.6 and
// B 903.2 Hz, format "A-B", 377 = 9, 378 = 0x8000. System 1: format "A-B/C-D" with tones C
// 1000.0 and D 3086.0 Hz, 362 and 368 on, call alert 2, timing 4500, 377 = 33, 379 "w/Tone".
const Image kDefault = {0x20, 0x5B, 20, 20, 0, 0, 0x0E, 0x02, 0x23, 0x48, 0, 0, 0, 0, 0, 9, 0x80, 0, 0};
const Image kSystem1 = {0x10, 0xA0, 180, 0, 0, 0, 0x0B, 0x45, 0x0B, 0x46, 0x27, 0x10, 0x78, 0x8C, 9, 33, 0, 1, 1};

Image systems(const std::vector<Image>& records) { return test::list_image(128, 19, records); }

TEST(DuotoneSystems, ImagesBothWays) {
  DuotoneSystems block;
  Image aliases = {132, 16, 2, 0, 1, 16};
  aliases.resize(6 + 16, 0);
  for (char c : std::string("ALPHA")) aliases.push_back(static_cast<uint8_t>(c));
  aliases.resize(6 + 32 + 1, 0);
  aliases = test::resealed(aliases);
  const Image image = systems({kDefault, kSystem1});
  block.unpack(42, image.data(), image.size());
  block.unpack(467, aliases.data(), aliases.size());
  const FieldList& system = block.block().entry(1);
  for (auto [id, text] : std::vector<std::pair<int32_t, const char*>>{
           {370, "4500"}, {376, "A-B/C-D"}, {374, "1000.0"}, {375, "3086.0"}, {377, "33"}, {424, "ALPHA"}})
    EXPECT_EQ(system.text(id), text) << id;
  EXPECT_EQ(block.pack(42), image);
  EXPECT_EQ(block.pack(467), aliases);
}

TEST(DuotoneSystems, BadInputChangesNothing) {
  const Image good = systems({kDefault, kSystem1});
  constexpr size_t k1 = 3 + 19;  // system 1
  const std::pair<Image, int> images[] = {
      {test::patched(good, {{k1 + 14, 10}}), err::kChoiceNotFound},                // format
      {test::patched(good, {{k1 + 10, 0}, {k1 + 11, 0}}), err::kInvalidData},     // tone C used
  };
  DuotoneSystems block;
  for (const auto& [image, error] : images)
    EXPECT_EQ(test::refused(block, [&] { block.unpack(42, image.data(), image.size()); }), error);
  const std::pair<FieldValue, int> fields[] = {
      {{375, "0.0", 1}, 0},  // tone D unused by "A-B"
      {{377, "4", 1}, err::kInvalidData},  {{47, "19", 2}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : fields)
    EXPECT_EQ(test::refused(block, [&] { block.set_field(0, field); }), error) << field.id << " " << field.value;
}

// A new format tests neither tone again; a later set of the tone, and a whole record, do.
TEST(DuotoneSystems, FormatDecidesWhichTonesAreTested) {
  DuotoneSystems block;
  block.set_field(0, {376, "A-B/Long C", 1});
  EXPECT_EQ(error_of([&] { block.set_field(0, {375, "0.0", 1}); }), 0);
  EXPECT_EQ(error_of([&] { block.set_field(0, {374, "0.0", 1}); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_block(block.block()); }), err::kInvalidData);
  block.set_field(0, {374, "2000.0", 1});
  EXPECT_EQ(error_of([&] { block.set_block(block.block()); }), 0);
}

}  // namespace
}  // namespace cps
