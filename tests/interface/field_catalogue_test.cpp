// The field catalogue as people read it: names, places, choices, ranges and attributes of the
// fields of every block of both generations, taken from the blocks' own tables.
#include "interface/field_catalogue.h"

#include "gen1/block_table.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace cps::catalogue {
namespace {

// Every named field of every block: snake_case, and within its block one name is one field ID
// and one ID one name (an ID at two places, 424 in a list's settings and its members, keeps it).
TEST(FieldCatalogue, NamesAreSnakeCaseAndUniqueWithinTheirBlock) {
  const std::regex snake("[a-z][a-z0-9]*(_[a-z0-9]+)*");
  for (int generation : {1, 2}) {
    ASSERT_FALSE(blocks(generation).empty()) << generation;
    for (const BlockInfo& block : blocks(generation)) {
      std::map<std::string, int32_t> id_of;
      std::map<int32_t, std::string> name_of;
      for (const FieldInfo& field : block.fields) {
        const std::string where = block.name + " field " + std::to_string(field.id);
        EXPECT_TRUE(std::regex_match(field.name, snake)) << where << ": " << field.name;
        if (!field.named) {
          EXPECT_EQ(field.name, unnamed(field.id)) << where;
        }
        auto [by_name, new_name] = id_of.emplace(field.name, field.id);
        EXPECT_EQ(by_name->second, field.id) << where << ": name " << field.name << " taken twice";
        auto [by_id, new_id] = name_of.emplace(field.id, field.name);
        EXPECT_EQ(by_id->second, field.name) << where;
      }
    }
  }
}

// What a fresh first-generation block holds is what the catalogue says it holds, at the same
// place and with the same attribute: a describe() that named the wrong layout, or a place
// mapped wrongly, shows here.
TEST(FieldCatalogue, Gen1FreshRecordsHoldTheCataloguedFields) {
  auto expect_at = [](const BlockInfo& block, const FieldList& fields, Place place) {
    for (size_t i = 0; i < fields.count(); ++i) {
      const FieldInfo* info = find_field(block, std::to_string(fields.id_at(i)), place);
      ASSERT_NE(info, nullptr) << block.name << ": field " << fields.id_at(i) << " not catalogued as "
                               << place_name(place);
      EXPECT_EQ(info->attribute, fields.attribute_at(i)) << block.name << ": field " << info->id;
    }
  };
  int checked = 0;
  for (const Gen1Block& row : gen1_blocks()) {
    if (row.holder != Holder::Container || row.make == nullptr) continue;
    const BlockInfo* block = find_block(1, row.regions[0].id);
    ASSERT_NE(block, nullptr) << row.name;
    if (block->fields.empty()) continue;  // a custom block
    auto handler = row.make();
    handler->build_default();
    switch (row.kind) {
      case RecordKind::Fields: expect_at(*block, handler->fields(), Place::Field); break;
      case RecordKind::Block:
        expect_at(*block, handler->block().header(), Place::Header);
        for (size_t e = 0; e < handler->block().entry_count(); ++e)
          expect_at(*block, handler->block().entry(e), Place::Entry);
        break;
      case RecordKind::Lists:
        expect_at(*block, handler->lists().header(), Place::Header);
        for (size_t l = 0; l < handler->lists().list_count(); ++l) {
          const BlockRecord& list = handler->lists().list(l);
          expect_at(*block, list.header(), Place::ListHeader);
          for (size_t m = 0; m < list.entry_count(); ++m) expect_at(*block, list.entry(m), Place::Member);
        }
        break;
    }
    ++checked;
  }
  EXPECT_GT(checked, 25);
}

TEST(FieldCatalogue, FieldsOfTheChannelListsAndPersonalities) {
  const BlockInfo* channels = find_block(1, 39);  // the alias image of the channel list
  ASSERT_NE(channels, nullptr);
  EXPECT_EQ(channels->name, "channel_list");
  EXPECT_EQ(channels->ids.front(), 38);

  const FieldInfo* rx = find_field(*channels, "rx_frequency");
  ASSERT_NE(rx, nullptr);
  EXPECT_EQ(rx->id, 455);
  EXPECT_EQ(rx->place, Place::Entry);
  EXPECT_EQ(rx->check, Check::Band);
  EXPECT_FALSE(rx->range);
  EXPECT_EQ(find_field(*channels, "455"), rx);
  EXPECT_EQ(find_field(*channels, "field_455"), rx);

  const FieldInfo* power = find_field(*channels, "power");
  ASSERT_NE(power, nullptr);
  EXPECT_EQ(power->check, Check::Choices);
  EXPECT_NE(std::find(power->choices.begin(), power->choices.end(), "High"), power->choices.end());
  // Field 415 has a table per market class: the field holds the labels of both, once each.
  const FieldInfo* signalling = find_field(*channels, "signalling_1");
  ASSERT_NE(signalling, nullptr);
  EXPECT_TRUE(signalling->conditional);
  EXPECT_EQ(std::set<std::string>(signalling->choices.begin(), signalling->choices.end()).size(),
            signalling->choices.size());

  const FieldInfo* count = find_field(*channels, "record_count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->id, 48);
  EXPECT_EQ(count->place, Place::Header);
  EXPECT_EQ(count->attribute, 2);
  EXPECT_EQ(find_field(*channels, "alias", Place::Entry)->check, Check::Characters);

  // Members of the personalities are shown under block 37 and served through block 36.
  const BlockInfo* personalities = find_block(1, 36);
  ASSERT_EQ(personalities, find_block(1, 37));
  EXPECT_EQ(personalities->kind, RecordKind::Lists);
  const FieldInfo* member_rx = find_field(*personalities, "rx_frequency");
  ASSERT_NE(member_rx, nullptr);
  EXPECT_EQ(member_rx->place, Place::Member);
  EXPECT_EQ(find_field(*personalities, "rx_frequency", Place::ListHeader), nullptr);
}

TEST(FieldCatalogue, RangesAndBlocksOfFields) {
  const BlockInfo* identity = find_block(1, 3);
  ASSERT_NE(identity, nullptr);
  const FieldInfo* f96 = find_field(*identity, "96");
  ASSERT_NE(f96, nullptr);
  ASSERT_TRUE(f96->range);
  EXPECT_EQ(f96->range->minimum, 1);
  EXPECT_EQ(f96->range->maximum, 163);
  EXPECT_EQ(f96->range->step, 0.5);
  EXPECT_EQ(f96->check, Check::Range);

  const BlockInfo* flags = find_block(1, 453);
  ASSERT_NE(flags, nullptr);
  EXPECT_EQ(flags->kind, RecordKind::Fields);
  const FieldInfo* flag = find_field(*flags, "38");
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(flag->place, Place::Field);
  ASSERT_NE(find_field(*flags, "image_length"), nullptr);
  EXPECT_TRUE(find_field(*flags, "759")->conditional);  // the long form only
}

TEST(FieldCatalogue, SecondGeneration) {
  const BlockInfo* channels = find_block(2, 2018);
  ASSERT_NE(channels, nullptr);
  EXPECT_EQ(channels->name, "channels");
  const FieldInfo* spacing = find_field(*channels, "channel_spacing");
  ASSERT_NE(spacing, nullptr);
  EXPECT_EQ(spacing->place, Place::Entry);
  EXPECT_FALSE(spacing->choices.empty());
  const FieldInfo* count = find_field(*channels, "entry_count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->id, 2035);
  EXPECT_EQ(count->attribute, 2);
  // A block without a handler yet, and the whole image, have no fields.
  ASSERT_NE(find_block(2, 2006), nullptr);
  EXPECT_TRUE(find_block(2, 2006)->fields.empty());
  EXPECT_TRUE(find_block(2, 2029)->fields.empty());
  // The 32 option switches of block 2867 are numbered from 1 in ID order (2875 is bit 31 of the
  // option word).
  const BlockInfo* retained = find_block(2, 2867);
  ASSERT_NE(retained, nullptr);
  ASSERT_NE(find_field(*retained, "option_switch_1"), nullptr);
  EXPECT_EQ(find_field(*retained, "option_switch_1")->id, 2875);
  EXPECT_EQ(find_field(*retained, "option_switch_32")->id, 2906);
  EXPECT_EQ(find_field(*retained, "option_switch_0"), nullptr);
  EXPECT_EQ(find_field(*retained, "option_switch"), nullptr);
  // The directory blocks are blocks of fields; each presence bit and address names its block.
  const BlockInfo* presence = find_block(2, 2027);
  ASSERT_NE(presence, nullptr);
  ASSERT_NE(find_field(*presence, "block_2018_present"), nullptr);
  EXPECT_EQ(find_field(*presence, "block_2018_present")->place, Place::Field);
  EXPECT_EQ(find_field(*find_block(2, 2028), "block_2867_address")->id, 2853);
  EXPECT_EQ(find_field(*find_block(2, 2002), "codeplug_length")->id, 2046);
  EXPECT_EQ(find_block(2, 38), nullptr);
  EXPECT_TRUE(blocks(3).empty());
}

// Block 17 keeps its shape in its header and its bytes in the members of its lists.
TEST(FieldCatalogue, OptionBoardHeaderAndMembers) {
  const BlockInfo* board = find_block(1, 17);
  ASSERT_NE(board, nullptr);
  const FieldInfo* lists = find_field(*board, "number_of_lists");
  ASSERT_NE(lists, nullptr);
  EXPECT_EQ(lists->id, 51);
  EXPECT_EQ(lists->place, Place::Header);
  ASSERT_NE(find_field(*board, "member_byte"), nullptr);
  EXPECT_EQ(find_field(*board, "member_byte")->place, Place::Member);
}

// Block 16's switches, whose meanings are the radio's own, are numbered in ID order.
TEST(FieldCatalogue, OptionSwitchesAreNumbered) {
  const BlockInfo* switches = find_block(1, 16);
  ASSERT_NE(switches, nullptr);
  EXPECT_EQ(find_field(*switches, "option_switch_1")->id, 524);
  EXPECT_EQ(find_field(*switches, "option_switch_10")->id, 533);
  EXPECT_EQ(find_field(*switches, "option_switch_53")->id, 576);
  EXPECT_EQ(find_field(*switches, "option_switch_54"), nullptr);
}

TEST(FieldCatalogue, FieldNamesThatAreNotFields) {
  const BlockInfo& block = *find_block(1, 38);
  for (const char* text : {"", "field_", "field_x", "455x", "-455", "Power", "rx frequency", "field_999"})
    EXPECT_EQ(find_field(block, text), nullptr) << text;
}

}  // namespace
}  // namespace cps::catalogue
