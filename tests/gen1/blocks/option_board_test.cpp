// Block 17: a golden image through import, unpack, set and pack; the shapes each path takes or
// refuses (leaving the block as it was); ImportOBD with files that cannot be read.
#include "gen1/blocks/option_board.h"

#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <variant>

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
  Bytes file(header.begin(), header.end());
  file.resize(800), file.push_back(n), file.push_back(m);
  file.insert(file.end(), members.begin(), members.end());
  return file;
}

Lists members_of(const ListBlockRecord& r) {
  Lists out(r.list_count());
  for (size_t i = 0; i < r.list_count(); ++i)
    for (size_t j = 0; j < r.member_count(i); ++j) out[i].push_back(r.get_member_field(i, j, 475).value);
  return out;
}

TEST(OptionBoardTest, GoldenImageThroughImportUnpackSetAndPack) {
  OptionBoard from_file, block, empty;  // an empty block packs as a board without lists
  const Bytes file = board_file(3, 2, {1, 2, 3, 4, 5, 6});
  from_file.import(file.data(), file.size());
  for (auto [id, text] : {std::pair{49, "4"}, {50, "3"}, {51, "2"}, {46, "2"}, {47, "4"}, {48, "6"}})
    EXPECT_EQ(from_file.lists().header().get(id), (FieldValue{id, text, 2}));
  EXPECT_EQ(members_of(from_file.lists()), (Lists{{"1", "2", "3"}, {"4", "5", "6"}}));
  EXPECT_EQ(from_file.pack(17), kGolden);
  block.unpack(17, kGolden.data(), kGolden.size());
  EXPECT_EQ(block.lists(), from_file.lists());  // list headers empty both ways
  block.set_lists(from_file.lists());  // each list's header gets its last member
  EXPECT_EQ(block.lists().get_list_header_field(1, 475).value, "6");
  EXPECT_EQ(block.pack(17), kGolden);
  EXPECT_EQ(empty.pack(17), (Bytes{4, 0, 0, 2, 4, 0}));
}

// Imports, unpacks and sets into a block holding the golden lists; a failure leaves it as it was.
TEST(OptionBoardTest, ShapesEachPathTakesOrRefuses) {
  OptionBoard golden;
  golden.unpack(17, kGolden.data(), kGolden.size());
  const ListBlockRecord good = golden.lists();
  const Lists kept = members_of(good);
  auto resized = [](Bytes b, size_t n) { b.resize(n); return b; };
  auto image = [](size_t at, uint8_t v) { Bytes b = kGolden; b.resize(std::max(b.size(), at + 1)); b[at] = v; return b; };
  auto with = [&](int32_t id, const char* t) {
    ListBlockRecord r = good;
    return (id == 475 ? r.list(1).entry(2) : r.header()).set_text(id, t), r;
  };
  ListBlockRecord no_49, one_list = good;
  for (size_t i = 1; i < good.header().count(); ++i) no_49.header().add(good.header().at(i));
  one_list.remove_list(1);
  // Bytes of 799 or more are a file to import, fewer an image to unpack; a record is set.
  struct Case { std::variant<Bytes, ListBlockRecord> input; int code; Lists lists = {}; Bytes packed = {}; } cases[] = {
      {board_file(3, 0, {1, 2, 3}), 0, {{"1", "2", "3"}}, {4, 3, 0, 2, 4, 6}},  // one list anyway
      {board_file(0, 0, {5}), 0, {{"5"}}}, {board_file(3, 2, {}, "040001"), err::kCpsHeader},
      {board_file(0, 0, {}), err::kOptionBoardFile},
      {board_file(3, 2, {1, 2, 3, 4, 5}), err::kOptionBoardFile},  // last member past the end
      {resized(kGolden, 11), err::kShortImage}, {image(4, 5), err::kInvalidData},
      {Bytes{4, 0, 2, 2, 4, 0, 1, 2}, err::kInvalidData},  // no members, yet one a list
      {image(5, 4), 0, {{"1", "2"}, {"3", "4"}}},
      {image(12, 9), 0, kept, kGolden},  // the byte after the image belongs to the next block
      {with(475, "six"), err::kInvalidData}, {with(48, "8"), err::kInvalidData},  // 4 members a list, 3 fit
      {no_49, err::kFieldNotFound}, {one_list, err::kBadIndex}, {with(47, "04"), 0, kept, kGolden},
      {with(51, "1"), 0, {{"1", "2", "3"}}, {4, 3, 1, 2, 4, 6, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    OptionBoard block = golden;
    EXPECT_EQ(error_of([&] {
                if (auto* record = std::get_if<ListBlockRecord>(&c.input)) return block.set_lists(*record);
                const Bytes& b = std::get<Bytes>(c.input);
                b.size() >= 799 ? block.import(b.data(), b.size()) : block.unpack(17, b.data(), b.size());
              }), c.code) << "case " << (&c - cases);
    EXPECT_EQ(members_of(block.lists()), c.code ? kept : c.lists) << "case " << (&c - cases);
    if (c.code || !c.packed.empty()) {
      EXPECT_EQ(block.pack(17), c.code ? kGolden : c.packed) << (&c - cases);
    }
  }
  OptionBoard block = golden;  // an imported shape that leaves no room for a member does not pack
  const Bytes no_room = board_file(0, 2, {5, 6});
  block.import(no_room.data(), no_room.size());
  EXPECT_EQ(error_of([&] { block.pack(17); }), err::kInvalidData);
}

TEST(OptionBoardTest, ImportObdOfUnreadableFilesLeavesBlock17AsItWas) {
  CPServices object(nullptr);
  const auto dir = std::filesystem::temp_directory_path() / ("obd_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return (dir / name).string();
  };
  auto import = [&](const std::string& path) { return guarded([&] { return import_obd(object.radio(), path); }); };
  ASSERT_EQ(import(file("good", board_file(3, 2, {1, 2, 3, 4, 5, 6}))), S_OK);
  const ListBlockRecord before = object.codeplug().handler(17)->lists();
  const std::string locked = file("locked", board_file(1, 1, {9}));
  const int holder = ::open(locked.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  for (auto [path, code] : {std::pair{(dir / "missing").string(), err::kFileOpen}, {locked, err::kFileOpen},
                            {file("short", Bytes(799, '0')), err::kOptionBoardFile}}) {  // before the header
    EXPECT_EQ(import(path), hresult_of(code)) << path;
    EXPECT_EQ(object.codeplug().handler(17)->lists(), before) << path;
  }
  ::close(holder);
  EXPECT_EQ(import(locked), S_OK);  // free again
  EXPECT_EQ(members_of(object.codeplug().handler(17)->lists()), (Lists{{"9"}}));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cps
