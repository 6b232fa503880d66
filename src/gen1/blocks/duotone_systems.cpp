#include "gen1/blocks/duotone_systems.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <string>

namespace cps {

namespace {

using layout::Codec;
using layout::EntryCondition;
using layout::FieldDesc;

constexpr int32_t kFormat = 376;
constexpr uint8_t kRecordSize = 19;
// The alias header fields a record carries after its alias image, in record order.

// Which tones follow which, and which are long.
constexpr Choice kFormats[] = {{0, "A-B"},
                               {1, "A-B/A-C"},
                               {2, "A-B/C-B"},
                               {3, "A-B/Long B"},
                               {4, "A-B/Long C"},
                               {5, "A-B/A-C/Long C"},
                               {6, "A-B/Long B/Long C"},
                               {7, "A-B/A-C/Long B/Long C"},
                               {8, "A-B/A-D/C-D"},
                               {9, "A-B/C-D"},
                               kChoiceEnd};
constexpr Choice kToneAlert[] = {{0, "None"}, {1, "w/Tone"}, kChoiceEnd};

// Tone C is part of every format but "A-B" and "A-B/Long B"; tone D only of the two C-D formats.
// An entry without a format (one being taken out of order) has its tones tested.
bool uses_tone_c(const FieldList& entry) {
  if (!entry.contains(kFormat)) return true;
  const std::string& format = entry.text(kFormat);
  return format != "A-B" && format != "A-B/Long B";
}
bool uses_tone_d(const FieldList& entry) {
  if (!entry.contains(kFormat)) return true;
  const std::string& format = entry.text(kFormat);
  return format == "A-B/A-D/C-D" || format == "A-B/C-D";
}

// A tone frequency in Hz: a big-endian count of 0.1 Hz.
constexpr FieldDesc tone(int32_t id, uint16_t offset, const char* dflt, const char* name,
                         EntryCondition tested_when = nullptr) {
  return {.id = id, .offset = offset, .width = 2, .codec = Codec::Scaled, .dflt = {dflt},
          .ranges = &kGen1Ranges, .scale = 0.1, .format = "%.1f", .name = name, .tested_when = tested_when};
}

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::with_attribute;

// In the order a system is read: the format before the tones it decides the tests of. Bytes 4
// and 5, bits 0x0F and 0xC0 of byte 0 and bits 0xF0 of byte 18 carry no field.
constexpr FieldDesc kRows[] = {
    flag(362, 0, 0x10),
    flag(363, 0, 0x20, "1"),
    named(choice(364, 1, 0x03, kAcknowledgeModes, "Auto w/ Carrier Override"), "acknowledge"),
    flag(365, 1, 0x04),
    flag(366, 1, 0x08, "1"),
    flag(367, 1, 0x10, "1"),
    flag(368, 1, 0x20),
    named(choice(369, 1, 0xC0, kCallAlerts, "Call Alert"), "call_alert"),
    scaled(370, 2, 0xFF, 25, "500"),
    scaled(371, 3, 0xFF, 25, "500"),
    named(choice(kFormat, 14, 0xFF, kFormats, "A-B"), "tone_format"),
    tone(372, 6, "358.6", "tone_a"),
    tone(373, 8, "903.2", "tone_b"),
    tone(374, 10, "0.0", "tone_c", uses_tone_c),
    tone(375, 12, "0.0", "tone_d", uses_tone_d),
    number(377, 15, "9"),
    with_attribute(number(378, 16, "32768", nullptr, 2), 2),
    choice(379, 18, 0x0F, kToneAlert, "None"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kRecordSize,
                           .min_count = 1,
                           .max_count = 4,
                           .header_attribute = 2,
                           .format = 128};

}  // namespace

DuotoneSystems::DuotoneSystems() : Cloneable(kFrame, {.image = kSystemImage, .aliases = kAliasImage}) {
  build_default();
}

}  // namespace cps
