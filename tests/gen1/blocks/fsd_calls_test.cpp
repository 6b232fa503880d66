// The FSD call list (block 24): hand-made images both ways, the defaults as bytes, the target ID,
// broken images and refused values (each changing nothing), the list limits, and the references
// that deleting an FSD system or a trunking system rewrites.
#include "gen1/blocks/fsd_calls.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// System 0, no trunking system, "Individual" with 606 on, "Conventional", "1111", "Standard",
// "FSDCL1", "Silent" with 616 = 615 = 1.
const Image kDefaultCall = {0, 255, 0x20, 0x00, 0x11, 0x11, 255, 'F', 'S', 'D', 'C', 'L', '1', 0, 0, 0x0A};
const Image kOtherCall = {2, 1, 0x33, 0x51, 0xAB, 0xCF, 3, 'B', 'A', 'S', 'E', 0, 0, 0, 0, 0x3F};
const std::vector<std::pair<int32_t, const char*>> kOtherTexts = {
    {604, "2"},    {605, "1"},    {608, "All Call"}, {607, "1"},          {606, "1"}, {610, "LS Trunking"},
    {609, "5"},    {611, "ABCF"}, {612, "Alert 4"},  {424, "BASE"},       {617, "Non-Silent"},
    {616, "3"},    {615, "3"},    {614, "1"}};

Image calls(const std::vector<Image>& records, uint8_t size = 16) {
  Image image = {128, size, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) {
    image.insert(image.end(), r.begin(), r.end());
    image.push_back(checksum(r.data(), r.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}
Image with(Image record, size_t at, uint8_t value) {
  record[at] = value;
  return record;
}

struct Recorder final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  std::vector<std::pair<int32_t, size_t>> deleted;
};

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
}

TEST(FsdCalls, BrokenImagesChangeNothing) {
  const Image good = calls({kOtherCall});
  Image record_sum = good;
  record_sum[3 + 16] ^= 1;
  const std::pair<Image, int> cases[] = {
      {test::resealed(record_sum), err::kChecksum},
      {calls({Image(17, 0)}, 17), err::kInvalidData},
      {calls(std::vector<Image>(191, kDefaultCall)), err::kInvalidData},
      {calls({with(kOtherCall, 2, 0x34)}), err::kChoiceNotFound},  // call type 4
  };
  for (const auto& [image, error] : cases) {
    FsdCalls block;
    block.unpack(24, good.data(), good.size());
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(24, image.data(), image.size()); }), error) << &image - &cases[0].first;
    EXPECT_EQ(block.block(), before);
  }
  // An empty list is a list.
  FsdCalls block;
  const Image none = calls({});
  block.unpack(24, none.data(), none.size());
  EXPECT_EQ(block.block().entry_count(), 0u);
}

TEST(FsdCalls, FieldRules) {
  const std::pair<FieldValue, int> cases[] = {
      {{611, "0000", 1}, err::kInvalidData},     {{611, "FFFF", 1}, 0},
      {{611, "12G4", 1}, err::kInvalidData},     {{612, "Alert 8", 1}, err::kChoiceNotFound},
      {{330, "1", 1}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : cases) {
    FsdCalls block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), error) << field.id << " " << field.value;
    if (error) {
      EXPECT_EQ(block.block(), before) << field.id;
    } else {
      EXPECT_EQ(block.block().entry(0).get(field.id), field);
    }
  }

  // Nor does a whole record set a call with the target ID "0000".
  FsdCalls block;
  block.add_list();
  const BlockRecord before = block.block();
  BlockRecord unset = before;
  unset.entry(1).set_text(611, "0000");
  EXPECT_EQ(error_of([&] { block.set_block(unset); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);
}

TEST(FsdCalls, AddAndDeleteKeepTheLimits) {
  FsdCalls block;
  Recorder blocks;
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  for (size_t i = 1; i < 190; ++i) ASSERT_EQ(block.add_list(), i);
  const BlockRecord full = block.block();
  EXPECT_EQ(full.header().get(48), (FieldValue{48, "190", 2}));
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(error_of([&] { block.delete_list(190, blocks); }), err::kBadIndex);
  EXPECT_EQ(block.block(), full);
  block.set_field(3, {424, "FOURTH", 1});
  block.delete_list(2, blocks);
  EXPECT_EQ(blocks.deleted, (std::vector<std::pair<int32_t, size_t>>{{24, 2}}));
  EXPECT_EQ(block.block().entry(2).text(424), "FOURTH");
  EXPECT_EQ(block.block().header().text(48), "189");
}

// ---- References, on a whole radio ------------------------------------------------------------

// A portable radio taking three trunking systems, with three FSD systems, three trunking systems
// and four calls, the call list enabled.
Gen1Radio calling_radio() {
  Gen1Radio radio({}, {});
  BlockRecord info = radio.block2.block();
  for (auto [id, text] : {std::pair(61, "1"), {66, "Portable"}, {667, "Tobin"}, {743, "3"}})
    info.entry(0).set_text(id, text);
  radio.block2.set_block(info);
  radio.codeplug.base.mobile = radio.mobile_flag();
  radio.codeplug.reset();
  for (int32_t id : {24, 37, 742, 36, 741, 32, 33, 34, 35}) radio.codeplug.flags().set_enabled(id, true);
  radio.refresh_facts();
  Gen1Directory blocks(radio);
  for (int32_t id : {41, 41, 32, 32, 24, 24, 24}) blocks.find(id)->add_list();
  return radio;
}

std::string column(const BlockRecord& record, int32_t a, int32_t b) {
  std::string out;
  for (size_t i = 0; i < record.entry_count(); ++i)
    out += record.entry(i).text(a) + "/" + record.entry(i).text(b) + " ";
  return out;
}

// Calls on FSD system 1 move to system 0 and those on 2 to 1. Calls on trunking system 1 name
// none; those on 2 name 1; 255 stays, and a conventional call's index is left alone.
TEST(FsdCalls, SystemDeletionsRewriteTheCalls) {
  Gen1Radio radio = calling_radio();
  Gen1Directory blocks(radio);
  BlockHandler& calls = *blocks.find(24);
  const char* const systems[][3] = {{"1", "LS Trunking", "1"}, {"2", "LS Trunking", "2"},
                                    {"0", "LS Trunking", "255"}, {"2", "Conventional", "2"}};
  for (size_t i = 0; i < 4; ++i) {
    calls.set_field(i, {604, systems[i][0], 1});
    calls.set_field(i, {610, systems[i][1], 2});
    calls.set_field(i, {605, systems[i][2], 1});
  }
  blocks.find(41)->delete_list(1, blocks);
  EXPECT_EQ(column(calls.block(), 604, 610), "0/LS Trunking 1/LS Trunking 0/LS Trunking 1/Conventional ");
  blocks.find(32)->delete_list(1, blocks);
  EXPECT_EQ(column(calls.block(), 610, 605), "LS Trunking/255 LS Trunking/1 LS Trunking/255 Conventional/2 ");

  // With the call list not enabled, nothing of it changes.
  radio.codeplug.flags().set_enabled(24, false);
  const BlockRecord kept = calls.block();
  blocks.find(41)->delete_list(0, blocks);
  blocks.find(32)->delete_list(0, blocks);
  EXPECT_EQ(calls.block(), kept);
}

}  // namespace
}  // namespace cps
