#include "codeplug_file.h"

#include "output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace cpsctl {

namespace {

// ---- The blocks of a generation -------------------------------------------------------------

struct Served {
  int32_t id;
  Kind kind;
};

// One ID per block handler of the first generation, in the order a load needs them: the
// programming record (codeplug version), radio information (radio kind) and identity (market
// class) prepare the others, the flags and address table come before the blocks, the
// container's own header fields last.
constexpr Served kGen1Blocks[] = {
    {4, Kind::Block},   {2, Kind::Block},   {3, Kind::Block},   {453, Kind::Fields},
    {454, Kind::Fields}, {5, Kind::Block},  {8, Kind::Block},   {15, Kind::Block},
    {19, Kind::Block},  {40, Kind::Block},  {41, Kind::Block},  {42, Kind::Block},
    {38, Kind::Block},  {6, Kind::Lists},   {12, Kind::Lists},  {16, Kind::Block},
    {17, Kind::Lists},  {20, Kind::Block},  {22, Kind::Block},  {43, Kind::Block},
    {30, Kind::Block},  {29, Kind::Block},  {9, Kind::Block},   {11, Kind::Block},
    {24, Kind::Block},  {25, Kind::Block},  {26, Kind::Block},  {23, Kind::Block},
    {37, Kind::Lists},  {32, Kind::Block},  {34, Kind::Lists},  {759, Kind::Block},
    {761, Kind::Block}, {1, Kind::Fields},
};

Kind kind_hint(int32_t id) {
  for (const Served& s : kGen1Blocks)
    if (s.id == id) return s.kind;
  return Kind::Block;
}

// ---- Decoding VARIANTs ----------------------------------------------------------------------

[[noreturn]] void bad_shape(const std::string& what) {
  throw Failure{kInvalidData, "", "the component answered " + what + " of an unexpected shape"};
}

SAFEARRAY* array_of(const VARIANT& v, UINT dims, const char* what) {
  if (!(v.vt & VT_ARRAY) || (v.vt & VT_BYREF) || !v.parray || SafeArrayGetDim(v.parray) != dims)
    bad_shape(what);
  return v.parray;
}

void bounds(SAFEARRAY* array, UINT dim, LONG& lower, LONG& upper) {
  if (FAILED(SafeArrayGetLBound(array, dim, &lower)) || FAILED(SafeArrayGetUBound(array, dim, &upper)))
    bad_shape("an array");
}

void element(SAFEARRAY* array, LONG* at, Variant& out) {
  if (FAILED(SafeArrayGetElement(array, at, out.get()))) bad_shape("an array");
}

int32_t integer_of(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4:
    case VT_INT: return v.lVal;
    case VT_UI4:
    case VT_UINT: return static_cast<int32_t>(v.ulVal);
    default: bad_shape("a field");
  }
}

std::string text_of(const VARIANT& v) {
  if (v.vt == VT_BSTR) return utf8_from_bstr(v.bstrVal);
  if (v.vt == VT_EMPTY) return {};
  bad_shape("a field");
}

Rows decode_rows(const VARIANT& v) {
  SAFEARRAY* array = array_of(v, 2, "a field list");
  LONG first = 0, last = -1, column0 = 0, column2 = -1;
  bounds(array, 1, first, last);
  bounds(array, 2, column0, column2);
  if (column2 - column0 != 2) bad_shape("a field list");
  Rows rows;
  for (LONG r = first; r <= last; ++r) {
    Row row;
    Variant id, text, attribute;
    LONG at[3][2] = {{r, column0}, {r, column0 + 1}, {r, column0 + 2}};
    element(array, at[0], id);
    element(array, at[1], text);
    element(array, at[2], attribute);
    row.id = integer_of(*id);
    row.text = text_of(*text);
    row.attribute = static_cast<uint8_t>(integer_of(*attribute) & 0xFF);
    rows.push_back(std::move(row));
  }
  return rows;
}

template <class Each>
void for_each_item(const VARIANT& v, Each&& each) {
  SAFEARRAY* array = array_of(v, 1, "a record");
  LONG first = 0, last = -1;
  bounds(array, 1, first, last);
  for (LONG k = first; k <= last; ++k) {
    Variant item;
    element(array, &k, item);
    each(*item);
  }
}

// The two halves of a record: its header and its vector of entries or lists.
void halves(const VARIANT& v, Variant& header, Variant& items) {
  SAFEARRAY* array = array_of(v, 1, "a record");
  LONG first = 0, last = -1;
  bounds(array, 1, first, last);
  if (last - first != 1) bad_shape("a record");
  LONG second = first + 1;
  element(array, &first, header);
  element(array, &second, items);
}

EntryRecord decode_entries(const VARIANT& v) {
  EntryRecord record;
  Variant header, items;
  halves(v, header, items);
  record.header = decode_rows(*header);
  for_each_item(*items, [&](const VARIANT& entry) { record.entries.push_back(decode_rows(entry)); });
  return record;
}

// ---- Building VARIANTs ----------------------------------------------------------------------

// An array under construction, destroyed unless handed to a VARIANT.
class ArrayBuilder {
 public:
  ArrayBuilder(UINT dims, SAFEARRAYBOUND* bounds) : array_(SafeArrayCreate(VT_VARIANT, dims, bounds)) {
    if (!array_) throw Failure{E_OUTOFMEMORY, "out of memory"};
  }
  ~ArrayBuilder() {
    if (array_) SafeArrayDestroy(array_);
  }
  ArrayBuilder(const ArrayBuilder&) = delete;
  ArrayBuilder& operator=(const ArrayBuilder&) = delete;

  void put(LONG* at, VARIANT* value) {
    if (FAILED(SafeArrayPutElement(array_, at, value))) throw Failure{E_OUTOFMEMORY, "out of memory"};
  }
  void finish_into(VARIANT* out) {
    VariantClear(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array_;
    array_ = nullptr;
  }

 private:
  SAFEARRAY* array_;
};

void encode_rows(const Rows& rows, VARIANT* out) {
  SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(rows.size()), 0}, {3, 0}};
  ArrayBuilder array(2, b);
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto row = static_cast<LONG>(r);
    Variant id, text, attribute;
    id.get()->vt = VT_I4;
    id.get()->lVal = rows[r].id;
    text.get()->vt = VT_BSTR;
    text.get()->bstrVal = bstr_from_utf8(rows[r].text);
    attribute.get()->vt = VT_UI1;
    attribute.get()->bVal = rows[r].attribute;
    LONG at[3][2] = {{row, 0}, {row, 1}, {row, 2}};
    array.put(at[0], id.get());
    array.put(at[1], text.get());
    array.put(at[2], attribute.get());
  }
  array.finish_into(out);
}

template <class Items, class EncodeItem>
void encode_pair(const Rows& header, const Items& items, EncodeItem&& encode_item, VARIANT* out) {
  SAFEARRAYBOUND item_bounds[1] = {{static_cast<ULONG>(items.size()), 0}};
  ArrayBuilder vector(1, item_bounds);
  for (size_t k = 0; k < items.size(); ++k) {
    Variant item;
    encode_item(items[k], item.get());
    auto at = static_cast<LONG>(k);
    vector.put(&at, item.get());
  }
  SAFEARRAYBOUND outer_bounds[1] = {{2, 0}};
  ArrayBuilder outer(1, outer_bounds);
  Variant first, second;
  encode_rows(header, first.get());
  vector.finish_into(second.get());
  LONG at0 = 0, at1 = 1;
  outer.put(&at0, first.get());
  outer.put(&at1, second.get());
  outer.finish_into(out);
}

void encode_entries(const EntryRecord& record, VARIANT* out) {
  encode_pair(record.header, record.entries, encode_rows, out);
}

// ---- Loading --------------------------------------------------------------------------------

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Sets single values of a refused block one by one, to find the one the component refuses with
// the same HRESULT. "" when none can be singled out.
std::string locate_refused_value(Component& object, const Block& block, HRESULT hr) {
  if (hr == kFieldNotFound || hr == kBadIndex || hr == kBlockNotSupported) return {};
  auto try_set = [&](BYTE index, std::optional<BYTE> member, const Row& row) {
    Variant field;
    encode_field(row, field.get());
    const HRESULT result = member ? object->SetSubFieldAt(block.id, index, *member, *field)
                                  : object->SetFieldAt(block.id, index, *field);
    return result == hr;
  };
  auto found = [&](const std::string& where, const Row& row) { return where + ", " + field_detail(object, row); };
  if (const auto* record = std::get_if<EntryRecord>(&block.record)) {
    for (size_t i = 0; i < record->entries.size() && i < 256; ++i)
      for (const Row& row : record->entries[i])
        if (try_set(static_cast<BYTE>(i), std::nullopt, row))
          return found(", entry " + std::to_string(i), row);
  } else if (const auto* lists = std::get_if<ListRecord>(&block.record)) {
    for (size_t i = 0; i < lists->lists.size() && i < 256; ++i) {
      for (const Row& row : lists->lists[i].header)
        if (try_set(static_cast<BYTE>(i), std::nullopt, row))
          return found(", list " + std::to_string(i), row);
      const auto& members = lists->lists[i].entries;
      for (size_t m = 0; m < members.size() && m < 256; ++m)
        for (const Row& row : members[m])
          if (try_set(static_cast<BYTE>(i), static_cast<BYTE>(m), row))
            return found(", list " + std::to_string(i) + ", member " + std::to_string(m), row);
    }
  }
  return {};
}

// ---- JSON -----------------------------------------------------------------------------------

using ojson = nlohmann::ordered_json;

ojson rows_json(const Rows& rows) {
  ojson out = ojson::array();
  for (const Row& row : rows) out.push_back(ojson::array({row.id, row.text, row.attribute}));
  return out;
}

ojson entries_json(const EntryRecord& record) {
  ojson entries = ojson::array();
  for (const Rows& entry : record.entries) entries.push_back(rows_json(entry));
  return ojson{{"header", rows_json(record.header)}, {"entries", std::move(entries)}};
}

ojson record_json(const Block& block) {
  switch (block.kind()) {
    case Kind::Fields: return rows_json(std::get<Rows>(block.record));
    case Kind::Block: return entries_json(std::get<EntryRecord>(block.record));
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      ojson lists = ojson::array();
      for (const EntryRecord& list : record.lists) lists.push_back(entries_json(list));
      return ojson{{"header", rows_json(record.header)}, {"lists", std::move(lists)}};
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

  EntryRecord entries(const nlohmann::json& j, const std::string& where) const {
    only_keys(j, {"header", "entries"}, where);
    EntryRecord out;
    out.header = rows(member(j, "header", where), where + ".header");
    const std::string at = where + ".entries";
    const nlohmann::json& list = array(member(j, "entries", where), at);
    for (size_t k = 0; k < list.size(); ++k) out.entries.push_back(rows(list[k], at + "[" + std::to_string(k) + "]"));
    return out;
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
      only_keys(record, {"header", "lists"}, at);
      ListRecord lists;
      lists.header = rows(member(record, "header", at), at + ".header");
      const nlohmann::json& items = array(member(record, "lists", at), at + ".lists");
      for (size_t k = 0; k < items.size(); ++k)
        lists.lists.push_back(entries(items[k], at + ".lists[" + std::to_string(k) + "]"));
      out.record = std::move(lists);
    } else {
      fail(where + ".kind", "must be \"fields\", \"block\" or \"lists\"");
    }
    return out;
  }

 private:
  std::string source_;
};

}  // namespace

// ---- Records --------------------------------------------------------------------------------

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::Fields: return "fields";
    case Kind::Block: return "block";
    case Kind::Lists: return "lists";
  }
  return "?";
}

const Block* Codeplug::find(int32_t id) const {
  for (const Block& block : blocks)
    if (block.id == id) return &block;
  return nullptr;
}

Block decode_block(int32_t id, const VARIANT& data, Kind hint) {
  Block block{id, Rows{}};
  if ((data.vt & VT_ARRAY) && data.parray && SafeArrayGetDim(data.parray) == 2) {
    block.record = decode_rows(data);
    return block;
  }
  // A record: whether its items are field lists (entries) or records (lists) shows in the first
  // item; a record without items reads the same either way and takes the block's usual kind.
  Variant header, items;
  halves(data, header, items);
  Kind kind = hint == Kind::Lists ? Kind::Lists : Kind::Block;
  bool first = true;
  for_each_item(*items, [&](const VARIANT& item) {
    if (!first) return;
    first = false;
    kind = ((item.vt & VT_ARRAY) && item.parray && SafeArrayGetDim(item.parray) == 2) ? Kind::Block : Kind::Lists;
  });
  if (kind == Kind::Block) {
    block.record = decode_entries(data);
  } else {
    ListRecord record;
    record.header = decode_rows(*header);
    for_each_item(*items, [&](const VARIANT& list) { record.lists.push_back(decode_entries(list)); });
    block.record = std::move(record);
  }
  return block;
}

Row decode_field(const VARIANT& data) {
  Rows rows = decode_rows(data);
  if (rows.size() != 1) bad_shape("a field");
  return rows.front();
}

void encode_field(const Row& row, VARIANT* out) { encode_rows(Rows{row}, out); }

void encode_block(const Block& block, VARIANT* out) {
  switch (block.kind()) {
    case Kind::Fields: encode_rows(std::get<Rows>(block.record), out); break;
    case Kind::Block: encode_entries(std::get<EntryRecord>(block.record), out); break;
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      encode_pair(record.header, record.lists, encode_entries, out);
      break;
    }
  }
}

// ---- Objects --------------------------------------------------------------------------------

namespace {

// Decodes what GetBlockData answered for a block, naming the block when it cannot.
Block decoded(int32_t id, const VARIANT& data) {
  try {
    return decode_block(id, data, kind_hint(id));
  } catch (Failure& f) {
    f.detail = "block " + std::to_string(id) + ": " + f.detail;
    throw;
  }
}

}  // namespace

Block read_block(const Component& object, int32_t id) {
  Variant data;
  object.check(object->GetBlockData(id, data.get()), "block " + std::to_string(id));
  return decoded(id, *data);
}

Codeplug snapshot(const Component& object) {
  if (object.generation() != 1)
    throw Failure{E_NOTIMPL, "", "the second generation's codeplug cannot be saved yet"};
  Codeplug codeplug{object.generation(), {}};
  for (const Served& served : kGen1Blocks) {
    Variant data;
    const HRESULT hr = object->GetBlockData(served.id, data.get());
    if (hr == kBlockNotSupported) continue;  // a block this object does not have
    object.check(hr, "block " + std::to_string(served.id));
    codeplug.blocks.push_back(decoded(served.id, *data));
  }
  return codeplug;
}

std::string field_detail(const Component& object, const Row& row) {
  std::string text = "field " + std::to_string(row.id) + " = " + nlohmann::json(row.text).dump();
  double minimum = 0, maximum = 0, step = 0;
  if (object->GetRangeInfo(row.id, &minimum, &maximum, &step) == S_OK)
    text += "; valid range " + number_text(minimum) + " to " + number_text(maximum) + ", step " + number_text(step);
  return text;
}

void load(Component& object, const Codeplug& codeplug, const std::string& source) {
  for (const Block& block : codeplug.blocks) {
    const std::string where = "codeplug '" + source + "', block " + std::to_string(block.id);
    Variant current;
    if (object->GetBlockData(block.id, current.get()) == S_OK) {
      try {
        if (decode_block(block.id, *current, block.kind()) == block) continue;
      } catch (const Failure&) {
      }
    }
    Variant data;
    try {
      encode_block(block, data.get());
    } catch (Failure& f) {
      f.detail = where + ": " + f.detail;
      throw;
    }
    const HRESULT hr = object->SetBlockData(block.id, data.get());
    if (FAILED(hr)) throw Failure{hr, object.message(hr), where + locate_refused_value(object, block, hr)};
  }
}

// ---- Files ----------------------------------------------------------------------------------

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

// ---- Showing --------------------------------------------------------------------------------

std::string row_text(const Row& row) {
  return std::to_string(row.id) + "  " + nlohmann::json(row.text).dump() + "  " + std::to_string(row.attribute);
}

namespace {

void rows_text(const Rows& rows, int indent, std::string& out) {
  for (const Row& row : rows) out += std::string(static_cast<size_t>(indent), ' ') + row_text(row) + "\n";
}

std::string count_text(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void entries_text(const EntryRecord& record, int indent, const char* name, std::string& out) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  out += pad + "header\n";
  rows_text(record.header, indent + 2, out);
  for (size_t k = 0; k < record.entries.size(); ++k) {
    out += pad + name + " " + std::to_string(k) + "\n";
    rows_text(record.entries[k], indent + 2, out);
  }
}

}  // namespace

std::string block_text(const Block& block) {
  std::string out = "block " + std::to_string(block.id) + ": ";
  switch (block.kind()) {
    case Kind::Fields: {
      const auto& rows = std::get<Rows>(block.record);
      out += count_text(rows.size(), "field", "fields") + "\n";
      rows_text(rows, 2, out);
      break;
    }
    case Kind::Block: {
      const auto& record = std::get<EntryRecord>(block.record);
      out += count_text(record.entries.size(), "entry", "entries") + "\n";
      entries_text(record, 2, "entry", out);
      break;
    }
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      out += count_text(record.lists.size(), "list", "lists") + "\n  header\n";
      rows_text(record.header, 4, out);
      for (size_t k = 0; k < record.lists.size(); ++k) {
        out += "  list " + std::to_string(k) + "\n";
        entries_text(record.lists[k], 4, "member", out);
      }
      break;
    }
  }
  return out;
}

// ---- Comparing ------------------------------------------------------------------------------

bool Ignore::block(int32_t id) const { return std::find(blocks.begin(), blocks.end(), id) != blocks.end(); }

bool Ignore::list_header(int32_t id) const {
  return std::find(list_headers.begin(), list_headers.end(), id) != list_headers.end();
}

bool Ignore::field(int32_t block_id, int32_t field_id) const {
  return std::find(fields.begin(), fields.end(), std::pair{block_id, field_id}) != fields.end();
}

namespace {

class Comparison {
 public:
  Comparison(const Ignore& ignore, std::vector<std::string>& out) : ignore_(ignore), out_(out) {}

  void rows(int32_t block, const std::string& where, const Rows& meant, const Rows& actual) {
    const size_t common = std::min(meant.size(), actual.size());
    for (size_t k = 0; k < common; ++k) {
      const Row& m = meant[k];
      const Row& a = actual[k];
      if (m.id != a.id) {
        out_.push_back(where + ": the fields differ from position " + std::to_string(k) + " on (field " +
                       std::to_string(m.id) + " written, field " + std::to_string(a.id) + " read back)");
        return;
      }
      if (ignore_.field(block, m.id)) continue;
      const std::string at = where + " field " + std::to_string(m.id);
      if (m.text != a.text)
        out_.push_back(at + ": wrote " + nlohmann::json(m.text).dump() + ", the radio has " +
                       nlohmann::json(a.text).dump());
      else if (m.attribute != a.attribute)
        out_.push_back(at + ": wrote attribute " + std::to_string(m.attribute) + ", the radio has " +
                       std::to_string(a.attribute));
    }
    if (meant.size() != actual.size())
      out_.push_back(where + ": wrote " + count_text(meant.size(), "field", "fields") + ", the radio has " +
                     std::to_string(actual.size()));
  }

  void entries(int32_t block, const std::string& where, const EntryRecord& meant, const EntryRecord& actual,
               const char* name, const char* names, bool compare_header = true) {
    if (compare_header) rows(block, where + " header", meant.header, actual.header);
    const size_t common = std::min(meant.entries.size(), actual.entries.size());
    for (size_t k = 0; k < common; ++k)
      rows(block, where + " " + name + " " + std::to_string(k), meant.entries[k], actual.entries[k]);
    if (meant.entries.size() != actual.entries.size())
      out_.push_back(where + ": wrote " + count_text(meant.entries.size(), name, names) + ", the radio has " +
                     std::to_string(actual.entries.size()));
  }

  void block(const Block& meant, const Block& actual) {
    const std::string where = "block " + std::to_string(meant.id);
    if (meant.kind() != actual.kind()) {
      out_.push_back(where + ": wrote a " + kind_name(meant.kind()) + " record, the radio has a " +
                     kind_name(actual.kind()) + " record");
      return;
    }
    switch (meant.kind()) {
      case Kind::Fields:
        rows(meant.id, where, std::get<Rows>(meant.record), std::get<Rows>(actual.record));
        break;
      case Kind::Block:
        entries(meant.id, where, std::get<EntryRecord>(meant.record), std::get<EntryRecord>(actual.record),
                "entry", "entries");
        break;
      case Kind::Lists: {
        const auto& m = std::get<ListRecord>(meant.record);
        const auto& a = std::get<ListRecord>(actual.record);
        rows(meant.id, where + " header", m.header, a.header);
        const size_t common = std::min(m.lists.size(), a.lists.size());
        for (size_t k = 0; k < common; ++k)
          entries(meant.id, where + " list " + std::to_string(k), m.lists[k], a.lists[k], "member", "members",
                  !ignore_.list_header(meant.id));
        if (m.lists.size() != a.lists.size())
          out_.push_back(where + ": wrote " + count_text(m.lists.size(), "list", "lists") + ", the radio has " +
                         std::to_string(a.lists.size()));
        break;
      }
    }
  }

 private:
  const Ignore& ignore_;
  std::vector<std::string>& out_;
};

}  // namespace

std::vector<std::string> differences(const Codeplug& meant, const Codeplug& actual, const Ignore& ignore) {
  std::vector<std::string> out;
  Comparison comparison(ignore, out);
  for (const Block& m : meant.blocks) {
    if (ignore.block(m.id)) continue;
    if (const Block* a = actual.find(m.id))
      comparison.block(m, *a);
    else
      out.push_back("block " + std::to_string(m.id) + ": written, but not read back from the radio");
  }
  for (const Block& a : actual.blocks)
    if (!ignore.block(a.id) && !meant.find(a.id))
      out.push_back("block " + std::to_string(a.id) + ": read back from the radio, but not written");
  return out;
}

}  // namespace cpsctl
