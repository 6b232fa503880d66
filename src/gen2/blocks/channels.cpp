#include "gen2/blocks/channels.h"

#include "platform/errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <utility>

namespace cps::gen2 {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr Choice kSpacing[] = {{0, "12.5"}, {1, "20"}, {2, "25"}, kChoiceEnd};
constexpr Choice kPower[] = {{0, "Low"}, {1, "High"}, kChoiceEnd};
constexpr Choice kStep[] = {{0, "5.00KHz"}, {1, "6.25KHz"}, kChoiceEnd};
constexpr Choice kSquelchType[] = {{0, "CSQ"}, {1, "TXQ"}, {2, "DXQ"}, {3, "Inverted DXQ"}, kChoiceEnd};
constexpr Choice kDeviation[] = {{0, "Automatic"}, {1, "2.1"}, {2, "2.225"}, {3, "2.4"}, kChoiceEnd};

// The digital squelch codes in ascending order; code k (1..104) is kDigitalCodes[k - 1].
constexpr const char* kDigitalCodes[] = {
    "023", "025", "026", "031", "032", "036", "043", "047", "051", "053", "054", "065", "071", "072", "073",
    "074", "114", "115", "116", "122", "125", "131", "132", "134", "143", "145", "152", "155", "156", "162",
    "165", "172", "174", "205", "212", "223", "225", "226", "243", "244", "245", "246", "251", "252", "255",
    "261", "263", "265", "266", "271", "274", "306", "311", "315", "325", "331", "332", "343", "346", "351",
    "356", "364", "365", "371", "411", "412", "413", "423", "431", "432", "445", "446", "452", "454", "455",
    "462", "464", "465", "466", "503", "506", "516", "523", "526", "532", "546", "565", "606", "612", "624",
    "627", "631", "632", "654", "662", "664", "703", "712", "723", "731", "732", "734", "743", "754",
};
static_assert(std::size(kDigitalCodes) == 104);

// What a squelch type does with its code: nothing (CSQ), a tone (TXQ) or a digital code (DXQ and
// Inverted DXQ, which share the codes).
enum class CodeKind { None, Tone, Digital };
constexpr uint32_t kCsq = 0;
constexpr uint32_t kTxq = 1;
constexpr uint8_t kTypeMask = 0x30;  // the type's bits in the code's first byte
constexpr uint32_t kLargestCode = 0x0FFF;

CodeKind kind_of(uint32_t type) {
  if (type == kCsq) return CodeKind::None;
  return type == kTxq ? CodeKind::Tone : CodeKind::Digital;
}

// The type's code from its label, compared without regard to case (108 for no type).
uint32_t type_code(std::string_view label) {
  auto same = [&](const char* known) {
    std::string_view k = known;
    return k.size() == label.size() && std::equal(k.begin(), k.end(), label.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  for (const Choice* c = kSquelchType; c->label != nullptr; ++c)
    if (same(c->label)) return c->code;
  raise(err::kChoiceNotFound);
}

std::string code_text(CodeKind kind, uint32_t bits) {
  switch (kind) {
    case CodeKind::None:
      return {};
    case CodeKind::Tone: {
      char text[32];
      std::snprintf(text, sizeof text, "%f", bits / 10.0);
      return text;
    }
    case CodeKind::Digital:
      if (bits == 0 || bits > std::size(kDigitalCodes)) raise(err::kChoiceNotFound);
      return kDigitalCodes[bits - 1];
  }
  raise(err::kUnexpected);
}

// The 12 bits of a code text: 107 for a tone that is not a whole number of tenths within 12 bits
// and for any text under "CSQ" but the empty one, 108 for a digital code not in the table.
uint32_t code_bits(CodeKind kind, std::string_view text) {
  switch (kind) {
    case CodeKind::None:
      if (!text.empty()) raise(err::kInvalidData);
      return 0;
    case CodeKind::Tone: {
      const double tenths = parse_number(text) * 10;
      const double whole = std::round(tenths);
      if (!(whole >= 0 && whole <= kLargestCode) || std::fabs(tenths - whole) > 1e-6) raise(err::kInvalidData);
      return static_cast<uint32_t>(whole);
    }
    case CodeKind::Digital:
      for (size_t k = 0; k < std::size(kDigitalCodes); ++k)
        if (text == kDigitalCodes[k]) return static_cast<uint32_t>(k + 1);
      raise(err::kChoiceNotFound);
  }
  raise(err::kUnexpected);
}

// The code's first text of each kind: no code, 0 Hz, code 1.
const char* first_code(CodeKind kind) {
  switch (kind) {
    case CodeKind::None: return "";
    case CodeKind::Tone: return "0.000000";
    case CodeKind::Digital: return kDigitalCodes[0];
  }
  return "";
}

// 2516 and 2519: the low four bits of the first byte and the second byte; the set's type stands
// in bits 5-4 of the first byte (its row packs before the code's).
std::string code_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  const uint8_t first = entry[row.offset];
  return code_text(kind_of(get_bits(kTypeMask, first)), (first & 0x0Fu) << 8 | entry[row.offset + 1]);
}

void code_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  uint8_t& first = entry[row.offset];
  const uint32_t bits = code_bits(kind_of(get_bits(kTypeMask, first)), text);
  first = static_cast<uint8_t>((first & 0xF0) | (bits >> 8));
  entry[row.offset + 1] = static_cast<uint8_t>(bits & 0xFF);
}

constexpr CustomCodec kSquelchCode{&code_decode, &code_encode, nullptr};

// Setting a set's type alone: a type of another kind gives the code that kind's first value, so
// that the entry stays one the radio can hold; DXQ and Inverted DXQ keep their code.
void on_type_set(FieldList& entry, FieldValue& field, const BlockBase&) {
  if (!has_label(field.value, kSquelchType)) return;  // the type's own check refuses it
  const CodeKind now = kind_of(type_code(entry.text(field.id)));
  const CodeKind next = kind_of(code_of(field.value, kSquelchType));
  if (now != next) entry.set_text(field.id + 1, first_code(next));  // the set's code follows its type
}

constexpr int32_t kSpacingField = 2502;
constexpr uint16_t kSpacingByte = 1;
constexpr uint8_t kSpacingMask = 0xC0;
constexpr int32_t kTypeA = 2515, kCodeA = 2516, kTypeB = 2518, kCodeB = 2519;

constexpr size_t kEntryBytes = 14;

constexpr FieldDesc flag(int32_t id, uint16_t offset, uint8_t mask) { return {.id = id, .offset = offset, .mask = mask}; }

// No range rows: every number need only fit its bits.
constexpr FieldDesc kRows[] = {
    {.id = 2501, .offset = 0},
    {.id = kSpacingField, .offset = kSpacingByte, .mask = kSpacingMask, .codec = Codec::Choice, .dflt = {"12.5"},
     .choices = kSpacing, .name = "channel_spacing"},
    flag(2503, 1, 0x20), flag(2504, 1, 0x10),
    {.id = 2505, .offset = 1, .mask = 0x08, .codec = Codec::Choice, .dflt = {"Low"}, .choices = kPower,
     .name = "power_level"},
    flag(2506, 1, 0x04), flag(2507, 1, 0x02), flag(2508, 1, 0x01),
    flag(2509, 2, 0x80), flag(2510, 2, 0x40), flag(2511, 2, 0x20), flag(2512, 2, 0x1F),
    {.id = 2513, .offset = 3},
    {.id = 2514, .offset = 4, .mask = 0xC0, .codec = Codec::Choice, .dflt = {"5.00KHz"}, .choices = kStep,
     .name = "squelch_a_step"},
    {.id = kTypeA, .offset = 4, .mask = kTypeMask, .codec = Codec::Choice, .dflt = {"CSQ"}, .choices = kSquelchType,
     .name = "squelch_a_type", .on_set = &on_type_set},
    {.id = kCodeA, .offset = 4, .width = 2, .codec = Codec::Custom, .dflt = {""}, .custom = &kSquelchCode,
     .shares_bits = true, .name = "squelch_a_code"},  // the low four bits of byte 4, and byte 5
    {.id = 2517, .offset = 6, .mask = 0xC0, .codec = Codec::Choice, .dflt = {"5.00KHz"}, .choices = kStep,
     .name = "squelch_b_step"},
    {.id = kTypeB, .offset = 6, .mask = kTypeMask, .codec = Codec::Choice, .dflt = {"CSQ"}, .choices = kSquelchType,
     .name = "squelch_b_type", .on_set = &on_type_set},
    {.id = kCodeB, .offset = 6, .width = 2, .codec = Codec::Custom, .dflt = {""}, .custom = &kSquelchCode,
     .shares_bits = true, .name = "squelch_b_code"},  // the low four bits of byte 6, and byte 7
    {.id = 2520, .offset = 8, .width = 2, .name = "channel_number_1"},
    {.id = 2521, .offset = 10, .width = 2, .name = "channel_number_2"},
    {.id = 2523, .offset = 12, .mask = 0xC0, .codec = Codec::Choice, .dflt = {"Automatic"}, .choices = kDeviation,
     .name = "deviation_2"},
    {.id = 2522, .offset = 12, .mask = 0x30, .codec = Codec::Choice, .dflt = {"Automatic"}, .choices = kDeviation,
     .name = "deviation_1"},
    flag(2525, 13, 0x80), flag(2526, 13, 0x40), flag(2527, 13, 0x20), flag(2528, 13, 0x10),
};
static_assert(layout::layout_ok(kRows, kEntryBytes));
static_assert(layout::choices_fit(kRows));

// The defaults of 2519, 2520 and 2521 would follow the model's band limits; without model rows
// they are the empty code and 0.
constexpr ListShape kShape{.rows = kRows, .min_count = 1, .max_count = 100};

}  // namespace

Channels::Channels() : FramedList(kShape) {}

void Channels::link(const R9ListBlock* info, const std::vector<std::string>& fixed_spacing_models) {
  radio_info_ = dynamic_cast<const RadioInfo*>(info);
  fixed_spacing_models_ = fixed_spacing_models;
}

bool Channels::fixed_spacing() const {
  if (radio_info_ == nullptr || fixed_spacing_models_.empty()) return false;
  const std::string model = radio_info_->model_number();
  return std::find(fixed_spacing_models_.begin(), fixed_spacing_models_.end(), model) != fixed_spacing_models_.end();
}

void Channels::unpack(const uint8_t* bytes, size_t length) {
  if (!fixed_spacing()) return FramedList::unpack(bytes, length);
  // The radio's own bytes are checked first (13, 103); then its spacing bits are read as code 0.
  BlockRecord scratch;
  const Framing framing = unpack_framing(bytes, length, scratch);
  if (framing.count > 0 && framing.record_size < kEntryBytes) raise(err::kShortImage);
  std::vector<uint8_t> image(bytes, bytes + framing.total);
  for (size_t i = 0; i < framing.count; ++i)
    image[kFrameHeaderLength + i * framing.record_size + kSpacingByte] &= static_cast<uint8_t>(~kSpacingMask);
  seal(image);
  FramedList::unpack(image.data(), image.size());
}

void Channels::check_entry(const FieldList& entry) const {
  for (auto [type, code] : {std::pair{kTypeA, kCodeA}, std::pair{kTypeB, kCodeB}})
    (void)code_bits(kind_of(type_code(entry.text(type))), entry.text(code));
}

}  // namespace cps::gen2
