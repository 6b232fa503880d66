#include "gen1/blocks/programming_record.h"

#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/values/rows.h"

#include <string_view>

namespace cps {

namespace {

using layout::Codec;


// The newest codeplug layout this component knows, compared as text.
void supported_version(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  if (text > "07.99") raise(err::kVersionNotSupported);
}
constexpr layout::CustomCodec kSupportedVersion{nullptr, nullptr, supported_version};

constexpr layout::FieldDesc kRows[] = {
    {.id = ProgrammingRecord::kVersionField, .offset = 0, .width = 2, .codec = Codec::Bcd,
     .attribute = 0, .dflt = {"07.20"}, .format = "01.23", .custom = &kSupportedVersion, .name = "codeplug_version"},
    {.id = ProgrammingRecord::kSourceField, .offset = 2, .codec = Codec::Choice, .attribute = 0,
     .dflt = {"CPS"}, .choices = kProgrammingSources, .name = "programming_source"},
    {.id = ProgrammingRecord::kDateField, .offset = 3, .width = 4, .codec = Codec::Bcd,
     .attribute = 0, .dflt = {"01-01-2026"}, .format = "45-67-0123",
     .name = "programming_date"},  // year (2), month, day
    {.id = ProgrammingRecord::kTimeField, .offset = 7, .width = 2, .codec = Codec::Bcd,
     .attribute = 0, .dflt = {"00:00"}, .format = "01:23", .name = "programming_time"},
    {.id = ProgrammingRecord::kSoftwareVersionField, .codec = Codec::Virtual, .attribute = 0,
     .dflt = {""}, .name = "software_version"},
};
constexpr uint8_t kRecordSize = 9;
static_assert(layout::layout_ok(kRows, kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = kRecordSize, .min_count = 1,
                           .max_count = 1, .header_attribute = 2, .format = 128};

}  // namespace

ProgrammingRecord::ProgrammingRecord() : Cloneable(kFrame) { build_default(); }

void ProgrammingRecord::set_block(const BlockRecord& given) {
  FramedBlock::set_block(given);
  base.version = version_text();
}

void ProgrammingRecord::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

std::string ProgrammingRecord::version_text() const {
  return record_.entry(0).text(kVersionField).substr(0, 2);
}

}  // namespace cps
