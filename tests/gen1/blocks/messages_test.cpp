// The message and status list (block 29): its image both ways, the fixed count of eight, and
// refused images, values and records, each changing nothing.
#include "gen1/blocks/messages.h"

#include "engine/variant_codec.h"
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

// Message 258, status 65535, then six unassigned entries; `patch` changes bytes after the header.
Image messages(const test::Patch& patch = {}, uint8_t count = 8) {
  Image image = {128, 3, count, 1, 0x01, 0x02, 2, 0xFF, 0xFF};
  image.resize(3 + 3 * count + 1, 0);
  return test::patched(image, patch, 3);
}

TEST(Messages, ImagesAndRefusals) {
  MessageList block;
  EXPECT_EQ(block.pack(29), test::resealed({128, 3, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const Image good = messages();
  block.unpack(29, good.data(), good.size());
  EXPECT_EQ(block.block().entry(0).get(578), (FieldValue{578, "258", 1}));
  EXPECT_EQ(block.block().entry(1).text(577), "Status");
  EXPECT_EQ(block.pack(29), good);

  const BlockRecord before = block.block();
  for (const auto& [image, error] : {std::pair{Image(good.begin(), good.end() - 1), err::kShortImage},
                                     std::pair{messages({}, 7), err::kInvalidData},
                                     std::pair{messages({{9, 3}}), err::kChoiceNotFound}}) {
    EXPECT_EQ(error_of([&] { block.unpack(29, image.data(), image.size()); }), error);
    EXPECT_EQ(block.block(), before);
  }
  for (const auto& [field, error] : {std::pair{FieldValue{577, "status", 1}, err::kChoiceNotFound},
                                     std::pair{FieldValue{578, "65536", 1}, err::kInvalidData},
                                     std::pair{FieldValue{47, "4", 2}, err::kInvalidData},
                                     std::pair{FieldValue{48, "8", 2}, err::kFieldNotFound}}) {
    EXPECT_EQ(error_of([&] { block.set_field(7, field); }), error) << field.id;
    EXPECT_EQ(block.block(), before);
  }
  BlockRecord seven = before;
  seven.remove_entry(7);
  EXPECT_EQ(error_of([&] { block.set_block(seven); }), err::kInvalidData);
  seven.header().set_text(48, "7");
  EXPECT_EQ(error_of([&] { block.set_block(seven); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);
}

// Through the interface: the count stays eight, and MoveList puts the first entry last.
TEST(Messages, FixedCountAndMoves) {
  CPServices object(nullptr);
  BYTE index = 0;
  EXPECT_EQ(object.AddList(29, &index), static_cast<HRESULT>(0x80040975));
  EXPECT_EQ(object.DeleteList(29, 0), static_cast<HRESULT>(0x80040974));
  ScopedVariant v;
  encode_field({578, "42", 1}, v.get());
  ASSERT_EQ(object.SetFieldAt(29, 0, *v), S_OK);
  ASSERT_EQ(object.MoveList(29, 0, 7), S_OK);
  for (BYTE i = 0; i < 8; ++i) {
    ScopedVariant field;
    ASSERT_EQ(object.GetFieldAt(29, 578, i, field.get()), S_OK);
    EXPECT_EQ(decode_field(*field).value, i == 7 ? "42" : "0") << int{i};
  }
}

}  // namespace
}  // namespace cps
