#include "gen1/blocks/dialling_digits.h"

#include "gen1/values/alias_table.h"
#include "platform/errors.h"

#include <algorithm>
#include <string>

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr int32_t kNumberField = 579;
constexpr int32_t kByte0Field = 656;     // byte 0 of the digit image, both ways
constexpr int32_t kEntryLengthField = 50;
constexpr int32_t kAliasByte0 = 49;
constexpr int32_t kAliasHeader3 = 465;
constexpr int32_t kHeader47 = 47;        // checked when set alone; no part of the record

constexpr uint8_t kEntrySize = 8;
constexpr size_t kDigits = 2 * kEntrySize;
constexpr uint8_t kMaxNumbers = 26;
constexpr size_t kHeaderLength = 6;
constexpr uint8_t kByte4 = 4;
constexpr uint8_t kNoDigit = 15;

// Nibble to character; nibble 0 has none (108).
constexpr Choice kDiallingDigits[] = {
    {1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, "6"}, {7, "7"}, {8, "8"}, {9, "9"},
    {10, "0"}, {11, "*"}, {12, "#"}, {13, "-"}, {14, "P"}, {kNoDigit, ""}, kChoiceEnd};

// The number as the radio keeps it: without a pause before version text "03".
std::string stored_number(std::string_view text, const BlockBase& base) {
  std::string number(text);
  if (base.version == "01" || base.version == "02") std::replace(number.begin(), number.end(), 'P', '-');
  return number;
}

uint32_t nibble_of(char c) { return code_of(std::string_view(&c, 1), kDiallingDigits); }

void check_number(std::string_view text, const FieldDesc&, const BlockBase& base) {
  for (char c : stored_number(text, base)) nibble_of(c);
  if (text.size() > kDigits) raise(err::kInvalidData);  // more than the entry's nibbles hold
}

// Two characters a byte; an entry whose first byte holds none is the empty number, and its
// other bytes are not read.
std::string decode_number(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  std::string text;
  for (size_t k = 0; k < row.width; ++k) {
    text += label_of(entry[row.offset + k] >> 4, kDiallingDigits);
    text += label_of(entry[row.offset + k] & 0x0F, kDiallingDigits);
    if (k == 0 && text.empty()) break;
  }
  return text;
}

void encode_number(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase& base) {
  check_number(text, row, base);  // before any byte changes
  const std::string number = stored_number(text, base);
  for (size_t k = 0; k < 2 * size_t{row.width}; ++k) {
    const uint32_t nibble = k < number.size() ? nibble_of(number[k]) : kNoDigit;
    uint8_t& byte = entry[row.offset + k / 2];
    byte = k % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (nibble << 4))
                      : static_cast<uint8_t>((byte & 0xF0) | nibble);
  }
}

constexpr layout::CustomCodec kNumberCodec{decode_number, encode_number, check_number};

void store_without_pause(FieldList&, FieldValue& field, const BlockBase& base) {
  field.value = stored_number(field.value, base);
}

constexpr FieldDesc kRows[] = {
    {.id = kNumberField, .width = kEntrySize, .codec = Codec::Custom, .dflt = {""}, .custom = &kNumberCodec,
     .name = "dialling_number", .on_set = store_without_pause},
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kRows, kEntrySize));

// The rows and the bounds of the count; the header is this block's own.
constexpr ListFrame kFrame{.rows = kRows, .record_size = kEntrySize, .min_count = 1, .max_count = kMaxNumbers};

// The header in the order a record carries it: the digit image's fields, then the alias image's.
constexpr int32_t kHeaderOrder[] = {kByte0Field, kEntryLengthField, kRecordCountField, kFormatField,
                                    kAliasByte0, kAliasLength, kAliasHeader3};
constexpr int32_t kAliasHeader[] = {kAliasByte0, kAliasLength, kAliasHeader3};

// A value that must be a number in `low`..`high` (107).
void check_between(const FieldValue& field, int64_t low, int64_t high) {
  const int64_t value = parse_decimal(field.value);
  if (value < low || value > high) raise(err::kInvalidData);
}

void check_header(const FieldValue& field) {
  switch (field.id) {
    case kHeader47:
      return check_between(field, kByte4, kByte4);
    case kEntryLengthField:
      return check_between(field, kEntrySize, kEntrySize);
    case kRecordCountField:
      return check_between(field, kFrame.min_count, kFrame.max_count);
    default:
      return check_between(field, 0, 0xFF);  // one byte of an image
  }
}

bool is_header(int32_t id) {
  return id == kHeader47 || std::find(std::begin(kHeaderOrder), std::end(kHeaderOrder), id) != std::end(kHeaderOrder);
}

// The byte a header field packs into (checked when it was stored).
uint8_t header_byte(const BlockRecord& record, int32_t id) {
  return static_cast<uint8_t>(parse_decimal(record.header().text(id)));
}

}  // namespace

DiallingDigits::DiallingDigits() : Cloneable(kFrame) { build_default(); }

// ---- Images -----------------------------------------------------------------------------------

void DiallingDigits::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id == kAliasImage) {
    if (!unpacked_) raise(err::kUnpackFailure);
    FieldList header;
    for (int32_t field : {kByte0Field, kEntryLengthField, kRecordCountField, kFormatField})
      header.add(record_.header().get(field));
    replace_aliases(image, length, std::move(header), record_);
    unpacked_ = false;  // the mark is used up
    return;
  }
  if (id != kDigitImage) raise(err::kBlockNotSupported);
  if (length < kHeaderLength + 1) raise(err::kShortImage);
  const size_t size = image[1], count = image[2];
  const size_t needed = count * size + kHeaderLength + 1;
  if (length < needed) raise(err::kShortImage);
  verify_checksum(image, needed - 1, image[needed - 1]);

  BlockRecord work;
  for (auto [field, at] : {std::pair{kByte0Field, 0}, std::pair{kEntryLengthField, 1},
                           std::pair{kRecordCountField, 2}, std::pair{kFormatField, 3}}) {
    const FieldValue value{field, decimal_text(image[at]), 2};
    check_header(value);
    work.add_header_field(value);
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t k = work.add_entry();
    layout::unpack(kRows, image + kHeaderLength + i * size, size, base, work.entry(k));
  }
  // The alias header stays until the alias image replaces it, so that the record is whole
  // when a codeplug carries no alias image.
  for (int32_t field : kAliasHeader)
    if (record_.header().contains(field)) work.add_header_field(record_.get_header_field(field));
  record_ = std::move(work);
  unpacked_ = true;
}

std::vector<uint8_t> DiallingDigits::pack(int32_t id) {
  if (id == kAliasImage) return pack_alias_image(record_, base);
  if (id != kDigitImage) raise(err::kBlockNotSupported);
  // The numbers are stored as packed: a pause becomes "-" where the radio has none.
  BlockRecord work = record_;
  for (size_t i = 0; i < work.entry_count(); ++i)
    work.entry(i).set_text(kNumberField, stored_number(work.entry(i).text(kNumberField), base));
  const size_t count = work.entry_count();
  std::vector<uint8_t> image(count * kEntrySize + kHeaderLength + 1, 0);
  image[0] = header_byte(work, kByte0Field);
  image[1] = kEntrySize;
  image[2] = static_cast<uint8_t>(count);
  image[3] = header_byte(work, kFormatField);
  image[4] = kByte4;
  image[5] = kDigits;
  for (size_t i = 0; i < count; ++i)
    layout::pack(kRows, work.entry(i), base, image.data() + kHeaderLength + i * kEntrySize, kEntrySize);
  image.back() = checksum(image.data(), image.size() - 1);
  record_ = std::move(work);
  return image;
}

void DiallingDigits::build_default() {
  BlockRecord record;
  const char* header[] = {"128", "8", "26", "0", "132", base.version == "01" ? "14" : "8", "0"};
  for (size_t k = 0; k < std::size(kHeaderOrder); ++k) record.add_header_field({kHeaderOrder[k], header[k], 2});
  for (size_t i = 0; i < kMaxNumbers; ++i) record.add_entry(layout::defaults(kRows, base));
  record_ = std::move(record);
  raw_.clear();
  unpacked_ = false;
}

// ---- Setting ----------------------------------------------------------------------------------

void DiallingDigits::set_block(const BlockRecord& given) {
  FieldList header;
  for (int32_t id : {kByte0Field, kRecordCountField, kEntryLengthField, kFormatField, kAliasByte0, kAliasLength,
                     kAliasHeader3}) {
    const FieldValue field = given.get_header_field(id);
    check_header(field);
    header.add(field);
  }
  if (parse_decimal(header.text(kRecordCountField)) != static_cast<int64_t>(given.entry_count()))
    raise(err::kInvalidData);
  BlockRecord candidate;
  for (int32_t id : kHeaderOrder) candidate.add_header_field(header.get(id));
  for (size_t i = 0; i < given.entry_count(); ++i) {
    FieldList entry = layout::take(kRows, given.entry(i), base);
    entry.set_text(kNumberField, stored_number(entry.text(kNumberField), base));
    candidate.add_entry(std::move(entry));
  }
  record_ = std::move(candidate);
}

void DiallingDigits::check_field(const FieldValue& field) const {
  if (is_header(field.id))
    check_header(field);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
