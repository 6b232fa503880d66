#include "codeplug_file.h"

#include "host.h"
#include "output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace cpsctl {

namespace {

using ojson = nlohmann::ordered_json;

ojson rows_json(const Rows& rows) {
  ojson out = ojson::array();
  for (const Row& row : rows) out.push_back(ojson::array({row.id, row.text, row.attribute}));
  return out;
}

// {"header": [...], "<key>": [...]}: a record's header and its entries or lists.
template <class Item>
ojson pair_json(const Rows& header, const char* key, const std::vector<Item>& items, ojson (*item_json)(const Item&)) {
  ojson list = ojson::array();
  for (const Item& item : items) list.push_back(item_json(item));
  return ojson{{"header", rows_json(header)}, {key, std::move(list)}};
}

ojson entries_json(const EntryRecord& record) { return pair_json(record.header, "entries", record.entries, rows_json); }

ojson record_json(const Block& block) {
  switch (block.kind()) {
    case Kind::Fields: return rows_json(std::get<Rows>(block.record));
    case Kind::Block: return entries_json(std::get<EntryRecord>(block.record));
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      return pair_json(record.header, "lists", record.lists, entries_json);
    }
  }
  return {};
}

bool is_leaf(const ojson& j) { return !j.is_array() && !j.is_object(); }

// Indented, with every array of plain values (a field row) on one line.
void pretty(const ojson& j, std::string& out, int indent) {
  const std::string pad(static_cast<size_t>(indent + 2), ' ');
  if (j.is_array() && !j.empty() && !std::all_of(j.begin(), j.end(), is_leaf)) {
    out += "[\n";
    for (size_t k = 0; k < j.size(); ++k) {
      out += pad;
      pretty(j[k], out, indent + 2);
      out += k + 1 < j.size() ? ",\n" : "\n";
    }
    out += std::string(static_cast<size_t>(indent), ' ') + "]";
  } else if (j.is_object() && !j.empty()) {
    out += "{\n";
    size_t k = 0;
    for (const auto& [key, value] : j.items()) {
      out += pad + ojson(key).dump() + ": ";
      pretty(value, out, indent + 2);
      out += ++k < j.size() ? ",\n" : "\n";
    }
    out += std::string(static_cast<size_t>(indent), ' ') + "}";
  } else if (j.is_array() && !j.empty()) {
    out += "[";
    for (size_t k = 0; k < j.size(); ++k) out += (k ? ", " : "") + j[k].dump();
    out += "]";
  } else {
    out += j.dump();
  }
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
        fail(where, "unknown key \"" + item.key() + "\"");
  }

  const nlohmann::json& array(const nlohmann::json& j, const std::string& where) const {
    if (!j.is_array()) fail(where, "must be an array");
    return j;
  }

  int64_t integer(const nlohmann::json& j, const std::string& where, int64_t lowest, int64_t highest) const {
    if (!j.is_number_integer() || j.get<int64_t>() < lowest || j.get<int64_t>() > highest)
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

}  // namespace

std::string to_json(const Codeplug& codeplug) {
  ojson blocks = ojson::array();
  for (const Block& block : codeplug.blocks)
    blocks.push_back(ojson{{"id", block.id}, {"kind", kind_name(block.kind())}, {"record", record_json(block)}});
  const ojson file{{"generation", codeplug.generation}, {"blocks", std::move(blocks)}};
  std::string out;
  pretty(file, out, 0);
  return out + "\n";
}

Codeplug from_json(const std::string& text, const std::string& source) {
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
  for (size_t k = 0; k < blocks.size(); ++k) {
    const std::string where = "blocks[" + std::to_string(k) + "]";
    Block block = reader.block(blocks[k], where);
    if (codeplug.find(block.id)) reader.fail(where, "block " + std::to_string(block.id) + " appears twice");
    codeplug.blocks.push_back(std::move(block));
  }
  return codeplug;
}

Codeplug read_codeplug_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{kFileOpen, "", "codeplug '" + path + "': " + std::strerror(errno)};
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw Failure{kFileRead, "", "codeplug '" + path + "'"};
  return from_json(content.str(), path);
}

void write_codeplug_file(const std::string& path, const Codeplug& codeplug) {
  write_file_atomically(path, to_json(codeplug));
}

}  // namespace cpsctl
