// The row builders and the choice tables that the first generation's block tables share. A
// block's table is a list of these calls; modifiers add what a row says beyond its bytes (a
// set rule, a name, an attribute, a condition).
#pragma once

#include "engine/field_layout.h"
#include "gen1/values/radio_context.h"
#include "gen1/values/range_table.h"

namespace cps::rows {

using layout::Codec;
using layout::Condition;
using layout::CustomCodec;
using layout::Default;
using layout::FieldDesc;

// A number in the bits of `mask` (a 0/1 switch where the mask is one bit), checked against its
// range row.
constexpr FieldDesc flag(int32_t id, uint16_t offset, uint8_t mask, const char* dflt = "0",
                         Condition when = nullptr) {
  return {.id = id, .offset = offset, .mask = mask, .dflt = {dflt}, .ranges = &kGen1Ranges, .when = when};
}
// A number of `width` whole bytes, checked against its range row.
constexpr FieldDesc number(int32_t id, uint16_t offset, const char* dflt, Condition when = nullptr,
                           uint8_t width = 1) {
  return {.id = id, .offset = offset, .width = width, .dflt = {dflt}, .ranges = &kGen1Ranges, .when = when};
}
// A label of `table` for the code in the bits of `mask`.
constexpr FieldDesc choice(int32_t id, uint16_t offset, uint8_t mask, const Choice* table, const char* dflt,
                           uint8_t attribute = 1, Condition when = nullptr) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Choice, .attribute = attribute,
          .dflt = {dflt}, .choices = table, .when = when};
}
// A whole number shown as the stored value times `scale`, checked against its range row.
constexpr FieldDesc scaled(int32_t id, uint16_t offset, uint8_t mask, double scale, const char* dflt) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Scaled, .dflt = {dflt},
          .ranges = &kGen1Ranges, .scale = scale};
}
// A row with a codec of its own.
constexpr FieldDesc custom(int32_t id, uint16_t offset, uint8_t mask, uint8_t width, const CustomCodec& codec,
                           Default dflt, uint8_t attribute = 1, bool shares_bits = false) {
  return {.id = id, .offset = offset, .mask = mask, .width = width, .codec = Codec::Custom,
          .attribute = attribute, .dflt = dflt, .custom = &codec, .shares_bits = shares_bits};
}

// Ten-second steps counted from 10, in a nibble of byte 24 of a signalling system: (stored + 1) x 10.
constexpr FieldDesc tens(int32_t id, uint8_t mask) {
  return {.id = id, .offset = 24, .mask = mask, .codec = Codec::Scaled, .dflt = {"10"}, .ranges = &kGen1Ranges,
          .scale = 10, .bias = 10};
}

// ---- Modifiers ------------------------------------------------------------------------------

constexpr FieldDesc with_rule(FieldDesc row, layout::SetRule rule) {
  row.on_set = rule;
  return row;
}
// The field follows others: a set of it alone is refused (104), or taken and dropped.
constexpr FieldDesc set_refused(FieldDesc row) {
  row.set_by = layout::SetBy::Refused;
  return row;
}
constexpr FieldDesc set_ignored(FieldDesc row) {
  row.set_by = layout::SetBy::Ignored;
  return row;
}
// Shows the bits of another row, which packs them.
constexpr FieldDesc view(FieldDesc row) {
  row.view = true;
  return row;
}
constexpr FieldDesc named(FieldDesc row, const char* name) {
  row.name = name;
  return row;
}
constexpr FieldDesc with_attribute(FieldDesc row, uint8_t attribute) {
  row.attribute = attribute;
  return row;
}
constexpr FieldDesc with_default(FieldDesc row, Default dflt) {
  row.dflt = dflt;
  return row;
}

}  // namespace cps::rows

namespace cps {

// The tables have internal linkage (one copy per file that uses them), so that their addresses
// are constants in every build, the sanitizers' included.

// Signalling tone choices of a channel (380, 382) and a personality member (685, 687).
constexpr Choice kTones[] = {{0, "Default"}, {1, "2.100"}, {2, "2.225"}, {3, "2.400"}, kChoiceEnd};
// Emphasis of a channel (390) and a personality member (690).
constexpr Choice kEmphasis[] = {{0, "None"}, {1, "De-Emphasis"}, {2, "Pre-Emphasis"},
                                       {3, "De-Emphasis and Pre-Emphasis"}, kChoiceEnd};
// The choices of a signalling system's record (the FSD, Sel Call and SDT systems): when the
// radio sends its ID, how it acknowledges, its call alert, automatic or manual operation, the
// tone pair, and the silent modes.
constexpr Choice kPrePostIds[] = {{0, "None"}, {1, "Pre Only"}, {2, "Post Only"}, {3, "Pre and Post"}, kChoiceEnd};
constexpr Choice kAcknowledgeModes[] = {{0, "None"}, {1, "Manual"}, {2, "Auto w/o Carrier Override"},
                                        {3, "Auto w/ Carrier Override"}, kChoiceEnd};
constexpr Choice kCallAlerts[] = {{0, "None"}, {1, "Call Alert"}, {2, "Call Alert w/ Voice"}, kChoiceEnd};
constexpr Choice kAutoManualModes[] = {{0, "None"}, {1, "Auto Only"}, {2, "Manual Only"}, {3, "Manual and Auto"},
                                       kChoiceEnd};
constexpr Choice kTonePairs[] = {{0, "1200 Hz or 1800 Hz"}, {1, "1200 Hz and 1800 Hz"}, kChoiceEnd};
constexpr Choice kSilentModes[] = {{0, "Disabled"}, {1, "Per Command"}, {2, "Silent"}, {3, "non-Silent"}, kChoiceEnd};
// Who programmed the radio: block 3 field 86, block 4 field 104.
constexpr Choice kProgrammingSources[] = {{0, "Factory"}, {1, "Depot Tool"}, {2, "CPS"},
                                                 {3, "Field Tool"}, {4, "Tuner"}, kChoiceEnd};

}  // namespace cps
