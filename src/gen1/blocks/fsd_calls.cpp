#include "gen1/blocks/fsd_calls.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr uint8_t kCallSize = 16;
constexpr uint8_t kMaxCalls = 190;
constexpr const char* kUnsetTarget = "0000";

constexpr Choice kCallTypes[] = {{0, "Individual"}, {1, "Group"}, {2, "Fleet"}, {3, "All Call"}, kChoiceEnd};
constexpr Choice kCallModes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};
constexpr Choice kAlerts[] = {{0, "Alert 1"}, {1, "Alert 2"}, {2, "Alert 3"}, {3, "Alert 4"}, {4, "Alert 5"},
                              {5, "Alert 6"}, {6, "Alert 7"}, {255, "Standard"}, kChoiceEnd};
constexpr Choice kSilent[] = {{0, "Silent"}, {1, "Non-Silent"}, kChoiceEnd};

// ---- The target ID ------------------------------------------------------------------------------

// Four hexadecimal digits in the nibbles of two bytes, high nibble first; each digit is checked
// against the field's range row (0..15), so '0'-'9' and 'A'-'F' (either case) pass.
uint32_t target_digit(char c) {
  const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  if (!hex) raise(err::kInvalidData);
  return hex_digit_value(c);
}

std::string target_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const uint8_t* at = entry + row.offset;
  return {hex_digit(at[0] >> 4), hex_digit(at[0] & 0x0F), hex_digit(at[1] >> 4), hex_digit(at[1] & 0x0F)};
}
void target_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  uint8_t* at = entry + row.offset;
  at[0] = static_cast<uint8_t>(target_digit(text[0]) << 4 | target_digit(text[1]));
  at[1] = static_cast<uint8_t>(target_digit(text[2]) << 4 | target_digit(text[3]));
}
void target_check(std::string_view text, const FieldDesc& row, const BlockBase&) {
  if (text.size() != 4) raise(err::kInvalidData);
  for (char c : text) kGen1Ranges.check(row.id, target_digit(c));
}
constexpr CustomCodec kTargetCodec{target_decode, target_encode, target_check};

// Setting the target ID alone: never "0000".
void refuse_unset_target(FieldList&, FieldValue& field, const BlockBase&) {
  if (field.value == kUnsetTarget) raise(err::kInvalidData);
}

// ---- References ---------------------------------------------------------------------------------

// Field 604 names an FSD system; a call whose system is deleted moves to system 0.
constexpr RefTarget kFsdSystemTargets[] = {{.block = 41, .reset_index = "0"}};
constexpr RefSpec kFsdSystem{.targets = kFsdSystemTargets};
// Field 605 names a trunking system while 610 reads "LS Trunking"; a call whose system is
// deleted keeps its mode and names none (255), and 255 is never lowered.
constexpr RefTarget kTrunkingTargets[] = {{.block = 32, .type = "LS Trunking", .none_stays = true}};
constexpr RefSpec kTrunkingSystem{.type_field = 610, .targets = kTrunkingTargets};

// ---- The record ---------------------------------------------------------------------------------

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::number;
using rows::with_rule;

// Bits 0xC0 of byte 2, 0x08 of byte 3 and 0xC0 of byte 15 carry nothing and pack as 0.
constexpr FieldDesc kRows[] = {
    {.id = 604, .offset = 0, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kFsdSystem, .name = "fsd_system"},
    {.id = 605, .offset = 1, .dflt = {"255"}, .ranges = &kGen1Ranges, .refers = &kTrunkingSystem,
     .name = "trunking_system"},
    named(choice(608, 2, 0x0F, kCallTypes, "Individual"), "call_type"),
    flag(607, 2, 0x10, "0"),
    flag(606, 2, 0x20, "1"),
    named(choice(610, 3, 0x07, kCallModes, "Conventional", 2), "call_mode"),
    flag(609, 3, 0xF0, "0"),
    named(with_rule(custom(FsdCalls::kTargetId, 4, 0xFF, 2, kTargetCodec, {"1111"}), refuse_unset_target),
          "target_id"),
    named(choice(612, 6, 0xFF, kAlerts, "Standard"), "alert"),
    // The alias: eight bytes padded with 0x00, read up to the first 0x00 and not trimmed.
    {.id = kAliasField, .offset = 7, .width = 8, .codec = Codec::Text, .dflt = {"FSDCL1"}, .zero_fill = true,
     .trim = false, .custom = &kAliasCharacters, .name = "alias"},
    named(choice(617, 15, 0x01, kSilent, "Silent"), "silent"),
    flag(616, 15, 0x06, "1"),
    flag(615, 15, 0x18, "1"),
    flag(614, 15, 0x20, "0"),
};
static_assert(layout::layout_ok(kRows, kCallSize) && layout::choices_fit(kRows));

// A list may hold no call at all; the last one cannot be deleted.
constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kCallSize,
                           .min_count = 0,
                           .max_count = kMaxCalls,
                           .header_attribute = 2,
                           .format = 128,
                           .record_checksums = true};

}  // namespace

FsdCalls::FsdCalls() : Cloneable(kFrame, {.image = kBlockId}) { build_default(); }

void FsdCalls::set_block(const BlockRecord& given) {
  BlockRecord candidate = take_frame(*frame_, given, base);
  for (size_t i = 0; i < candidate.entry_count(); ++i)
    if (candidate.entry(i).text(kTargetId) == kUnsetTarget) raise(err::kInvalidData);
  record_ = std::move(candidate);
}

void FsdCalls::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

void FsdCalls::check_delete(size_t count, BlockDirectory&) const {
  if (count < 2) raise(err::kBelowMinimum);
}

}  // namespace cps
