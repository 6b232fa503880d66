// The reference passes over a first-generation radio and the partners the declarations imply.
#include "gen1/block_directory.h"

#include "gen1/block_table.h"
#include "gen1/radio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace cps {
namespace {

// A portable 07.xx radio with channels on trunking systems 1, 2 and 0 and one conventional.
Gen1Radio trunked_radio() {
  Gen1Radio radio({}, {});
  BlockRecord info = radio.block2.block();
  info.entry(0).set_text(61, "1");
  info.entry(0).set_text(66, "Portable");
  info.entry(0).set_text(667, "Tobin");
  radio.block2.set_block(info);
  radio.codeplug.base.mobile = radio.mobile_flag();
  radio.codeplug.reset();
  radio.refresh_facts();
  Gen1Directory blocks(radio);
  BlockHandler& channels = *blocks.find(38);
  while (channels.block().entry_count() < 4) channels.add_list();
  for (auto [channel, kind, system] : {std::tuple(0, "LS Trunking", "1"), std::tuple(1, "LS Trunking", "2"),
                                       std::tuple(2, "LS Trunking", "0"), std::tuple(3, "Conventional", "2")}) {
    channels.set_field(channel, {744, kind, 1});
    channels.set_field(channel, {745, system, 1});
  }
  return radio;
}

std::vector<std::string> kinds_and_systems(BlockHandler& channels) {
  std::vector<std::string> out;
  const BlockRecord record = channels.block();
  for (size_t i = 0; i < record.entry_count(); ++i)
    out.push_back(record.entry(i).text(744) + " " + record.entry(i).text(745));
  return out;
}

// Deleting trunking system 1: its channel falls back to the first group's first member as block 6
// left it (members on the deleted system go first; no channel gives 0).
TEST(Gen1Directory, TrunkingFallbackIsTheFirstGroupsFirstMember) {
  for (auto [first, expected] : {std::pair("LS Trunking", "Conventional 3"), std::pair("Selected", "Conventional 0")}) {
    Gen1Radio radio = trunked_radio();
    Gen1Directory blocks(radio);
    BlockHandler& groups = *blocks.find(6);
    groups.add_member(0);
    groups.set_member_field(0, 0, {425, first, 1}, blocks);
    groups.set_member_field(0, 0, {427, "1", 1}, blocks);
    groups.set_member_field(0, 1, {427, "3", 1}, blocks);
    blocks.references_deleted(32, 1);
    EXPECT_EQ(kinds_and_systems(*blocks.find(38))[0], expected) << first;
    EXPECT_EQ(groups.lists().member_count(0), std::string(first) == "Selected" ? 2u : 1u) << first;
  }
}

// Deleting FSD system 1 of 3: signalling on it becomes "None" 0, on system 2 index 1.
TEST(Gen1Directory, FsdDeletionRewritesChannelSignalling) {
  auto signalling = [](BlockHandler& channels) {
    std::vector<std::string> out;
    const BlockRecord record = channels.block();
    for (size_t i = 0; i < record.entry_count(); ++i)
      out.push_back(record.entry(i).text(416) + " " + record.entry(i).text(417) + " / " + record.entry(i).text(415) +
                    " " + record.entry(i).text(418));
    return out;
  };
  for (bool enabled : {true, false}) {
    Gen1Radio radio = trunked_radio();
    radio.codeplug.flags().set_enabled(38, enabled);
    Gen1Directory blocks(radio);
    BlockHandler& systems = *blocks.find(41);
    systems.add_list();
    systems.add_list();
    BlockHandler& channels = *blocks.find(38);
    for (auto [channel, type2, index2, type1, index1] :
         {std::tuple(0, "FSD", "1", "FSD", "2"), std::tuple(1, "FSD", "0", "DTMF", "1"), std::tuple(2, "None", "1", "FSD", "1")}) {
      channels.set_field(channel, {416, type2, 1});
      channels.set_field(channel, {417, index2, 1});
      channels.set_field(channel, {415, type1, 1});
      channels.set_field(channel, {418, index1, 1});
    }
    const std::vector<std::string> before = signalling(channels);
    systems.delete_list(1, blocks);
    EXPECT_EQ(systems.block().entry_count(), 2u);
    const std::vector<std::string> after = {"None 0 / FSD 1", "FSD 0 / DTMF 1", "None 1 / None 0", "None 255 / None 255"};
    EXPECT_EQ(signalling(channels), enabled ? after : before);
  }
}

// Every block a declaration rewrites is a partner of its target, and every built partner that
// rewrites declares its references.
TEST(Gen1Directory, DeclaredReferencesMatchThePartners) {
  Gen1Radio radio({}, {});
  Gen1Directory blocks(radio);
  std::map<int32_t, std::set<int32_t>> declared;  // referenced block -> blocks declaring references to it
  for (const Gen1Block& row : gen1_blocks()) {
    BlockHandler* handler = row.holder == Holder::Container && row.make ? blocks.find(row.regions[0].id) : nullptr;
    if (!handler) continue;
    for (int32_t target : handler->referenced_blocks()) declared[target].insert(row.regions[0].id);
  }
  const std::set<int32_t> read_only = {2, 3, 453};
  // Partners whose references are declared by the blocks they point at.
  const std::set<std::pair<int32_t, int32_t>> awaiting = {{12, 38}, {12, 32}, {41, 32}, {759, 32}, {761, 32}};
  // Partners handed along that hold no reference to the deleted block.
  const std::set<std::pair<int32_t, int32_t>> holds_none = {{38, 26}, {38, 25}, {38, 24}, {759, 5}, {38, 8}, {32, 8}};
  // Partners reached through a cascade: personalities through trunking entries, 34 through 36.
  const std::map<int32_t, int32_t> cascades = {{37, 32}, {34, 36}};
  for (const Gen1Block& row : gen1_blocks()) {
    const int32_t target = row.regions[0].id;
    std::set<int32_t> partners;  // of a list deletion and of a member deletion
    for (int32_t p : row.partners)
      if (p != 0) partners.insert(p);
    for (int32_t p : row.member_partners)
      if (p != 0) partners.insert(p);
    for (int32_t referrer : declared[target]) EXPECT_TRUE(partners.count(referrer) || row.region(referrer)) << target << " <- " << referrer;
    for (int32_t partner : partners) {
      if (read_only.count(partner) || row.region(partner)) continue;
      const Gen1Block* partner_row = gen1_block(partner);
      const bool built = partner_row->make != nullptr;
      bool cascaded = false;
      if (cascades.count(target)) {
        const Gen1Block& through = *gen1_block(cascades.at(target));
        cascaded = through.region(partner) ||
                   std::find(through.partners.begin(), through.partners.end(), partner) != through.partners.end();
      }
      if (!built || cascaded || holds_none.count({target, partner})) continue;
      EXPECT_NE(declared[target].count(partner), awaiting.count({target, partner})) << target << " -> " << partner;
    }
  }
  // Block 23 names calls of all three call lists by block ID.
  for (int32_t calls : {24, 25, 26}) EXPECT_EQ(declared[calls], (std::set<int32_t>{23})) << calls;
}

}  // namespace
}  // namespace cps
