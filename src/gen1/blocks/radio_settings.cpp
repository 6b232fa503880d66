#include "gen1/blocks/radio_settings.h"

#include "engine/block_handler.h"
#include "gen1/values/power_level.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::Condition;
using layout::FieldDesc;

constexpr int32_t kChannels = 38;
constexpr int32_t kTrunkingSystems = 32;

// ---- Forms ------------------------------------------------------------------------------------

bool mobile(const BlockBase& b) { return b.mobile == 1; }
bool portable(const BlockBase& b) { return b.mobile != 1; }
bool class_0(const BlockBase& b) { return !b.long_form(); }
bool class_1_or_2(const BlockBase& b) { return b.long_form(); }
bool before_03(const BlockBase& b) { return b.version < "03"; }
bool from_03(const BlockBase& b) { return !(b.version < "03"); }
bool only_02(const BlockBase& b) { return b.version == "02"; }
bool from_06(const BlockBase& b) { return !(b.version < "06"); }
bool variant_form(const BlockBase& b) { return from_03(b) && b.long_form(); }
bool field_884_form(const BlockBase& b) { return !(b.version < "07") && !b.long_form() && portable(b); }

// ---- Choices ----------------------------------------------------------------------------------

constexpr Choice kSquelchModes[] = {{0, "Open Squelch"}, {1, "Silent"}, kChoiceEnd};
constexpr Choice kMicrophones[] = {{0, "Standard Microphone"}, {1, "Standard Mic/Menu Control Head"},
                                   {2, "Programmable-Menu/Numeric Mic"}, {3, "Programmable/Numeric Mic"},
                                   {4, "Menu/Programmable/Numeric"}, kChoiceEnd};
constexpr Choice kKeypads[] = {{0, "No Keypad"}, {1, "Programmable-Menu"}, {2, "Programmable-Menu/Numeric"},
                               {3, "Programmable/Numeric"}, {4, "Menu/Programmable/Numeric"}, kChoiceEnd};
constexpr Choice kKeyTones[] = {{0, "Disabled"}, {1, "Normal"}, {2, "Musical"}, kChoiceEnd};
constexpr Choice kLimiterFilter[] = {{0, "Routed thru post-limiter 3kHz LP filter"},
                                     {1, "Bypassed post-limiter 3kHz LP filter"}, kChoiceEnd};
constexpr Choice kAudioModes[] = {{0, "Improved Audio"}, {1, "Normal Audio"}, kChoiceEnd};
constexpr Choice kOptionInterfaces[] = {{0, "None"}, {3, "Simple Decoder"}, {4, "Simple Option Interface"},
                                        {5, "Advanced Option Interface"}, kChoiceEnd};
constexpr Choice kScanSuspend[] = {{0, "Disabled"}, {1, "Suspend Non-Priority Scan"}, {2, "Suspend All Scan"},
                                   kChoiceEnd};
// A signed step stored as its two's-complement byte.
constexpr Choice kSteps[] = {{206, "-50"}, {216, "-40"}, {226, "-30"}, {236, "-20"}, {246, "-10"}, {0, "0"},
                             {10, "+10"}, {20, "+20"}, {30, "+30"}, {40, "+40"}, {50, "+50"}, kChoiceEnd};
constexpr Choice kVariants[] = {{0, "Null"}, {1, "Kani"}, {2, "Ippan"}, kChoiceEnd};
constexpr Choice kChannelTypes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};
constexpr Choice kAudioSources[] = {{0, "Control Head"}, {1, "Accessory Connector"}, kChoiceEnd};
constexpr Choice kAccessoryAudio[] = {{0, "Disabled"}, {1, "Ext Mic Audio"}, {2, "Flat Tx Audio"},
                                      {3, "Ext Mic and Flat Tx Audio"}, kChoiceEnd};
constexpr Choice kDisplayLines[] = {{0, "Blank"}, {1, "Channel/Group Alias"}, {2, "Frequency XQ"}, {3, "Zone Alias"},
                                    {4, "Clock/Status"}, kChoiceEnd};

// ---- References -------------------------------------------------------------------------------

// A channel reference to a deleted trunking system becomes index 0; it stays on trunking while
// another system remains, and turns conventional when the last one goes. The systems are
// counted before the deletion.
std::pair<std::string, std::string> trunking_fallback(BlockDirectory& blocks,
                                                      const std::pair<std::string, std::string>&) {
  const BlockHandler* systems = blocks.find(kTrunkingSystems);
  const size_t count = systems != nullptr ? systems->block().entry_count() : 0;
  return {count < 2 ? "Conventional" : "LS Trunking", "0"};
}

// 747 (typed by 746) and 749 (typed by 748) name a channel of the channel list or a trunking
// system. A reference to a deleted channel falls back to channel 0.
constexpr RefTarget kChannelTargets[] = {
    {.block = kChannels, .type = "Conventional", .reset_index = "0"},
    {.block = kTrunkingSystems, .type = "LS Trunking", .reset_rule = trunking_fallback},
};
constexpr RefSpec kDefaultChannel{.type_field = RadioSettings::kDefaultChannelType, .targets = kChannelTargets};
constexpr RefSpec kSecondChannel{.type_field = RadioSettings::kSecondChannelType, .targets = kChannelTargets};

// Field 659 of the "02" form stands for a channel type that form does not store: always 0.
void always_zero(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (parse_decimal(text) != 0) raise(err::kInvalidData);
}
constexpr layout::CustomCodec kAlwaysZero{nullptr, nullptr, always_zero};

// Field 470 (byte 32 of a mobile) is checked against the range row of 162, the same byte on a
// portable.
void like_field_162(std::string_view text, const FieldDesc&, const BlockBase&) {
  check_range(162, parse_number(text));
}
constexpr layout::CustomCodec kLikeField162{nullptr, nullptr, like_field_162};

// ---- The record -------------------------------------------------------------------------------

using rows::choice;
using rows::flag;
using rows::named;
using rows::number;
using rows::with_attribute;

constexpr FieldDesc when(FieldDesc row, Condition condition) {
  row.when = condition;
  return row;
}
// A number shown as the stored value times `scale` (plus `bias`), through `format`.
constexpr FieldDesc scaled(int32_t id, uint16_t offset, uint8_t mask, double scale, const char* dflt,
                           const char* format = "%d", double bias = 0.0) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Scaled, .dflt = {dflt}, .ranges = &kGen1Ranges,
          .scale = scale, .bias = bias, .format = format};
}
constexpr FieldDesc flag2(int32_t id, uint16_t offset, uint8_t mask) { return with_attribute(flag(id, offset, mask), 2); }
constexpr FieldDesc number2(int32_t id, uint16_t offset, const char* dflt = "0") {
  return with_attribute(number(id, offset, dflt), 2);
}
constexpr FieldDesc power(int32_t id, uint16_t offset, const char* dflt) {
  return {.id = id, .offset = offset, .codec = Codec::Custom, .dflt = {dflt}, .ranges = &kGen1Ranges,
          .when = portable, .custom = &kPowerLevel};
}

// Offsets count from the record's first byte (image byte 3). Defaults: every switch off, a
// standard microphone or no keypad, normal key tones, no option interface, the default channel
// conventional channel 0, blank display lines but the first.
constexpr FieldDesc kRows[] = {
    flag(107, 0, 0x01),
    flag2(108, 0, 0x02),
    flag(752, 0, 0x04, "0", class_1_or_2),
    flag(109, 0, 0x08),
    flag(110, 0, 0x10),
    flag2(111, 0, 0x20),
    flag(112, 0, 0x40),
    flag(113, 0, 0x80),
    flag2(118, 1, 0x80),
    choice(117, 1, 0x40, kSquelchModes, "Open Squelch"),
    flag2(116, 1, 0x20),
    flag(115, 1, 0x10),
    named(choice(447, 1, 0x0F, kMicrophones, "Standard Microphone", 1, portable), "microphone"),
    named(choice(114, 1, 0x0F, kKeypads, "No Keypad", 1, mobile), "keypad"),
    named(choice(124, 2, 0xC0, kKeyTones, "Normal", 2), "key_tones"),
    flag(753, 2, 0x20),
    flag(123, 2, 0x10),
    flag(122, 2, 0x08),
    flag(121, 2, 0x04),
    flag(120, 2, 0x02),
    flag(119, 2, 0x01),
    flag(125, 3, 0x02),
    flag(126, 3, 0x04),
    flag(127, 3, 0x08),
    flag(128, 3, 0x10),
    flag(129, 3, 0x20),
    flag(130, 3, 0x40),
    flag(131, 3, 0x80),
    scaled(132, 4, 0xFF, 5, "0"),
    number2(133, 5),
    number2(134, 6),
    named(choice(137, 7, 0x80, kLimiterFilter, "Routed thru post-limiter 3kHz LP filter", 2), "post_limiter_filter"),
    named(choice(136, 7, 0x40, kAudioModes, "Improved Audio", 2), "audio_mode"),
    scaled(135, 7, 0x3F, 500, "1000"),
    number(138, 8, "1"),
    with_attribute(scaled(139, 9, 0xFF, 250, "0"), 2),
    named(choice(140, 10, 0xFF, kOptionInterfaces, "None"), "option_interface"),
    flag(144, 11, 0x80),
    flag(143, 11, 0x40),
    flag(142, 11, 0x20),
    scaled(141, 11, 0x1F, 250, "0"),
    named(choice(147, 12, 0x0C, kScanSuspend, "Disabled"), "scan_suspend"),
    flag(146, 12, 0x02),
    flag(145, 12, 0x01),
    choice(148, 13, 0xFF, kSteps, "0"),
    number2(149, 14),
    number2(150, 15),
    number2(151, 16),
    number2(152, 17),
    number2(153, 18),
    number(154, 19, "1"),
    number(155, 20, "0"),
    with_attribute(scaled(156, 21, 0xFF, 25, "0"), 2),
    number(157, 22, "60", nullptr, 2),
    number(158, 24, "1"),
    scaled(159, 25, 0xFF, 0.25, "1.00", "%2.2f"),
    scaled(160, 26, 0xFF, 0.25, "1.00", "%2.2f"),
    scaled(161, 28, 0xFF, 1.5, "1.5", "%2.1f"),
    when(scaled(162, 29, 0xFF, 1.5, "1.5", "%2.1f"), portable),
    // The mobile's field of byte 32 has no range row of its own: it takes the portable's.
    {.id = 470, .offset = 29, .codec = Codec::Scaled, .dflt = {"1.5"}, .scale = 1.5, .format = "%2.1f",
     .when = mobile, .custom = &kLikeField162},
    flag(881, 30, 0x80, "0", from_06),
    flag(884, 30, 0x40, "0", field_884_form),
    scaled(163, 30, 0x1F, 1.5, "1.5", "%2.1f"),
    flag(882, 31, 0x80, "0", from_06),
    named(power(164, 32, "5.0"), "power_level_1"),  // W
    named(power(165, 33, "1.0"), "power_level_2"),  // W
    named(choice(RadioSettings::kSignallingVariant, 34, 0xC0, kVariants, "Null", 1, variant_form),
          "signalling_variant"),
    named(choice(RadioSettings::kDefaultChannelType, 34, 0x07, kChannelTypes, "Conventional", 1, from_03),
          "default_channel_type"),
    {.id = RadioSettings::kDefaultChannelIndex, .offset = 35, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = from_03,
     .refers = &kDefaultChannel, .name = "default_channel_index"},
    when(scaled(166, 34, 0xFF, 1, "1", "%d", 1), before_03),  // stored + 1
    number(167, 35, "0", before_03),
    choice(169, 36, 0x20, kAudioSources, "Control Head"),
    scaled(168, 36, 0x1F, 1.5, "1.5", "%2.1f"),
    choice(173, 37, 0x30, kAccessoryAudio, "Disabled"),
    choice(172, 37, 0x0C, kAccessoryAudio, "Disabled"),
    flag(171, 37, 0x02),
    flag(170, 37, 0x01),
    {.id = 174, .offset = 38, .width = 8, .codec = Codec::Text, .dflt = {"        "}, .trim = false},
    // Classes 1 and 2 keep two values of their own in bytes 49-56, carried as they are.
    {.id = 755, .offset = 46, .width = 4, .when = class_1_or_2},
    {.id = 756, .offset = 50, .width = 4, .when = class_1_or_2},
    named(choice(175, 50, 0xFF, kDisplayLines, "Channel/Group Alias", 1, class_0), "display_line_1"),
    named(choice(176, 51, 0xFF, kDisplayLines, "Blank", 1, class_0), "display_line_2"),
    named(choice(177, 52, 0xFF, kDisplayLines, "Blank", 1, class_0), "display_line_3"),
    named(choice(178, 53, 0xFF, kDisplayLines, "Blank", 1, class_0), "display_line_4"),
    flag(181, 54, 0x04),
    flag(180, 54, 0x02),
    flag(179, 54, 0x01),
    named(choice(RadioSettings::kSecondChannelType, 55, 0x07, kChannelTypes, "Conventional", 1, from_03),
          "second_channel_type"),
    {.id = RadioSettings::kSecondChannelIndex, .offset = 56, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = from_03,
     .refers = &kSecondChannel, .name = "second_channel_index"},
    {.id = 659, .codec = Codec::Virtual, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = only_02, .custom = &kAlwaysZero},
    number(660, 56, "0", only_02),
};
static_assert(layout::layout_ok(kRows, 57) && layout::choices_fit(kRows));

// Any record size the form's fields fit in (57 bytes from "02", 55 in "01"); bytes without a
// field keep what the radio had.
constexpr ListFrame kFrame{.rows = kRows, .record_size = 0, .min_count = 1, .max_count = 1, .header_attribute = 2,
                           .format = 128, .keep_unused = true};

}  // namespace

RadioSettings::RadioSettings() : Cloneable(kFrame) { build_default(); }

void RadioSettings::adapt_to_form() { record_ = conformed(std::move(record_)); }

std::vector<uint8_t> RadioSettings::pack(int32_t) { return pack_conformed(); }

}  // namespace cps
