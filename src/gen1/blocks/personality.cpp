#include "gen1/blocks/personality.h"

#include "platform/errors.h"
#include "gen1/values/alias_table.h"
#include "engine/field_layout.h"
#include "gen1/values/frequency.h"
#include "gen1/values/lists_frame.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"

#include <algorithm>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr int32_t kMemberHeader3 = 683;    // byte 3 of the member image
constexpr int32_t kRxCount = 688;          // step count of 695; 65535: unprogrammed
constexpr int32_t kTxCount = 689;          // step count of 696
constexpr int32_t kRxFrequency = 695;
constexpr int32_t kTxFrequency = 696;
constexpr int32_t kCompanding = 691;
constexpr int32_t kDeviation = 692;
constexpr int32_t kSpacing = 693;
constexpr uint32_t kUnprogrammed = 0xFFFF;
constexpr const char* kUnprogrammedText = "65535";

constexpr size_t kPersonalitySize = 9;
constexpr size_t kMemberSize = 7;

// ---- Tables -----------------------------------------------------------------------------------

constexpr Choice kLevels[] = {{0, "Low"}, {1, "Medium"}, {2, "High"}, kChoiceEnd};
constexpr Choice kCompression[] = {{0, "Disabled"}, {1, "Full Compression"}, kChoiceEnd};
constexpr Choice kExpansion[] = {{0, "Disabled"}, {1, "Full Expansion"}, kChoiceEnd};


using rows::choice;
using rows::flag;
using rows::set_refused;
using rows::with_rule;

// ---- Set rules ----------------------------------------------------------------------------------

// Field 679 cannot be set on an 800 MHz radio; field 675 only on an 800 or 900 MHz one; the
// members' 685 and 687 not on a low-band one.
void not_on_800(FieldList&, FieldValue&, const BlockBase& b) {
  if (radio_of(b).band == "800") raise(err::kInvalidData);
}
void only_800_900(FieldList&, FieldValue&, const BlockBase& b) {
  if (radio_of(b).band != "800" && radio_of(b).band != "900") raise(err::kInvalidData);
}
void not_low_band(FieldList&, FieldValue&, const BlockBase& b) {
  if (radio_of(b).band == "Low") raise(err::kInvalidData);
}
// Companding sets compression and expansion with it.
void companding(FieldList& member, FieldValue& field, const BlockBase&) {
  member.set_text(697, field.value == "1" ? "Full Compression" : "Disabled");
  member.set_text(698, field.value == "1" ? "Full Expansion" : "Disabled");
}
// The deviation follows the spacing.
void spacing(FieldList& member, FieldValue& field, const BlockBase&) {
  member.set_text(kDeviation, label_of(code_of(field.value, kSpacings), kDeviations));
}
// Either count sets both; a member given a channel starts from the defaults.
void counts(FieldList& member, FieldValue& field, const BlockBase& base);

// A personality's settings; bytes 2 and 5-8 carry no field and pack as 0.
constexpr FieldDesc kPersonalityRows[] = {
    {.id = 671, .offset = 0, .ranges = &kGen1Ranges},
    flag(676, 1, 0x80),
    with_rule(flag(675, 1, 0x40), only_800_900),
    flag(674, 1, 0x20),
    flag(673, 1, 0x10),
    {.id = 672, .offset = 1, .mask = 0x0F, .codec = Codec::Scaled, .dflt = {"12"}, .ranges = &kGen1Ranges, .scale = 4},
    {.id = 681, .offset = 3, .mask = 0x80, .attribute = 2, .dflt = {"1"}, .ranges = &kGen1Ranges, .set_by = layout::SetBy::Refused},
    flag(680, 3, 0x40),
    with_rule(choice(679, 3, 0x30, kLevels, "High"), not_on_800),
    {.id = 678, .offset = 3, .mask = 0x0C, .codec = Codec::Scaled, .dflt = {"2"}, .ranges = &kGen1Ranges, .bias = 1},
    choice(677, 3, 0x03, kLevels, "High"),
    {.id = 682, .offset = 4},  // the byte is its range
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kPersonalityRows, kPersonalitySize) && layout::choices_fit(kPersonalityRows));

// Member frequencies: step code in byte 0, count beside the count field it shares; a member
// whose first count holds 65535 is unprogrammed and keeps 65535 in both counts.
template <uint8_t StepMask, uint16_t CountOffset>
struct MemberFrequency : EntryFrequency<StepMask, CountOffset, kUnprogrammed> {
  static void encode(std::string_view text, uint8_t* e, const FieldDesc&, const BlockBase& b) {
    if (read_be(e + 1, 2) == kUnprogrammed) {
      write_be(kUnprogrammed, e + 1, 2);
      write_be(kUnprogrammed, e + 3, 2);
      return;
    }
    EntryFrequency<StepMask, CountOffset, kUnprogrammed>::store(text, e, radio_of(b));
  }
};
using RxFrequency = MemberFrequency<0xC0, 1>;
using TxFrequency = MemberFrequency<0x0C, 3>;
constexpr CustomCodec kRxFrequencyCodec{RxFrequency::decode, RxFrequency::encode, RxFrequency::check};
constexpr CustomCodec kTxFrequencyCodec{TxFrequency::decode, TxFrequency::encode, TxFrequency::check};

// The counts pack before the frequencies, which read them.
constexpr FieldDesc kMemberRows[] = {
    with_rule(choice(687, 0, 0x03, kTones, "Default"), not_low_band),
    with_rule(choice(685, 0, 0x30, kTones, "Default"), not_low_band),
    {.id = kRxCount, .offset = 1, .width = 2, .attribute = 2, .dflt = {kUnprogrammedText}, .ranges = &kGen1Ranges,
     .name = "rx_step_count", .on_set = counts},
    {.id = kTxCount, .offset = 3, .width = 2, .attribute = 2, .dflt = {kUnprogrammedText}, .ranges = &kGen1Ranges,
     .name = "tx_step_count", .on_set = counts},
    {.id = kRxFrequency, .offset = 1, .width = 2, .codec = Codec::Custom, .dflt = {""},
     .custom = &kRxFrequencyCodec, .shares_bits = true, .name = "rx_frequency"},
    {.id = kTxFrequency, .offset = 3, .width = 2, .codec = Codec::Custom, .dflt = {""},
     .custom = &kTxFrequencyCodec, .shares_bits = true, .name = "tx_frequency"},
    rows::named(choice(690, 5, 0xC0, kEmphasis, "De-Emphasis and Pre-Emphasis"), "emphasis"),
    rows::named(with_rule(flag(kCompanding, 5, 0x10), companding), "companding"),
    rows::named(set_refused(choice(kDeviation, 5, 0x0C, kDeviations, "5.0", 2)), "deviation"),  // follows 693
    {.id = kSpacing, .offset = 5, .mask = 0x03, .codec = Codec::Custom, .dflt = {"25"}, .custom = &kSpacingCodec,
     .name = "channel_spacing", .on_set = spacing},
    flag(694, 6, 0x10),
    rows::named(choice(697, 6, 0x0C, kCompression, "Disabled"), "compression"),
    rows::named(choice(698, 6, 0x03, kExpansion, "Disabled"), "expansion"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kMemberRows, kMemberSize) && layout::choices_fit(kMemberRows));

constexpr ListsFrame kFrame{.list_rows = kPersonalityRows,
                           .list_size = kPersonalitySize,
                           .min_lists = 0,
                           .max_lists = 255,  // the count byte of the regions
                           .member_rows = kMemberRows,
                           .member_size = kMemberSize,
                           .slots = Personalities::kMembers,
                           .member_header_field = kMemberHeader3,
                           .member_size_in_header = true};

// The first member that holds a channel, or member 0.
size_t first_programmed(const BlockRecord& personality) {
  for (size_t j = 0; j < personality.entry_count(); ++j)
    if (personality.entry(j).text(kRxCount) != kUnprogrammedText) return j;
  return 0;
}

}  // namespace

// ---- Setting ----------------------------------------------------------------------------------

namespace {

// A new member: unprogrammed, its frequencies at the band's lower limit.
FieldList member_defaults(const BlockBase& base) {
  FieldList member = layout::defaults(kMemberRows, base);
  member.set_text(kRxFrequency, radio_of(base).band_lower.text());
  member.set_text(kTxFrequency, radio_of(base).band_lower.text());
  return member;
}

void counts(FieldList& member, FieldValue& field, const BlockBase& base) {
  if (field.value != kUnprogrammedText) {
    const FieldList fresh = member_defaults(base);
    for (int32_t id : {687, 685, kTxFrequency, kRxFrequency, 690, kCompanding, kDeviation, kSpacing, 694, 697, 698})
      member.set(fresh.get(id));
  }
  member.set_text(field.id == kRxCount ? kTxCount : kRxCount, field.value);
}

}  // namespace

Personalities::Personalities()
    : Cloneable(kFrame, {.lists = kPersonalityImage, .aliases = kAliasImage, .members = kMemberImage,
                         .member_aliases = kMemberAliases}) {
  build_default();
}

BlockRecord Personalities::default_list(size_t index) const {
  BlockRecord personality = ListsBlock::default_list(index);
  FieldList& settings = personality.header();
  settings.set_text(671, decimal_text(static_cast<int64_t>(index)));
  settings.set_text(674, radio_of(base).band == "800" ? "1" : "0");
  return personality;
}

FieldList Personalities::default_member() const { return member_defaults(base); }

void Personalities::set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks) {
  ListsBlock::set_member_field(list, member, field, blocks);
  // The trunking entries that named a member which no longer holds a channel name the first one
  // that does.
  if ((field.id == kRxCount || field.id == kTxCount) && field.value == kUnprogrammedText)
    blocks.references_moved(kPersonalityImage, list, member, first_programmed(record_.list(list)));
}

}  // namespace cps
