#include "gen1/blocks/radio_info.h"

#include "gen1/values/range_table.h"
#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/values/rows.h"

namespace cps {

namespace {

using layout::Codec;
using layout::Condition;
using layout::PickedLabels;
using layout::Default;
using layout::FieldDesc;

constexpr int32_t kForm = 66;       // "Mobile" or "Portable"
constexpr int32_t kRadioKind = 667;
constexpr int32_t kMaxChannels = 81;
constexpr int32_t kGroupMembers = 54;
constexpr int32_t kTrunkingSystems = 743;

// Field 66's bit, which field 667 reads to pick its labels.
constexpr uint16_t kFormOffset = 3;
constexpr uint8_t kFormMask = 0x20;

constexpr Choice kTiers[] = {{0, "Plain"}, {1, "Popular"}, {2, "Preferred"}, {3, "Prime"},
                             {4, "Headless"}, kChoiceEnd};
constexpr Choice kDisplays[] = {{0, "None"}, {1, "1 Line, 14 Characters"}, {2, "Full Graphic"},
                                {3, "1 Line, 8 Characters"}, kChoiceEnd};
constexpr Choice kNoneSingleDual[] = {{0, "None"}, {1, "Single"}, {2, "Dual"}, kChoiceEnd};
constexpr Choice kForms[] = {{0, "Mobile"}, {1, "Portable"}, kChoiceEnd};
constexpr Choice kCharacterSets[] = {{0, "ASCII"}, {1, "Unicode"}, kChoiceEnd};
constexpr Choice kLanguagesBefore06[] = {{0, "None"}, {1, "Group 1"}, {2, "GROUP2 (English Only)"},
                                         kChoiceEnd};
constexpr Choice kLanguages[] = {{0, "None"}, {1, "GROUP2 (English Only)"}, kChoiceEnd};
constexpr Choice kSignalling[] = {{0, "None"}, {1, "Decode Only"}, {2, "Encode Only"},
                                  {3, "Decode and Encode"}, kChoiceEnd};
constexpr Choice kAutoManual[] = {{0, "None"}, {1, "Auto Only"}, {2, "Manual Only"},
                                  {3, "Manual and Auto"}, kChoiceEnd};
constexpr Choice kPortableKinds[] = {{0, "Tobin"},
                                     {1, "2W Tobin"},
                                     {2, "Morrow (MNK - No Keypad)"},
                                     {3, "Morrow (MLK - Limited Keypad)"},
                                     {4, "Morrow (MFK - Full Keypad)"},
                                     kChoiceEnd};
constexpr Choice kMobileKinds[] = {{0, "Vesk"}, {1, "Vesk+"}, kChoiceEnd};

bool before_06(const BlockBase& base) { return base.version < "06"; }
bool from_06(const BlockBase& base) { return !(base.version < "06"); }
bool from_03(const BlockBase& base) { return !(base.version < "03"); }

// Field 667: the radio kind, labelled by the table of a mobile or of a portable radio as field
// 66's bit of the same entry says.
constexpr const Choice* kKindTables[] = {kMobileKinds, kPortableKinds};
constexpr PickedLabels kKindsByForm{.field = kForm, .offset = kFormOffset, .mask = kFormMask, .tables = kKindTables};

// Every numeric field of the block has a range row; every field has attribute 0, and a default
// that may differ on a portable.
constexpr FieldDesc number(int32_t id, uint16_t offset, uint8_t mask, Default dflt = {},
                           Condition when = nullptr) {
  return rows::with_default(rows::with_attribute(rows::flag(id, offset, mask, "0", when), 0), dflt);
}
constexpr FieldDesc choice(int32_t id, uint16_t offset, uint8_t mask, const Choice* table,
                           Default dflt, Condition when = nullptr) {
  return rows::with_default(rows::choice(id, offset, mask, table, "", 0, when), dflt);
}

// Defaults: a radio with a one-line display and no optional capabilities, conventional
// channels only (62 = 1), 16 channels and 16 members per channel group, no trunking systems.
constexpr FieldDesc kRows[] = {
    rows::named(number(kGroupMembers, 0, 0xFF, {"16"}), "group_member_limit"),
    number(55, 1, 0x80),
    number(56, 1, 0x40),
    number(57, 1, 0x20),
    number(58, 1, 0x10),
    number(59, 1, 0x08),
    number(60, 1, 0x04),
    rows::named(number(61, 1, 0x02), "ls_trunking_channels"),
    rows::named(number(62, 1, 0x01, {"1"}), "conventional_channels"),
    rows::named(choice(63, 2, 0xF0, kTiers, {"Plain"}), "tier"),
    rows::named(choice(64, 2, 0x0F, kDisplays, {"1 Line, 14 Characters"}), "display"),
    choice(65, 3, 0xC0, kNoneSingleDual, {"None"}),
    rows::named(choice(kForm, kFormOffset, kFormMask, kForms, {"Mobile", "Portable"}), "radio_form"),
    rows::named(choice(67, 3, 0x10, kCharacterSets, {"ASCII"}), "character_set"),
    rows::named(choice(68, 3, 0x0F, kLanguagesBefore06, {"None"}, before_06), "language_group"),
    rows::named(choice(68, 3, 0x02, kLanguages, {"None"}, from_06), "language_group"),
    number(880, 3, 0x01, {}, from_06),
    number(69, 4, 0x80),
    number(70, 4, 0x40),
    rows::named(choice(71, 4, 0x30, kSignalling, {"None"}), "signalling_capability_1"),
    rows::named(choice(72, 4, 0x0C, kSignalling, {"None"}), "signalling_capability_2"),
    rows::named(choice(73, 4, 0x03, kSignalling, {"None"}), "signalling_capability_3"),
    rows::named(choice(74, 5, 0xC0, kSignalling, {"None"}), "signalling_capability_4"),
    rows::named(choice(75, 5, 0x30, kSignalling, {"None"}), "signalling_capability_5"),
    rows::named(choice(76, 5, 0x0C, kSignalling, {"None"}), "signalling_capability_6"),
    rows::named(choice(77, 5, 0x03, kSignalling, {"None"}, before_06), "signalling_capability_7"),
    rows::named(number(77, 5, 0x02, {}, from_06), "signalling_capability_7"),
    number(883, 5, 0x01, {}, from_06),
    number(78, 6, 0xF8),
    number(79, 6, 0x04),
    rows::named(choice(80, 6, 0x03, kAutoManual, {"None"}), "auto_manual"),
    rows::named(number(kMaxChannels, 7, 0xFF, {"16"}), "max_channels"),
    number(82, 8, 0x01),
    {.id = kRadioKind, .offset = 8, .mask = 0xFE, .codec = Codec::Choice, .attribute = 0,
     .dflt = {"Vesk", "Tobin"}, .picked = &kKindsByForm, .name = "radio_kind"},
    rows::named(number(kTrunkingSystems, 9, 0xFF, {"0"}, from_03), "max_trunking_systems"),
};
static_assert(layout::layout_ok(kRows, 10) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = 0,
                           .min_count = 1,
                           .max_count = 1,
                           .header_attribute = 2,
                           .keep_unused = true};

int number_of(const std::string& text) { return static_cast<int>(parse_decimal(text)); }

}  // namespace

RadioInfo::RadioInfo() : Cloneable(kFrame) { build_default(); }

const std::string& RadioInfo::text(int32_t field_id) const { return record_.entry(0).text(field_id); }

bool RadioInfo::is_mobile() const { return text(kForm) == "Mobile"; }

int RadioInfo::max_channel_count() const { return number_of(text(kMaxChannels)); }

int RadioInfo::group_member_limit() const { return number_of(text(kGroupMembers)); }

int RadioInfo::max_trunking_systems() const {
  const FieldList& entry = record_.entry(0);
  return entry.contains(kTrunkingSystems) ? number_of(entry.text(kTrunkingSystems)) : 0;
}

}  // namespace cps
