// Reading the codeplug file: the quick reader of the usual file and the checked reader that
// names what does not fit; the file's loading and saving. The writer is in codeplug_writer.cpp.
#include "codeplug_file.h"

#include "host.h"
#include "output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string_view>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <type_traits>
#include <unordered_set>
#include <vector>

namespace cpsctl {

namespace {

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
    // The writer indents every row: blanks are taken eight at a time where they run that long.
    constexpr uint64_t kEightBlanks = 0x2020202020202020;
    while (p_ < end_) {
      const char c = *p_;
      if (c == ' ') {
        uint64_t eight = 0;
        while (end_ - p_ >= 8 && (std::memcpy(&eight, p_, 8), eight == kEightBlanks)) p_ += 8;
        while (p_ < end_ && *p_ == ' ') ++p_;
      } else if (c == '\n' || c == '\r' || c == '\t') {
        ++p_;
      } else {
        return;
      }
    }
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

  // A whole number of one to `most` digits at `p`, without sign or leading zero; the end of
  // its digits, or nullptr.
  static const char* plain_digits(const char* p, const char* end, int most, uint64_t& value) {
    const char* digits = p;
    value = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - digits < most) value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    if (p == digits || (p - digits > 1 && *digits == '0')) return nullptr;
    return p;
  }

  // A whole number without fraction or exponent, from `lowest` to `highest`.
  bool integer(int64_t& value, int64_t lowest, int64_t highest) {
    skip_space();
    const bool negative = p_ < end_ && *p_ == '-';
    if (negative) ++p_;
    uint64_t magnitude = 0;
    const char* after = plain_digits(p_, end_, 18, magnitude);
    if (after == nullptr) return false;
    p_ = after;
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

  // A row as the writer puts it, nearly every row of a file: [ID, "TEXT", ATTRIBUTE] with one
  // space after each comma, an ID of up to nine digits, an attribute up to 255 and text of
  // printable ASCII without escapes. Read at once; anything else (false, nothing taken) is
  // left to row(), which reads each part on its own.
  bool usual_row(Row& out) {
    const char* p = p_;
    uint64_t id = 0, attribute = 0;
    if (end_ - p < 10 || *p != '[') return false;
    p = plain_digits(p + 1, end_, 9, id);
    if (p == nullptr || end_ - p < 3 || p[0] != ',' || p[1] != ' ' || p[2] != '"') return false;
    const char* text = p += 3;
    while (p < end_ && *p != '"') {
      if (*p < 0x20 || *p > 0x7E || *p == '\\') return false;  // a signed char above 0x7F is below 0x20
      ++p;
    }
    if (end_ - p < 4 || p[1] != ',' || p[2] != ' ') return false;
    const char* after_text = p;
    p = plain_digits(p + 3, end_, 3, attribute);
    if (p == nullptr || attribute > 255 || p == end_ || *p != ']') return false;
    out.id = static_cast<int32_t>(id);
    out.text.assign(text, static_cast<size_t>(after_text - text));
    out.attribute = static_cast<uint8_t>(attribute);
    p_ = p + 1;
    return true;
  }

  bool row(Row& out) {
    skip_space();
    if (usual_row(out)) return true;
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
                 // An entry nearly always has as many rows as the one before it.
                 if constexpr (std::is_same_v<Item, Rows>)
                   if (items.size() > 1) items.back().reserve(items[items.size() - 2].size());
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
  // Read whole, straight into the text: a file of known size in one read (the byte asked for
  // beyond it finds the end), anything else (a pipe, a file still growing) in 64 KiB pieces.
  // No buffer of its own between: a 64 KiB one on the stack cost sixteen page faults.
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.clear();  // a file that cannot seek (a pipe) is read from where it is
  in.seekg(0, std::ios::beg);
  in.clear();
  constexpr size_t kPiece = 65536;
  std::string content;
  size_t have = 0;
  for (size_t want = size > 0 ? static_cast<size_t>(size) + 1 : kPiece;; want = kPiece) {
    content.resize(have + want);
    in.read(content.data() + have, static_cast<std::streamsize>(want));
    have += static_cast<size_t>(in.gcount());
    if (static_cast<size_t>(in.gcount()) < want) break;
  }
  content.resize(have);
  if (in.bad()) throw Failure{kFileRead, "", "codeplug '" + path + "'"};
  return from_json(content, path);
}

void write_codeplug_file(const std::string& path, const Codeplug& codeplug) {
  write_file_atomically(path, to_json(codeplug));
}

}  // namespace cpsctl
