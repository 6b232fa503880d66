// The call reference list (block 23): images both ways, broken images and refused values (each
// changing nothing), the list limits, dropping a signalling type, and the references a call
// deletion rewrites, through DeleteList on the DTMF calls and the reference pass for the FSD and
// Duotone II calls.
#include "gen1/blocks/call_references.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "interface/cp_services.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Refs = std::vector<std::pair<const char*, const char*>>;

Image list_image(const std::vector<Image>& records, uint8_t size = 2) {
  Image image = {128, size, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) image.insert(image.end(), r.begin(), r.end());
  image.push_back(0);
  return test::resealed(image);
}

BlockRecord record_of(const Refs& refs) {
  BlockRecord record = CallReferences().block();
  record.header().set_text(48, std::to_string(refs.size()));
  const FieldList fresh = record.entry(0);
  record.remove_entry(0);
  for (auto [type, index] : refs) {
    FieldList entry = fresh;
    entry.set_text(CallReferences::kTypeField, type);
    entry.set_text(CallReferences::kIndexField, index);
    record.add_entry(entry);
  }
  return record;
}

std::vector<std::string> refs_of(const BlockHandler& block) {
  std::vector<std::string> out;
  for (size_t i = 0; i < block.block().entry_count(); ++i)
    out.push_back(block.block().entry(i).text(602) + " " + block.block().entry(i).text(603));
  return out;
}

struct NoBlocks final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t, size_t) override { ++passes; }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  int passes = 0;
};

TEST(CallReferences, ImagesBothWays) {
  CallReferences block;
  // The unused high nibble is read past and packs as 0.
  const Image image = list_image({{0xF1, 0}, {3, 255}, {0x22, 7}});
  block.unpack(23, image.data(), image.size());
  EXPECT_EQ(refs_of(block), (std::vector<std::string>{"FSD 0", "DTMF 255", "Duotone II 7"}));
  EXPECT_EQ(block.pack(23), list_image({{1, 0}, {3, 255}, {2, 7}}));

  // A longer region is fine: the block ends where its count says.
  Image longer = list_image({{3, 4}});
  longer.push_back(0xEE);
  block.unpack(23, longer.data(), longer.size());
  EXPECT_EQ(refs_of(block), (std::vector<std::string>{"DTMF 4"}));
}

TEST(CallReferences, BrokenImagesChangeNothing) {
  const Image good = list_image({{1, 3}, {3, 1}});
  Image bad_sum = good;
  bad_sum.back() ^= 1;
  const std::pair<Image, int> cases[] = {
      {Image(good.begin(), good.end() - 1), err::kShortImage},
      {bad_sum, err::kChecksum},
      {list_image({{1, 3, 0}}, 3), err::kInvalidData},
      {list_image(std::vector<Image>(251, Image{2, 0})), err::kInvalidData},
      {list_image({{0x14, 3}}), err::kChoiceNotFound},
  };
  for (const auto& [image, error] : cases) {
    CallReferences block;
    block.unpack(23, good.data(), good.size());
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(23, image.data(), image.size()); }), error) << &image - &cases[0].first;
    EXPECT_EQ(block.block(), before);
  }
}

TEST(CallReferences, RefusedValuesChangeNothing) {
  const std::pair<FieldValue, int> fields[] = {
      {{602, "dtmf", 1}, err::kChoiceNotFound}, {{603, "256", 1}, err::kInvalidData},
      {{47, "2", 2}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : fields) {
    CallReferences block;
    block.set_block(record_of({{"FSD", "1"}, {"DTMF", "2"}}));
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(1, field); }), error) << field.id << " " << field.value;
    EXPECT_EQ(block.block(), before);
  }
  CallReferences block;
  EXPECT_EQ(error_of([&] { block.set_field(1, {603, "1", 1}); }), err::kBadIndex);
  block.set_field(0, {603, "255", 1});
  block.set_field(0, {602, "FSD", 1});
  EXPECT_EQ(refs_of(block), (std::vector<std::string>{"FSD 255"}));

  // A whole record: 48 must count the entries, 47 be 2; every entry needs both fields.
  BlockRecord miscounted = record_of({{"FSD", "1"}, {"DTMF", "2"}});
  miscounted.header().set_text(48, "3");
  BlockRecord bare = record_of({{"FSD", "1"}});
  bare.entry(0) = FieldList{};
  bare.entry(0).add({602, "FSD", 1});
  const std::pair<BlockRecord, int> records[] = {
      {miscounted, err::kInvalidData},
      {bare, err::kFieldNotFound},
  };
  const BlockRecord before = block.block();
  for (const auto& [record, error] : records) {
    EXPECT_EQ(error_of([&] { block.set_block(record); }), error) << &record - &records[0].first;
    EXPECT_EQ(block.block(), before);
  }
}

TEST(CallReferences, AddAndDeleteKeepTheLimits) {
  CallReferences block;
  NoBlocks blocks;
  EXPECT_EQ(error_of([&] { block.delete_list(0, blocks); }), err::kBelowMinimum);
  block.set_field(0, {602, "FSD", 1});
  for (size_t i = 1; i < 250; ++i) ASSERT_EQ(block.add_list(), i);
  const BlockRecord full = block.block();
  EXPECT_EQ(full.header().get(48), (FieldValue{48, "250", 2}));
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(error_of([&] { block.delete_list(250, blocks); }), err::kBadIndex);
  EXPECT_EQ(block.block(), full);
  block.delete_list(0, blocks);
  EXPECT_EQ(block.block().header().text(48), "249");
  EXPECT_EQ(blocks.passes, 0);  // nothing refers to a reference
}

TEST(CallReferences, RemoveTypeKeepsOneEntry) {
  CallReferences block;
  block.set_block(record_of({{"FSD", "0"}, {"FSD", "0"}, {"DTMF", "1"}, {"FSD", "4"}}));
  block.remove_type("FSD");
  EXPECT_EQ(refs_of(block), (std::vector<std::string>{"DTMF 1"}));
  EXPECT_EQ(block.block().header().text(48), "1");
  const BlockRecord before = block.block();
  EXPECT_EQ(error_of([&] { block.remove_type("DTMF"); }), err::kBelowMinimum);
  EXPECT_EQ(error_of([&] { block.remove_type("SDT"); }), err::kChoiceNotFound);
  EXPECT_EQ(block.block(), before);
  block.remove_type("Duotone II");  // none held: nothing to do
  EXPECT_EQ(block.block(), before);
}

// Through the interface: the DTMF call list hands block 23 along when it deletes a call.
class DtmfCallDeletion : public ::testing::Test {
 protected:
  void SetUp() override {
    BYTE index = 0;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(object.AddList(26, &index), S_OK);
  }
  BlockHandler& refs() { return *object.codeplug().handler(23); }
  size_t calls() {
    BYTE count = 0;
    EXPECT_EQ(object.GetCurrentListQuantity(26, &count), S_OK);
    return count;
  }
  CPServices object{nullptr};
};

TEST_F(DtmfCallDeletion, DropsAndLowersTheReferences) {
  ASSERT_TRUE(object.codeplug().enabled(23));  // a new codeplug holds the block
  refs().set_block(record_of({{"DTMF", "0"}, {"DTMF", "0"}, {"FSD", "0"}, {"DTMF", "2"}, {"Duotone II", "3"}}));
  ASSERT_EQ(object.DeleteList(26, 0), S_OK);
  EXPECT_EQ(refs_of(refs()), (std::vector<std::string>{"FSD 0", "DTMF 1", "Duotone II 3"}));
  EXPECT_EQ(refs().block().header().text(48), "3");
  EXPECT_EQ(calls(), 3u);
}

// A deletion that would take every reference fails with 116, and neither list changes: not
// the call list, and not the references (however many of them name the call).
TEST_F(DtmfCallDeletion, TheLastReferenceStopsIt) {
  for (const Refs& held : {Refs{{"DTMF", "1"}}, Refs{{"DTMF", "1"}, {"DTMF", "1"}, {"DTMF", "1"}}}) {
    refs().set_block(record_of(held));
    const BlockRecord before = refs().block();
    EXPECT_EQ(object.DeleteList(26, 1), hresult_of(err::kBelowMinimum));
    EXPECT_EQ(refs().block(), before);
    EXPECT_EQ(calls(), 4u);
  }
  refs().set_block(record_of({{"DTMF", "1"}, {"DTMF", "1"}, {"FSD", "1"}}));
  ASSERT_EQ(object.DeleteList(26, 1), S_OK);
  EXPECT_EQ(refs_of(refs()), (std::vector<std::string>{"FSD 1"}));
}

// The FSD and Duotone II call lists reach block 23 by their block IDs, each for its own label.
TEST(CallReferences, EachCallListRewritesItsOwnType) {
  using Texts = std::vector<std::string>;
  for (auto [list, after] : {std::pair{24, Texts{"FSD 1", "Duotone II 2", "DTMF 2", "Duotone II 1", "DTMF 1"}},
                             std::pair{25, Texts{"FSD 2", "Duotone II 1", "DTMF 2", "FSD 1", "DTMF 1"}},
                             std::pair{26, Texts{"FSD 2", "Duotone II 2", "DTMF 1", "FSD 1", "Duotone II 1"}}}) {
    Gen1Radio radio({}, {});
    Gen1Directory blocks(radio);
    BlockHandler& refs = *blocks.find(23);
    refs.set_block(record_of({{"FSD", "2"}, {"Duotone II", "2"}, {"DTMF", "2"}, {"FSD", "1"}, {"Duotone II", "1"},
                              {"DTMF", "1"}}));
    blocks.references_deleted(list, 1);
    EXPECT_EQ(refs_of(refs), after) << list;
  }
}

}  // namespace
}  // namespace cps
