#include "gen1/blocks/channel_list.h"

#include "platform/errors.h"
#include "gen1/values/alias_table.h"
#include "gen1/values/frequency.h"
#include "gen1/values/reference_resets.h"
#include "gen1/values/rows.h"
#include "gen1/values/range_table.h"

#include <algorithm>
#include <array>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::PickedLabels;
using layout::Default;
using layout::FieldDesc;

// Fields a rule names.
constexpr int32_t kRxFrequencyField = 455;
constexpr int32_t kTxFrequencyField = 456;
constexpr int32_t kSpacing = 386;
constexpr int32_t kDeviation = 387;
constexpr int32_t kCode1 = 391;
constexpr int32_t kCode2 = 392;
constexpr int32_t kLockout = 393;
constexpr int32_t kSquelch1 = 396;
constexpr int32_t kSquelch2 = 397;
constexpr int32_t kExtendedLockout = 664;
constexpr int32_t kTrunkingKind = 744;
constexpr int32_t kAliasByte0 = 49;
constexpr int32_t kAliasHeader3 = 465;

constexpr uint8_t kEntryV1 = 24;   // version text "01"
constexpr uint8_t kEntryV2 = 27;   // from "02"

// ---- Forms ------------------------------------------------------------------------------------

int major_of(const BlockBase& b) {
  const int64_t v = b.version.size() == 2 && b.version[0] >= '0' && b.version[0] <= '9' &&
                            b.version[1] >= '0' && b.version[1] <= '9'
                        ? (b.version[0] - '0') * 10 + (b.version[1] - '0')
                        : 0;
  return static_cast<int>(v);
}

bool above_01(const BlockBase& b) { return b.version > "01"; }
bool is_01(const BlockBase& b) { return !above_01(b); }
bool v02_portable(const BlockBase& b) { return b.version == "02" && b.mobile == 0; }
bool above_02_portable(const BlockBase& b) { return b.version > "02" && b.mobile == 0; }
bool class_0(const BlockBase& b) { return !b.long_form(); }
bool class_12(const BlockBase& b) { return b.long_form(); }
bool class_12_above_01(const BlockBase& b) { return b.long_form() && above_01(b); }
// Byte 25 does not exist in a 24-byte entry: fields 875 and 876 of market classes 1 and 2 then
// show their default and are not stored.
bool class_12_01(const BlockBase& b) { return b.long_form() && is_01(b); }
bool class_12_from_05(const BlockBase& b) { return b.long_form() && b.version >= "05"; }

uint8_t entry_size(const BlockBase& b) { return above_01(b) ? kEntryV2 : kEntryV1; }

// ---- Choice tables ----------------------------------------------------------------------------

constexpr Choice kLockouts[] = {{0, "Disabled"}, {1, "On Carrier"}, {2, "On Wrong XQ"}, kChoiceEnd};
constexpr Choice kUnmuting[] = {{0, "Std Unmuting, Std Muting"}, {2, "And Unmuting, Std Muting"},
                                {3, "And Unmuting, Or Muting"}, kChoiceEnd};
constexpr Choice kSquelchMode[] = {{0, "Normal"}, {1, "Tight"}, kChoiceEnd};
constexpr Choice kTimeouts[] = {{0, "Infinite"}, {1, "15"}, {2, "30"}, {3, "45"}, {4, "60"},
                                {5, "90"}, {6, "120"}, {7, "180"}, kChoiceEnd};
constexpr Choice kOrAnd[] = {{0, "Or"}, {1, "And"}, kChoiceEnd};
constexpr Choice kPower[] = {{0, "Low"}, {1, "High"}, {2, "Auto"}, kChoiceEnd};
constexpr Choice kTalkaround[] = {{0, "Repeater"}, {1, "Talkaround"}, kChoiceEnd};
constexpr Choice kCompanding[] = {{0, "Disabled"}, {1, "Full Companding"}, kChoiceEnd};
constexpr Choice kExpansion[] = {{0, "Disabled"}, {1, "Full Expansion"}, {2, "AGC Mode"},
                                 {3, "Low-level Expansion"}, kChoiceEnd};
constexpr Choice kCompression[] = {{0, "Disabled"}, {1, "Full Compression"}, {2, "AGC Mode"}, kChoiceEnd};
constexpr Choice kSignallingA[] = {{0, "None"}, {1, "FSD"}, {2, "Duotone II"}, {3, "DTMF"}, kChoiceEnd};
constexpr Choice kSignallingB[] = {{0, "None"}, {1, "FSD"}, {2, "Duotone II"}, {3, "DTMF"},
                                   {5, "SDT"}, {6, "ATIS"}, kChoiceEnd};
constexpr Choice kRxOffset[] = {{0, "CPS-Defined Frequency"}, {1, "Negative Rx Offset"},
                                {2, "Positive Rx Offset"}, {3, "No Rx Offset"}, kChoiceEnd};
constexpr Choice kDataPort[] = {{0, "Option Board"}, {1, "PC Host"}, kChoiceEnd};
constexpr Choice kChannelKinds[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};
constexpr Choice kTimerModes[] = {{0, "Non-Cumulative"}, {1, "Cumulative"}, kChoiceEnd};
// The extended lockout: its code 0 covers the three lockouts of field 393.
constexpr Choice kExtendedLockouts[] = {{0, "Disabled"}, {0, "On Carrier"}, {0, "On Wrong XQ"},
                                        {1, "On Wrong Past XQ"}, {3, "During Carrier Gone Timer"},
                                        {4, "On Correct XQ"}, {5, "On Carrier or XQ but No Past XQ"},
                                        {6, "On XQ or Past XQ"}, kChoiceEnd};

// Labels of field 393 that older hosts send, and what they mean now.
constexpr std::array<std::pair<const char*, const char*>, 2> kOldLockouts = {{
    {"On Busy Channel", "On Carrier"},
    {"On Busy Channel With Wrong XQ Code", "On Wrong XQ"},
}};

std::string current_lockout(std::string_view text) {
  for (const auto& [old_label, label] : kOldLockouts)
    if (text == old_label) return label;
  return std::string(text);
}

// ---- Codecs -----------------------------------------------------------------------------------

// Frequencies: a count of 0 is unprogrammed.
using RxFrequency = EntryFrequency<0x0C, 3, 0>;
using TxFrequency = EntryFrequency<0xC0, 1, 0>;
constexpr CustomCodec kRxFrequency{RxFrequency::decode, RxFrequency::encode, RxFrequency::check};
constexpr CustomCodec kTxFrequency{TxFrequency::decode, TxFrequency::encode, TxFrequency::check};


// Squelch codes: words at bytes 6 and 8, read by the squelch types of byte 10, which pack before
// them.
template <uint8_t TypeMask, int32_t ToneRow, int32_t DigitalRow>
struct SquelchCodec {
  static std::string type_of(const uint8_t* e) { return label_of(get_bits(TypeMask, e[10]), kSquelchTypes); }
  static std::string decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
    return squelch_text(type_of(e), read_be(e + row.offset, 2), ToneRow, DigitalRow);
  }
  static void encode(std::string_view text, uint8_t* e, const FieldDesc& row, const BlockBase&) {
    const std::string type = type_of(e);
    check_squelch(type, text, ToneRow, DigitalRow);  // a type changed after its code
    write_be(squelch_word(type, text), e + row.offset, 2);
  }
};
using Code1 = SquelchCodec<0x30, 457, 458>;
using Code2 = SquelchCodec<0xC0, 459, 460>;
constexpr CustomCodec kCode1Codec{Code1::decode, Code1::encode, nullptr};
constexpr CustomCodec kCode2Codec{Code2::decode, Code2::encode, nullptr};

// Byte 11 bit 3 is field 469 for a digital squelch in field 396, field 400 otherwise; both show it.
bool digital_first_squelch(const uint8_t* e) { return get_bits(0x30, e[10]) == code_of("DXQ", kSquelchTypes); }
std::string bit_decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
  return decimal_text(get_bits(row.mask, e[row.offset]));
}
template <bool Digital>
void shared_bit_encode(std::string_view text, uint8_t* e, const FieldDesc& row, const BlockBase&) {
  if (digital_first_squelch(e) != Digital) return;
  const int64_t value = parse_decimal(text);
  if (value < 0 || value > 1) raise(err::kInvalidData);
  set_bits(row.mask, static_cast<uint32_t>(value), e[row.offset]);
}
constexpr CustomCodec kAnalogBit{bit_decode, shared_bit_encode<false>, nullptr};
constexpr CustomCodec kDigitalBit{bit_decode, shared_bit_encode<true>, nullptr};

// Field 664: code 0 shows the lockout of field 393 (byte 10 bits 0-1), widened by the modes of
// the other codes.
constexpr const Choice* kLockoutTable[] = {kLockouts};
constexpr PickedLabels kShowsLockout{.field = kLockout, .offset = 10, .mask = 0x03, .tables = kLockoutTable,
                                     .echo = true, .echo_code = 0};

// Field 744: a channel kind the radio's switches (block 2 fields 62 and 61) allow. Its check is
// the whole rule, so any other label is 107 rather than the choice table's 108.
std::string kind_decode(const uint8_t* e, const FieldDesc& row, const BlockBase&) {
  return label_of(get_bits(row.mask, e[row.offset]), kChannelKinds);
}
void kind_encode(std::string_view text, uint8_t* e, const FieldDesc& row, const BlockBase&) {
  set_bits(row.mask, code_of(text, kChannelKinds), e[row.offset]);
}
void kind_check(std::string_view text, const FieldDesc&, const BlockBase& b) {
  const bool allowed = (text == "Conventional" && radio_of(b).conventional) || (text == "LS Trunking" && radio_of(b).trunking);
  if (!allowed) raise(err::kInvalidData);
}
constexpr CustomCodec kKindCodec{kind_decode, kind_encode, kind_check};


// ---- References ----------------------------------------------------------------------------

// Field 745 names a trunking system (block 32) when field 744 is "LS Trunking". A channel whose
// system is deleted falls back to the first member of the first channel group.
constexpr RefTarget kTrunkingSystemTargets[] = {
    {.block = 32, .type = "LS Trunking", .reset_rule = first_channel_group_member},
};
constexpr RefSpec kTrunkingSystem{.type_field = kTrunkingKind, .targets = kTrunkingSystemTargets};

// Fields 417 and 418 name a signalling system of the type in fields 416 and 415. A channel
// whose FSD system is deleted has no signalling there any more; one whose Sel Call system
// ("ATIS") is deleted takes index 0 and the type "None", except that an "ATIS" in field 415
// stays on a "Kani" radio (block 5 field 754); one whose SDT system is deleted keeps the type
// "SDT" with index 0; one whose DTMF or Duotone II system is deleted signals nothing.
std::pair<std::string, std::string> atis_or_none(BlockDirectory& blocks, const std::pair<std::string, std::string>&) {
  const BlockHandler* channels = blocks.find(ChannelList::kChannelImage);
  const bool kani = channels != nullptr && radio_of(channels->base).kani;
  return {kani ? "ATIS" : "None", "0"};
}
constexpr RefTarget kSignalling1Targets[] = {
    {.block = 41, .type = "FSD", .reset_index = "0", .reset_type = "None"},
    {.block = 759, .type = "ATIS", .reset_rule = atis_or_none},
    {.block = 761, .type = "SDT", .reset_index = "0"},
    {.block = 43, .type = "DTMF", .reset_index = "0", .reset_type = "None"},
    {.block = 42, .type = "Duotone II", .reset_index = "0", .reset_type = "None"},
};
constexpr RefSpec kSignalling1{.type_field = 415, .targets = kSignalling1Targets};
constexpr RefTarget kSignalling2Targets[] = {
    {.block = 41, .type = "FSD", .reset_index = "0", .reset_type = "None"},
    {.block = 759, .type = "ATIS", .reset_index = "0", .reset_type = "None"},
    {.block = 761, .type = "SDT", .reset_index = "0"},
    {.block = 43, .type = "DTMF", .reset_index = "0", .reset_type = "None"},
    {.block = 42, .type = "Duotone II", .reset_index = "0", .reset_type = "None"},
};
constexpr RefSpec kSignalling2{.type_field = 416, .targets = kSignalling2Targets};

// Field 419 names a phone system; a channel whose phone system is deleted has none (255), and
// 255 is never lowered.
constexpr RefTarget kPhoneSystemTargets[] = {{.block = 11, .none_stays = true}};
constexpr RefSpec kPhoneSystem{.targets = kPhoneSystemTargets};

// ---- Set rules -------------------------------------------------------------------------------

// The deviation follows the spacing; the host never sets it.
std::string deviation_of(std::string_view spacing) { return label_of(code_of(spacing, kSpacings), kDeviations); }
void spacing_sets_deviation(FieldList& e, FieldValue& f, const BlockBase&) { e.set_text(kDeviation, deviation_of(f.value)); }
// A squelch code is checked against its squelch type.
void code1_by_type(FieldList& e, FieldValue& f, const BlockBase&) { check_squelch(e.text(kSquelch1), f.value, 457, 458); }
void code2_by_type(FieldList& e, FieldValue& f, const BlockBase&) { check_squelch(e.text(kSquelch2), f.value, 459, 460); }
// The lockout takes its current label for an old one, and from version text "02" on field 664
// shows it too; 664 sets the lockout when it is one of the lockout's own modes.
void lockout_sets_extended(FieldList& e, FieldValue& f, const BlockBase& b) {
  f.value = current_lockout(f.value);
  if (above_01(b) && e.contains(kExtendedLockout)) e.set_text(kExtendedLockout, f.value);
}
void extended_sets_lockout(FieldList& e, FieldValue& f, const BlockBase&) {
  e.set_text(kLockout, code_of(f.value, kExtendedLockouts) == 0 ? f.value : "Disabled");
}

// ---- The entry --------------------------------------------------------------------------------

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::number;
using rows::set_ignored;
using rows::view;
using rows::with_rule;

// In the order the record shows them. The frequencies' defaults are the band lower limit, set
// when a channel is made.
constexpr FieldDesc kRows[] = {
    choice(380, 0, 0x03, kTones, "Default"),
    choice(382, 0, 0x30, kTones, "Default"),
    named(custom(kTxFrequencyField, 1, 0xFF, 2, kTxFrequency, {""}), "tx_frequency"),
    named(custom(kRxFrequencyField, 3, 0xFF, 2, kRxFrequency, {""}), "rx_frequency"),
    named(with_rule(custom(kSpacing, 5, 0x03, 1, kSpacingCodec, {"25"}, 1, true), spacing_sets_deviation), "channel_spacing"),
    // The deviation shows the spacing bits through its own labels; the spacing packs them.
    named(set_ignored(view(choice(kDeviation, 5, 0x03, kDeviations, "5.0", 2))), "deviation"),
    flag(388, 5, 0x10),
    {.id = 389, .offset = 5, .mask = 0x20, .dflt = {"0", "1"}, .ranges = &kGen1Ranges},  // 1 on a portable
    named(choice(390, 5, 0xC0, kEmphasis, "De-Emphasis and Pre-Emphasis"), "emphasis"),
    named(with_rule(choice(kLockout, 10, 0x03, kLockouts, "Disabled"), lockout_sets_extended), "busy_channel_lockout"),
    flag(394, 10, 0x04),
    flag(395, 10, 0x08),
    named(choice(kSquelch1, 10, 0x30, kSquelchTypes, "CSQ"), "squelch_type_1"),
    named(choice(kSquelch2, 10, 0xC0, kSquelchTypes, "CSQ"), "squelch_type_2"),
    named(with_rule(custom(kCode1, 6, 0xFF, 2, kCode1Codec, {"0"}), code1_by_type), "squelch_code_1"),
    named(with_rule(custom(kCode2, 8, 0xFF, 2, kCode2Codec, {"0"}), code2_by_type), "squelch_code_2"),
    named(choice(398, 11, 0x03, kUnmuting, "Std Unmuting, Std Muting"), "unmuting_muting"),
    choice(399, 11, 0x04, kSquelchMode, "Normal"),
    {.id = 400, .offset = 11, .mask = 0x08, .codec = Codec::Custom, .dflt = {"1"}, .ranges = &kGen1Ranges,
     .custom = &kAnalogBit, .shares_bits = true},
    {.id = 469, .offset = 11, .mask = 0x08, .codec = Codec::Custom, .dflt = {"1"}, .ranges = &kGen1Ranges,
     .custom = &kDigitalBit, .shares_bits = true},
    flag(401, 11, 0x10),
    flag(402, 11, 0x20),
    flag(403, 11, 0x40),
    flag(404, 11, 0x80),
    choice(405, 12, 0x07, kTimeouts, "60"),
    flag(406, 12, 0x08),
    choice(407, 12, 0x10, kOrAnd, "Or"),
    flag(408, 12, 0x20),
    flag(409, 12, 0x40),
    flag(463, 12, 0x80),
    named(choice(410, 13, 0x03, kPower, "High"), "power"),
    named(choice(411, 13, 0x04, kTalkaround, "Talkaround"), "talkaround"),
    named(choice(412, 13, 0x08, kCompanding, "Disabled", 2), "companding"),
    named(choice(413, 13, 0x30, kExpansion, "Disabled"), "expansion"),
    named(choice(414, 13, 0xC0, kCompression, "Disabled"), "compression"),
    named(choice(415, 14, 0x0F, kSignallingA, "None", 1, class_0), "signalling_1"),
    named(choice(415, 14, 0x0F, kSignallingB, "None", 1, class_12), "signalling_1"),
    named(choice(416, 14, 0xF0, kSignallingA, "None", 1, class_0), "signalling_2"),
    named(choice(416, 14, 0xF0, kSignallingB, "None", 1, class_12), "signalling_2"),
    {.id = 417, .offset = 15, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kSignalling2, .name = "signalling_2_index"},
    {.id = 418, .offset = 16, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kSignalling1, .name = "signalling_1_index"},
    {.id = 419, .offset = 17, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kPhoneSystem, .name = "phone_system"},
    number(420, 18, "255"),
    number(421, 19, "0", nullptr, 2),
    named(choice(422, 21, 0x03, kRxOffset, "CPS-Defined Frequency", 2), "rx_offset"),
    flag(757, 21, 0x80, "0", class_12),
    named(choice(758, 21, 0x40, kDataPort, "PC Host", 1, class_12), "option_board_or_pc_host"),
    flag(875, 25, 0x10, "0", class_12_above_01),
    {.id = 875, .codec = Codec::Virtual, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = class_12_01},
    flag(876, 25, 0x08, "0", class_12_above_01),
    {.id = 876, .codec = Codec::Virtual, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = class_12_01},
    flag(878, 25, 0x02, "0", class_12_from_05),
    {.id = 423, .offset = 23, .codec = Codec::Capped, .dflt = {"255"}, .ranges = &kGen1Ranges},  // 256 as 255
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
    {.id = 668, .offset = 21, .mask = 0x3C, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = v02_portable},
    number(669, 22, "0", v02_portable),
    {.id = kTrunkingKind, .offset = 21, .mask = 0x1C, .codec = Codec::Custom, .dflt = {"Conventional"},
     .when = above_02_portable, .custom = &kKindCodec, .name = "channel_kind"},
    {.id = 745, .offset = 22, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = above_02_portable,
     .refers = &kTrunkingSystem, .name = "trunking_system"},
    named(choice(661, 24, 0x80, kTimerModes, "Non-Cumulative", 1, above_01), "timer_mode"),
    {.id = 665, .offset = 24, .mask = 0x3F, .dflt = {"0"}, .ranges = &kGen1Ranges, .when = above_01},
    number(663, 26, "0", above_01),
    {.id = kExtendedLockout, .offset = 25, .mask = 0xE0, .codec = Codec::Choice, .dflt = {"Disabled"},
     .choices = kExtendedLockouts, .picked = &kShowsLockout, .when = above_01, .name = "extended_lockout",
     .on_set = extended_sets_lockout},
};
static_assert(layout::layout_ok(kRows, kEntryV2) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size_for = entry_size,
                           .min_count = 0,
                           .max_count = 255,
                           .header_attribute = 2,
                           .format = 128,
                           .record_checksums = true};

// ---- Record helpers ---------------------------------------------------------------------------

void add_missing(FieldList& entry, int32_t id, const std::string& text) {
  if (!entry.contains(id)) entry.add(id, text, 1);
}

// The major version a pack writes for, and the one the record was read or set for.
int target_major(const BlockBase& base) { return base.target_major() != 0 ? base.target_major() : major_of(base); }
int data_major(const BlockBase& base) { return base.data_major() != 0 ? base.data_major() : target_major(base); }

// Whether the entry holds exactly the fields of `base`'s layout, in table order (as every entry
// unpacked or taken from the host does).
bool is_in_table_order(const FieldList& entry, const BlockBase& base) {
  size_t next = 0;
  for (const FieldDesc& row : kRows) {
    if (row.when != nullptr && !row.when(base)) continue;
    if (next < entry.count() && entry.id_at(next) == row.id) {
      ++next;
    } else if (entry.contains(row.id)) {
      return false;  // there, but elsewhere (or a second row of an ID already taken)
    }
  }
  return next == entry.count();
}

// The entry with the fields of `base`'s layout in table order, followed by any others it holds.
FieldList in_table_order(const FieldList& entry, const BlockBase& base) {
  if (is_in_table_order(entry, base)) return entry;
  FieldList ordered;
  std::vector<int32_t> taken;
  for (const FieldDesc& row : kRows) {
    if ((row.when != nullptr && !row.when(base)) || !entry.contains(row.id)) continue;
    if (std::find(taken.begin(), taken.end(), row.id) != taken.end()) continue;
    ordered.add(entry.get(row.id));
    taken.push_back(row.id);
  }
  for (size_t i = 0; i < entry.count(); ++i) {
    const FieldValue field = entry.at(i);
    if (std::find(taken.begin(), taken.end(), field.id) == taken.end()) ordered.add(field);
  }
  return ordered;
}

// Whether a channel the host sends needs rewriting before it is taken: an old lockout label, or
// a deviation other than the one its spacing gives (missing, another text or attribute).
bool needs_rewrite(const FieldList& entry) {
  if (entry.contains(kLockout)) {
    const std::string& lockout = entry.text(kLockout);
    for (const auto& [old_label, label] : kOldLockouts)
      if (lockout == old_label) return true;
  }
  if (!entry.contains(kSpacing) || !has_label(entry.text(kSpacing), kSpacings)) return false;
  if (!entry.contains(kDeviation)) return true;
  const size_t at = entry.position_of(kDeviation);
  return entry.text_at(at) != deviation_of(entry.text(kSpacing)) ||
         entry.attribute_at(at) != 2;
}

// The alias header fields a record carries after its alias image.
constexpr int32_t kAliasHeader[] = {kAliasByte0, kAliasLength, kAliasHeader3};

FieldList frame_header(const FieldList& header) {
  FieldList kept;
  for (int32_t id : {kFormatField, kRecordSizeField, kRecordCountField})
    if (header.contains(id)) kept.add(header.get(id));
  return kept;
}

// Each squelch code must be a code of its entry's squelch type.
void check_codes(const FieldList& entry) {
  check_squelch(entry.text(kSquelch1), entry.text(kCode1), 457, 458);
  check_squelch(entry.text(kSquelch2), entry.text(kCode2), 459, 460);
}

}  // namespace

ChannelList::ChannelList() : Cloneable(kFrame) { build_default(); }

// ---- Images -----------------------------------------------------------------------------------

void ChannelList::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id == kAliasImage) {
    replace_aliases(image, length, frame_header(record_.header()), record_);
    return;
  }
  BlockRecord work;
  unpack_frame(*frame_, image, length, base, work);
  // The alias header stays until the alias image replaces it, so the record is whole even
  // when a codeplug carries no alias image.
  for (int32_t field : kAliasHeader)
    if (record_.header().contains(field)) work.add_header_field(record_.get_header_field(field));
  record_ = std::move(work);
}

std::vector<uint8_t> ChannelList::pack(int32_t id) {
  if (id == kAliasImage) return pack_alias_image(record_, base);
  // A record of the target's own version packs as it is; another takes the target's layout,
  // and only when the whole image packs.
  if (target_major(base) == data_major(base)) return pack_frame(*frame_, record_, base);
  BlockRecord converted = converted_for_target();
  std::vector<uint8_t> image = pack_frame(*frame_, converted, base);
  record_ = std::move(converted);
  return image;
}

void ChannelList::build_default() {
  BlockRecord record = default_frame(*frame_, base, 0);
  record.add_header_field({kAliasByte0, "128", 2});
  record.add_header_field({kAliasLength, above_01(base) ? "8" : "14", 2});
  record.add_header_field({kAliasHeader3, "0", 2});
  record_ = std::move(record);
  record_.add_entry(default_channel());
  record_.set_header_field({kRecordCountField, "1", 2});
}

// A new channel: the table's defaults, the band lower limit for both frequencies, and the
// defaults that follow block 2 (and block 5's signalling variant). The 668/669 and 744/745 pairs
// come with the version text whatever the radio kind.
FieldList ChannelList::default_channel() const {
  BlockBase form = base;
  form.mobile = 0;
  FieldList entry = layout::defaults(kRows, form);
  entry.set_text(389, base.mobile != 1 ? "1" : "0");
  entry.set_text(kTxFrequencyField, radio_of(base).band_lower.text());
  entry.set_text(kRxFrequencyField, radio_of(base).band_lower.text());
  const bool data_port = base.long_form() && radio_of(base).field_55;
  if (data_port) entry.set_text(401, "1");
  if (data_port && radio_of(base).kani) {
    entry.set_text(415, "ATIS");
    entry.set_text(418, "0");
  }
  return entry;
}

void ChannelList::adapt_to_form() {
  const FieldList fresh = default_channel();
  for (size_t i = 0; i < record_.entry_count(); ++i) {
    FieldList& entry = record_.entry(i);
    for (size_t k = 0; k < fresh.count(); ++k)
      if (!entry.contains(fresh.at(k).id)) entry.add(fresh.at(k));
    entry = in_table_order(entry, base);
  }
}

// ---- Version conversions ----------------------------------------------------------------------

BlockRecord ChannelList::converted_for_target() const {
  BlockRecord record = record_;
  const int target = target_major(base), data = data_major(base);
  if (data == 1 && target > 1)
    record.set_header_field({kRecordSizeField, decimal_text(kEntryV2), 2});
  else if (data > 1 && target == 1)
    record.set_header_field({kRecordSizeField, decimal_text(kEntryV1), 2});

  for (size_t i = 0; i < record.entry_count(); ++i) {
    FieldList& entry = record.entry(i);
    if (base.long_form()) {
      if (data < 4 && target >= 4) {
        for (int32_t id : {757, 875, 876}) add_missing(entry, id, "0");
        add_missing(entry, 758, "PC Host");
      }
      if (target >= 5 && data < 5) add_missing(entry, 878, "0");
    }
    if (above_01(base) && base.mobile == 0) {
      if (target == 2 && data == 1) {
        add_missing(entry, 668, "0");
        add_missing(entry, 669, "0");
      } else if (target == 2 && data >= 3) {
        add_missing(entry, 668, "0");
        const bool trunked = entry.contains(kTrunkingKind) && entry.text(kTrunkingKind) == "LS Trunking";
        add_missing(entry, 669, trunked || !entry.contains(745) ? "0" : entry.text(745));
      } else if (target >= 3 && data == 1) {
        add_missing(entry, kTrunkingKind, "Conventional");
        add_missing(entry, 745, "0");
      } else if (target >= 3 && data == 2) {
        add_missing(entry, kTrunkingKind, "Conventional");
        add_missing(entry, 745, entry.contains(669) ? entry.text(669) : "0");
      }
    }
    if (above_01(base) && data == 1 && target > 1) {
      add_missing(entry, 661, "Non-Cumulative");
      for (int32_t id : {665, 663}) add_missing(entry, id, "0");
      add_missing(entry, kExtendedLockout, "Disabled");
    }
    entry = in_table_order(entry, base);
  }
  return record;
}

// ---- Setting ----------------------------------------------------------------------------------

void ChannelList::set_block(const BlockRecord& given) { set_channels(given, nullptr); }

void ChannelList::set_block_from(BlockRecord&& given) { set_channels(given, &given); }

void ChannelList::set_channels(const BlockRecord& given, BlockRecord* spare) {
  // The host's record is copied only when a channel needs rewriting; a record got from this
  // block and sent back is taken as it is (its channels moved when the caller gives it up:
  // what is read of the host's record afterwards, the alias header and the fields a channel
  // holds beyond the table, stays where it is).
  bool rewrite = false;
  for (size_t i = 0; i < given.entry_count() && !rewrite; ++i) rewrite = needs_rewrite(given.entry(i));
  BlockRecord rewritten;
  if (rewrite) {
    rewritten = given;
    for (size_t i = 0; i < rewritten.entry_count(); ++i) {
      FieldList& entry = rewritten.entry(i);
      if (entry.contains(kLockout)) entry.set_text(kLockout, current_lockout(entry.text(kLockout)));
      // The deviation is never the host's: it follows the spacing (and may be left out).
      if (entry.contains(kSpacing) && has_label(entry.text(kSpacing), kSpacings)) {
        entry.put({kDeviation, deviation_of(entry.text(kSpacing)), 2});
      }
    }
  }
  const BlockRecord& host = rewrite ? rewritten : given;
  BlockRecord* movable = rewrite ? &rewritten : spare;
  BlockRecord candidate = movable ? take_frame(*frame_, std::move(*movable), base) : take_frame(*frame_, host, base);
  if (parse_decimal(candidate.header().text(kRecordCountField)) > radio_of(base).max_channels)
    raise(err::kInvalidData);
  for (int32_t field : kAliasHeader) candidate.add_header_field(host.get_header_field(field));
  // A new channel carries the 668/669 or 744/745 pair of its version text on any radio; a
  // record that holds them keeps them, checked as a portable's.
  BlockBase portable = base;
  portable.mobile = 0;
  for (size_t i = 0; i < candidate.entry_count(); ++i) {
    FieldList& entry = candidate.entry(i);
    if (base.mobile != 0) {
      for (int32_t id : {668, 669, kTrunkingKind, 745}) {
        if (entry.contains(id) || !host.entry(i).contains(id) || !layout::find(kRows, id, portable)) continue;
        const FieldValue field = host.entry(i).get(id);
        layout::check(kRows, field, portable);
        entry.add(field);
      }
      entry = in_table_order(entry, portable);
    }
    check_codes(entry);
  }
  record_ = std::move(candidate);
}


// ---- Channels ---------------------------------------------------------------------------------

size_t ChannelList::add_list() {
  const size_t count = record_.entry_count();
  if (static_cast<int64_t>(count) + 1 > radio_of(base).max_channels) raise(err::kAboveMaximum);
  FieldList channel = default_channel();
  record_.header().position_of(kRecordCountField);  // 104 before anything is stored
  const size_t index = record_.add_entry(std::move(channel));
  record_.set_header_field({kRecordCountField, decimal_text(static_cast<int64_t>(count + 1)), 2});
  return index;
}

void ChannelList::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.entry_count();
  size_t trunking_channels = 0;
  if (BlockHandler* trunking = blocks.find(32); trunking != nullptr && blocks.enabled(32))
    trunking_channels = trunking->block().entry_count();
  if (count + trunking_channels < 2) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);

  blocks.references_deleted(kChannelImage, index);  // the blocks that point at channels
  record_.remove_entry(index);
  record_.set_header_field({kRecordCountField, decimal_text(static_cast<int64_t>(count - 1)), 2});
}

}  // namespace cps
