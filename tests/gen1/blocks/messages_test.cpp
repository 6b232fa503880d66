// The message and status list (block 29): its image both ways, the fixed count of eight, refusals.
#include "gen1/blocks/messages.h"

#include "interface/cp_services.h"
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
  EXPECT_EQ(error_of([&] { block.set_field(7, {48, "8", 2}); }), err::kFieldNotFound);
  BlockRecord seven = before;
  seven.remove_entry(7);
  seven.header().set_text(48, "7");
  EXPECT_EQ(error_of([&] { block.set_block(seven); }), err::kInvalidData);
  EXPECT_EQ(block.block(), before);
}

// Through the interface: the count stays eight.
TEST(Messages, FixedCount) {
  CPServices object(nullptr);
  BYTE index = 0;
  EXPECT_EQ(object.AddList(29, &index), static_cast<HRESULT>(0x80040975));
  EXPECT_EQ(object.DeleteList(29, 0), static_cast<HRESULT>(0x80040974));
}

}  // namespace
}  // namespace cps
