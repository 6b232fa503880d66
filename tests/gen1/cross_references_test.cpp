// References between blocks through deletions: on a factory codeplug every reference kind follows
// its entry and the codeplug still packs; on a trunking radio each block's own rule for a
// reference to the deleted entry (reset, fall back, remove, move down) and to entries above it.
#include "gen1/block_directory.h"
#include "gen1/block_test_support.h"
#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "gen1/values/radio_context.h"
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

struct Set {
  int32_t block;
  size_t entry;
  int32_t id;
  const char* text;
  int member = -1;  // a member field of list `entry`
};
struct Shown {
  int32_t block;
  std::vector<int32_t> fields;
  const char* column;  // test::column of the block after the deletions
};
struct Deleted {
  int32_t block;
  size_t entry;
  int member = -1;  // a member of list `entry`
};
struct Deletion {
  const char* what;
  std::vector<Set> sets;
  std::vector<Deleted> deleted;  // in turn
  std::vector<Shown> shown;
  int32_t disabled = 0;  // a block switched off before the deletions: its references stay
  int32_t market_class = 0;
  bool kani = false;
};

// A trunking radio with every list that holds or takes references filled (channels 4, channel
// groups 2, personalities 2, trunking systems 3, FSD systems 3, phone systems 4, FSD calls 4,
// Duotone II systems and calls 3, DTMF systems 3 and calls 2; in market class 1 also Sel Call
// systems 4 and SDT systems 3).
Gen1Radio reference_radio(const Deletion& c) {
  Gen1Radio radio = test::trunked_radio({24, 40});
  std::vector<std::pair<int32_t, size_t>> lists = {{38, 4}, {6, 2}, {37, 2}, {32, 3}, {41, 3}, {11, 4}, {24, 4},
                                                   {42, 3}, {25, 3}, {43, 3}, {26, 2}};
  if (c.market_class == 1) {
    radio.codeplug.set_market_class(1);
    for (int32_t id : {759, 761}) radio.codeplug.flags().set_enabled(id, true);
    lists.insert(lists.end(), {{759, 4}, {761, 3}});
  }
  own_context(radio.codeplug.base).radio.kani = c.kani;
  Gen1Directory blocks(radio);
  for (auto [id, count] : lists) {
    BlockHandler& list = *blocks.find(id);
    auto held = [&] { return list.kind() == RecordKind::Lists ? list.lists().list_count() : list.block().entry_count(); };
    while (held() < count) list.add_list();
  }
  return radio;
}

// Group 0 holding channels 0 to 3 in order; block 8's member position (1-based) at `position`.
std::vector<Set> group_of_four(const char* position) {
  std::vector<Set> sets = {{8, 0, 750, position}};
  for (int m = 0; m < 4; ++m) {
    sets.push_back({6, 0, 425, "Conventional", m});
    sets.push_back({6, 0, 427, m == 0 ? "0" : m == 1 ? "1" : m == 2 ? "2" : "3", m});
  }
  return sets;
}

const Deletion kDeletions[] = {
    // Block 5's default and second channel: a deleted system falls back to index 0, on trunking
    // while a system remains and conventional once the last goes; a deleted channel to channel 0.
    {"settings, system 1", {{5, 0, 746, "LS Trunking"}, {5, 0, 747, "1"}, {5, 0, 748, "LS Trunking"}, {5, 0, 749, "2"}},
     {{32, 1}}, {{5, {746, 747, 748, 749}, "LS Trunking/0/LS Trunking/1 "}}},
    {"settings, two systems", {{5, 0, 746, "LS Trunking"}, {5, 0, 747, "1"}, {5, 0, 748, "LS Trunking"}, {5, 0, 749, "2"}},
     {{32, 1}, {32, 1}}, {{5, {746, 747, 748, 749}, "LS Trunking/0/LS Trunking/0 "}}},
    {"settings, every system", {{5, 0, 746, "LS Trunking"}, {5, 0, 747, "1"}, {5, 0, 748, "LS Trunking"}, {5, 0, 749, "2"}},
     {{32, 1}, {32, 1}, {32, 0}}, {{5, {746, 747, 748, 749}, "Conventional/0/Conventional/0 "}}},
    {"settings, channel 1", {{5, 0, 746, "Conventional"}, {5, 0, 747, "1"}, {5, 0, 748, "Conventional"}, {5, 0, 749, "2"}},
     {{38, 1}}, {{5, {746, 747, 748, 749}, "Conventional/0/Conventional/1 "}}},
    {"settings, channel 0 under a system", {{5, 0, 746, "LS Trunking"}, {5, 0, 747, "1"}, {5, 0, 748, "Conventional"}, {5, 0, 749, "2"}},
     {{38, 0}}, {{5, {746, 747, 748, 749}, "LS Trunking/1/Conventional/1 "}}},
    // A deleted trunking system: channels and fallback channels on it fall back to conventional
    // channel 0, those above it move down.
    {"trunking, system 1", {{32, 0, 727, "2"}, {32, 2, 727, "1"}, {32, 1, 729, "Conventional"},
                            {38, 0, 744, "LS Trunking"}, {38, 0, 745, "1"}, {38, 1, 744, "LS Trunking"}, {38, 1, 745, "2"}},
     {{32, 1}}, {{32, {729, 727}, "LS Trunking/1 Conventional/0 "},
                 {38, {744, 745}, "Conventional/0 LS Trunking/1 Conventional/0 Conventional/0 "}}},
    {"trunking, fallback channel 1", {{32, 0, 729, "Conventional"}, {32, 0, 727, "2"}, {32, 1, 729, "Conventional"},
                                      {32, 1, 727, "1"}, {32, 2, 729, "Conventional"}, {32, 2, 727, "0"}},
     {{38, 1}}, {{32, {729, 727}, "Conventional/1 Conventional/0 Conventional/0 "}}},
    // A member that stops holding a channel hands its systems to the personality's first
    // programmed member; a deleted personality takes the systems naming it, and those deletions
    // go on to the channels on them.
    {"trunking, member unprogrammed", {{32, 0, 716, "1"}, {32, 0, 717, "3"}, {32, 1, 716, "0"}, {32, 1, 717, "0"},
                                       {32, 2, 716, "1"}, {32, 2, 717, "7"}, {37, 1, 688, "0", 5}, {37, 1, 688, "65535", 7}},
     {}, {{32, {716, 717}, "1/3 0/0 1/5 "}}},
    {"trunking, personality 0", {{32, 0, 716, "1"}, {32, 0, 717, "3"}, {32, 1, 716, "0"}, {32, 1, 717, "0"},
                                 {32, 2, 716, "1"}, {32, 2, 717, "7"}, {37, 1, 688, "0", 5}, {37, 1, 688, "65535", 7},
                                 {38, 1, 744, "LS Trunking"}, {38, 1, 745, "2"}},
     {{37, 0}}, {{32, {716, 717}, "0/3 0/5 "}, {38, {744, 745}, "Conventional/0 LS Trunking/1 Conventional/0 Conventional/0 "}}},
    // FSD calls: on FSD system 1 they move to system 0; on trunking system 1 they name none, and
    // 255 and a conventional call's index stay. Not enabled, nothing of the call list changes.
    {"FSD calls, FSD system 1", {{24, 0, 604, "1"}, {24, 1, 604, "2"}, {24, 2, 604, "0"}, {24, 3, 604, "2"},
                                 {24, 0, 610, "LS Trunking"}, {24, 1, 610, "LS Trunking"}, {24, 2, 610, "LS Trunking"}},
     {{41, 1}}, {{24, {604, 610}, "0/LS Trunking 1/LS Trunking 0/LS Trunking 1/Conventional "}}},
    {"FSD calls, trunking system 1", {{24, 0, 610, "LS Trunking"}, {24, 0, 605, "1"}, {24, 1, 610, "LS Trunking"},
                                      {24, 1, 605, "2"}, {24, 2, 610, "LS Trunking"}, {24, 2, 605, "255"},
                                      {24, 3, 610, "Conventional"}, {24, 3, 605, "2"}},
     {{32, 1}}, {{24, {610, 605}, "LS Trunking/255 LS Trunking/1 LS Trunking/255 Conventional/2 "}}},
    {"FSD calls not enabled", {{24, 0, 604, "1"}, {24, 0, 610, "LS Trunking"}, {24, 0, 605, "1"}},
     {{41, 0}, {32, 0}}, {{24, {604, 610, 605}, "1/LS Trunking/1 0/Conventional/255 0/Conventional/255 0/Conventional/255 "}}, 24},
    // Phone systems: channels and trunking systems on a deleted one name none (255); a deleted
    // trunking system unassigns the phone systems on it.
    {"phone system 1", {{38, 0, 419, "1"}, {38, 1, 419, "2"}, {38, 2, 419, "255"},
                        {32, 0, 723, "1"}, {32, 1, 723, "2"}, {32, 2, 723, "255"}},
     {{658, 1}}, {{38, {419}, "255 1 255 255 "}, {32, {723}, "255 1 255 "}}},
    {"phone systems, trunking system 1", {{11, 0, 600, "LS Trunking"}, {11, 0, 601, "1"}, {11, 1, 600, "LS Trunking"},
                                          {11, 1, 601, "2"}, {11, 2, 600, "LS Trunking"}, {11, 2, 601, "255"},
                                          {11, 3, 600, "Unassigned"}, {11, 3, 601, "2"}},
     {{32, 1}}, {{11, {600, 601}, "Unassigned/255 LS Trunking/1 LS Trunking/255 Unassigned/2 "}}},
    // Block 40's system reference: to a deleted system or channel it names none ("Conventional"
    // 255); above it, it moves down; 255 and the other kind stay. Not enabled, it stays.
    {"alerts, system 1", {{40, 0, 314, "LS Trunking"}, {40, 0, 313, "1"}}, {{32, 1}}, {{40, {314, 313}, "Conventional/255 "}}},
    {"alerts, below system 2", {{40, 0, 314, "LS Trunking"}, {40, 0, 313, "2"}}, {{32, 1}}, {{40, {314, 313}, "LS Trunking/1 "}}},
    {"alerts, channel 2 under a system", {{40, 0, 314, "Conventional"}, {40, 0, 313, "2"}}, {{32, 1}}, {{40, {314, 313}, "Conventional/2 "}}},
    {"alerts, channel 1", {{40, 0, 314, "Conventional"}, {40, 0, 313, "1"}}, {{38, 1}}, {{40, {314, 313}, "Conventional/255 "}}},
    {"alerts, below channel 3", {{40, 0, 314, "Conventional"}, {40, 0, 313, "3"}}, {{38, 1}}, {{40, {314, 313}, "Conventional/2 "}}},
    {"alerts, 255", {{40, 0, 314, "Conventional"}, {40, 0, 313, "255"}}, {{38, 1}}, {{40, {314, 313}, "Conventional/255 "}}},
    {"alerts not enabled", {{40, 0, 314, "LS Trunking"}, {40, 0, 313, "1"}}, {{32, 1}}, {{40, {314, 313}, "LS Trunking/1 "}}, 40},
    // Block 8's member position (field 750) follows every member that leaves group 0, deleted by
    // the host or with its channel; a deleted group leaves it alone.
    {"options, member deleted", group_of_four("3"), {{6, 0, 0}}, {{8, {750}, "2 "}}},
    {"options, a channel no member names", group_of_four("3"), {{6, 0, 0}, {38, 0}}, {{8, {750}, "2 "}}},
    {"options, the channel of its member", group_of_four("3"), {{6, 0, 0}, {38, 0}, {38, 1}}, {{8, {750}, "0 "}}},
    {"options, a member below it", group_of_four("4"), {{38, 0}}, {{8, {750}, "3 "}}},
    {"options, group 1", group_of_four("4"), {{38, 0}, {6, 1}}, {{8, {750}, "3 "}}},
    // Duotone II system 1: channel references to it become "None", above it move down, other
    // types stay; calls on it move to system 0. Neither list enabled, neither changes.
    {"Duotone II system 1", {{38, 0, 416, "Duotone II"}, {38, 0, 417, "1"}, {38, 1, 415, "Duotone II"}, {38, 1, 418, "2"},
                             {38, 2, 416, "FSD"}, {38, 2, 417, "1"}, {25, 1, 618, "1"}, {25, 2, 618, "2"}},
     {{42, 1}}, {{38, {416, 417, 415, 418}, "None/0/None/255 None/255/Duotone II/1 FSD/1/None/255 None/255/None/255 "},
                 {25, {618}, "0 0 1 "}}},
    // DTMF system 1 (deleted through its alias ID): likewise for channels and calls.
    {"DTMF system 1", {{38, 0, 415, "DTMF"}, {38, 0, 418, "1"}, {38, 0, 416, "DTMF"}, {38, 0, 417, "2"},
                       {38, 1, 415, "DTMF"}, {38, 1, 418, "2"}, {38, 1, 416, "FSD"}, {38, 1, 417, "1"},
                       {26, 0, 627, "1"}, {26, 1, 627, "2"}},
     {{657, 1}}, {{38, {415, 418, 416, 417}, "None/0/DTMF/1 DTMF/1/FSD/1 None/255/None/255 None/255/None/255 "},
                  {26, {627}, "0 1 "}}},
    // Sel Call system 1: an ATIS reference to it becomes "None" 0, except on a "Kani" radio, where
    // it stays ATIS; SDT references stay. SDT system 2: the reference keeps its type at index 0.
    {"Sel Call system 1", {{38, 0, 415, "ATIS"}, {38, 0, 418, "0"}, {38, 0, 416, "ATIS"}, {38, 0, 417, "3"},
                           {38, 1, 415, "ATIS"}, {38, 1, 418, "1"}, {38, 1, 416, "ATIS"}, {38, 1, 417, "2"},
                           {38, 2, 415, "ATIS"}, {38, 2, 418, "2"}, {38, 2, 416, "ATIS"}, {38, 2, 417, "1"},
                           {38, 3, 415, "ATIS"}, {38, 3, 418, "3"}, {38, 3, 416, "SDT"}, {38, 3, 417, "0"}},
     {{759, 1}}, {{38, {415, 418, 416, 417}, "ATIS/0/ATIS/2 None/0/ATIS/1 ATIS/1/None/0 ATIS/2/SDT/0 "}}, 0, 1},
    {"Sel Call system 1, Kani", {{38, 0, 415, "ATIS"}, {38, 0, 418, "0"}, {38, 0, 416, "ATIS"}, {38, 0, 417, "3"},
                                 {38, 1, 415, "ATIS"}, {38, 1, 418, "1"}, {38, 1, 416, "ATIS"}, {38, 1, 417, "2"},
                                 {38, 2, 415, "ATIS"}, {38, 2, 418, "2"}, {38, 2, 416, "ATIS"}, {38, 2, 417, "1"},
                                 {38, 3, 415, "ATIS"}, {38, 3, 418, "3"}, {38, 3, 416, "SDT"}, {38, 3, 417, "0"}},
     {{759, 1}}, {{38, {415, 418, 416, 417}, "ATIS/0/ATIS/2 ATIS/0/ATIS/1 ATIS/1/None/0 ATIS/2/SDT/0 "}}, 0, 1, true},
    {"SDT system 2", {{38, 0, 415, "SDT"}, {38, 0, 416, "SDT"}, {38, 0, 418, "0"}, {38, 0, 417, "2"},
                      {38, 1, 415, "SDT"}, {38, 1, 416, "SDT"}, {38, 1, 418, "1"}, {38, 1, 417, "1"},
                      {38, 2, 415, "SDT"}, {38, 2, 416, "SDT"}, {38, 2, 418, "2"}, {38, 2, 417, "0"},
                      {38, 3, 415, "ATIS"}, {38, 3, 418, "2"}},
     {{761, 2}}, {{38, {415, 418, 416, 417}, "SDT/0/SDT/0 SDT/1/SDT/1 SDT/0/SDT/0 ATIS/2/None/255 "}}, 0, 1},
};

TEST(CrossReferences, EachBlockRewritesItsReferencesToADeletedEntry) {
  for (const Deletion& c : kDeletions) {
    SCOPED_TRACE(c.what);
    Gen1Radio radio = reference_radio(c);
    Gen1Directory blocks(radio);
    for (const Set& s : c.sets) {
      BlockHandler& block = *blocks.find(s.block);
      if (s.member < 0) {
        ASSERT_NO_THROW(block.set_field(s.entry, {s.id, s.text, 1})) << s.block << "/" << s.id;
      } else {
        while (block.lists().member_count(s.entry) <= size_t(s.member)) block.add_member(s.entry);
        ASSERT_NO_THROW(block.set_member_field(s.entry, s.member, {s.id, s.text, 2}, blocks)) << s.block << "/" << s.id;
      }
    }
    if (c.disabled) radio.codeplug.flags().set_enabled(c.disabled, false);
    for (const Deleted& d : c.deleted) {
      BlockHandler& block = *blocks.find(d.block);
      if (d.member < 0) {
        ASSERT_NO_THROW(block.delete_list(d.entry, blocks)) << d.block;
      } else {
        ASSERT_NO_THROW(block.delete_member(d.entry, d.member, blocks)) << d.block;
      }
    }
    for (const Shown& s : c.shown) EXPECT_EQ(test::column(blocks.find(s.block)->block(), s.fields), s.column) << s.block;
  }
}

}  // namespace
}  // namespace cps
