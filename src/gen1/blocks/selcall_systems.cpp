#include "gen1/blocks/selcall_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <array>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kRecordSize = 30;
constexpr int32_t kCallAlertMode = 777;
constexpr int32_t kSelCalMode = 779;
constexpr int32_t kNoMode = 782;
constexpr int32_t kIppanSwitch = 821;
constexpr int32_t kSelectiveCallMode = 874;

// ---- The selective-call mode ------------------------------------------------------------------

// The mode and the bits 777, 779 and 782 that carry it.
struct Mode {
  const char* label;
  std::array<bool, 3> bits;
};
constexpr Mode kModes[] = {
    {"None", {false, false, true}},
    {"Sel Cal", {false, true, false}},
    {"Call Alert", {true, false, false}},
};
constexpr int32_t kModeBits[] = {kCallAlertMode, kSelCalMode, kNoMode};

// The mode of three bits; 107 for any combination that is none.
const char* mode_of(const std::array<bool, 3>& bits) {
  for (const Mode& mode : kModes)
    if (mode.bits == bits) return mode.label;
  raise(err::kInvalidData);
}

const Mode& mode_named(std::string_view label) {
  for (const Mode& mode : kModes)
    if (label == mode.label) return mode;
  raise(err::kInvalidData);
}

// A bit's text as the record holds it: "0" or "1" (107 for anything else).
bool bit_of(std::string_view text) {
  const int64_t value = parse_decimal(text);
  if (value != 0 && value != 1) raise(err::kInvalidData);
  return value == 1;
}

std::array<bool, 3> entry_bits(const FieldList& entry) {
  return {bit_of(entry.text(kCallAlertMode)), bit_of(entry.text(kSelCalMode)), bit_of(entry.text(kNoMode))};
}

std::string mode_decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
  const uint8_t byte = e[row.offset];
  return mode_of({(byte & 0x80) != 0, (byte & 0x20) != 0, (byte & 0x01) != 0});
}
void mode_check(std::string_view text, const FieldDesc&, const BlockBase&) { mode_named(text); }
constexpr CustomCodec kModeCodec{mode_decode, nullptr, mode_check};

// Setting the mode sets its three bits, each with attribute 2.
void mode_sets_bits(FieldList& entry, FieldValue& field, const BlockBase&) {
  const Mode& mode = mode_named(field.value);
  for (size_t i = 0; i < 3; ++i) entry.set({kModeBits[i], mode.bits[i] ? "1" : "0", 2});
}

// Setting one of the bits must leave a mode, which the entry then shows.
void bit_sets_mode(FieldList& entry, FieldValue& field, const BlockBase&) {
  std::array<bool, 3> bits = entry_bits(entry);
  for (size_t i = 0; i < 3; ++i)
    if (kModeBits[i] == field.id) bits[i] = bit_of(field.value);
  entry.set_text(kSelectiveCallMode, mode_of(bits));
}

// ---- The record -------------------------------------------------------------------------------

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::tens;
using rows::with_attribute;
using rows::with_rule;

// In the order the record shows them. Record bytes 5 and 28, bit 0x02 of byte 6, bits 0xFE of
// byte 27 and bits 0x07 of byte 29 carry no field.
constexpr FieldDesc kRows[] = {
    named(choice(767, 0, 0x03, kPrePostIds, "Pre Only"), "pre_post_id"),
    flag(766, 0, 0x04, "1"),
    flag(765, 0, 0x08, "1"),
    flag(764, 0, 0x10, "0"),
    flag(763, 0, 0x20, "0"),
    named(choice(773, 1, 0x03, kAcknowledgeModes, "Auto w/ Carrier Override"), "acknowledge"),
    flag(772, 1, 0x04, "0"),
    flag(771, 1, 0x08, "1"),
    flag(770, 1, 0x10, "1"),
    flag(769, 1, 0x20, "1"),
    named(choice(768, 1, 0xC0, kCallAlerts, "Call Alert"), "call_alert"),
    scaled(774, 2, 0xFF, 25, "0"),
    scaled(775, 3, 0xFF, 25, "0"),
    scaled(776, 4, 0xFF, 25, "500"),
    named(with_rule(flag(kCallAlertMode, 6, 0x80, "0"), bit_sets_mode), "call_alert_mode_bit"),
    flag(778, 6, 0x40, "0"),
    named(with_rule(flag(kSelCalMode, 6, 0x20, "0"), bit_sets_mode), "sel_cal_mode_bit"),
    flag(780, 6, 0x10, "0"),
    flag(781, 6, 0x0C, "0"),
    named(with_rule(flag(kNoMode, 6, 0x01, "1"), bit_sets_mode), "no_mode_bit"),
    flag(783, 7, 0xF0, "0"),
    flag(784, 7, 0x0F, "1"),
    number(785, 8, "0"),
    number(786, 9, "1"),
    {.id = 787, .offset = 10, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranges = &kGen1Ranges, .scale = 0.1,
     .format = "%2.1f"},
    with_attribute(number(788, 11, "64"), 2),
    with_attribute(number(789, 12, "64"), 2),
    with_attribute(number(790, 13, "10"), 2),
    with_attribute(number(791, 14, "5"), 2),
    scaled(792, 15, 0xFF, 25, "50"),
    number(793, 16, "0"),
    scaled(794, 17, 0xFF, 25, "50"),
    with_attribute(number(795, 18, "0"), 2),
    scaled(796, 19, 0xFF, 25, "500"),
    with_attribute(number(797, 20, "1"), 2),
    with_attribute(number(798, 21, "2"), 2),
    named(choice(805, 22, 0x03, kAutoManualModes, "None"), "auto_manual"),
    with_attribute(flag(804, 22, 0x04, "0"), 2),
    named(choice(803, 22, 0x08, kTonePairs, "1200 Hz and 1800 Hz"), "tone_pair"),
    flag(802, 22, 0x10, "1"),
    flag(801, 22, 0x20, "0"),
    flag(800, 22, 0x40, "0"),
    flag(799, 22, 0x80, "0"),
    flag(812, 23, 0x01, "0"),
    flag(811, 23, 0x02, "0"),
    flag(810, 23, 0x04, "0"),
    flag(809, 23, 0x08, "0"),
    flag(808, 23, 0x10, "0"),
    named(choice(807, 23, 0x60, kSilentModes, "Disabled"), "silent_mode"),
    flag(806, 23, 0x80, "1"),
    tens(814, 0x0F),
    tens(813, 0xF0),
    number(815, 25, "0"),
    number(816, 26, "0"),
    flag(817, 27, 0x01, "0"),
    flag(818, 29, 0x80, "1"),
    flag(819, 29, 0x40, "1"),
    flag(820, 29, 0x20, "1"),
    flag(kIppanSwitch, 29, 0x10, "0"),  // 1 on an "Ippan" radio
    flag(822, 29, 0x08, "0"),
    // Shows the mode bits; never packed.
    {.id = kSelectiveCallMode, .offset = 6, .mask = 0xA1, .codec = Codec::Custom, .dflt = {"None"},
     .custom = &kModeCodec, .view = true, .name = "selective_call_mode", .on_set = mode_sets_bits},
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = 4};

}  // namespace

SelCallSystems::SelCallSystems()
    : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage, .alias_length = 8}) {
  build_default();
}

FieldList SelCallSystems::default_entry() const {
  FieldList entry = FramedBlock::default_entry();
  entry.set_text(kIppanSwitch, radio_of(base).ippan ? "1" : "0");
  return entry;
}

// Every system's mode bits form a mode, and field 874 shows it.
void SelCallSystems::finish_record(const BlockRecord& candidate, const BlockRecord&) const {
  for (size_t i = 0; i < candidate.entry_count(); ++i) {
    const FieldList& entry = candidate.entry(i);
    if (entry.text(kSelectiveCallMode) != mode_of(entry_bits(entry))) raise(err::kInvalidData);
  }
}

}  // namespace cps
