// Every reference kind of a factory codeplug pointed at the second entry of its list, then the
// first entry of each referenced list deleted in turn: after each deletion every reference still
// names the same logical entry (now index 0), and the codeplug packs and unpacks to the same bytes.
#include "gen1/block_directory.h"
#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cps {
namespace {

struct Reference {
  int32_t block;
  size_t entry;
  int32_t field;
};

// The fields that point somewhere, each set to the second entry of its target (index 1; the scan
// list member to channel 9), with the type fields that select the target set first.
struct Pointer {
  int32_t target;  // the list it points into
  Reference at;
  std::vector<std::pair<int32_t, std::string>> set;  // type fields, then the index
};

const std::vector<Pointer> kPointers = {
    {43, {38, 5, 418}, {{415, "DTMF"}, {418, "1"}}},
    {41, {38, 5, 417}, {{416, "FSD"}, {417, "1"}}},
    {42, {38, 6, 418}, {{415, "Duotone II"}, {418, "1"}}},
    {11, {38, 6, 419}, {{419, "1"}}},
    {32, {38, 7, 745}, {{744, "LS Trunking"}, {745, "1"}}},
    {41, {24, 0, 604}, {{604, "1"}}},
    {32, {24, 0, 605}, {{610, "LS Trunking"}, {605, "1"}}},
    {42, {25, 0, 618}, {{618, "1"}}},
    {43, {26, 0, 627}, {{627, "1"}}},
    {32, {11, 0, 601}, {{600, "LS Trunking"}, {601, "1"}}},
    {24, {23, 0, 603}, {{602, "FSD"}, {603, "1"}}},
};

std::string text_at(BlockDirectory& blocks, const Reference& r) {
  return blocks.find(r.block)->block().get_entry_field(r.entry, r.field).value;
}

TEST(CrossReferences, EveryReferenceFollowsItsEntryThroughDeletions) {
  sim::SimulatedRadio radio = sim::make_gen1_radio({.version = "0720", .channels = 32});
  CPServices object(nullptr);
  ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
  Gen1Directory blocks(object.radio());
  for (int32_t id : {41, 42, 43, 32, 11, 24, 25, 26}) {
    ASSERT_TRUE(object.codeplug().enabled(id)) << id;
    if (blocks.find(id)->block().entry_count() < 2) blocks.find(id)->add_list();
  }
  for (const Pointer& p : kPointers)
    for (const auto& [field, text] : p.set)
      ASSERT_NO_THROW(blocks.find(p.at.block)->set_field(p.at.entry, {field, text, 1})) << p.at.block << "/" << field;
  // The scan list's first member names channel 9; block 23 names the second call of each list.
  blocks.find(12)->set_member_field(0, 0, {446, "9", 1}, blocks);

  // Targets before the lists that hold pointers into them, so every pointer is there when checked.
  for (int32_t target : {43, 42, 41, 32, 26, 25, 24, 11, 38}) {
    SCOPED_TRACE("deleting entry 0 of block " + std::to_string(target));
    ASSERT_NO_THROW(blocks.find(target)->delete_list(0, blocks));
    for (const Pointer& p : kPointers) {
      if (p.target == target) {
        EXPECT_EQ(text_at(blocks, p.at), "0") << p.at.block << "/" << p.at.field;
      }
    }
    if (target == 38) {
      EXPECT_EQ(blocks.find(12)->lists().get_member_field(0, 0, 446).value, "8");
    }
    const std::vector<uint8_t> image =
        object.codeplug().pack_image(object.radio().block3, object.radio().block2, false);
    Codeplug back = object.codeplug();
    back.unpack_image(image.data(), image.size(), object.radio().block3, object.radio().block2);
    EXPECT_EQ(back.pack_image(object.radio().block3, object.radio().block2, false), image);
  }
}

}  // namespace
}  // namespace cps
