// Writing the codeplug file: the JSON text straight into one string, from cpsctl's records or
// from the VARIANTs GetBlockData answers. The readers are in codeplug_file.cpp.
#include "codeplug_file.h"

#include "variant_records.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

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

}  // namespace cpsctl
