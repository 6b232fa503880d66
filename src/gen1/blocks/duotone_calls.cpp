#include "gen1/blocks/duotone_calls.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr int32_t kCallKind = 621;
constexpr uint8_t kRecordSize = 16;

constexpr Choice kCallKinds[] = {{0, "Two Tone"}, {1, "Long Tone"}, kChoiceEnd};
constexpr Choice kModes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};

// The second tone belongs to a two-tone call only. An entry without its kind (one being taken
// out of order) has the tone tested.
bool two_tone(const FieldList& entry) { return !entry.contains(kCallKind) || entry.text(kCallKind) == "Two Tone"; }

// Field 618 names a Duotone II system (block 42); a call whose system is deleted moves to
// system 0.
constexpr RefTarget kSystemTargets[] = {{.block = 42, .reset_index = "0"}};
constexpr RefSpec kSystem{.targets = kSystemTargets};

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;

// Bits 0x20-0x80 of byte 2 carry no field; byte 16 is the record's checksum.
constexpr FieldDesc kRows[] = {
    {.id = 618, .offset = 0, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kSystem, .name = "system_index"},
    number(619, 1, "255"),
    named(choice(kCallKind, 2, 0x0F, kCallKinds, "Two Tone"), "call_kind"),
    flag(620, 2, 0x10),
    named(choice(623, 3, 0x07, kModes, "Conventional", 2), "mode"),
    flag(622, 3, 0xF0),
    {.id = 624, .offset = 4, .width = 2, .codec = Codec::Scaled, .dflt = {"288.5"}, .ranges = &kGen1Ranges,
     .scale = 0.1, .format = "%.1f", .name = "tone_1"},
    {.id = 625, .offset = 6, .width = 2, .codec = Codec::Scaled, .dflt = {"288.5"}, .ranges = &kGen1Ranges,
     .scale = 0.1, .format = "%.1f", .name = "tone_2", .tested_when = two_tone},
    {.id = kAliasField, .offset = 8, .width = 8, .codec = Codec::Text, .dflt = {""}, .zero_fill = true,
     .trim = false, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kRecordSize,
                           .min_count = 1,
                           .max_count = 30,
                           .header_attribute = 2,
                           .format = 128,
                           .record_checksums = true};

}  // namespace

DuotoneCalls::DuotoneCalls() : Cloneable(kFrame, {.image = kBlockId}) { build_default(); }

}  // namespace cps
