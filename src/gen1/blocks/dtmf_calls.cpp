#include "gen1/blocks/dtmf_calls.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/dtmf_digits.h"
#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr uint8_t kCallSize = 17;
constexpr uint8_t kMaxCalls = 30;
constexpr int32_t kSystemField = 627;

constexpr Choice kCallModes[] = {{0, "Conventional"}, {1, "LS Trunking"}, kChoiceEnd};

// Field 627 names a DTMF system; a call whose system is deleted moves to system 0.
constexpr RefTarget kSystemTargets[] = {{.block = 43, .reset_index = "0"}};
constexpr RefSpec kSystem{.targets = kSystemTargets};

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::number;

// Byte 8 and the bits of bytes 2 and 3 without a field pack as 0.
constexpr FieldDesc kRows[] = {
    {.id = kSystemField, .offset = 0, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kSystem,
     .name = "dtmf_system"},
    number(628, 1, "255"),
    flag(630, 2, 0x10, "0"),
    flag(629, 2, 0x20, "0"),
    named(choice(632, 3, 0x07, kCallModes, "Conventional", 2), "call_mode"),
    flag(631, 3, 0xF0, "0"),
    named(custom(633, 4, 0xFF, 4, kDtmfDigitString, {"11111111"}), "dtmf_string"),
    // The alias: eight bytes padded with 0x00, read up to the first 0x00 and not trimmed.
    {.id = kAliasField, .offset = 9, .width = 8, .codec = Codec::Text, .dflt = {""}, .zero_fill = true,
     .trim = false, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kCallSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kCallSize,
                           .min_count = 1,
                           .max_count = kMaxCalls,
                           .header_attribute = 2,
                           .count_attribute = 1,
                           .format = 128,
                           .record_checksums = true};

}  // namespace

DtmfCalls::DtmfCalls() : Cloneable(kFrame, {.image = kBlockId}) { build_default(); }

void DtmfCalls::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
