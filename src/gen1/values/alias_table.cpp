#include "gen1/values/alias_table.h"

#include "platform/errors.h"
#include "gen1/values/range_table.h"

#include <optional>
#include <string>
#include <vector>

namespace cps {

namespace {

constexpr int32_t kEntryCount = 48;
constexpr int32_t kByte0Field = 49;   // header field carried in byte 0
constexpr int32_t kByte3Field = 465;  // header field carried in byte 3
constexpr size_t kAliasStart = 6;
constexpr uint8_t kNoAlias = 0xFF;
constexpr uint8_t kHeaderAttribute = 2;

// The alias length a codeplug takes when it moves between major versions: 8 on a radio later
// than version 1, 14 on a version-1 radio.
constexpr int64_t kLaterVersionAliasLength = 8;
constexpr int64_t kVersion1AliasLength = 14;

struct AliasShape {
  size_t length;  // L
  size_t count;   // N
};

// Checks the length and checksum of an alias image and returns its L and N.
AliasShape check_image(const uint8_t* bytes, size_t length) {
  if (length < kAliasStart + 1) raise(err::kShortImage);
  AliasShape shape{bytes[1], bytes[2]};
  size_t covered = kAliasStart + shape.count * shape.length;
  if (length < covered + 1) raise(err::kShortImage);
  verify_checksum(bytes, covered, bytes[covered]);
  return shape;
}

// An image may not carry more aliases than the block has entries (or lists).
void check_count(const AliasShape& shape, size_t entries) {
  if (shape.count > entries) raise(err::kShortImage);
}

// Alias i as text (ending at the first 0x00), its characters checked; nothing when the entry
// has no alias.
bool read_alias(const uint8_t* bytes, const AliasShape& shape, size_t i, std::string& text) {
  if (shape.length == 0) return false;
  const uint8_t* alias = bytes + kAliasStart + i * shape.length;
  if (alias[0] == kNoAlias) return false;
  text = fixed_bytes_to_text(alias, shape.length, false);
  check_alias(text);
  return true;
}

// Every alias of a checked image, read and checked before anything is stored: its text, or
// nothing where the entry has none.
std::vector<std::optional<std::string>> read_aliases(const uint8_t* bytes, const AliasShape& shape) {
  std::vector<std::optional<std::string>> aliases(shape.count);
  std::string text;
  for (size_t i = 0; i < shape.count; ++i)
    if (read_alias(bytes, shape, i, text)) aliases[i] = text;
  return aliases;
}

void add_header_byte(FieldList& header, int32_t id, uint8_t value) {
  header.add(id, decimal_text(value), kHeaderAttribute);
}

// The header fields the image carries: 49 (unless a member image supplies it), 464 and 465.
void add_image_header(FieldList& header, const uint8_t* bytes, bool with_byte0) {
  if (with_byte0) add_header_byte(header, kByte0Field, bytes[0]);
  add_header_byte(header, kAliasLength, bytes[1]);
  add_header_byte(header, kByte3Field, bytes[3]);
}

// A header value that must fit its byte of the image.
uint8_t header_byte(const FieldList& header, int32_t id) {
  int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > 0xFF) raise(err::kInvalidData);
  return static_cast<uint8_t>(value);
}

// Moving a codeplug between the two alias layouts rewrites header field 464 before packing.
void convert_alias_length(FieldList& header, const BlockBase& base) {
  if (base.data_major() == 0 || base.target_major() == 0 || base.data_major() == base.target_major())
    return;
  if (base.data_major() == 1)
    header.set_text(kAliasLength, decimal_text(kLaterVersionAliasLength));
  else if (base.target_major() == 1)
    header.set_text(kAliasLength, decimal_text(kVersion1AliasLength));
}

// The image frame for `count` aliases; `alias_of(i)` gives the text of alias i.
template <class AliasOf>
std::vector<uint8_t> build_image(const FieldList& header, size_t count, AliasOf alias_of) {
  if (count > 0xFF) raise(err::kInvalidData);
  uint8_t length = header_byte(header, kAliasLength);
  std::vector<uint8_t> image(kAliasStart + count * length + 1, 0);
  image[0] = header_byte(header, kByte0Field);
  image[1] = length;
  image[2] = static_cast<uint8_t>(count);
  image[3] = header_byte(header, kByte3Field);
  image[4] = 1;
  image[5] = length;
  for (size_t i = 0; i < count; ++i) {
    std::string bytes = text_to_fixed_bytes(alias_of(i), length, true);
    for (size_t k = 0; k < length; ++k)
      image[kAliasStart + i * length + k] = static_cast<uint8_t>(bytes[k]);
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

size_t declared_entry_count(const FieldList& header) {
  int64_t count = parse_decimal(header.text(kEntryCount));
  if (count < 0) raise(err::kInvalidData);
  return static_cast<size_t>(count);
}

}  // namespace

void alias_field_check(std::string_view text, const layout::FieldDesc&, const BlockBase&) { check_alias(text); }

void unpack_alias_image(const uint8_t* bytes, size_t length, BlockRecord& record) {
  const AliasShape shape = check_image(bytes, length);
  check_count(shape, declared_entry_count(record.header()));
  std::vector<std::optional<std::string>> aliases = read_aliases(bytes, shape);
  add_image_header(record.header(), bytes, true);
  for (size_t i = 0; i < aliases.size(); ++i)
    if (aliases[i]) record.entry(i).set_text(kAliasField, std::move(*aliases[i]));
}

void replace_aliases(const uint8_t* bytes, size_t length, FieldList header, BlockRecord& record) {
  for (size_t i = 0; i < record.entry_count(); ++i)
    if (!record.entry(i).contains(kAliasField)) raise(err::kFieldNotFound);
  const AliasShape shape = check_image(bytes, length);
  check_count(shape, declared_entry_count(header));
  std::vector<std::optional<std::string>> aliases = read_aliases(bytes, shape);
  add_image_header(header, bytes, true);
  record.header() = std::move(header);
  for (size_t i = 0; i < record.entry_count(); ++i)
    record.entry(i).set_text(kAliasField, i < aliases.size() && aliases[i] ? std::move(*aliases[i]) : std::string());
}

std::vector<uint8_t> pack_alias_image(BlockRecord& record, const BlockBase& base) {
  convert_alias_length(record.header(), base);
  size_t count = declared_entry_count(record.header());
  return build_image(record.header(), count,
                     [&](size_t i) { return record.entry(i).text(kAliasField); });
}

void unpack_alias_image(const uint8_t* bytes, size_t length, ListBlockRecord& record) {
  const AliasShape shape = check_image(bytes, length);
  check_count(shape, record.list_count());
  std::vector<std::optional<std::string>> aliases = read_aliases(bytes, shape);
  add_image_header(record.header(), bytes, false);
  for (size_t i = 0; i < aliases.size(); ++i)
    if (aliases[i]) record.list(i).header().set_text(kAliasField, std::move(*aliases[i]));
}

std::vector<uint8_t> pack_alias_image(ListBlockRecord& record, const BlockBase& base) {
  convert_alias_length(record.header(), base);
  return build_image(record.header(), record.list_count(),
                     [&](size_t i) { return record.list(i).header().text(kAliasField); });
}

}  // namespace cps
