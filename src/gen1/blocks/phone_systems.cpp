#include "gen1/blocks/phone_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/dtmf_digits.h"
#include "gen1/values/radio_context.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 24;
constexpr uint8_t kMaxSystems = 4;
constexpr uint8_t kAliasLengthOfNew = 16;

constexpr Choice kDialModes[] = {{0, "Buffered Dial"}, {1, "Live Dial"}, kChoiceEnd};
constexpr Choice kAccessTimes[] = {{0, "Timed"}, {1, "Continuous"}, kChoiceEnd};
constexpr Choice kAccessModes[] = {{0, "Immediate Auto"}, {1, "Delayed Auto"}, {2, "Manual"}, kChoiceEnd};
constexpr Choice kSystemTypes[] = {{0, "Unassigned"}, {2, "LS Trunking"}, kChoiceEnd};

// The trunking fields are the host's to set one by one only where the radio allows LS
// trunking (block 2 field 61); elsewhere the radio has no such fields (104).
void needs_trunking(FieldList&, FieldValue&, const BlockBase& base) {
  if (!radio_of(base).trunking) raise(err::kFieldNotFound);
}

// Field 601 names a trunking system while 600 reads "LS Trunking"; a phone system whose trunking
// system is deleted becomes "Unassigned" with none (255), and 255 is never lowered.
constexpr RefTarget kTrunkingTargets[] = {
    {.block = 32, .type = "LS Trunking", .reset_type = "Unassigned", .none_stays = true}};
constexpr RefSpec kTrunkingSystem{.type_field = 600, .targets = kTrunkingTargets};

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::scaled;
using rows::with_attribute;
using rows::with_rule;

// (stored + 1) x 25 ms.
constexpr FieldDesc tone_time(int32_t id, uint16_t offset, const char* dflt) {
  return {.id = id, .offset = offset, .codec = Codec::Scaled, .dflt = {dflt}, .ranges = &kGen1Ranges, .scale = 25,
          .bias = 25};
}

// Bytes 1, 3-5, 22 and 23 and the bits without a field pack as 0.
constexpr FieldDesc kRows[] = {
    flag(582, 0, 0x10, "0"),
    flag(581, 0, 0x20, "1"),
    scaled(583, 2, 0xFF, 25, "500"),  // ms
    named(custom(584, 6, 0xFF, 4, kDtmfDigitString, {""}), "access_string_1"),
    named(custom(585, 10, 0xFF, 4, kDtmfDigitString, {""}), "access_string_2"),
    tone_time(586, 14, "100"),
    tone_time(587, 15, "75"),
    named(choice(593, 16, 0x01, kDialModes, "Live Dial"), "dial_mode"),
    flag(592, 16, 0x02, "1"),
    flag(591, 16, 0x04, "0"),
    {.id = 590, .offset = 16, .mask = 0x08, .dflt = {"1", "0"}, .ranges = &kGen1Ranges},  // on a mobile
    flag(589, 16, 0x10, "0"),
    {.id = 588, .offset = 16, .mask = 0xE0, .codec = Codec::Scaled, .dflt = {"1.0"}, .ranges = &kGen1Ranges,
     .scale = 0.5, .format = "%.1f"},  // s
    with_attribute(flag(596, 17, 0x01, "0"), 2),
    named(choice(595, 17, 0x10, kAccessTimes, "Timed"), "access_time"),
    named(choice(594, 17, 0x60, kAccessModes, "Immediate Auto"), "access_mode"),
    scaled(597, 18, 0xFF, 25, "100"),   // ms
    scaled(598, 19, 0xFF, 25, "1000"),  // ms
    named(with_rule(choice(600, 20, 0x07, kSystemTypes, "Unassigned"), needs_trunking), "system_type"),
    with_rule(with_attribute(flag(599, 20, 0x78, "0"), 2), needs_trunking),
    {.id = 601, .offset = 21, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kTrunkingSystem,
     .name = "trunking_system", .on_set = needs_trunking},
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = kMaxSystems};

}  // namespace

PhoneSystems::PhoneSystems()
    : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage, .alias_length = kAliasLengthOfNew}) {
  build_default();
}

}  // namespace cps
