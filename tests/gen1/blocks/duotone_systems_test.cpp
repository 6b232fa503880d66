// The Duotone II signalling systems (blocks 42/467): golden images, the tones tested only where
// the format uses them, bad input leaving the block as it was, and what deleting a system
// rewrites in the channel list and the call list.
#include "gen1/blocks/duotone_systems.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

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

Image systems(const std::vector<Image>& records) {
  Image image = {128, 19, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) image.insert(image.end(), r.begin(), r.end());
  image.push_back(0);
  return test::resealed(image);
}

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
  Image unsealed = good;
  unsealed.back() ^= 1;
  const std::pair<Image, int> images[] = {
      {Image(good.begin(), good.end() - 1), err::kShortImage},
      {unsealed, err::kChecksum},
      {systems({kDefault, kDefault, kDefault, kDefault, kDefault}), err::kInvalidData},
      {test::patched(good, {{k1 + 14, 10}}), err::kChoiceNotFound},                // format
      {test::patched(good, {{k1 + 10, 0}, {k1 + 11, 0}}), err::kInvalidData},     // tone C used
  };
  for (const auto& [image, error] : images) {
    DuotoneSystems block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(42, image.data(), image.size()); }), error);
    EXPECT_EQ(block.block(), before);
  }
  const std::pair<FieldValue, int> fields[] = {
      {{375, "0.0", 1}, 0},  // tone D unused by "A-B"
      {{377, "4", 1}, err::kInvalidData},  {{47, "19", 2}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : fields) {
    DuotoneSystems block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), error) << field.id << " " << field.value;
    if (error != 0) {
      EXPECT_EQ(block.block(), before) << field.id;
    }
  }
  // The alias image needs the system image before it, once.
  DuotoneSystems block;
  const Image aliases = block.pack(467);
  EXPECT_EQ(error_of([&] { block.unpack(467, aliases.data(), aliases.size()); }), err::kUnpackFailure);
  block.unpack(42, good.data(), good.size());
  block.unpack(467, aliases.data(), aliases.size());
  EXPECT_EQ(error_of([&] { block.unpack(467, aliases.data(), aliases.size()); }), err::kUnpackFailure);
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

// Three systems named by channels (416/417 and 415/418) and calls (618); system 1 goes.
TEST(DuotoneSystems, DeletionRewritesChannelsAndCalls) {
  for (bool enabled : {true, false}) {
    Gen1Radio radio({}, {});
    radio.codeplug.reset();
    radio.refresh_facts();
    Gen1Directory blocks(radio);
    BlockHandler &systems = *blocks.find(42), &channels = *blocks.find(38), &calls = *blocks.find(25);
    while (systems.block().entry_count() < 4) systems.add_list();
    EXPECT_EQ(error_of([&] { systems.add_list(); }), err::kAboveMaximum);
    systems.delete_list(3, blocks);
    const FieldValue refs[][2] = {{{416, "Duotone II", 1}, {417, "1", 1}},
                                  {{415, "Duotone II", 1}, {418, "2", 1}},
                                  {{416, "FSD", 1}, {417, "1", 1}}};
    for (size_t i = 0; i < 3; ++i) {
      if (i > 0) channels.add_list();
      for (const FieldValue& f : refs[i]) channels.set_field(i, f);
      calls.set_field(i == 0 ? 0 : calls.add_list(), {618, decimal_text(static_cast<int64_t>(i)), 1});
    }
    radio.codeplug.flags().set_enabled(38, enabled);
    radio.codeplug.flags().set_enabled(25, enabled);
    systems.delete_list(1, blocks);
    std::string shown;
    for (size_t i = 0; i < 3; ++i) {
      const FieldList& e = channels.block().entry(i);
      shown += e.text(416) + " " + e.text(417) + "/" + e.text(415) + " " + e.text(418) + "/" + calls.block().entry(i).text(618) + "; ";
    }
    EXPECT_EQ(shown, enabled ? "None 0/None 255/0; None 255/Duotone II 1/0; FSD 1/None 255/1; "
                             : "Duotone II 1/None 255/0; None 255/Duotone II 2/1; FSD 1/None 255/2; ");
    EXPECT_EQ(systems.block().header().text(48), "2");
  }
}

}  // namespace
}  // namespace cps
