// Block 17: a golden image through import, unpack, set and pack; the shape rules each of them
// enforces; ImportOBD with files of every kind of fault.
#include "blocks/option_board.h"

#include "device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;
using Lists = std::vector<std::vector<std::string>>;

const Bytes kGolden = {4, 3, 2, 2, 4, 6, 1, 2, 3, 4, 5, 6};  // lists 1 2 3 and 4 5 6

// An option-board file: six header characters, n and m at 800, the member bytes from 802.
Bytes board_file(uint8_t n, uint8_t m, const Bytes& members, const std::string& header = "040000") {
  Bytes file(802 + members.size(), 0);
  std::copy(header.begin(), header.end(), file.begin());
  file[800] = n;
  file[801] = m;
  std::copy(members.begin(), members.end(), file.begin() + 802);
  return file;
}

Lists members_of(const ListBlockRecord& r) {
  Lists out(r.list_count());
  for (size_t i = 0; i < r.list_count(); ++i)
    for (size_t j = 0; j < r.member_count(i); ++j)
      out[i].push_back(r.get_member_field(i, j, 475).value);
  return out;
}

OptionBoard imported(const Bytes& file) {
  OptionBoard block;
  block.import(file.data(), file.size());
  return block;
}

TEST(OptionBoardTest, GoldenImageThroughImportUnpackSetAndPack) {
  const OptionBoard from_file = imported(board_file(3, 2, {1, 2, 3, 4, 5, 6}));
  for (auto [id, text] : {std::pair{49, "4"}, {50, "3"}, {51, "2"}, {46, "2"}, {47, "4"}, {48, "6"}})
    EXPECT_EQ(from_file.lists().header().get(id), (FieldValue{id, text, 2}));
  EXPECT_EQ(members_of(from_file.lists()), (Lists{{"1", "2", "3"}, {"4", "5", "6"}}));
  EXPECT_EQ(OptionBoard(from_file).pack(17), kGolden);

  OptionBoard block;  // bytes after the block's own image belong to the next block
  Bytes longer = kGolden;
  longer.push_back(9);
  block.unpack(17, longer.data(), longer.size());
  EXPECT_EQ(block.lists(), from_file.lists());  // list headers empty both ways
  EXPECT_EQ(block.pack(17), kGolden);

  block.set_lists(from_file.lists());  // each list's header gets its last member
  EXPECT_EQ(block.lists().get_list_header_field(0, 475).value, "3");
  EXPECT_EQ(block.lists().get_list_header_field(1, 475).value, "6");
  EXPECT_EQ(block.pack(17), kGolden);

  OptionBoard empty;  // starts empty, packs as a board without lists
  EXPECT_EQ(empty.lists().header().count(), 0u);
  EXPECT_EQ(empty.pack(17), (Bytes{4, 0, 0, 2, 4, 0}));
}

TEST(OptionBoardTest, ShapesEachPathTakesOrRefuses) {
  struct Import { Bytes file; Lists lists; int pack_code; Bytes packed; } imports[] = {
      {board_file(3, 0, {1, 2, 3}), {{"1", "2", "3"}}, 0, {4, 3, 0, 2, 4, 6}},  // one list anyway
      {board_file(0, 0, {5}), {{"5"}}, 0, {4, 0, 0, 2, 4, 0}},
      {board_file(0, 2, {5, 6}), {{"5"}, {"6"}}, err::kInvalidData, {}},  // no room for a member
  };
  for (Import& c : imports) {
    OptionBoard block = imported(c.file);
    EXPECT_EQ(members_of(block.lists()), c.lists);
    EXPECT_EQ(error_of([&] { EXPECT_EQ(block.pack(17), c.packed); }), c.pack_code);
  }

  auto image = [](size_t at, uint8_t value) { Bytes b = kGolden; b[at] = value; return b; };
  struct Unpack { Bytes image; int code; } unpacks[] = {
      {Bytes(kGolden.begin(), kGolden.end() - 1), err::kShortImage}, {Bytes{4, 3}, err::kShortImage},
      {image(4, 5), err::kInvalidData}, {image(2, 64), err::kShortImage},
      {image(5, 8), err::kInvalidData},
      {Bytes{4, 0, 2, 2, 4, 0, 1, 2}, err::kInvalidData},  // no members, yet one a list
      {Bytes{4, 0, 64, 2, 4, 0}, err::kInvalidData}, {image(5, 4), 0}, {image(5, 1), 0},
  };
  for (const Unpack& c : unpacks) {
    OptionBoard block = imported(board_file(1, 1, {7}));
    const ListBlockRecord before = block.lists();
    EXPECT_EQ(error_of([&] { block.unpack(17, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(block.lists() == before, c.code != 0);
  }
  const ListBlockRecord good = imported(board_file(3, 2, {1, 2, 3, 4, 5, 6})).lists();
  auto with = [&](int32_t id, const char* text) {
    ListBlockRecord r = good;
    if (id == 475) r.list(1).entry(2).set_text(id, text);
    else r.header().set_text(id, text);
    return r;
  };
  ListBlockRecord no_49, one_list = good;
  for (size_t i = 1; i < good.header().count(); ++i) no_49.header().add(good.header().at(i));
  one_list.remove_list(1);
  struct Set { ListBlockRecord record; int code; Bytes packed; } sets[] = {
      {with(47, "5"), err::kInvalidData, {}}, {with(51, "64"), err::kInvalidData, {}},
      {with(50, "256"), err::kInvalidData, {}}, {with(475, "six"), err::kInvalidData, {}},
      {with(48, "8"), err::kInvalidData, {}},  // four members a list where three fit
      {no_49, err::kFieldNotFound, {}}, {one_list, err::kBadIndex, {}},
      {with(51, "1"), 0, {4, 3, 1, 2, 4, 6, 1, 2, 3}}, {with(51, "0"), 0, {4, 3, 0, 2, 4, 6}},
      {with(47, "04"), 0, kGolden},
  };
  for (const Set& c : sets) {
    OptionBoard block;
    block.set_lists(good);
    EXPECT_EQ(error_of([&] { block.set_lists(c.record); }), c.code);
    EXPECT_EQ(block.pack(17), c.code ? kGolden : c.packed);
  }
}

TEST(OptionBoardTest, ImportObdFailuresLeaveBlock17AsItWas) {
  CPServices object(nullptr);
  ASSERT_NE(object.codeplug().handler(17), nullptr) << "block 17 is not in the container";
  const auto dir = std::filesystem::temp_directory_path() / ("obd_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int files = 0;
  auto file = [&](Bytes bytes, size_t length = 0) {
    if (length) bytes.resize(length);
    const std::string path = (dir / std::to_string(++files)).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  auto import = [&](const std::string& path) {
    return guarded([&] { return import_obd(object, path); });
  };
  auto block17 = [&] { return object.codeplug().handler(17)->lists(); };

  ASSERT_EQ(import(file(board_file(3, 2, {1, 2, 3, 4, 5, 6}))), S_OK);
  const ListBlockRecord before = block17();
  const std::string locked = file(board_file(1, 1, {9}));
  const int holder = ::open(locked.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  struct Case { std::string path; int code; } cases[] = {
      {(dir / "missing").string(), err::kFileOpen}, {"", err::kFileOpen},
      {dir.string(), err::kFileOpen},
      {locked, err::kFileOpen},
      {file(Bytes(799, '0')), err::kOptionBoardFile},  // too short before the header counts
      {file(board_file(3, 2, {}, "040001")), err::kCpsHeader},
      {file(board_file(1, 1, {7}, std::string("04000\0", 6))), err::kCpsHeader},
      {file(board_file(1, 1, {7}, "04000 ")), err::kCpsHeader},
      {file(board_file(0, 0, {}), 800), err::kOptionBoardFile},
      {file(board_file(3, 2, {}), 805), err::kOptionBoardFile},
      {file(board_file(3, 2, {1, 2, 3, 4, 5})), err::kOptionBoardFile},  // last member past the end
      {file(board_file(0, 0, {})), err::kOptionBoardFile},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(import(c.path), hresult_of(c.code)) << c.path;
    EXPECT_EQ(block17(), before) << c.path;
  }
  ::close(holder);
  EXPECT_EQ(import(locked), S_OK);  // free again
  EXPECT_EQ(members_of(block17()), (Lists{{"9"}}));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cps
