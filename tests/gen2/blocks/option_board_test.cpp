#include "gen2/blocks/option_board.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

std::vector<std::string> board_texts(const OptionBoardData& block) {
  std::vector<std::string> texts;
  const BlockRecord record = block.get_record();
  for (size_t i = 0; i < record.entry_count(); ++i) texts.push_back(record.entry(i).text(2695));
  return texts;
}

TEST(Gen2OptionBoard, ImportFramesThePayload) {
  OptionBoardData block;
  const Image payload = {0x02, 0x03, 0x10, 0x11, 0x12, 0x13, 0x14, 0xA5};
  block.import(payload.data(), payload.size());
  EXPECT_EQ(board_texts(block), (std::vector<std::string>{"02", "03", "10", "11", "12", "13", "14", "A5"}));
  Image framed = {0x81, 0x00, 0x01, 0x08};
  framed.insert(framed.end(), payload.begin(), payload.end());
  framed.push_back(0);
  EXPECT_EQ(block.pack(), test::resealed(framed));

  const Image nothing = {0, 0, 0};
  block.import(nothing.data(), nothing.size());
  EXPECT_EQ(board_texts(block), (std::vector<std::string>{"00", "00", "00"}));
}

TEST(Gen2OptionBoard, BadPayloadsAndFilesRefused) {
  OptionBoardData block;
  const Image good = {0x01, 0x01, 0x42};
  block.import(good.data(), good.size());
  const BlockRecord before = block.get_record();

  Image too_many(66, 0x00);
  too_many[0] = 0x40, too_many[1] = 0x01;  // 64 x 1 + 2 bytes, but byte 0 above 63
  const Image cases[] = {{0x01, 0x02, 0xAA, 0xBB, 0xCC}, too_many, {0x00, 0x00}, {0x00, 0x00, 0x01}, Image(256, 0)};
  for (const Image& payload : cases)
    EXPECT_EQ(error_of([&] { block.import(payload.data(), payload.size()); }), err::kOptionBoardFile) << payload.size();

  for (size_t length : {0u, 802u, 1056u}) {
    const Image file(length, 0);
    EXPECT_EQ(error_of([&] { import_option_board_file(block, file.data(), file.size()); }), err::kOptionBoardFile)
        << length;
  }
  EXPECT_EQ(block.get_record(), before);

  Image file(803, 0xEE);
  file[800] = 0, file[801] = 0, file[802] = 0;
  import_option_board_file(block, file.data(), file.size());
  EXPECT_EQ(board_texts(block).size(), 3u);
}

TEST(Gen2OptionBoard, EmptyBlockAndUncheckedSets) {
  OptionBoardData block;
  const Image bare = test::resealed({0x81, 0x00, 0x04, 0x00, 0x00});
  block.unpack(bare.data(), bare.size());
  EXPECT_EQ(board_texts(block), (std::vector<std::string>{"00"}));
  EXPECT_EQ(block.pack(), bare);

  // Two-byte records: 2695 stored as it comes; a character that is no digit packs as 0.
  const Image two = test::resealed({0x00, 0x00, 0x02, 0x01, 0x12, 0x34, 0x00});
  block.unpack(two.data(), two.size());
  EXPECT_EQ(board_texts(block), (std::vector<std::string>{"1234"}));
  block.set_field(0, {2695, "zz9", 1});
  EXPECT_EQ(block.record().entry(0).text(2695), "zz9");
  EXPECT_EQ(block.pack(), test::patched(two, {{4, 0x00}, {5, 0x90}}));
  block.set_field(0, {2695, "AABBCC", 1});
  EXPECT_EQ(error_of([&] { block.pack(); }), err::kInvalidData);

  BlockRecord counted = block.get_record();
  counted.header().set_text(kEntryCount, "2");
  EXPECT_EQ(error_of([&] { block.set_record(counted); }), err::kInvalidData);

  // The host neither adds nor deletes.
  EXPECT_EQ(error_of([&] { block.add_entry(); }), err::kAboveMaximum);
  block.delete_entry(0);
  EXPECT_EQ(block.record().entry_count(), 1u);
}

}  // namespace
}  // namespace cps::gen2
