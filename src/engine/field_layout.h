// Block layouts as data. A block's entry is declared once as a table of field descriptors:
// where the bits are, how they become text, what checks them, which attribute they carry and
// what a new entry gets. One engine unpacks, packs, checks and builds defaults from any table,
// so a block's own file holds its table plus only the rules no table can say.
#pragma once

#include "engine/block_base.h"
#include "engine/field_values.h"
#include "engine/references.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cps::layout {

enum class Codec : uint8_t {
  Unsigned,  // big-endian unsigned of `width` bytes, or the bits of `mask` in one byte; "%d"
  Capped,    // as Unsigned, but a value above the largest code the bits hold is stored as that
             // code (256 in a byte as 255, 16 in four bits as 15) and reads back as it
  Cut,       // as Unsigned, but a value wider than the bits is cut to its low bits on packing
             // (set bits), as blocks that store the host's values unchecked do ("2" in a
             // one-bit flag packs as 0)
  Signed,    // two's complement of `width` bytes (or of the mask's bits); "%d"
  Choice,    // the unsigned code shown as the label of `choices`
  Scaled,    // unsigned raw shown as raw * scale + bias with `format` ("%.1f", or "%d" when
             // scale and bias are whole numbers)
  Text,      // fixed-length text of `width` bytes (space-filled, or zero-filled with zero_fill)
  Bcd,       // decimal digits in the nibbles of `width` bytes, shown through the pattern in
             // `format` (see below); versions, dates and times
  Custom,    // the row's own decode / encode / check
  Virtual,   // not stored in the bytes: unpacked as its default text, never packed
};

// Bcd patterns: in `format`, a character '0'..'7' stands for nibble k of the field (nibble 0
// is the high nibble of the first byte, 1 its low nibble, 2 the high nibble of the second
// byte, ...) and shows as "%d" of that nibble; every other character is shown as it is. So
// "01.23" shows bytes 0x07 0x20 as 07.20, and "45-67-0123" shows the year, month, day bytes
// 0x20 0x09 0x04 0x07 as 04-07-2009. A nibble above 9 shows as its decimal value (0x0A 0x20
// shows as 010.20). Packing takes the digit at each pattern position of the text (a character
// that is not a digit, or a position past the end, gives 0), so such a text does not pack back
// to its bytes; nibbles that the pattern does not name keep their bits. Any text passes the
// check.

}  // namespace cps::layout

namespace cps {

// One row of a generation's range table: a numeric field's limits and step. The step counts
// from 0, not from the minimum; the same rows answer GetRangeInfo.
struct RangeRow {
  uint32_t field_id;
  double minimum;
  double maximum;
  double step;
};

// The row of `field_id` in `rows`, through `position` (the row's place for each ID from
// `first_id` on, -1 for none) and by a scan for an ID past the positions; 104 when there is none.
const RangeRow& find_range_row(std::span<const RangeRow> rows, std::span<const int16_t> position,
                               uint32_t first_id, int32_t field_id);

// A range table's row positions for the IDs First..Last, built at compile time: every range check
// of every unpacked number looks its row up. The first row of an ID wins.
template <uint32_t First, uint32_t Last>
struct RangeIndex {
  std::span<const RangeRow> rows;
  std::array<int16_t, Last - First + 1> position{};

  constexpr explicit RangeIndex(std::span<const RangeRow> table) : rows(table) {
    position.fill(-1);
    for (size_t i = table.size(); i-- > 0;)
      if (table[i].field_id >= First && table[i].field_id <= Last)
        position[table[i].field_id - First] = static_cast<int16_t>(i);
  }

  const RangeRow& row(int32_t field_id) const { return find_range_row(rows, position, First, field_id); }
};

}  // namespace cps

namespace cps::layout {

// A generation's range table as the engine sees it: the check of a number against its field's
// row (104 for a field without one, 107 outside the row or off its step).
struct RangeTable {
  void (*check)(int32_t field_id, double value);
};

// Whether a row exists in the current form of the block (market class, version text, mobile
// flag); nullptr means always.
using Condition = bool (*)(const BlockBase&);

struct FieldDesc;

// How SetFieldAt and SetSubFieldAt treat a row: the host sets it; the row follows other fields
// and a set of it is refused (104); or it follows them and a set of it is taken and dropped.
enum class SetBy : uint8_t { Host, Refused, Ignored };

// A row's set rule, run when the host sets that one field: it may refuse the value (its own
// code), change the value to the one stored, and change the fields that go with it in the
// entry. It works on a copy of the entry; nothing is stored unless the rule and the value's
// check pass.
using SetRule = void (*)(FieldList& entry, FieldValue& field, const BlockBase& base);

// Whether a row's range is tested for this entry, read from the entry's other fields (a tone
// that the entry's format does not use is not tested). The fields it reads stand before the row
// in the table, so they are in place while an entry is unpacked or taken row by row.
using EntryCondition = bool (*)(const FieldList& entry);

// A codec that no generic kind covers (hexadecimal digit strings, power levels, ...). On a
// row of another kind, a `check` here runs after the kind's own check: a block's extra rule
// for one field (a version text with an upper limit, the alias characters of a virtual row).
// Each gets the handler's base, so that a codec can read the radio the block belongs to
// (band data, fixed-spacing models) as well as the entry's own bytes.
struct CustomCodec {
  std::string (*decode)(const uint8_t* entry, const FieldDesc& row, const BlockBase& base);
  void (*encode)(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase& base);
  void (*check)(std::string_view text, const FieldDesc& row, const BlockBase& base);  // throws
};

// A Choice row whose labels follow the bits of another row of the same entry (`field`, whose
// bits are `mask` of byte `offset`). Either those bits pick the row's table (`tables[bits]`: a
// radio kind labelled by the radio's form), or, with `echo`, the row's own code `echo_code`
// shows the other row's label (`tables[0]` read at its bits: an extended mode whose first code
// stands for the plain mode) and every other code the row's own `choices`. The other row comes
// first in the table, so that its bits are in place when this row packs.
struct PickedLabels {
  int32_t field = 0;
  uint16_t offset = 0;
  uint8_t mask = 0xFF;
  std::span<const Choice* const> tables{};
  bool echo = false;
  uint32_t echo_code = 0;
};

// What a new entry gets: the text for a mobile radio, and for a portable one where it differs.
struct Default {
  const char* text = "0";
  const char* portable = nullptr;
};

struct FieldDesc {
  int32_t id = 0;
  uint16_t offset = 0;     // byte within the entry
  uint8_t mask = 0xFF;     // bits within the byte; only with width 1
  uint8_t width = 1;       // bytes
  Codec codec = Codec::Unsigned;
  uint8_t attribute = 1;
  Default dflt = {};
  const RangeTable* ranges = nullptr;  // the table whose row checks the value (Custom: the
                           // text read as a number)
  const Choice* choices = nullptr;
  const PickedLabels* picked = nullptr;  // Choice: labels that follow another row's bits
  double scale = 1.0;      // Scaled: shown value = raw * scale + bias
  double bias = 0.0;
  const char* format = "%d";  // Scaled: printf format of the shown value; Bcd: the pattern
  bool zero_fill = false;     // Text: padding byte 0x00 instead of a space
  bool trim = true;           // Text: trailing blanks removed on unpacking
  Condition when = nullptr;
  const CustomCodec* custom = nullptr;  // Custom: the codec; any other kind: an extra check
  bool shares_bits = false;  // shows bits another row shows too (a second view of one code, or
                             // a bit two fields own by turns); the block's rule says who packs
  bool view = false;  // a second view of bits another row packs: decoded and checked, never
                      // packed (so a record may leave it out)
  const RefSpec* refers = nullptr;  // the entries of other blocks this field's index points at
  const char* name = nullptr;       // a short snake_case name for people ("member_channel_index")
  SetBy set_by = SetBy::Host;
  SetRule on_set = nullptr;         // what setting this field alone also does
  // Where the range row applies only to some entries: elsewhere the value need only be one its
  // bits can hold (no range, no step). nullptr: always tested.
  EntryCondition tested_when = nullptr;
};

using Layout = std::span<const FieldDesc>;

// ---- Compile-time table checks ----------------------------------------------------------------

namespace detail {

// The conversion character of a printf format holding exactly one conversion of the forms
// %[flags][width][.precision](d|i|f|F|e|E|g|G) besides any "%%"; 0 for any other format.
constexpr char single_conversion(const char* format) {
  if (format == nullptr) return 0;
  char found = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    const char c = *p;
    const bool known = c == 'd' || c == 'i' || c == 'f' || c == 'F' || c == 'e' || c == 'E' ||
                       c == 'g' || c == 'G';
    if (!known || found != 0) return 0;
    found = c;
  }
  return found;
}

constexpr bool is_integer_conversion(char c) { return c == 'd' || c == 'i'; }

constexpr bool is_whole(double value) {
  return value >= -2147483648.0 && value <= 2147483647.0 &&
         value == static_cast<double>(static_cast<int64_t>(value));
}

// A Bcd pattern: at least one digit, and every digit names a nibble of `width` bytes (so a
// printf format left in place of a pattern is refused).
constexpr bool bcd_pattern_ok(const char* pattern, uint8_t width) {
  if (pattern == nullptr || width > 4) return false;
  bool any = false;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9') {
      if (*p - '0' >= 2 * width) return false;
      any = true;
    }
  }
  return any;
}

// Whether a Scaled row's format and factors fit each other: a floating conversion, or an
// integer one when the shown value is always a whole number.
constexpr bool scaled_ok(const FieldDesc& r) {
  if (!(r.scale > 0.0)) return false;
  const char c = single_conversion(r.format);
  if (c == 0) return false;
  return !is_integer_conversion(c) || (is_whole(r.scale) && is_whole(r.bias));
}

constexpr bool is_numeric(Codec c) {
  return c == Codec::Unsigned || c == Codec::Capped || c == Codec::Cut || c == Codec::Signed ||
         c == Codec::Choice || c == Codec::Scaled;
}

// A picked row: a Choice row with tables, after the row whose bits pick (same place, and able
// to exist whenever the picked row does).
constexpr bool picked_ok(Layout rows, size_t at) {
  const FieldDesc& r = rows[at];
  const PickedLabels& p = *r.picked;
  if (r.codec != Codec::Choice || p.tables.empty() || p.mask == 0) return false;
  for (const Choice* table : p.tables)
    if (table == nullptr) return false;
  for (size_t j = 0; j < at; ++j) {
    const FieldDesc& o = rows[j];
    if (o.id == p.field && o.offset == p.offset && o.mask == p.mask && o.width == 1 &&
        (o.when == nullptr || o.when == r.when))
      return true;
  }
  return false;
}

}  // namespace detail

// Non-empty masks, masks only on one-byte numeric or custom fields, every stored field inside
// the entry, choice rows with a table, custom rows with a codec, Scaled formats that match
// their factors, Bcd patterns inside their bytes; no field ID twice and no bit claimed by two
// stored rows, where both rows can exist at once (either unconditional, or the same
// condition). Use with static_assert.
constexpr bool layout_ok(Layout rows, size_t entry_size) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const FieldDesc& r = rows[i];
    if (r.id <= 0 || r.width == 0 || r.mask == 0) return false;
    if (r.width != 1 && r.mask != 0xFF) return false;
    if (r.mask != 0xFF && !detail::is_numeric(r.codec) && r.codec != Codec::Custom) return false;
    const bool stored = r.codec != Codec::Virtual;
    if (stored && r.offset + r.width > entry_size) return false;
    if (r.codec == Codec::Choice && r.choices == nullptr && (r.picked == nullptr || r.picked->echo)) return false;
    if (r.picked != nullptr && !detail::picked_ok(rows, i)) return false;
    if (r.codec == Codec::Custom && r.custom == nullptr) return false;
    if (detail::is_numeric(r.codec) && r.width > 4) return false;
    if (r.codec == Codec::Scaled && !detail::scaled_ok(r)) return false;
    if (r.codec == Codec::Bcd && !detail::bcd_pattern_ok(r.format, r.width)) return false;
    for (size_t j = 0; j < i; ++j) {
      const FieldDesc& o = rows[j];
      const bool together = o.when == nullptr || r.when == nullptr || o.when == r.when;
      if (!together) continue;
      if (o.id == r.id) return false;
      const bool o_stored = o.codec != Codec::Virtual;
      const bool bytes_meet = r.offset < o.offset + o.width && o.offset < r.offset + r.width;
      const bool shared = r.shares_bits || o.shares_bits || r.view || o.view;
      if (stored && o_stored && bytes_meet && !shared && (r.mask & o.mask) != 0) return false;
    }
  }
  return true;
}

namespace detail {
constexpr bool codes_fit(const Choice* table, uint8_t mask, uint8_t width) {
  int bits = 0;
  if (width == 1) {
    for (int b = 0; b < 8; ++b) bits += (mask >> b) & 1;
  } else {
    bits = 8 * width;
  }
  const uint64_t limit = (uint64_t{1} << bits) - 1;
  for (const Choice* c = table; c->label != nullptr; ++c)
    if (c->code > limit) return false;
  return true;
}
}  // namespace detail

// Every code of every choice row fits the row's bits (a picked row: every code of each of its
// own tables, and every code of an echoed table fits the other row's bits). Reads the choice
// tables, so it needs them to be constexpr; use with static_assert beside layout_ok.
constexpr bool choices_fit(Layout rows) {
  for (const FieldDesc& r : rows) {
    if (r.codec != Codec::Choice) continue;
    if (r.choices != nullptr && !detail::codes_fit(r.choices, r.mask, r.width)) return false;
    if (r.picked == nullptr) continue;
    for (const Choice* table : r.picked->tables) {
      const bool fits = r.picked->echo ? detail::codes_fit(table, r.picked->mask, 1)
                                       : detail::codes_fit(table, r.mask, r.width);
      if (!fits) return false;
    }
  }
  return true;
}

// ---- The engine ------------------------------------------------------------------------------

// The row of `id` that exists in this form of the block; nullptr when none does.
const FieldDesc* find(Layout rows, int32_t id, const BlockBase& base);

// Decodes every row that exists, in table order, checking each value as it is decoded (so a
// stored value out of its range fails with 107, an unknown choice code with 108), and appends
// the fields to `out`. 13 when a row lies past `size`. On any error `out` is left as it was.
// `fields`, where the caller knows it (field_count), is the number of fields the entry will hold:
// they are given room for just that many rather than one per row.
void unpack(Layout rows, const uint8_t* entry, size_t size, const BlockBase& base, FieldList& out, size_t fields = 0);

// The number of rows that exist in this form of the block: the fields each entry unpacked from
// them holds. A list's entries share a form, so it is counted once per list.
size_t field_count(Layout rows, const BlockBase& base);

// Encodes the fields of `in` into `entry` for every stored row that exists; bytes and bits that
// no row covers are left as they are. A row whose field `in` lacks gives 104, a row past `size`
// 13, a text that cannot be encoded 107 or 108 (no range test: values are checked on the way
// in). On any error `entry` is left as it was.
void pack(Layout rows, const FieldList& in, const BlockBase& base, uint8_t* entry, size_t size);

// Checks one value against its row: 104 when no row of that ID exists in this form, 107 for a
// number that is not one, is out of range, off its step or does not fit its bits, 108 for an
// unknown label, and the custom check's own code. Without an entry to read, a row tested only
// in some entries is tested.
void check(Layout rows, const FieldValue& field, const BlockBase& base);

// Checks a whole entry: every row that exists, in table order, must have its field in the
// entry (104) with a value that passes check; then every field of the entry must belong to a
// row (104).
void check_entry(Layout rows, const FieldList& entry, const BlockBase& base);

// The entry a set record stores: for every row that exists, in table order, the field of that
// ID is taken from `given` (104 when it is missing), checked, and added with the text and
// attribute the host sent. Fields of `given` that no row declares are not taken.
FieldList take(Layout rows, const FieldList& given, const BlockBase& base);
// The same for an entry the caller gives up: one that holds exactly the fields of the rows that
// exist, in table order (as a record got and sent back does), is checked and moved whole.
FieldList take(Layout rows, FieldList&& given, const BlockBase& base);

// Sets one field of an entry as SetFieldAt does: 104 when no row of that ID exists in this form
// or the row is not the host's to set (nothing at all for a row whose sets are dropped); the
// row's set rule; the value's check; then the field is stored (104 when the entry lacks it). On
// any error the entry is left as it was.
void set_field(Layout rows, FieldList& entry, const FieldValue& field, const BlockBase& base);

// A new entry: every existing row with its default text and attribute, in table order.
FieldList defaults(Layout rows, const BlockBase& base);

// The shown text of a raw value of a numeric or Bcd row (for Bcd, the raw value is the bytes
// read big-endian), and the raw value of a shown text: 107 / 108 when the text is not a value
// of the row or does not fit its bits (no range test). 111 for a Text, Custom or Virtual row,
// which have no raw value.
std::string text_of(const FieldDesc& row, uint32_t raw);
uint32_t raw_of(const FieldDesc& row, std::string_view text);

}  // namespace cps::layout
