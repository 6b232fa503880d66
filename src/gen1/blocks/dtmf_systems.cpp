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
constexpr int32_t kAliasByte0 = 49;
constexpr int32_t kAliasHeader3 = 465;
constexpr int32_t kAliasHeader[] = {kAliasByte0, kAliasLength, kAliasHeader3};

constexpr Choice kTransmitId[] = {{0, "None"}, {1, "Pre Only"}, {2, "Post Only"}, {3, "Pre and Post"}, kChoiceEnd};
constexpr Choice kAcknowledge[] = {{0, "None"}, {1, "Manual"}, {2, "Auto w/o Carrier Override"},
                                   {3, "Auto w/ Carrier Override"}, kChoiceEnd};
constexpr Choice kCallAlert[] = {{0, "None"}, {1, "Call Alert"}, {2, "Call Alert w/ Voice"}, kChoiceEnd};
constexpr Choice kSideTone[] = {{0, "None"}, {1, "Tone"}, {2, "Digit"}, {3, "ID"}, kChoiceEnd};

using rows::choice;
using rows::custom;
using rows::flag;
using rows::named;
using rows::scaled;

// Bytes 4, 5, 20 and 21, bit 0x08 and bits 0xC0 of byte 0 carry nothing and pack as 0.
constexpr FieldDesc kRows[] = {
    named(choice(493, 0, 0x03, kTransmitId, "Pre Only"), "transmit_id"),
    flag(492, 0, 0x04, "1"),
    flag(491, 0, 0x10, "0"),
    flag(490, 0, 0x20, "1"),
    named(choice(499, 1, 0x03, kAcknowledge, "Auto w/ Carrier Override"), "acknowledge"),
    flag(498, 1, 0x04, "0"),
    flag(496, 1, 0x08, "1"),
    flag(497, 1, 0x10, "1"),
    flag(495, 1, 0x20, "0"),
    named(choice(494, 1, 0xC0, kCallAlert, "Call Alert"), "call_alert"),
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

// The alias header a record carries: structural values, each one byte of the alias image.
void check_alias_header(const FieldValue& field) {
  const int64_t value = parse_decimal(field.value);
  if (value < 0 || value > 0xFF) raise(err::kInvalidData);
}

void set_count(BlockRecord& record) {
  record.header().set_text(kRecordCountField, decimal_text(static_cast<int64_t>(record.entry_count())));
}

}  // namespace

DtmfSystems::DtmfSystems() : Cloneable(kFrame) { build_default(); }

// ---- Images -----------------------------------------------------------------------------------

void DtmfSystems::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id == kAliasImage) {
    if (!unpacked_) raise(err::kUnpackFailure);
    BlockRecord work = record_;
    FieldList header;
    for (int32_t field : {kFormatField, kRecordSizeField, kRecordCountField}) header.add(work.header().get(field));
    work.header() = header;
    for (size_t i = 0; i < work.entry_count(); ++i) work.entry(i).set_text(kAliasField, "");
    unpack_alias_image(image, length, work);
    record_ = std::move(work);
    unpacked_ = false;  // the mark is used up
    return;
  }
  if (id != kSystemImage) raise(err::kBlockNotSupported);
  BlockRecord work;
  unpack_frame(*frame_, image, length, base, work);
  // The alias header stays until the alias image replaces it, so that the record is whole
  // when a codeplug carries no alias image.
  for (int32_t field : kAliasHeader)
    if (record_.header().contains(field)) work.add_header_field(record_.get_header_field(field));
  record_ = std::move(work);
  unpacked_ = true;
}

std::vector<uint8_t> DtmfSystems::pack(int32_t id) {
  if (id == kAliasImage) return pack_alias_image(record_, base);
  if (id != kSystemImage) raise(err::kBlockNotSupported);
  return pack_frame(*frame_, record_, base);
}

void DtmfSystems::build_default() {
  BlockRecord record = default_frame(*frame_, base);
  record.add_header_field({kAliasByte0, "132", 2});
  record.add_header_field({kAliasLength, "16", 2});
  record.add_header_field({kAliasHeader3, "0", 2});
  record_ = std::move(record);
  unpacked_ = false;
}

// ---- Setting ----------------------------------------------------------------------------------

void DtmfSystems::set_block(const BlockRecord& given) {
  BlockRecord candidate = take_frame(*frame_, given, base);
  for (int32_t id : kAliasHeader) {
    const FieldValue field = given.get_header_field(id);
    check_alias_header(field);
    candidate.add_header_field(field);
  }
  record_ = std::move(candidate);
}

void DtmfSystems::check_field(const FieldValue& field) const {
  switch (field.id) {
    case kFormatField:
    case kRecordSizeField:
    case kRecordCountField:
      return check_frame_field(*frame_, field, base);
    case kAliasByte0:
    case kAliasLength:
    case kAliasHeader3:
      return check_alias_header(field);
    default:
      return FramedBlock::check_field(field);
  }
}

// ---- Systems ----------------------------------------------------------------------------------

size_t DtmfSystems::add_list() {
  const size_t count = record_.entry_count();
  if (count + 1 > kFrame.max_count) raise(err::kAboveMaximum);
  BlockRecord work = record_;
  const size_t index = work.add_entry(layout::defaults(kRows, base));
  set_count(work);
  record_ = std::move(work);
  return index;
}

void DtmfSystems::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.entry_count();
  if (count < size_t{kFrame.min_count} + 1) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);
  // Channels (type "DTMF") and DTMF calls that name a system, as their rows declare.
  blocks.references_deleted(kSystemImage, index);
  record_.remove_entry(index);
  set_count(record_);
}

}  // namespace cps
