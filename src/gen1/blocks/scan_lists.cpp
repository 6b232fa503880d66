#include "gen1/blocks/scan_lists.h"

#include "gen1/values/range_table.h"
#include "gen1/values/alias_table.h"
#include "gen1/values/rows.h"
#include "gen1/values/version_strings.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr int32_t kDesignatedType = 438;
constexpr int32_t kDesignatedIndex = 441;
constexpr int32_t kSampleTime = 442;
constexpr int32_t kMemberType = 443;
constexpr int32_t kMemberIndex = 446;
constexpr int32_t kMemberHeader = 462;

constexpr Choice kPriorities[] = {{0, "Disabled"}, {1, "Non-Priority Channel"}, {2, "Priority Channel"},
                                  {3, "Priority and Non-Priority Channel"}, kChoiceEnd};
constexpr Choice kChannelTypes[] = {{0, "Unassigned"}, {1, "Conventional"}, {2, "LS Trunking"},
                                    {6, "Last Active"}, {7, "Selected"}, kChoiceEnd};

// The designated channel of a list: a channel or trunking system by index, 255 for none. One
// whose channel or system is deleted becomes "Selected" with no index.
constexpr RefTarget kDesignatedTargets[] = {
    {.block = 38, .type = "Conventional", .reset_type = "Selected", .none_stays = true},
    {.block = 32, .type = "LS Trunking", .reset_type = "Selected", .none_stays = true},
};
constexpr RefSpec kDesignated{.type_field = kDesignatedType, .targets = kDesignatedTargets};

// A member: a channel or trunking system by index; one whose channel or system is deleted goes.
constexpr RefTarget kMemberTargets[] = {
    {.block = 38, .type = "Conventional", .on_deleted = OnDeleted::Remove},
    {.block = 32, .type = "LS Trunking", .on_deleted = OnDeleted::Remove},
};
constexpr RefSpec kMember{.type_field = kMemberType, .targets = kMemberTargets};

using rows::choice;
using rows::flag;
using rows::named;
using rows::scaled;

// A list's settings: 7 bytes; byte 6 and bit 0x80 of byte 1 carry no field.
constexpr FieldDesc kListRows[] = {
    flag(429, 0, 0x01, "1"),
    named(choice(430, 0, 0x0C, kPriorities, "Priority and Non-Priority Channel"), "priority_choice_1"),
    named(choice(431, 0, 0x30, kPriorities, "Priority and Non-Priority Channel"), "priority_choice_2"),
    flag(432, 0, 0x40, "0"),
    flag(433, 0, 0x80, "1"),
    scaled(434, 1, 0x1F, 250, "2000"),
    flag(435, 1, 0x20, "0"),
    flag(436, 1, 0x40, "0"),
    scaled(437, 2, 0xFF, 25, "400"),
    named(choice(kDesignatedType, 3, 0x07, kChannelTypes, "Selected"), "designated_channel_type"),
    flag(439, 3, 0x08, "0"),
    {.id = 440, .offset = 3, .mask = 0xF0, .codec = Codec::Capped, .attribute = 2, .dflt = {"0"}, .ranges = &kGen1Ranges,
     .name = nullptr},  // 16 as 15
    {.id = kDesignatedIndex, .offset = 4, .codec = Codec::Capped, .dflt = {"255"}, .ranges = &kGen1Ranges,
     .refers = &kDesignated, .name = "designated_channel_index"},  // 256 as 255
    scaled(kSampleTime, 5, 0xFF, 25, "400"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kListRows, 7) && layout::choices_fit(kListRows));

// A member slot: 2 bytes.
constexpr FieldDesc kMemberRows[] = {
    named(choice(kMemberType, 0, 0x07, kChannelTypes, "Selected"), "member_channel_type"),
    flag(444, 0, 0x08, "0"),
    named(flag(445, 0, 0xF0), "member_selector"),
    {.id = kMemberIndex, .offset = 1, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kMember, .name = "member_channel_index"},
};
static_assert(layout::layout_ok(kMemberRows, 2) && layout::choices_fit(kMemberRows));

bool unassigned(const uint8_t* slot) { return get_bits(0x07, slot[0]) == 0; }

constexpr ListsFrame kFrame{.list_rows = kListRows,
                           .list_size = 7,
                           .list_checksums = true,
                           .min_lists = 1,
                           .max_lists = 16,
                           .member_rows = kMemberRows,
                           .member_size = 2,
                           .slots = 16,
                           .slot_checksums = true,
                           .member_header_field = kMemberHeader,
                           .empty_slot = unassigned};

// Field 442 at 0 in the two oldest layouts is taken as 400.
FieldValue sample_time(FieldValue field, const BlockBase& base) {
  if (field.id == kSampleTime && legacy_layout(base.version) && field.value == "0") field.value = "400";
  return field;
}

}  // namespace

ScanLists::ScanLists()
    : Cloneable(kFrame, {.lists = kListImage, .aliases = kAliasImage, .members = kMemberImage}) {
  build_default();
}

std::vector<uint8_t> ScanLists::pack(int32_t id) {
  // The two oldest layouts have no "Last Active" designated channel: it becomes "Selected", in
  // the record too.
  if (id == kListImage && legacy_layout(base.version))
    for (size_t i = 0; i < record_.list_count(); ++i)
      if (FieldList& settings = record_.list(i).header(); settings.text(kDesignatedType) == "Last Active")
        settings.set_text(kDesignatedType, "Selected");
  return ListsBlock::pack(id);
}

void ScanLists::set_lists(const ListBlockRecord& given) {
  if (!legacy_layout(base.version)) return ListsBlock::set_lists(given);
  ListBlockRecord taken = given;
  for (size_t i = 0; i < taken.list_count(); ++i) {
    FieldList& settings = taken.list(i).header();
    if (settings.contains(kSampleTime)) settings.set(sample_time(settings.get(kSampleTime), base));
  }
  ListsBlock::set_lists(taken);
}

void ScanLists::set_field(size_t list, const FieldValue& field) {
  ListsBlock::set_field(list, sample_time(field, base));
}

// Header fields pass as structural values; 47 (7 or 2) and 50 (32) are checked though the
// record holds neither.
void ScanLists::check_header_field(const FieldValue& field) const {
  switch (field.id) {
    case kFormatField:
    case kMemberFormatField:
    case kMemberHeader:
    case kAliasLength:
    case 465:
      parse_decimal(field.value);
      return;
    case kRecordSizeField:
      if (field.value != "7" && field.value != "2") raise(err::kInvalidData);
      return;
    case 50:
      if (field.value != "32") raise(err::kInvalidData);
      return;
    case kListCountField: {
      const int64_t count = parse_decimal(field.value);
      if (count < kFrame.min_lists || count > kFrame.max_lists) raise(err::kInvalidData);
      break;
    }
    default:
      break;
  }
  ListsBlock::check_header_field(field);
}

}  // namespace cps
