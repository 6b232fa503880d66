// The one engine behind every block table: unpack, pack, check and defaults driven by rows of
// field descriptors. Every byte is reached through the row's offset and width; nothing is read
// or written past the entry size the caller gives.
#include "engine/field_layout.h"

#include "platform/errors.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace cps::layout {

namespace {

// A typed text whose raw value, scaled back, lies this close to a whole number (in raw units)
// is taken as that number: "12.5" / 0.1 is 125.00000000000001 in binary floating point.
constexpr double kRawEpsilon = 1e-6;

bool exists(const FieldDesc& row, const BlockBase& base) {
  return row.when == nullptr || row.when(base);
}

const char* default_text(const FieldDesc& row, const BlockBase& base) {
  const char* text = (base.mobile == 0 && row.dflt.portable != nullptr) ? row.dflt.portable
                                                                        : row.dflt.text;
  return text != nullptr ? text : "";
}

// Numeric and Bcd rows keep their raw value in a uint32_t; a wider row, or one without bits,
// is a table fault (layout_ok refuses both).
void require_raw_width(const FieldDesc& row) {
  if (row.width == 0 || row.width > 4 || row.mask == 0) raise(err::kUnexpected);
}

int bit_count(const FieldDesc& row) {
  // By nibbles: std::popcount is a library call on a target without a population-count
  // instruction, and this runs for every field of every entry.
  static constexpr uint8_t kNibbleBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
  return row.width == 1 ? kNibbleBits[row.mask & 0x0F] + kNibbleBits[row.mask >> 4] : 8 * row.width;
}

uint64_t max_raw(const FieldDesc& row) { return (uint64_t{1} << bit_count(row)) - 1; }

// 13 when the row's bytes do not lie inside an entry of `size` bytes.
void require_bytes(const FieldDesc& row, size_t size) {
  if (size_t{row.offset} + row.width > size) raise(err::kShortImage);
}

uint32_t read_raw(const FieldDesc& row, const uint8_t* entry) {
  const uint8_t* at = entry + row.offset;
  return row.width == 1 ? get_bits(row.mask, *at) : read_be(at, row.width);
}

void write_raw(const FieldDesc& row, uint32_t raw, uint8_t* entry) {
  uint8_t* at = entry + row.offset;
  if (row.width == 1) {
    set_bits(row.mask, raw, *at);
  } else {
    write_be(raw, at, row.width);
  }
}

// ---- Bcd ---------------------------------------------------------------------------------------

// Nibble k of a big-endian raw value of `width` bytes, nibble 0 being the most significant.
int nibble_shift(const FieldDesc& row, int k) { return 4 * (2 * row.width - 1 - k); }

bool is_nibble_digit(const FieldDesc& row, char c) {
  return c >= '0' && c <= '9' && c - '0' < 2 * row.width;
}

// The row's pattern; 111 for a table that layout_ok would refuse.
const char* bcd_pattern(const FieldDesc& row) {
  if (!detail::bcd_pattern_ok(row.format, row.width)) raise(err::kUnexpected);
  return row.format;
}

std::string bcd_text(const FieldDesc& row, uint32_t raw) {
  std::string text;
  for (const char* p = bcd_pattern(row); *p != '\0'; ++p) {
    if (is_nibble_digit(row, *p)) {
      // A nibble above 9 shows as its decimal value (0xA as "10"): the radio's bytes are shown
      // as they are, and whoever needs digits checks the text.
      const uint32_t nibble = (raw >> nibble_shift(row, *p - '0')) & 0xF;
      char digit[4];
      std::snprintf(digit, sizeof digit, "%d", static_cast<int>(nibble));
      text += digit;
    } else {
      text += *p;
    }
  }
  return text;
}

// The digits at the pattern's positions of `text` written into the named nibbles of `raw`.
uint32_t bcd_apply(const FieldDesc& row, std::string_view text, uint32_t raw) {
  size_t position = 0;
  for (const char* p = bcd_pattern(row); *p != '\0'; ++p, ++position) {
    if (!is_nibble_digit(row, *p)) continue;
    const char c = position < text.size() ? text[position] : '0';
    const uint32_t digit = (c >= '0' && c <= '9') ? static_cast<uint32_t>(c - '0') : 0;
    const int shift = nibble_shift(row, *p - '0');
    raw = (raw & ~(uint32_t{0xF} << shift)) | (digit << shift);
  }
  return raw;
}

// ---- Numbers -----------------------------------------------------------------------------------

int64_t signed_value(const FieldDesc& row, uint32_t raw) {
  const int bits = bit_count(row);
  const uint64_t value = raw & max_raw(row);
  const bool negative = ((value >> (bits - 1)) & 1) != 0;
  return negative ? static_cast<int64_t>(value) - static_cast<int64_t>(max_raw(row) + 1)
                  : static_cast<int64_t>(value);
}

std::string scaled_text(const FieldDesc& row, uint32_t raw) {
  const char conversion = detail::single_conversion(row.format);
  if (conversion == 0 || !(row.scale > 0.0)) raise(err::kUnexpected);
  const double value = raw * row.scale + row.bias;
  char text[512];
  if (detail::is_integer_conversion(conversion)) {
    const double whole = std::round(value);
    if (!(whole >= INT_MIN && whole <= INT_MAX)) raise(err::kInvalidData);
    std::snprintf(text, sizeof text, row.format, static_cast<int>(whole));
  } else {
    std::snprintf(text, sizeof text, row.format, value);
  }
  return text;
}

uint32_t scaled_raw(const FieldDesc& row, std::string_view text, const RangeTable* ranges) {
  if (!(row.scale > 0.0)) raise(err::kUnexpected);
  const double value = parse_number(text);
  if (ranges) ranges->check(row.id, value);
  const double exact = (value - row.bias) / row.scale;
  if (!(exact > -0.5 && exact < static_cast<double>(max_raw(row)) + 0.5)) raise(err::kInvalidData);
  const double raw = std::round(exact);
  if (std::fabs(exact - raw) > kRawEpsilon) raise(err::kInvalidData);
  return static_cast<uint32_t>(raw);
}

// The raw value of a text of a numeric or Bcd row; the range row is consulted where `ranges`.
uint32_t encode(const FieldDesc& row, std::string_view text, const RangeTable* ranges) {
  require_raw_width(row);
  switch (row.codec) {
    case Codec::Unsigned: {
      const int64_t value = parse_decimal(text);
      if (ranges) ranges->check(row.id, static_cast<double>(value));
      if (value < 0 || static_cast<uint64_t>(value) > max_raw(row)) raise(err::kInvalidData);
      return static_cast<uint32_t>(value);
    }
    case Codec::Capped: {
      const int64_t value = parse_decimal(text);
      if (ranges) ranges->check(row.id, static_cast<double>(value));
      if (value < 0) raise(err::kInvalidData);
      return static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(value), max_raw(row)));
    }
    case Codec::Cut: {
      const int64_t value = parse_decimal(text);
      if (ranges) ranges->check(row.id, static_cast<double>(value));
      if (value < 0 || value > UINT32_MAX) raise(err::kInvalidData);
      return static_cast<uint32_t>(static_cast<uint64_t>(value) & max_raw(row));
    }
    case Codec::Signed: {
      const int64_t value = parse_decimal(text);
      if (ranges) ranges->check(row.id, static_cast<double>(value));
      const int64_t half = int64_t{1} << (bit_count(row) - 1);
      if (value < -half || value >= half) raise(err::kInvalidData);
      return static_cast<uint32_t>(static_cast<uint64_t>(value) & max_raw(row));
    }
    case Codec::Choice: {
      if (row.choices == nullptr) raise(err::kUnexpected);
      const uint32_t code = code_of(text, row.choices);
      if (code > max_raw(row)) raise(err::kInvalidData);
      return code;
    }
    case Codec::Scaled:
      return scaled_raw(row, text, ranges);
    case Codec::Bcd:
      return bcd_apply(row, text, 0);
    default:
      raise(err::kUnexpected);
  }
}

// ---- Labels picked by another row ---------------------------------------------------------------

uint32_t picking_bits(const PickedLabels& p, const uint8_t* entry) { return get_bits(p.mask, entry[p.offset]); }

// The table a picked row's labels come from in this entry (108 for bits that pick none).
const Choice* picked_table(const FieldDesc& row, const uint8_t* entry) {
  const uint32_t bits = picking_bits(*row.picked, entry);
  if (bits >= row.picked->tables.size()) raise(err::kChoiceNotFound);
  return row.picked->tables[bits];
}

std::string picked_text(const FieldDesc& row, const uint8_t* entry) {
  const PickedLabels& p = *row.picked;
  const uint32_t code = read_raw(row, entry);
  if (!p.echo) return label_of(code, picked_table(row, entry));
  if (code == p.echo_code) return label_of(picking_bits(p, entry), p.tables[0]);
  return label_of(code, row.choices);
}

// Alone, a text of a row with picked tables can only be held against all of them; packing
// holds it against the one its entry picks.
bool has_picked_label(const FieldDesc& row, std::string_view text) {
  for (const Choice* table : row.picked->tables)
    if (has_label(text, table)) return true;
  return false;
}

// Each picked row's text against the table its entry's picking field selects (108).
void check_picked(Layout rows, const FieldList& entry, const BlockBase& base) {
  for (const FieldDesc& row : rows) {
    if (row.picked == nullptr || row.picked->echo || !exists(row, base)) continue;
    const FieldDesc* picking = find(rows, row.picked->field, base);
    if (picking == nullptr) continue;
    const uint32_t bits = raw_of(*picking, entry.text(row.picked->field));  // the picking bits
    if (bits >= row.picked->tables.size() || !has_label(entry.text(row.id), row.picked->tables[bits]))
      raise(err::kChoiceNotFound);
  }
}

// Whether setting field `id` alone can change which labels a picked row accepts.
bool picks_labels(Layout rows, int32_t id) {
  for (const FieldDesc& row : rows)
    if (row.picked != nullptr && !row.picked->echo && (row.id == id || row.picked->field == id)) return true;
  return false;
}

// The row's range rows, unless `entry` (where given) is one the row is not tested in.
const RangeTable* ranges_in(const FieldDesc& row, const FieldList* entry) {
  return row.tested_when != nullptr && entry != nullptr && !row.tested_when(*entry) ? nullptr : row.ranges;
}

// Every value of the row, checked on its way in and as it is unpacked. `entry` holds the
// entry's other fields where they are known (at least those before the row); a row tested only
// in some entries is tested where none is given.
void check_value(const FieldDesc& row, std::string_view text, const BlockBase& base,
                 const FieldList* entry = nullptr) {
  const RangeTable* ranges = ranges_in(row, entry);
  switch (row.codec) {
    case Codec::Unsigned:
    case Codec::Capped:
    case Codec::Cut:
    case Codec::Signed:
    case Codec::Scaled:
      encode(row, text, ranges);
      break;
    case Codec::Choice:
      if (row.picked != nullptr && !row.picked->echo) {
        if (!has_picked_label(row, text)) raise(err::kChoiceNotFound);
        break;
      }
      if (row.choices == nullptr) raise(err::kUnexpected);
      if (!has_label(text, row.choices)) raise(err::kChoiceNotFound);
      break;
    case Codec::Custom:
      if (row.custom == nullptr) raise(err::kUnexpected);
      if (row.custom->check != nullptr) row.custom->check(text, row, base);
      if (ranges) ranges->check(row.id, parse_number(text));
      return;
    case Codec::Text:
    case Codec::Bcd:
    case Codec::Virtual:
      break;
  }
  if (row.custom != nullptr && row.custom->check != nullptr) row.custom->check(text, row, base);
}

bool plain_number_or_choice(Codec codec) {
  switch (codec) {
    case Codec::Unsigned:
    case Codec::Capped:
    case Codec::Cut:
    case Codec::Signed:
    case Codec::Choice: return true;
    default: return false;
  }
}

// check_value of the text that text_of(row, raw) gave a row of plain_number_or_choice without
// picked labels: the same checks in the same order. The number read back from a whole number's
// text is the number (and within the row's width), and a choice's label is its table's.
void check_decoded(const FieldDesc& row, std::string_view text, uint32_t raw, const BlockBase& base,
                   const FieldList& entry) {
  const RangeTable* ranges = row.codec == Codec::Choice ? nullptr : ranges_in(row, &entry);
  if (ranges != nullptr) {
    const int64_t value = row.codec == Codec::Signed ? signed_value(row, raw) : int64_t{raw};
    ranges->check(row.id, static_cast<double>(value));
  }
  if (row.custom != nullptr && row.custom->check != nullptr) row.custom->check(text, row, base);
}

std::string decode(const FieldDesc& row, const uint8_t* entry, size_t size, const BlockBase& base) {
  if (row.codec == Codec::Virtual) return default_text(row, base);
  require_bytes(row, size);
  switch (row.codec) {
    case Codec::Text:
      return fixed_bytes_to_text(entry + row.offset, row.width, row.trim);
    case Codec::Custom:
      if (row.custom == nullptr || row.custom->decode == nullptr) raise(err::kUnexpected);
      return row.custom->decode(entry, row, base);
    case Codec::Bcd:
      require_raw_width(row);
      return bcd_text(row, read_be(entry + row.offset, row.width));
    default:
      require_raw_width(row);
      if (row.picked != nullptr) return picked_text(row, entry);
      return text_of(row, read_raw(row, entry));
  }
}

void store(const FieldDesc& row, std::string_view text, uint8_t* entry, size_t size,
           const BlockBase& base) {
  require_bytes(row, size);
  switch (row.codec) {
    case Codec::Text: {
      const std::string bytes = text_to_fixed_bytes(text, row.width, row.zero_fill);
      std::memcpy(entry + row.offset, bytes.data(), row.width);
      break;
    }
    case Codec::Custom:
      if (row.custom == nullptr || row.custom->encode == nullptr) raise(err::kUnexpected);
      row.custom->encode(text, entry, row, base);
      break;
    case Codec::Bcd: {
      require_raw_width(row);
      uint8_t* at = entry + row.offset;
      write_be(bcd_apply(row, text, read_be(at, row.width)), at, row.width);
      break;
    }
    case Codec::Virtual:
      break;
    default:
      if (row.picked != nullptr && !row.picked->echo) {
        require_raw_width(row);
        write_raw(row, code_of(text, picked_table(row, entry)), entry);
        break;
      }
      write_raw(row, encode(row, text, nullptr), entry);
      break;
  }
}

}  // namespace

const FieldDesc* find(Layout rows, int32_t id, const BlockBase& base) {
  for (const FieldDesc& row : rows)
    if (row.id == id && exists(row, base)) return &row;
  return nullptr;
}

size_t field_count(Layout rows, const BlockBase& base) {
  size_t count = 0;
  for (const FieldDesc& row : rows) count += exists(row, base) ? 1 : 0;
  return count;
}

void unpack(Layout rows, const uint8_t* entry, size_t size, const BlockBase& base, FieldList& out, size_t fields) {
  FieldList decoded;
  decoded.reserve(fields != 0 ? fields : rows.size());
  for (const FieldDesc& row : rows) {
    if (!exists(row, base)) continue;
    std::string text;
    if (row.picked == nullptr && plain_number_or_choice(row.codec)) {
      // The text of a whole number is its decimal and reads back as the number; a choice's is
      // the label its table holds for the code. Checked as the value it is, without reading
      // the text again.
      require_bytes(row, size);
      require_raw_width(row);
      const uint32_t raw = read_raw(row, entry);
      text = text_of(row, raw);
      check_decoded(row, text, raw, base, decoded);
    } else {
      text = decode(row, entry, size, base);
      check_value(row, text, base, &decoded);
    }
    decoded.add(row.id, std::move(text), row.attribute);
  }
  if (out.count() == 0) {
    out = std::move(decoded);
    return;
  }
  for (size_t i = 0; i < decoded.count(); ++i) out.add(decoded.at(i));
}

void pack(Layout rows, const FieldList& in, const BlockBase& base, uint8_t* entry, size_t size) {
  // Encoded into a copy, so that a field failing half-way leaves the entry as it was.
  std::vector<uint8_t> work(entry, entry + size);
  // While the entry's fields stand in table order (as unpacked or taken), each row's field is
  // the next one; otherwise it is looked up by ID.
  size_t next = 0;
  for (const FieldDesc& row : rows) {
    if (!exists(row, base)) continue;
    const bool in_order = next < in.count() && in.id_at(next) == row.id;
    if (in_order) ++next;
    if (row.codec == Codec::Virtual || row.view) continue;
    store(row, in_order ? in.text_at(next - 1) : in.text(row.id), work.data(), size, base);
  }
  if (size != 0) std::memcpy(entry, work.data(), size);
}

void check(Layout rows, const FieldValue& field, const BlockBase& base) {
  const FieldDesc* row = find(rows, field.id, base);
  if (row == nullptr) raise(err::kFieldNotFound);
  check_value(*row, field.value, base);
}

void check_entry(Layout rows, const FieldList& entry, const BlockBase& base) {
  for (const FieldDesc& row : rows)
    if (exists(row, base)) check_value(row, entry.text(row.id), base, &entry);
  for (size_t i = 0; i < entry.count(); ++i)
    if (find(rows, entry.at(i).id, base) == nullptr) raise(err::kFieldNotFound);
  check_picked(rows, entry, base);
}

FieldList take(Layout rows, const FieldList& given, const BlockBase& base) {
  FieldList taken;
  taken.reserve(rows.size());
  // While the given fields stand in table order (as a record got and sent back does), the next
  // one is the row's, and the first of its ID: the fields before it belong to earlier rows, and
  // the rows that exist have distinct IDs. Otherwise the field is looked up by ID.
  size_t next = 0;
  bool in_order = true;
  for (const FieldDesc& row : rows) {
    if (!exists(row, base)) continue;
    in_order = in_order && next < given.count() && given.id_at(next) == row.id;
    const size_t at = in_order ? next++ : given.position_of(row.id);
    const std::string& text = given.text_at(at);
    check_value(row, text, base, &taken);
    taken.add(row.id, text, given.attribute_at(at));
  }
  check_picked(rows, taken, base);
  return taken;
}

FieldList take(Layout rows, FieldList&& given, const BlockBase& base) {
  size_t next = 0;
  for (const FieldDesc& row : rows) {
    if (!exists(row, base)) continue;
    if (next >= given.count() || given.id_at(next) != row.id) return take(rows, std::as_const(given), base);
    ++next;
  }
  if (next != given.count()) return take(rows, std::as_const(given), base);
  // Every field is its row's: the checks come in the order take would run them.
  next = 0;
  for (const FieldDesc& row : rows)
    if (exists(row, base)) check_value(row, given.text_at(next++), base, &given);
  check_picked(rows, given, base);
  return std::move(given);
}

void set_field(Layout rows, FieldList& entry, const FieldValue& field, const BlockBase& base) {
  const FieldDesc* row = find(rows, field.id, base);
  if (row == nullptr || row->set_by == SetBy::Refused) raise(err::kFieldNotFound);
  if (row->set_by == SetBy::Ignored) return;
  if (row->on_set == nullptr && !picks_labels(rows, field.id)) {
    check_value(*row, field.value, base, &entry);
    entry.set(field);
    return;
  }
  FieldList work = entry;
  FieldValue value = field;
  if (row->on_set != nullptr) row->on_set(work, value, base);
  check_value(*row, value.value, base, &work);
  work.set(value);
  check_picked(rows, work, base);
  entry = std::move(work);
}

FieldList defaults(Layout rows, const BlockBase& base) {
  FieldList entry;
  for (const FieldDesc& row : rows)
    if (exists(row, base)) entry.add(row.id, default_text(row, base), row.attribute);
  return entry;
}

std::string text_of(const FieldDesc& row, uint32_t raw) {
  require_raw_width(row);
  if (raw > max_raw(row)) raise(err::kInvalidData);
  switch (row.codec) {
    case Codec::Unsigned:
    case Codec::Capped:
    case Codec::Cut:
      return decimal_text(static_cast<int64_t>(raw));
    case Codec::Signed:
      return decimal_text(signed_value(row, raw));
    case Codec::Choice:
      if (row.choices == nullptr) raise(err::kUnexpected);
      return label_of(raw, row.choices);
    case Codec::Scaled:
      return scaled_text(row, raw);
    case Codec::Bcd:
      return bcd_text(row, raw);
    default:
      raise(err::kUnexpected);
  }
}

uint32_t raw_of(const FieldDesc& row, std::string_view text) { return encode(row, text, nullptr); }

}  // namespace cps::layout

namespace cps {

const RangeRow& find_range_row(std::span<const RangeRow> rows, std::span<const int16_t> position,
                               uint32_t first_id, int32_t field_id) {
  if (field_id >= 0 && static_cast<uint32_t>(field_id) >= first_id &&
      static_cast<uint32_t>(field_id) - first_id < position.size()) {
    const int16_t at = position[static_cast<uint32_t>(field_id) - first_id];
    if (at >= 0) return rows[static_cast<size_t>(at)];
    raise(err::kFieldNotFound);
  }
  for (const RangeRow& row : rows)  // an ID the positions do not cover
    if (static_cast<int64_t>(row.field_id) == field_id) return row;
  raise(err::kFieldNotFound);
}

}  // namespace cps
