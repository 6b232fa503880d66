// The message and status list (block 29): the default image, a hand-made image both ways, the
// fixed count of eight against every way of changing it, refused values and broken images
// (each changing nothing), and moving an entry through the interface.
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

// Eight 3-byte entries after the header 128 / 3 / 8.
Image messages(const std::vector<Image>& entries, uint8_t size = 3) {
  Image image = {128, size, static_cast<uint8_t>(entries.size())};
  for (const Image& e : entries) image.insert(image.end(), e.begin(), e.end());
  image.push_back(0);
  return test::resealed(image);
}

const Image kUnassigned = {0, 0, 0};
// Message 258, status 65535, then six unassigned.
const std::vector<Image> kEntries = {{1, 0x01, 0x02}, {2, 0xFF, 0xFF}, kUnassigned, kUnassigned,
                                     kUnassigned,     kUnassigned,     kUnassigned, kUnassigned};

TEST(Messages, ImagesBothWays) {
  MessageList block;
  EXPECT_EQ(block.pack(29), messages(std::vector<Image>(8, kUnassigned)));
  EXPECT_EQ(block.block().header().get(48), (FieldValue{48, "8", 2}));

  const Image image = messages(kEntries);
  block.unpack(29, image.data(), image.size());
  EXPECT_EQ(block.block().entry(0).get(577), (FieldValue{577, "Message", 1}));
  EXPECT_EQ(block.block().entry(0).get(578), (FieldValue{578, "258", 1}));
  EXPECT_EQ(block.block().entry(1).text(577), "Status");
  EXPECT_EQ(block.block().entry(1).text(578), "65535");
  EXPECT_EQ(block.block().entry(7), MessageList().block().entry(0));
  EXPECT_EQ(block.pack(29), image);
}

TEST(Messages, BrokenImagesChangeNothing) {
  const Image good = messages(kEntries);
  std::vector<Image> seven(kEntries.begin(), kEntries.end() - 1), nine = kEntries;
  nine.push_back(kUnassigned);
  std::vector<Image> unknown = kEntries;
  unknown[3] = {3, 0, 1};
  Image flipped = good;
  flipped.back() ^= 1;
  const std::pair<Image, int> cases[] = {
      {Image(good.begin(), good.end() - 1), err::kShortImage},
      {Image(good.begin(), good.begin() + 2), err::kShortImage},
      {flipped, err::kChecksum},
      {messages(seven), err::kInvalidData},
      {messages(nine), err::kInvalidData},
      {messages(std::vector<Image>(8, {0, 0, 0, 0}), 4), err::kInvalidData},
      {messages(unknown), err::kChoiceNotFound},
  };
  for (const auto& [image, error] : cases) {
    MessageList block;
    block.unpack(29, good.data(), good.size());
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(29, image.data(), image.size()); }), error) << &image - &cases[0].first;
    EXPECT_EQ(block.block(), before);
  }
}

TEST(Messages, RefusedValuesChangeNothing) {
  const std::pair<FieldValue, int> sets[] = {
      {{577, "Status", 1}, 0},          {{577, "status", 1}, err::kChoiceNotFound},
      {{578, "65535", 1}, 0},           {{578, "65536", 1}, err::kInvalidData},
      {{578, "-1", 1}, err::kInvalidData}, {{578, "12a", 1}, err::kInvalidData},
      {{47, "4", 2}, err::kInvalidData}, {{47, "3", 2}, err::kFieldNotFound},
      {{48, "7", 2}, err::kInvalidData}, {{579, "1", 1}, err::kFieldNotFound},
  };
  for (const auto& [field, error] : sets) {
    MessageList block;
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.set_field(7, field); }), error) << field.id << " " << field.value;
    if (error) {
      EXPECT_EQ(block.block(), before);
    } else {
      EXPECT_EQ(block.block().entry(7).get(field.id), field);
    }
  }
  MessageList block;
  EXPECT_EQ(error_of([&] { block.set_field(8, {577, "Status", 1}); }), err::kBadIndex);

  // A record must hold its three header fields and eight whole entries.
  const BlockRecord good = block.block();
  BlockRecord seven = good, short_entry = good, no_format = good;
  seven.remove_entry(7);
  seven.header().set_text(48, "7");
  short_entry.entry(2) = FieldList{};
  short_entry.entry(2).add(577, "Message", 1);
  no_format.header() = FieldList{};
  no_format.header().add(good.header().get(47));
  no_format.header().add(good.header().get(48));
  BlockRecord mismatched = good;
  mismatched.remove_entry(7);
  for (const auto& [record, error] : {std::pair{seven, err::kInvalidData}, std::pair{short_entry, err::kFieldNotFound},
                                      std::pair{no_format, err::kFieldNotFound}, std::pair{mismatched, err::kInvalidData}}) {
    EXPECT_EQ(error_of([&] { block.set_block(record); }), error);
    EXPECT_EQ(block.block(), good);
  }
}

// Through the interface: the count is fixed at eight, and MoveList reorders the entries.
TEST(Messages, FixedCountAndMoves) {
  CPServices object(nullptr);
  BYTE index = 0, count = 0;
  EXPECT_EQ(object.AddList(29, &index), static_cast<HRESULT>(0x80040975));
  EXPECT_EQ(object.DeleteList(29, 0), static_cast<HRESULT>(0x80040974));
  ASSERT_EQ(object.GetCurrentListQuantity(29, &count), S_OK);
  EXPECT_EQ(count, 8);

  ScopedVariant v;
  encode_field({578, "42", 1}, v.get());
  ASSERT_EQ(object.SetFieldAt(29, 0, *v), S_OK);
  ASSERT_EQ(object.MoveList(29, 0, 7), S_OK);
  ASSERT_EQ(object.GetCurrentListQuantity(29, &count), S_OK);
  EXPECT_EQ(count, 8);
  for (BYTE i = 0; i < 8; ++i) {
    ScopedVariant field;
    ASSERT_EQ(object.GetFieldAt(29, 578, i, field.get()), S_OK);
    EXPECT_EQ(decode_field(*field).value, i == 7 ? "42" : "0") << int{i};
  }
}

}  // namespace
}  // namespace cps
