#include "gen1/blocks/trunking.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/range_table.h"
#include "gen1/values/reference_resets.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <algorithm>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr int32_t kPersonalityIndex = 716;
constexpr int32_t kPersonalityMember = 717;
constexpr int32_t kFallbackIndex = 727;
constexpr int32_t kFallbackType = 729;

constexpr uint8_t kRecordSize = 18;
constexpr int32_t kPersonalities = 37;  // the personality block, by its first ID
constexpr int32_t kChannels = 38;

// Field 879 exists on a portable from this codeplug version text on.
constexpr const char* kField879From = "05";

bool portable(const BlockBase& b) { return b.mobile == 0; }
bool portable_879(const BlockBase& b) { return b.mobile == 0 && b.version >= kField879From; }

// ---- Choice tables ----------------------------------------------------------------------------

constexpr Choice kSignalling[] = {{0, "None"}, {1, "FSD"}, kChoiceEnd};
constexpr Choice kSquelchRules[] = {{0, "Std Unmuting, Std Muting"}, {2, "And Unmuting, Std Muting"},
                                    {3, "And Unmuting, Or Muting"}, kChoiceEnd};
constexpr Choice kHangTimes[] = {{0, "Infinite"}, {1, "15"}, {2, "30"}, {3, "45"}, {4, "60"},
                                 {5, "90"}, {6, "120"}, {7, "180"}, kChoiceEnd};
constexpr Choice kChannelKinds[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};
constexpr Choice kPower[] = {{0, "Low"}, {1, "High"}, kChoiceEnd};

// Fields 701 and 702: an ID of 1..250, or 255 for none; the range row alone admits 251..254.
void id_or_none(std::string_view text, const FieldDesc&, const BlockBase&) {
  const int64_t value = parse_decimal(text);
  if (value != 255 && (value < 1 || value > 250)) raise(err::kInvalidData);
}
constexpr CustomCodec kIdOrNone{nullptr, nullptr, id_or_none};

// ---- References -------------------------------------------------------------------------------

// Field 716 names a personality: a system whose personality is deleted goes with it. Field 717
// names a member of that personality: one that stops holding a channel hands its systems to the
// personality's first member that does.
constexpr RefTarget kPersonalityTargets[] = {{.block = kPersonalities, .on_deleted = OnDeleted::Remove}};
constexpr RefSpec kPersonality{.targets = kPersonalityTargets};
constexpr RefTarget kMemberTargets[] = {{.block = kPersonalities, .list_field = kPersonalityIndex}};
constexpr RefSpec kMember{.targets = kMemberTargets};

// Field 727 names, as field 729 says, a trunking system of this block or a channel of the
// channel list: the portable's fallback channel. One whose system or channel is deleted falls
// back to the first member of the first channel group.
constexpr RefTarget kFallbackTargets[] = {
    {.block = TrunkingSystems::kSystemImage, .type = "LS Trunking", .reset_rule = first_channel_group_member,
     .always = true},
    {.block = kChannels, .type = "Conventional", .reset_rule = first_channel_group_member},
};
constexpr RefSpec kFallback{.type_field = kFallbackType, .targets = kFallbackTargets};

// Field 723 names a phone system (block 11), 255 for none.
constexpr RefTarget kPhoneTargets[] = {{.block = 11, .none_stays = true}};
constexpr RefSpec kPhoneSystem{.targets = kPhoneTargets};

// ---- The entry --------------------------------------------------------------------------------

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::with_attribute;

constexpr FieldDesc id_row(int32_t id, uint16_t offset) {
  FieldDesc row = number(id, offset, "255");
  row.custom = &kIdOrNone;
  return row;
}

// In the order the block decodes them.
constexpr FieldDesc kRows[] = {
    number(699, 0, "1"),
    number(700, 1, "1"),
    id_row(701, 2),
    id_row(702, 3),
    number(703, 4, "1"),
    flag(704, 5, 0x80),
    with_attribute(flag(705, 5, 0x40), 2),
    with_attribute(flag(706, 5, 0x20), 2),
    with_attribute(flag(707, 5, 0x10), 2),
    with_attribute(flag(708, 5, 0x08), 2),
    flag(709, 5, 0x04),
    with_attribute(flag(710, 5, 0x02), 2),
    flag(711, 5, 0x01),
    named(choice(712, 6, 0xF0, kSignalling, "None"), "signalling_1"),
    named(choice(713, 6, 0x0F, kSignalling, "None"), "signalling_2"),
    number(714, 7, "255"),
    number(715, 8, "255"),
    {.id = kPersonalityIndex, .offset = 9, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kPersonality,
     .name = "personality_index"},
    {.id = kPersonalityMember, .offset = 10, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kMember,
     .name = "personality_member"},
    flag(718, 11, 0x80, "1"),
    named(choice(719, 11, 0x60, kSquelchRules, "Std Unmuting, Std Muting"), "squelch_rule"),
    with_attribute(flag(730, 11, 0x10), 2),
    with_attribute(flag(731, 11, 0x08), 2),
    named(choice(720, 11, 0x07, kHangTimes, "60"), "hang_time"),
    named(choice(kFallbackType, 12, 0xF0, kChannelKinds, "LS Trunking", 1, portable), "fallback_channel_type"),
    with_attribute(flag(732, 12, 0x08), 2),
    flag(721, 12, 0x04),
    named(choice(722, 12, 0x03, kPower, "High"), "power"),
    {.id = 723, .offset = 13, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kPhoneSystem,
     .name = "phone_system"},
    number(724, 14, "255"),
    flag(879, 15, 0x20, "0", portable_879),
    flag(728, 15, 0x10),
    scaled(725, 15, 0x0F, 100, "600"),
    number(726, 16, "255"),
    {.id = kFallbackIndex, .offset = 17, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = portable,
     .refers = &kFallback, .name = "fallback_channel_index"},
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kRecordSize,
                           .min_count = 0,
                           .max_count = 255,  // field 743 of block 2 narrows it
                           .header_attribute = 2,
                           .count_attribute = 1,
                           .format = 192,
                           .record_checksums = true};

}  // namespace

TrunkingSystems::TrunkingSystems()
    : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage, .alias_length = 8}) {
  build_default();
}

void TrunkingSystems::adapt_to_form() { adapt_entries_to_form(); }

// ---- Setting ----------------------------------------------------------------------------------

void TrunkingSystems::check_field(const FieldValue& field) const {
  switch (field.id) {
    case kFormatField:
      return;  // passed through
    case kRecordSizeField:
      if (parse_decimal(field.value) != kRecordSize) raise(err::kInvalidData);
      return;
    case kRecordCountField: {
      // Held against field 743 of block 2 where block 2 has it.
      const int64_t count = parse_decimal(field.value), most = radio_of(base).max_trunking_systems;
      if (count < 0 || count > 255 || (most >= 0 && count > most)) raise(err::kInvalidData);
      return;
    }
    default:
      FramedBlock::check_field(field);
  }
}

// The number of systems is held against field 743 of block 2 where block 2 has it.
void TrunkingSystems::finish_record(const BlockRecord& candidate, const BlockRecord&) const {
  check_field(candidate.get_header_field(kRecordCountField));
}

// ---- Systems ----------------------------------------------------------------------------------

// A radio without field 743 takes no system.
size_t TrunkingSystems::max_entries() const {
  return static_cast<size_t>(std::max(radio_of(base).max_trunking_systems, 0));
}

void TrunkingSystems::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.entry_count();
  size_t channels = 0;
  if (BlockHandler* list = blocks.find(kChannels); list != nullptr && blocks.enabled(kChannels))
    channels = list->block().entry_count();
  // The last system may go while a channel remains.
  if (count + channels < 2) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);

  remove_system(index, blocks);
}

void TrunkingSystems::delete_all(BlockDirectory& blocks) {
  while (record_.entry_count() > 0) remove_system(record_.entry_count() - 1, blocks);
}

void TrunkingSystems::remove_system(size_t index, BlockDirectory& blocks) {
  blocks.references_deleted(kSystemImage, index);  // the blocks that point at systems
  rewrite_deleted(kSystemImage, index, blocks, true);  // this block's own fallback channels
  record_.remove_entry(index);
  if (index < raw_.size()) raw_.erase(raw_.begin() + static_cast<std::ptrdiff_t>(index));
  store_count(record_);
}

}  // namespace cps
