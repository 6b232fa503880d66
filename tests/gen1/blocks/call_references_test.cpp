// The call reference list (block 23): images both ways, refused images and values (each changing
// nothing), dropping a signalling type, and the references a call deletion rewrites, through
// DeleteList on the DTMF calls and the reference pass for the FSD and Duotone II calls.
#include "gen1/blocks/call_references.h"

#include "gen1/block_test_support.h"
#include "interface/cp_services.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;
using Refs = std::vector<std::pair<const char*, const char*>>;

Image list_image(const std::vector<Image>& records) { return test::list_image(128, 2, records); }

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

TEST(CallReferences, ImagesBothWays) {
  CallReferences block;
  // The unused high nibble is read past and packs as 0.
  const Image image = list_image({{0xF1, 0}, {3, 255}, {0x22, 7}});
  block.unpack(23, image.data(), image.size());
  EXPECT_EQ(refs_of(block), (std::vector<std::string>{"FSD 0", "DTMF 255", "Duotone II 7"}));
  EXPECT_EQ(block.pack(23), list_image({{1, 0}, {3, 255}, {2, 7}}));
}

TEST(CallReferences, RefusalsChangeNothing) {
  CallReferences block;
  block.set_block(record_of({{"FSD", "1"}, {"DTMF", "2"}}));
  const BlockRecord before = block.block();
  const Image type_4 = list_image({{0x14, 3}});
  EXPECT_EQ(error_of([&] { block.unpack(23, type_4.data(), type_4.size()); }), err::kChoiceNotFound);
  const std::pair<FieldValue, int> fields[] = {
      {{602, "dtmf", 1}, err::kChoiceNotFound}, {{603, "256", 1}, err::kInvalidData},
      {{47, "2", 2}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : fields)
    EXPECT_EQ(error_of([&] { block.set_field(1, field); }), error) << field.id << " " << field.value;

  // A whole record: 48 must count the entries; every entry needs both fields.
  BlockRecord miscounted = before;
  miscounted.header().set_text(48, "3");
  BlockRecord bare = record_of({{"FSD", "1"}});
  bare.entry(0) = FieldList{};
  bare.entry(0).add({602, "FSD", 1});
  EXPECT_EQ(error_of([&] { block.set_block(miscounted); }), err::kInvalidData);
  EXPECT_EQ(error_of([&] { block.set_block(bare); }), err::kFieldNotFound);
  EXPECT_EQ(block.block(), before);
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
