#include "gen1/blocks/dtmf_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/dtmf_digits.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr uint8_t kSystemSize = 22;
constexpr uint8_t kMaxSystems = 4;

constexpr Choice kSideTone[] = {{0, "None"}, {1, "Tone"}, {2, "Digit"}, {3, "ID"}, kChoiceEnd};

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::scaled;

// Bytes 4, 5, 20 and 21, bit 0x08 and bits 0xC0 of byte 0 carry nothing and pack as 0.
constexpr FieldDesc kRows[] = {
    named(choice(493, 0, 0x03, kPrePostIds, "Pre Only"), "transmit_id"),
    flag(492, 0, 0x04, "1"),
    flag(491, 0, 0x10, "0"),
    flag(490, 0, 0x20, "1"),
    named(choice(499, 1, 0x03, kAcknowledgeModes, "Auto w/ Carrier Override"), "acknowledge"),
    flag(498, 1, 0x04, "0"),
    flag(496, 1, 0x08, "1"),
    flag(497, 1, 0x10, "1"),
    flag(495, 1, 0x20, "0"),
    named(choice(494, 1, 0xC0, kCallAlerts, "Call Alert"), "call_alert"),
    scaled(500, 2, 0xFF, 25, "500"),  // ms
    scaled(501, 3, 0xFF, 25, "500"),  // ms
    named(custom(502, 6, 0xFF, 4, kDtmfDigitString, {"11111111"}), "dtmf_string_1"),
    named(custom(503, 10, 0xFF, 4, kDtmfDigitString, {"11111111"}), "dtmf_string_2"),
    {.id = 504, .offset = 14, .codec = Codec::Scaled, .dflt = {"100"}, .ranges = &kGen1Ranges, .scale = 25,
     .bias = 25},  // (stored + 1) x 25
    {.id = 505, .offset = 15, .codec = Codec::Scaled, .dflt = {"50"}, .ranges = &kGen1Ranges, .scale = 25,
     .bias = 25},
    {.id = 506, .offset = 16, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranges = &kGen1Ranges, .scale = 0.1,
     .format = "%2.1f"},
    {.id = 507, .offset = 17, .width = 2, .codec = Codec::Scaled, .dflt = {"2.5"}, .ranges = &kGen1Ranges,
     .scale = 0.025, .format = "%.1f"},  // big-endian count of 0.025
    named(choice(509, 19, 0x0F, kSideTone, "ID"), "side_tone"),
    named(choice(508, 19, 0xF0, kDtmfDigits, "0"), "side_tone_digit"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kSystemSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kSystemSize,
                           .min_count = 1,
                           .max_count = kMaxSystems,
                           .header_attribute = 2,
                           .count_attribute = 1,
                           .format = 128};

}  // namespace

DtmfSystems::DtmfSystems() : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage}) { build_default(); }

void DtmfSystems::check_field(const FieldValue& field) const {
  switch (field.id) {
    case kFormatField:
    case kRecordSizeField:
    case kRecordCountField:
      return check_frame_field(*frame_, field, base);
    default:
      return FramedBlock::check_field(field);
  }
}

}  // namespace cps
