#include "codeplug_file.h"

#include "host.h"
#include "output.h"
#include "variant_records.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_set>
#include <vector>

namespace cpsctl {

namespace {

// ---- Writing ----------------------------------------------------------------------------------
//
// The file is written straight into one string: objects and arrays of arrays indented by two
// spaces a level, a field row (an array of plain values) on one line as `[id, "text", attribute]`,
// an empty array as `[]`.

void put_number(std::string& out, int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// A JSON string: quote, backslash and the control characters escaped (the short forms where
// JSON has one, else \u00XX), every other character as its UTF-8 bytes.
void put_text(std::string& out, std::string_view text) {
  out += '"';
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out.append(escape, sizeof escape);
      }
    }
  }
  out.append(text.data() + plain, text.size() - plain);
  out += '"';
}

void put_pad(std::string& out, int indent) { out.append(static_cast<size_t>(indent), ' '); }

// `"key": ` on a new line of its object.
void put_key(std::string& out, int indent, const char* key) {
  put_pad(out, indent);
  out += '"';
  out += key;
  out += "\": ";
}

// `[` + each item on its own line + `]`, or `[]` for none; `put_item(item, indent)` writes one.
template <class Items, class PutItem>
void put_array(std::string& out, int indent, const Items& items, PutItem&& put_item) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (size_t k = 0; k < items.size(); ++k) {
    put_pad(out, indent + 2);
    put_item(items[k], indent + 2);
    out += k + 1 < items.size() ? ",\n" : "\n";
  }
  put_pad(out, indent);
  out += ']';
}

// A row line put together on the stack and appended at once, for a short text that needs no
// escape: UTF-8 bytes as they are, wide characters only where they are ASCII.
constexpr size_t kShortText = 64, kLongestIndent = 32;

template <class Char>
bool plain_row_text(std::basic_string_view<Char> text, int indent) {
  return static_cast<size_t>(indent) <= kLongestIndent && text.size() <= kShortText &&
         std::all_of(text.begin(), text.end(), [](Char c) {
           const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
           return code >= 0x20 && (sizeof(Char) == 1 || code < 0x80) && code != '"' && code != '\\';
         });
}

template <class Char>
void put_plain_row(std::string& out, int32_t id, std::basic_string_view<Char> text, uint8_t attribute, int indent,
                   const char* after) {
  char line[kLongestIndent + kShortText + 48];
  char* p = std::fill_n(line, indent, ' ');
  *p++ = '[';
  p = std::to_chars(p, line + sizeof line, id).ptr;
  p = std::copy_n(", \"", 3, p);
  for (Char c : text) *p++ = static_cast<char>(c);
  p = std::copy_n("\", ", 3, p);
  p = std::to_chars(p, line + sizeof line, attribute).ptr;
  *p++ = ']';
  while (*after != '\0') *p++ = *after++;
  out.append(line, static_cast<size_t>(p - line));
}

// One field row on its line: the indent, `[id, "text", attribute]`, and `,\n` or `\n` after it.
// Most of a codeplug file is these lines, so a plain short one goes by put_plain_row.
void put_row(std::string& out, const Row& row, int indent, const char* after) {
  if (plain_row_text(std::string_view(row.text), indent)) {
    put_plain_row(out, row.id, std::string_view(row.text), row.attribute, indent, after);
    return;
  }
  put_pad(out, indent);
  out += '[';
  put_number(out, row.id);
  out += ", ";
  put_text(out, row.text);
  out += ", ";
  put_number(out, row.attribute);
  out += ']';
  out += after;
}

void put_rows(std::string& out, const Rows& rows, int indent) {
  if (rows.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (size_t k = 0; k < rows.size(); ++k) put_row(out, rows[k], indent + 2, k + 1 < rows.size() ? ",\n" : "\n");
  put_pad(out, indent);
  out += ']';
}

// {"header": [...], "<key>": [...]}: a record's header and its entries or lists.
template <class Item, class PutItem>
void put_pair(std::string& out, int indent, const Rows& header, const char* key, const std::vector<Item>& items,
              PutItem&& put_item) {
  out += "{\n";
  put_key(out, indent + 2, "header");
  put_rows(out, header, indent + 2);
  out += ",\n";
  put_key(out, indent + 2, key);
  put_array(out, indent + 2, items, put_item);
  out += '\n';
  put_pad(out, indent);
  out += '}';
}

void put_entries(std::string& out, const EntryRecord& record, int indent) {
  put_pair(out, indent, record.header, "entries", record.entries,
           [&](const Rows& rows, int at) { put_rows(out, rows, at); });
}

void put_block(std::string& out, const Block& block, int indent) {
  out += "{\n";
  put_key(out, indent + 2, "id");
  put_number(out, block.id);
  out += ",\n";
  put_key(out, indent + 2, "kind");
  put_text(out, kind_name(block.kind()));
  out += ",\n";
  put_key(out, indent + 2, "record");
  switch (block.kind()) {
    case Kind::Fields: put_rows(out, std::get<Rows>(block.record), indent + 2); break;
    case Kind::Block: put_entries(out, std::get<EntryRecord>(block.record), indent + 2); break;
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      put_pair(out, indent + 2, record.header, "lists", record.lists,
               [&](const EntryRecord& list, int at) { put_entries(out, list, at); });
      break;
    }
  }
  out += '\n';
  put_pad(out, indent);
  out += '}';
}

// ---- Writing from VARIANTs -----------------------------------------------------------------
//
// The same text straight from what GetBlockData answered, without cpsctl's records in between:
// a read writes each block so. The structure follows put_block's step by step.

// A row as it lies in the VARIANT: a plain text is narrowed straight into the line, any other
// goes through UTF-8.
void put_row(std::string& out, const RowsView& rows, size_t k, int indent, const char* after) {
  const std::basic_string_view<OLECHAR> text = rows.text(k);
  if (plain_row_text(text, indent))
    put_plain_row(out, rows.id(k), text, rows.attribute(k), indent, after);
  else
    put_row(out, Row{rows.id(k), utf8_from_wide(text.data(), text.size()), rows.attribute(k)}, indent, after);
}

void put_rows(std::string& out, const VARIANT& data, int indent) {
  const RowsView rows(data);
  if (rows.size() == 0) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (size_t k = 0; k < rows.size(); ++k) put_row(out, rows, k, indent + 2, k + 1 < rows.size() ? ",\n" : "\n");
  put_pad(out, indent);
  out += ']';
}

// A record: its header, then its items, each written by `put_item(item, indent)`.
template <class PutItem>
void put_pair(std::string& out, int indent, const VARIANT& data, const char* key, PutItem&& put_item) {
  const RecordView record(data);
  out += "{\n";
  put_key(out, indent + 2, "header");
  put_rows(out, record.header(), indent + 2);
  out += ",\n";
  put_key(out, indent + 2, key);
  if (record.size() == 0) {
    out += "[]";
  } else {
    out += "[\n";
    for (size_t k = 0; k < record.size(); ++k) {
      put_pad(out, indent + 4);
      put_item(record.item(k), indent + 4);
      out += k + 1 < record.size() ? ",\n" : "\n";
    }
    put_pad(out, indent + 2);
    out += ']';
  }
  out += '\n';
  put_pad(out, indent);
  out += '}';
}

void put_entries(std::string& out, const VARIANT& data, int indent) {
  put_pair(out, indent, data, "entries", [&](const VARIANT& rows, int at) { put_rows(out, rows, at); });
}

void put_block(std::string& out, int32_t id, const VARIANT& data, Kind kind, int indent) {
  out += "{\n";
  put_key(out, indent + 2, "id");
  put_number(out, id);
  out += ",\n";
  put_key(out, indent + 2, "kind");
  put_text(out, kind_name(kind));
  out += ",\n";
  put_key(out, indent + 2, "record");
  switch (kind) {
    case Kind::Fields: put_rows(out, data, indent + 2); break;
    case Kind::Block: put_entries(out, data, indent + 2); break;
    case Kind::Lists:
      put_pair(out, indent + 2, data, "lists", [&](const VARIANT& list, int at) { put_entries(out, list, at); });
      break;
  }
  out += '\n';
  put_pad(out, indent);
  out += '}';
}

// Reads the file's JSON, naming the place of anything that does not fit.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    throw Failure{kInvalidData, "", "codeplug '" + source_ + "': " + (where.empty() ? "" : where + ": ") + what};
  }

  const nlohmann::json& member(const nlohmann::json& object, const char* key, const std::string& where) const {
    const auto found = object.find(key);
    if (found == object.end()) fail(where, std::string("\"") + key + "\" is missing");
    return *found;
  }

  void only_keys(const nlohmann::json& object, std::initializer_list<const char*> keys,
                 const std::string& where) const {
    if (!object.is_object()) fail(where, "must be an object");
    for (const auto& item : object.items())
      if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return item.key() == k; }))
        fail(where, "unknown key \"" + text_prefix(item.key()) + "\"");
  }

  const nlohmann::json& array(const nlohmann::json& j, const std::string& where) const {
    if (!j.is_array()) fail(where, "must be an array");
    return j;
  }

  int64_t integer(const nlohmann::json& j, const std::string& where, int64_t lowest, int64_t highest) const {
    // A number above the largest int64_t is kept unsigned; read as int64_t it would wrap round.
    const bool too_large = j.is_number_unsigned() && j.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX);
    if (!j.is_number_integer() || too_large || j.get<int64_t>() < lowest || j.get<int64_t>() > highest)
      fail(where, "must be a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest));
    return j.get<int64_t>();
  }

  Rows rows(const nlohmann::json& j, const std::string& where) const {
    Rows out;
    array(j, where);
    for (size_t k = 0; k < j.size(); ++k) {
      const std::string at = where + "[" + std::to_string(k) + "]";
      const nlohmann::json& row = j[k];
      if (!row.is_array() || row.size() != 3 || !row[1].is_string())
        fail(at, "must be a field row [id, \"text\", attribute]");
      out.push_back({static_cast<int32_t>(integer(row[0], at + "[0]", INT32_MIN, INT32_MAX)),
                     row[1].get<std::string>(), static_cast<uint8_t>(integer(row[2], at + "[2]", 0, 255))});
    }
    return out;
  }

  // {"header": [...], "<key>": [...]}, each item of the second as `read_item` reads it.
  template <class Record, class Item, class ReadItem>
  Record pair(const nlohmann::json& j, const std::string& where, const char* key, std::vector<Item> Record::*items,
              ReadItem&& read_item) const {
    only_keys(j, {"header", key}, where);
    Record out;
    out.header = rows(member(j, "header", where), where + ".header");
    const std::string at = where + "." + key;
    const nlohmann::json& list = array(member(j, key, where), at);
    for (size_t k = 0; k < list.size(); ++k)
      (out.*items).push_back(read_item(list[k], at + "[" + std::to_string(k) + "]"));
    return out;
  }

  EntryRecord entries(const nlohmann::json& j, const std::string& where) const {
    return pair(j, where, "entries", &EntryRecord::entries,
                [this](const nlohmann::json& entry, const std::string& at) { return rows(entry, at); });
  }

  Block block(const nlohmann::json& j, const std::string& where) const {
    only_keys(j, {"id", "kind", "record"}, where);
    Block out;
    out.id = static_cast<int32_t>(integer(member(j, "id", where), where + ".id", INT32_MIN, INT32_MAX));
    const nlohmann::json& kind = member(j, "kind", where);
    const nlohmann::json& record = member(j, "record", where);
    const std::string at = where + ".record";
    if (kind == kind_name(Kind::Fields)) {
      out.record = rows(record, at);
    } else if (kind == kind_name(Kind::Block)) {
      out.record = entries(record, at);
    } else if (kind == kind_name(Kind::Lists)) {
      out.record = pair(record, at, "lists", &ListRecord::lists,
                        [this](const nlohmann::json& list, const std::string& place) { return entries(list, place); });
    } else {
      fail(where + ".kind", "must be \"fields\", \"block\" or \"lists\"");
    }
    return out;
  }

 private:
  std::string source_;
};

// ---- Reading the usual file quickly --------------------------------------------------------
//
// A parser for exactly the file's shape, building the records as it goes. It takes any spacing
// and any order of an object's keys, but gives up (false) at the first thing it does not expect:
// bad JSON, a key it does not know or sees twice, a number that is not a plain whole number or
// out of its range, a string that is not UTF-8, a block's record before its kind, a block ID
// seen twice. The checked reader above then reads the file again and names what is wrong, so a
// bad file is reported exactly as that reader reports it.
class FastReader {
 public:
  explicit FastReader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool file(Codeplug& out) {
    bool generation = false, blocks = false;
    const bool read = object([&](std::string_view key) {
      if (key == "generation" && !generation) {
        int64_t value = 0;
        generation = true;
        if (!integer(value, 1, 2)) return false;
        out.generation = static_cast<int>(value);
        return true;
      }
      if (key == "blocks" && !blocks) {
        blocks = true;
        std::unordered_set<int32_t> seen;
        return array([&] {
          Block block;
          if (!this->block(block) || !seen.insert(block.id).second) return false;
          out.blocks.push_back(std::move(block));
          return true;
        });
      }
      return false;
    });
    skip_space();
    return read && generation && blocks && p_ == end_;
  }

 private:
  void skip_space() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }

  bool take(char c) {
    skip_space();
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }

  // {"key": value, ...}: `member(key)` reads each value.
  template <class Member>
  bool object(Member&& member) {
    if (!take('{')) return false;
    if (take('}')) return true;
    std::string key;
    do {
      skip_space();
      if (!string(key) || !take(':') || !member(std::string_view(key))) return false;
    } while (take(','));
    return take('}');
  }

  // [item, ...]: `item()` reads each.
  template <class Item>
  bool array(Item&& item) {
    if (!take('[')) return false;
    if (take(']')) return true;
    do {
      if (!item()) return false;
    } while (take(','));
    return take(']');
  }

  // A whole number without fraction or exponent, from `lowest` to `highest`.
  bool integer(int64_t& value, int64_t lowest, int64_t highest) {
    skip_space();
    const bool negative = p_ < end_ && *p_ == '-';
    if (negative) ++p_;
    const char* digits = p_;
    uint64_t magnitude = 0;
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9' && p_ - digits < 18) magnitude = magnitude * 10 + static_cast<uint64_t>(*p_++ - '0');
    const size_t count = static_cast<size_t>(p_ - digits);
    if (count == 0 || (count > 1 && *digits == '0')) return false;
    if (p_ < end_ && (*p_ == '.' || *p_ == 'e' || *p_ == 'E' || (*p_ >= '0' && *p_ <= '9'))) return false;
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return value >= lowest && value <= highest;
  }

  static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool hex4(char32_t& unit) {
    if (end_ - p_ < 4) return false;
    unit = 0;
    for (int k = 0; k < 4; ++k) {
      const int digit = hex_digit(*p_++);
      if (digit < 0) return false;
      unit = (unit << 4) | static_cast<char32_t>(digit);
    }
    return true;
  }

  static void put_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  // The length of the well-formed UTF-8 sequence that starts at `p_` with a byte above 0x7F
  // (no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
  size_t utf8_length() const {
    const auto byte = [&](ptrdiff_t k) { return p_ + k < end_ ? static_cast<unsigned char>(p_[k]) : 0u; };
    const unsigned lead = byte(0);
    const auto tail = [&](ptrdiff_t k, unsigned low, unsigned high) { return byte(k) >= low && byte(k) <= high; };
    if (lead >= 0xC2 && lead <= 0xDF) return tail(1, 0x80, 0xBF) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
      const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
      return tail(1, low, high) && tail(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
      const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
      return tail(1, low, high) && tail(2, 0x80, 0xBF) && tail(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
  }

  // A string at p_ (after any spacing), its escapes resolved.
  bool string(std::string& out) {
    skip_space();
    if (p_ == end_ || *p_ != '"') return false;
    ++p_;
    out.clear();
    const char* plain = p_;
    while (p_ < end_) {
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        out.append(plain, p_);
        ++p_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        const size_t length = utf8_length();
        if (length == 0) return false;
        p_ += length;
        continue;
      }
      if (c != '\\') {
        ++p_;
        continue;
      }
      out.append(plain, p_);
      if (++p_ == end_) return false;
      const char escape = *p_++;
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          char32_t unit = 0;
          if (!hex4(unit) || (unit >= 0xDC00 && unit < 0xE000)) return false;
          if (unit >= 0xD800 && unit < 0xDC00) {
            char32_t low = 0;
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return false;
            p_ += 2;
            if (!hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          put_utf8(out, unit);
          break;
        }
        default: return false;
      }
      plain = p_;
    }
    return false;
  }

  bool row(Row& out) {
    int64_t id = 0, attribute = 0;
    if (!take('[') || !integer(id, INT32_MIN, INT32_MAX) || !take(',') || !string(out.text) || !take(',') ||
        !integer(attribute, 0, 255) || !take(']'))
      return false;
    out.id = static_cast<int32_t>(id);
    out.attribute = static_cast<uint8_t>(attribute);
    return true;
  }

  bool rows(Rows& out) {
    return array([&] {
      out.emplace_back();
      return row(out.back());
    });
  }

  // {"header": [...], "<key>": [...]}, each item of the second as `item(Item&)` reads it.
  template <class Item, class ReadItem>
  bool pair(Rows& header, const char* key, std::vector<Item>& items, ReadItem&& item) {
    bool have_header = false, have_items = false;
    return object([&](std::string_view name) {
             if (name == "header" && !have_header) return have_header = true, rows(header);
             if (name == key && !have_items) {
               have_items = true;
               return array([&] {
                 items.emplace_back();
                 return item(items.back());
               });
             }
             return false;
           }) &&
           have_header && have_items;
  }

  bool entries(EntryRecord& out) {
    return pair(out.header, "entries", out.entries, [&](Rows& entry) { return rows(entry); });
  }

  bool block(Block& out) {
    bool have_id = false, have_kind = false, have_record = false;
    Kind kind = Kind::Fields;
    std::string text;
    return object([&](std::string_view key) {
             if (key == "id" && !have_id) {
               int64_t id = 0;
               have_id = true;
               if (!integer(id, INT32_MIN, INT32_MAX)) return false;
               out.id = static_cast<int32_t>(id);
               return true;
             }
             if (key == "kind" && !have_kind) {
               have_kind = true;
               if (!string(text)) return false;
               for (const Kind k : {Kind::Fields, Kind::Block, Kind::Lists})
                 if (text == kind_name(k)) return kind = k, true;
               return false;
             }
             if (key == "record" && have_kind && !have_record) {
               have_record = true;
               switch (kind) {
                 case Kind::Fields: return rows(out.record.emplace<Rows>());
                 case Kind::Block: return entries(out.record.emplace<EntryRecord>());
                 case Kind::Lists: {
                   auto& record = out.record.emplace<ListRecord>();
                   return pair(record.header, "lists", record.lists, [&](EntryRecord& list) { return entries(list); });
                 }
               }
             }
             return false;
           }) &&
           have_id && have_kind && have_record;
  }

  const char* p_;
  const char* end_;
};

}  // namespace

JsonWriter::JsonWriter(int generation) {
  // Room for a full codeplug's text at once: growing it copy by copy touches far more memory.
  out_.reserve(size_t{1} << 20);
  out_ += "{\n";
  put_key(out_, 2, "generation");
  put_number(out_, generation);
  out_ += ",\n";
  put_key(out_, 2, "blocks");
}

void JsonWriter::add(const Block& block) {
  out_ += first_ ? "[\n    " : ",\n    ";
  first_ = false;
  put_block(out_, block, 4);
}

void JsonWriter::add(int32_t id, const VARIANT& data, Kind hint) {
  const Kind kind = record_kind(data, hint);
  const size_t before = out_.size();
  out_ += first_ ? "[\n    " : ",\n    ";
  try {
    put_block(out_, id, data, kind, 4);
  } catch (...) {
    out_.resize(before);  // the text stays as it was, as it does when decoding fails first
    throw;
  }
  first_ = false;
}

std::string& JsonWriter::finish() {
  out_ += first_ ? "[]\n}\n" : "\n  ]\n}\n";
  return out_;
}

std::string to_json(const Codeplug& codeplug) {
  JsonWriter writer(codeplug.generation);
  for (const Block& block : codeplug.blocks) writer.add(block);
  return std::move(writer.finish());
}

namespace detail {

bool from_json_quickly(std::string_view text, Codeplug& out) {
  out = Codeplug{};
  return FastReader(text).file(out);
}

Codeplug from_json_checked(const std::string& text, const std::string& source) {
  const Reader reader(source);
  nlohmann::json file;
  try {
    file = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    reader.fail("", std::string("not valid JSON (") + e.what() + ")");
  }
  reader.only_keys(file, {"generation", "blocks"}, "");
  Codeplug codeplug;
  codeplug.generation = static_cast<int>(reader.integer(reader.member(file, "generation", ""), "generation", 1, 2));
  const nlohmann::json& blocks = reader.array(reader.member(file, "blocks", ""), "blocks");
  std::unordered_set<int32_t> seen;
  for (size_t k = 0; k < blocks.size(); ++k) {
    const std::string where = "blocks[" + std::to_string(k) + "]";
    Block block = reader.block(blocks[k], where);
    if (!seen.insert(block.id).second) reader.fail(where, "block " + std::to_string(block.id) + " appears twice");
    codeplug.blocks.push_back(std::move(block));
  }
  return codeplug;
}

}  // namespace detail

std::string text_prefix(std::string_view text) {
  constexpr size_t kShown = 40;
  if (text.size() <= kShown) return std::string(text);
  size_t end = kShown;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;  // not inside a character
  return std::string(text.substr(0, end)) + "...";
}

Codeplug from_json(const std::string& text, const std::string& source) {
  Codeplug codeplug;
  if (detail::from_json_quickly(text, codeplug)) return codeplug;
  return detail::from_json_checked(text, source);
}

Codeplug read_codeplug_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{kFileOpen, "", "codeplug '" + path + "': " + std::strerror(errno)};
  // Read whole, in one piece of the file's size where it has one.
  std::string content;
  in.seekg(0, std::ios::end);
  if (const std::streamoff size = in.tellg(); size > 0) content.reserve(static_cast<size_t>(size));
  in.clear();  // a file that cannot seek (a pipe) is read from where it is
  in.seekg(0, std::ios::beg);
  in.clear();
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) content.append(chunk, static_cast<size_t>(in.gcount()));
  if (in.bad()) throw Failure{kFileRead, "", "codeplug '" + path + "'"};
  return from_json(content, path);
}

void write_codeplug_file(const std::string& path, const Codeplug& codeplug) {
  write_file_atomically(path, to_json(codeplug));
}

}  // namespace cpsctl
