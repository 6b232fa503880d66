// The LS trunking systems (blocks 32/33): a hand-made image both ways, the radio-kind and version
// forms, field checks, the limit of field 743, bad images leaving the block as it was, and the
// references: a deleted system rewrites the channels, scan lists and the block's own fallback
// channels; a deleted personality takes the systems naming it, and those deletions go on to the
// systems' own partners.
#include "gen1/blocks/trunking.h"
#include "gen1/values/radio_context.h"

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <memory>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

TrunkingSystems make(uint8_t mobile = 0, const char* version = "07", int max_systems = 3) {
  TrunkingSystems block;
  block.base.mobile = mobile;
  block.base.version = version;
  own_context(block.base).radio.max_trunking_systems = max_systems;
  block.build_default();
  return block;
}

// One system: 699 10, 700 20, 701 255, 702 250, 703 1, switches 704 709 711, 712 "FSD", 714 2,
// 715 255, personality 1 member 5, 718 on, 719 "And Unmuting, Or Muting", 731 on, hang time
// "30", 729 "Conventional", 721 on, "High", 723 255, 724 3, 879 on, 725 1500, 726 255, 727 4.
const Image kRecord = {10, 20, 255, 250, 1, 0x85, 0x10, 2, 255, 1, 5, 0xEA, 0x05, 255, 3, 0x2F, 255, 4};

Image system_image(const Image& record = kRecord, uint8_t count = 1) {
  Image image = {192, 18, count};
  for (uint8_t i = 0; i < count; ++i) {
    image.insert(image.end(), record.begin(), record.end());
    image.push_back(checksum(record.data(), record.size()));
  }
  image.push_back(0);
  return test::resealed(image);
}

Image alias_image() {
  Image image = {132, 8, 1, 0, 1, 8, 'S', 'Y', 'S', ' ', 'A', 0, 0, 0, 0};
  return test::resealed(image);
}

TEST(TrunkingSystems, HandMadeImageBothWays) {
  TrunkingSystems block = make();
  const Image image = system_image();
  block.unpack(32, image.data(), image.size());
  block.unpack(33, alias_image().data(), alias_image().size());
  const FieldList& e = block.block().entry(0);
  const std::pair<int32_t, const char*> expected[] = {
      {699, "10"}, {702, "250"}, {705, "0"}, {711, "1"}, {712, "FSD"}, {713, "None"}, {717, "5"},
      {719, "And Unmuting, Or Muting"}, {720, "30"}, {729, "Conventional"}, {722, "High"}, {879, "1"},
      {725, "1500"}, {727, "4"}, {424, "SYS A"}};
  for (auto [id, text] : expected) EXPECT_EQ(e.text(id), text) << id;
  EXPECT_EQ(e.attribute_at(e.position_of(705)), 2);
  EXPECT_EQ(block.block().header().get(48).attribute, 1);
  EXPECT_EQ(block.pack(32), image);
  EXPECT_EQ(block.pack(33), alias_image());

  // A mobile has no fallback channel and no 879; a portable below "05" no 879.
  TrunkingSystems mobile = make(1);
  mobile.unpack(32, image.data(), image.size());
  TrunkingSystems older = make(0, "04");
  older.unpack(32, image.data(), image.size());
  for (int32_t id : {727, 729, 879}) EXPECT_FALSE(mobile.block().entry(0).contains(id)) << id;
  EXPECT_FALSE(older.block().entry(0).contains(879));
  EXPECT_TRUE(older.block().entry(0).contains(727));
}

// Every refused value or image leaves the block exactly as it was.
TEST(TrunkingSystems, RefusalsChangeNothing) {
  TrunkingSystems block = make(0, "07", 3);
  const BlockRecord before = block.block();
  const std::pair<FieldValue, int> sets[] = {
      {{701, "251", 1}, err::kInvalidData}, {{725, "1600", 1}, err::kInvalidData},
      {{712, "DTMF", 1}, err::kChoiceNotFound}, {{48, "4", 1}, err::kInvalidData},
      {{999, "0", 1}, err::kFieldNotFound}};
  for (const auto& [field, code] : sets) {
    EXPECT_EQ(error_of([&] { block.set_field(0, field); }), code) << field.id << " " << field.value;
    EXPECT_EQ(block.block(), before);
  }
  EXPECT_EQ(error_of([&] { block.set_field(1, {699, "2", 1}); }), err::kBadIndex);

  // A whole record with a count above field 743.
  const BlockRecord good = block.block();
  BlockRecord four = good;
  for (int i = 0; i < 3; ++i) four.add_entry(good.entry(0));
  four.set_header_field({48, "4", 1});
  EXPECT_EQ(error_of([&] { block.set_block(four); }), err::kInvalidData);
  EXPECT_EQ(block.block(), good);

  // Images.
  const Image image = system_image(kRecord, 2);
  Image bad_id = kRecord, bad_choice = kRecord;
  bad_id[2] = 252;
  bad_choice[6] = 0x20;
  const std::pair<Image, int> images[] = {
      {Image(image.begin(), image.end() - 1), err::kShortImage},
      {test::patched(image, {{3, 11}}), err::kChecksum},
      {system_image(bad_id), err::kInvalidData},
      {system_image(bad_choice), err::kChoiceNotFound}};
  for (const auto& [bytes, code] : images) {
    EXPECT_EQ(error_of([&] { block.unpack(32, bytes.data(), bytes.size()); }), code);
    EXPECT_EQ(block.block(), good);
  }
  // The alias image needs the systems' image first.
  TrunkingSystems fresh = make();
  EXPECT_EQ(error_of([&] { fresh.unpack(33, alias_image().data(), alias_image().size()); }), err::kUnpackFailure);
}

TEST(TrunkingSystems, FieldSevenFortyThreeLimitsTheSystems) {
  TrunkingSystems block = make(0, "07", 3);
  EXPECT_EQ(block.add_list(), 1u);
  EXPECT_EQ(block.add_list(), 2u);
  const BlockRecord full = block.block();
  EXPECT_EQ(error_of([&] { block.add_list(); }), err::kAboveMaximum);
  EXPECT_EQ(block.block(), full);
  EXPECT_EQ(full.header().text(48), "3");

  // Block 2 without field 743 (below "03"): a whole record is not held against a limit, but no
  // system is added.
  TrunkingSystems old = make(0, "02", -1);
  old.set_block(full);
  EXPECT_EQ(error_of([&] { old.add_list(); }), err::kAboveMaximum);
}

// ---- References, on a whole radio ------------------------------------------------------------

// A portable 07.xx radio that takes three trunking systems, with two channels, three systems and
// two personalities, every block of the trunking capability enabled.
Gen1Radio trunked_radio() {
  Gen1Radio radio({}, {});
  BlockRecord info = radio.block2.block();
  for (auto [id, text] : {std::pair(61, "1"), {66, "Portable"}, {667, "Tobin"}, {743, "3"}})
    info.entry(0).set_text(id, text);
  radio.block2.set_block(info);
  radio.codeplug.base.mobile = radio.mobile_flag();
  radio.codeplug.reset();
  for (int32_t id : {37, 742, 36, 741, 32, 33, 34, 35}) radio.codeplug.flags().set_enabled(id, true);
  radio.refresh_facts();
  Gen1Directory blocks(radio);
  blocks.find(38)->add_list();
  blocks.find(37)->add_list();
  BlockHandler& systems = *blocks.find(32);
  systems.add_list();
  systems.add_list();
  return radio;
}

std::string column(const BlockRecord& record, int32_t a, int32_t b) {
  std::string out;
  for (size_t i = 0; i < record.entry_count(); ++i)
    out += record.entry(i).text(a) + "/" + record.entry(i).text(b) + " ";
  return out;
}

// Deleting system 1: the channel and the fallback channel on it fall back to the first channel
// group's first member (none held: conventional channel 0), those on system 2 move to 1; the scan
// list member on it goes and the designated channel on it becomes "Selected" with no index. The
// last system may go only while a channel remains.
TEST(TrunkingSystems, DeletingASystemRewritesItsReferences) {
  Gen1Radio radio = trunked_radio();
  Gen1Directory blocks(radio);
  BlockHandler& systems = *blocks.find(32);
  BlockHandler& channels = *blocks.find(38);
  BlockHandler& scan = *blocks.find(12);
  systems.set_field(0, {727, "2", 1});
  systems.set_field(2, {727, "1", 1});
  systems.set_field(1, {729, "Conventional", 1});
  for (auto [channel, system] : {std::pair(0, "1"), {1, "2"}}) {
    channels.set_field(channel, {744, "LS Trunking", 1});
    channels.set_field(channel, {745, system, 1});
  }
  scan.add_member(0);
  for (size_t j : {0u, 1u}) {
    scan.set_member_field(0, j, {443, "LS Trunking", 1}, blocks);
    scan.set_member_field(0, j, {446, std::to_string(j + 1), 1}, blocks);
  }
  scan.set_field(0, {438, "LS Trunking", 1});
  scan.set_field(0, {441, "1", 1});

  systems.delete_list(1, blocks);
  EXPECT_EQ(systems.block().header().text(48), "2");
  EXPECT_EQ(column(systems.block(), 729, 727), "LS Trunking/1 Conventional/0 ");
  EXPECT_EQ(column(channels.block(), 744, 745), "Conventional/0 LS Trunking/1 ");
  const ListBlockRecord lists = scan.lists();
  ASSERT_EQ(lists.member_count(0), 1u);
  EXPECT_EQ(lists.get_member_field(0, 0, 446).value, "1");
  EXPECT_EQ(lists.list(0).header().text(438) + lists.list(0).header().text(441), "Selected255");

  // With one channel left, both systems may go, but not the last channel afterwards.
  systems.delete_list(0, blocks);
  systems.delete_list(0, blocks);
  EXPECT_EQ(systems.block().entry_count(), 0u);
  channels.delete_list(1, blocks);
  EXPECT_EQ(error_of([&] { channels.delete_list(0, blocks); }), err::kBelowMinimum);
  // Without the channel list no channel counts: the last system stays.
  Gen1Radio other = trunked_radio();
  other.codeplug.flags().set_enabled(38, false);
  Gen1Directory other_blocks(other);
  BlockHandler& three = *other_blocks.find(32);
  three.delete_list(2, other_blocks);
  three.delete_list(1, other_blocks);
  const BlockRecord last = three.block();
  EXPECT_EQ(error_of([&] { three.delete_list(0, other_blocks); }), err::kBelowMinimum);
  EXPECT_EQ(three.block(), last);
}

// A portable's fallback channel on a conventional channel follows the channel list's deletions.
TEST(TrunkingSystems, DeletingAChannelRewritesTheFallbackChannels) {
  Gen1Radio radio = trunked_radio();
  Gen1Directory blocks(radio);
  BlockHandler& systems = *blocks.find(32);
  blocks.find(38)->add_list();
  for (auto [system, channel] : {std::pair(0, "2"), {1, "1"}, {2, "0"}}) {
    systems.set_field(system, {729, "Conventional", 1});
    systems.set_field(system, {727, channel, 1});
  }
  blocks.find(38)->delete_list(1, blocks);
  EXPECT_EQ(column(systems.block(), 729, 727), "Conventional/1 Conventional/0 Conventional/0 ");
}

// Deleting personality 0 deletes the system that names it, which in turn rewrites the channel on
// that system; the system on personality 1 now names personality 0. A member that stops holding
// a channel hands its systems to the personality's first programmed member.
TEST(TrunkingSystems, PersonalitiesCascadeThroughTheSystems) {
  Gen1Radio radio = trunked_radio();
  Gen1Directory blocks(radio);
  BlockHandler& systems = *blocks.find(32);
  BlockHandler& channels = *blocks.find(38);
  BlockHandler& personalities = *blocks.find(37);
  for (auto [system, personality, member] : {std::tuple(0, "1", "3"), {1, "0", "0"}, {2, "1", "7"}}) {
    systems.set_field(system, {716, personality, 1});
    systems.set_field(system, {717, member, 1});
  }
  channels.set_field(1, {744, "LS Trunking", 1});
  channels.set_field(1, {745, "2", 1});

  personalities.set_member_field(1, 5, {688, "0", 2}, blocks);  // member 5 holds a channel
  personalities.set_member_field(1, 7, {688, "65535", 2}, blocks);
  EXPECT_EQ(column(systems.block(), 716, 717), "1/3 0/0 1/5 ");

  personalities.delete_list(0, blocks);
  EXPECT_EQ(column(systems.block(), 716, 717), "0/3 0/5 ");
  EXPECT_EQ(column(channels.block(), 744, 745), "Conventional/0 LS Trunking/1 ");
  EXPECT_EQ(personalities.lists().list_count(), 1u);
}

}  // namespace
}  // namespace cps
