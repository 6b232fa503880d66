#include "gen1/blocks/alert_settings.h"

#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"

namespace cps {

namespace {

using layout::FieldDesc;

constexpr uint8_t kRecordSize = 16;

constexpr Choice kAlerts[] = {{0, "Alert 1"}, {1, "Alert 2"}, {2, "Alert 3"}, {3, "Alert 4"}, {4, "Alert 5"},
                              {5, "Alert 6"}, {6, "Alert 7"}, {255, "Standard"}, kChoiceEnd};
constexpr Choice kModes[] = {{0, "Disabled"}, {1, "Standard"}, {2, "Silent"}, {3, "Silent w/Voice"}, kChoiceEnd};
constexpr Choice kSystemTypes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};

// Field 313 names, as field 314 says, a trunking system or a channel; 255 names none. One whose
// system or channel is deleted names no system any more ("Conventional", 255).
constexpr RefTarget kSystemTargets[] = {
    {.block = 32, .type = "LS Trunking", .reset_type = "Conventional", .none_stays = true},
    {.block = 38, .type = "Conventional", .none_stays = true},
};
constexpr RefSpec kSystem{.type_field = AlertSettings::kSystemTypeField, .targets = kSystemTargets};

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::scaled;
using rows::with_attribute;

constexpr FieldDesc kRows[] = {
    flag(285, 0, 0x01), flag(286, 0, 0x02), flag(287, 0, 0x04), flag(288, 0, 0x08),
    flag(289, 0, 0x10), flag(290, 0, 0x20), flag(291, 0, 0x40), flag(292, 0, 0x80),
    named(choice(293, 1, 0xFF, kAlerts, "Standard"), "alert_tone_1"),
    named(choice(294, 2, 0xFF, kAlerts, "Standard"), "alert_tone_2"),
    number(295, 3, "0"),
    number(296, 4, "1"),
    number(297, 5, "0"),
    number(298, 6, "0"),
    named(choice(299, 7, 0xFF, kAlerts, "Standard"), "alert_tone_3"),
    flag(300, 8, 0x01),
    named(choice(AlertSettings::kModeField, 9, 0x07, kModes, "Disabled"), "mode"),
    scaled(302, 9, 0xE0, 20, "0"),  // stored / 20
    with_attribute(flag(303, 10, 0x01), 2),
    flag(304, 10, 0x02), flag(305, 10, 0x04), flag(306, 10, 0x08),
    flag(307, 10, 0x10), flag(308, 10, 0x20), flag(309, 10, 0x40),
    number(310, 11, "0"),
    number(311, 12, "0"),
    number(312, 13, "0"),
    {.id = AlertSettings::kSystemIndexField, .offset = 14, .dflt = {"255"}, .ranges = &kGen1Ranges,
     .refers = &kSystem, .name = "system_index"},
    named(choice(AlertSettings::kSystemTypeField, 15, 0x07, kSystemTypes, "Conventional"), "system_type"),
    with_attribute(flag(315, 15, 0xF0), 2),  // 0 only
};
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1, .max_count = 1,
                           .header_attribute = 2, .format = 128};

}  // namespace

AlertSettings::AlertSettings() : Cloneable(kFrame) { build_default(); }

void AlertSettings::disable_trunking_mode() {
  for (size_t i = 0; i < record_.entry_count(); ++i) {
    FieldList& entry = record_.entry(i);
    if (entry.text(kSystemTypeField) == "LS Trunking") entry.set_text(kModeField, "Disabled");
  }
}

void AlertSettings::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
