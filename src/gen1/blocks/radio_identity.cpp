#include "gen1/blocks/radio_identity.h"

#include "gen1/values/power_level.h"
#include "gen1/values/range_table.h"
#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/values/rows.h"

#include <cmath>
#include <cstdio>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr int32_t kModelNumber = 84;
constexpr int32_t kVersion = 85;
constexpr int32_t kBand = 89;
constexpr int32_t kBase = 90;
constexpr int32_t kLower = 91;
constexpr int32_t kUpper = 92;
constexpr int32_t kRegion = 99;

constexpr uint16_t kBaseOffset = 40;  // field 90, a 16-bit count of 25 kHz

constexpr Choice kBands[] = {{0, "Low"}, {1, "VHF"}, {2, "UHF"}, {3, "800"}, {4, "900"}, kChoiceEnd};
constexpr Choice kRegions[] = {{0, "Super Kelvo"},
                               {1, "North America"},
                               {2, "Latin America"},
                               {3, "EMEA"},
                               {4, "Asia"},
                               {5, "Federal"},
                               {6, "China Ministry of Rail"},
                               {7, "Japan"},
                               {255, "Zell Unprogrammable"},
                               kChoiceEnd};

bool mobile(const BlockBase& base) { return base.mobile != 0; }
bool portable(const BlockBase& base) { return base.mobile == 0; }

std::string mhz_text(double mhz) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", mhz);
  return text;
}

// ---- Band limits: field 90 + count x 5 kHz ------------------------------------------------------

double base_mhz(const uint8_t* entry) { return read_be(entry + kBaseOffset, 2) * 25 / 1000.0; }

// The count of 5 kHz steps from the base to `mhz`, rounded to the nearest; 107 when it does
// not fit 16 bits (below the base, or too far above it).
uint32_t limit_count(double mhz, double base) {
  const double count = std::round((mhz - base) / 0.005);
  if (!(count >= 0 && count <= 65535)) raise(err::kInvalidData);
  return static_cast<uint32_t>(count);
}

std::string limit_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const uint32_t base = read_be(entry + kBaseOffset, 2), count = read_be(entry + row.offset, 2);
  return mhz_text((base * 25.0 + count * 5.0) / 1000.0);  // in kHz first: exact
}
void limit_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  write_be(limit_count(parse_number(text), base_mhz(entry)), entry + row.offset, 2);
}
constexpr CustomCodec kLimitCodec{limit_decode, limit_encode, nullptr};

// Attribute 0 except the band (89) and fields 93-95 and 99, which are 2. Defaults: a VHF radio
// for North America, 136-174 MHz, codeplug version 07.20 programmed at the factory; power
// levels 25 W and 1 W on a mobile, 5 W and 1 W on a portable. Field 84 holds its 16 bytes as
// they are (users remove the blanks), so its default is 16 blanks.
constexpr FieldDesc kRows[] = {
    {.id = 83, .offset = 0, .width = 10, .codec = Codec::Text, .attribute = 0, .dflt = {""}},
    {.id = kModelNumber, .offset = 12, .width = 16, .codec = Codec::Text, .attribute = 0,
     .dflt = {"                "}, .trim = false, .name = "model_number"},
    {.id = kVersion, .offset = 30, .width = 2, .codec = Codec::Bcd, .attribute = 0,
     .dflt = {"07.20"}, .format = "01.23", .name = "codeplug_version"},
    {.id = 86, .offset = 32, .codec = Codec::Choice, .attribute = 0, .dflt = {"Factory"},
     .choices = kProgrammingSources, .name = "programming_source"},
    // Bytes 33-36 hold year (two bytes), month, day; shown month-day-year.
    {.id = 87, .offset = 33, .width = 4, .codec = Codec::Bcd, .attribute = 0,
     .dflt = {"01-01-2000"}, .format = "45-67-0123", .name = "programming_date"},
    {.id = 88, .offset = 37, .width = 2, .codec = Codec::Bcd, .attribute = 0, .dflt = {"00:00"},
     .format = "01:23", .name = "programming_time"},
    {.id = kBand, .offset = 39, .codec = Codec::Choice, .attribute = 2, .dflt = {"VHF"},
     .choices = kBands, .name = "band"},
    {.id = kBase, .offset = kBaseOffset, .width = 2, .codec = Codec::Scaled, .attribute = 0,
     .dflt = {"136.000000"}, .ranges = &kGen1Ranges, .scale = 0.025, .format = "%.6f", .name = "band_base"},  // MHz
    {.id = kLower, .offset = 42, .width = 2, .codec = Codec::Custom, .attribute = 0,
     .dflt = {"136.000000"}, .ranges = &kGen1Ranges, .custom = &kLimitCodec, .name = "band_lower_limit"},  // MHz
    {.id = kUpper, .offset = 44, .width = 2, .codec = Codec::Custom, .attribute = 0,
     .dflt = {"174.000000"}, .ranges = &kGen1Ranges, .custom = &kLimitCodec, .name = "band_upper_limit"},  // MHz
    {.id = 93, .offset = 46, .width = 16, .codec = Codec::Text, .attribute = 2, .dflt = {""}},
    {.id = 94, .offset = 62, .width = 2, .attribute = 2},
    {.id = 95, .offset = 64, .width = 10, .codec = Codec::Text, .attribute = 2, .dflt = {""}},
    {.id = 96, .offset = 74, .codec = Codec::Custom, .attribute = 0, .dflt = {"25.0", "5.0"},
     .ranges = &kGen1Ranges, .when = portable, .custom = &kPowerLevel, .name = "power_level_1"},  // W
    {.id = 96, .offset = 74, .codec = Codec::Custom, .attribute = 0, .dflt = {"25.0", "5.0"},
     .when = mobile, .custom = &kPowerLevel, .name = "power_level_1"},
    {.id = 97, .offset = 75, .codec = Codec::Custom, .attribute = 0, .dflt = {"1.0"},
     .ranges = &kGen1Ranges, .when = portable, .custom = &kPowerLevel, .name = "power_level_2"},  // W
    {.id = 97, .offset = 75, .codec = Codec::Custom, .attribute = 0, .dflt = {"1.0"},
     .when = mobile, .custom = &kPowerLevel, .name = "power_level_2"},
    {.id = kRegion, .offset = 81, .codec = Codec::Choice, .attribute = 2,
     .dflt = {"North America"}, .choices = kRegions, .name = "region"},
};
static_assert(layout::layout_ok(kRows, 82) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = 0,
                           .min_count = 1,
                           .max_count = 1,
                           .header_attribute = 0,
                           .keep_unused = true};

}  // namespace

RadioIdentity::RadioIdentity() : Cloneable(kFrame) { build_default(); }

void RadioIdentity::finish_record(const BlockRecord& candidate, const BlockRecord&) const {
  for (size_t i = 0; i < candidate.entry_count(); ++i) {
    const FieldList& entry = candidate.entry(i);
    const double base_mhz = parse_number(entry.text(kBase));
    for (int32_t limit : {kLower, kUpper}) limit_count(parse_number(entry.text(limit)), base_mhz);
  }
}

const std::string& RadioIdentity::text(int32_t field_id) const {
  return record_.entry(0).text(field_id);
}

std::string RadioIdentity::model_number() const {
  std::string model = text(kModelNumber);
  const size_t keep = model.find_last_not_of(" \t\n\v\f\r");
  model.erase(keep == std::string::npos ? 0 : keep + 1);
  return model;
}

const std::string& RadioIdentity::region() const { return text(kRegion); }

const std::string& RadioIdentity::codeplug_version() const { return text(kVersion); }

BandData RadioIdentity::band() const {
  return {text(kBand), parse_number(text(kBase)), parse_number(text(kLower)),
          parse_number(text(kUpper))};
}

}  // namespace cps
