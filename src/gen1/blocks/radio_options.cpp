#include "gen1/blocks/radio_options.h"

#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <cstdio>

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

// Field 750 exists in codeplug versions above this one.
constexpr const char* kMemberPositionAfter = "03";
bool member_position_form(const BlockBase& b) { return b.version > kMemberPositionAfter; }

constexpr Choice kAlertStyles[] = {{0, "None"}, {1, "Lights / LEDs"}, {2, "Tones"}, {3, "Lights / LEDs / Tones"},
                                   kChoiceEnd};
constexpr Choice kClockFormats[] = {{0, "24-hour format"}, {1, "12-hour format"}, kChoiceEnd};
constexpr Choice kLevels[] = {{0, "Off"}, {1, "Low"}, {2, "Medium"}, {3, "High"}, kChoiceEnd};
constexpr Choice kStartModes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};
constexpr Choice kAllGroupStates[] = {{0, "All Group not active"}, {1, "All Group active"}, kChoiceEnd};
constexpr Choice kLanguages[] = {{0, "English"}, {1, "Spanish"}, {2, "Portuguese"}, {3, "French-Canadian"},
                                 kChoiceEnd};

// Field 202: the 14 low bits of bytes 10-11 (big-endian), shown with at least four digits. The
// two high bits are the switches 203 and 204, which keep their values when 202 is stored.
constexpr uint16_t kNumberBits = 0x3FFF;
std::string number_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  char text[16];
  std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(read_be(entry + row.offset, 2) & kNumberBits));
  return text;
}
void number_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const int64_t value = parse_decimal(text);
  if (value < 0 || value > kNumberBits) raise(err::kInvalidData);
  const uint32_t kept = read_be(entry + row.offset, 2) & ~uint32_t{kNumberBits} & 0xFFFF;
  write_be(kept | static_cast<uint32_t>(value), entry + row.offset, 2);
}
void number_check(std::string_view text, const FieldDesc&, const BlockBase&) { parse_decimal(text); }
constexpr layout::CustomCodec kNumberCodec{number_decode, number_encode, number_check};

// Field 750 names a member of a channel group by its position from 1, whichever group holds it:
// deleting that member clears it to 0, deleting one before it lowers it by one.
constexpr RefTarget kMemberTargets[] = {{.block = 6, .reset_index = "0", .member_position = true}};
constexpr RefSpec kMember{.targets = kMemberTargets};

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::with_attribute;

constexpr FieldDesc flag2(int32_t id, uint16_t offset, uint8_t mask) { return with_attribute(flag(id, offset, mask), 2); }

// Offsets count from the record's first byte (image byte 3); byte 12 of the image carries no
// field. Defaults: no alert indication, a 24-hour clock, the backlight off, conventional start,
// English, number 0000, no member position.
constexpr FieldDesc kRows[] = {
    named(choice(182, 0, 0x03, kAlertStyles, "None"), "alert_indication"),
    flag2(183, 0, 0x04),
    flag(184, 0, 0x08),
    named(choice(185, 0, 0x10, kClockFormats, "24-hour format", 2), "clock_format"),
    flag2(186, 0, 0x20),
    flag(187, 0, 0x40),
    flag2(188, 0, 0x80),
    with_attribute(number(189, 1, "0"), 2),
    with_attribute(number(190, 2, "0"), 2),
    with_attribute(number(191, 3, "0"), 2),
    flag2(192, 4, 0x0F),
    flag(193, 4, 0x10),
    flag(194, 4, 0x20),
    flag2(195, 4, 0x40),
    flag(196, 4, 0x80),
    named(choice(197, 5, 0x03, kLevels, "Off"), "backlight_level"),
    named(choice(198, 5, 0x0C, kStartModes, "Conventional", 2), "start_mode"),
    named(choice(199, 5, 0x10, kAllGroupStates, "All Group not active", 2), "all_group_state"),
    flag2(200, 6, 0x03),
    named(choice(201, 6, 0xF0, kLanguages, "English"), "display_language"),
    flag(203, 7, 0x40),
    flag2(204, 7, 0x80),
    {.id = RadioOptions::kNumber, .offset = 7, .width = 2, .codec = Codec::Custom, .dflt = {"0000"},
     .ranges = &kGen1Ranges, .custom = &kNumberCodec, .shares_bits = true, .name = "number"},
    with_attribute(number(205, 10, "0"), 2),
    {.id = RadioOptions::kMemberPosition, .offset = 11, .dflt = {"0"}, .ranges = &kGen1Ranges,
     .when = member_position_form, .refers = &kMember, .name = "group_member_position"},
};
static_assert(layout::layout_ok(kRows, 12) && layout::choices_fit(kRows));

// Any record size the form's fields fit in (12 bytes with field 750, 11 without); bytes without
// a field keep what the radio had.
constexpr ListFrame kFrame{.rows = kRows, .record_size = 0, .min_count = 1, .max_count = 1, .header_attribute = 2,
                           .format = 128, .keep_unused = true};

}  // namespace

RadioOptions::RadioOptions() : Cloneable(kFrame) { build_default(); }

void RadioOptions::adapt_to_form() { record_ = conformed(std::move(record_)); }

std::vector<uint8_t> RadioOptions::pack(int32_t) { return pack_conformed(); }

}  // namespace cps
