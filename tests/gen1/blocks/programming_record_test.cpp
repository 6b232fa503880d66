// Block 4: a hand-made image both ways; refused unpacks and sets leave block and version text alone.
#include "gen1/blocks/programming_record.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;

// Version 07.20, source CPS, 04-07-2009 13:45; 0x5A - 0x3F = 0x1B.
const Bytes kGolden = {0x80, 0x09, 0x01, 0x07, 0x20, 0x02, 0x20, 0x09, 0x04, 0x07, 0x13, 0x45, 0x1B};

Bytes sealed(const Bytes& image, const test::Patch& changes) { return test::patched(image, changes); }

TEST(ProgrammingRecordTest, GoldenImageAndStoredValues) {
  ProgrammingRecord block;
  block.unpack(4, kGolden.data(), kGolden.size());
  for (auto [id, text] : {std::pair{103, "07.20"}, {104, "CPS"}, {105, "04-07-2009"}, {106, "13:45"}, {461, ""}})
    EXPECT_EQ(block.block().entry(0).text(id), text) << id;
  EXPECT_EQ(block.block().header().text(47), "9");
  EXPECT_EQ(block.pack(4), kGolden);
  Bytes bad_sum = kGolden;
  bad_sum.back() ^= 1;
  struct Case { Bytes image; int code; } cases[] = {
      {ProgrammingRecord().pack(4), 0}, {sealed(kGolden, {{3, 0x07}, {4, 0x99}}), 0},  // 07.99: the newest known
      {sealed(kGolden, {{3, 0x08}, {4, 0x00}}), err::kVersionNotSupported},
      {sealed(kGolden, {{5, 5}}), err::kChoiceNotFound},
      {sealed(Bytes(kGolden.begin(), kGolden.end() - 1), {{1, 8}}), err::kInvalidData},
      {Bytes(kGolden.begin(), kGolden.end() - 1), err::kShortImage}, {bad_sum, err::kChecksum},
  };
  for (const Case& c : cases) {
    block.set_field(0, {461, "R02.01", 0});
    const BlockRecord before = block.block();
    EXPECT_EQ(error_of([&] { block.unpack(4, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(block.block() == before, c.code != 0);
    if (c.code == 0) { EXPECT_EQ(block.pack(4), c.image); }  // round trip
  }
}

TEST(ProgrammingRecordTest, SetsWriteTheirDigitsOrChangeNothing) {
  ProgrammingRecord block;
  block.base.version = "05";
  for (auto [id, text] : {std::pair{104, "Tuner"}, {103, "06.05"}, {105, "12-31-1999"}, {106, "23:59"},
                          {461, "R01.00.07"}})
    block.set_field(0, {id, text, 0});
  const Bytes packed = block.pack(4);
  EXPECT_EQ(Bytes(packed.begin() + 3, packed.end() - 1), (Bytes{0x06, 0x05, 0x04, 0x19, 0x99, 0x12, 0x31, 0x23, 0x59}));
  EXPECT_EQ(block.base.version, "05");  // only a set record moves the version text

  const BlockRecord good = block.block();
  auto changed = [&](int32_t id, const char* text) {
    BlockRecord r = good;
    return id < 100 ? r.set_header_field({id, text, 2}) : r.set_entry_field(0, {id, text, 0}), r;
  };
  struct Case { BlockRecord record; FieldValue field; int code; } cases[] = {
      {changed(47, "10"), {}, err::kInvalidData}, {changed(48, "2"), {}, err::kInvalidData},
      {changed(103, "08.00"), {}, err::kVersionNotSupported}, {changed(104, "Lab"), {}, err::kChoiceNotFound},
      {{}, {104, "Lab", 0}, err::kChoiceNotFound}, {{}, {46, "0", 2}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { c.field.id ? block.set_field(0, c.field) : block.set_block(c.record); }), c.code);
    EXPECT_EQ(block.block(), good);
    EXPECT_EQ(block.base.version, "05");
  }
  block.set_block(changed(103, "06.10"));
  EXPECT_EQ(block.version_text() + block.base.version, "0606");
}

}  // namespace
}  // namespace cps
