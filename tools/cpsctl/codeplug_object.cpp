#include "codeplug_object.h"

#include "block_text.h"
#include "blocks.h"
#include "codeplug_file.h"
#include "variant_records.h"

#include "gen2/block_table.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_set>

namespace cpsctl {

namespace {

// The kind of record a block usually holds, which settles the kind of one with no entries.
Kind kind_hint(int32_t id) {
  for (int generation : {1, 2})
    for (const ServedBlock& s : served_blocks(generation))
      if (s.id == id) return s.kind;
  return Kind::Block;
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Sets single values of a refused block one by one, to find the one the component refuses with
// the same HRESULT. "" when none can be singled out.
std::string locate_refused_value(Component& object, const Block& block, HRESULT hr) {
  if (hr == kFieldNotFound || hr == kBadIndex || hr == kBlockNotSupported) return {};
  // The value's place when the component refuses it alone with the same HRESULT, else "".
  auto refused = [&](size_t index, std::optional<int> member, const Row& row) -> std::string {
    const int i = static_cast<int>(index);
    if (set_field(object, block.id, i, member, row) != hr) return {};
    return index_text(block.kind(), i, member) + ", " + field_detail(object, row);
  };
  if (const auto* record = std::get_if<EntryRecord>(&block.record)) {
    for (size_t i = 0; i < record->entries.size() && i < 256; ++i)
      for (const Row& row : record->entries[i])
        if (std::string found = refused(i, std::nullopt, row); !found.empty()) return found;
  } else if (const auto* lists = std::get_if<ListRecord>(&block.record)) {
    for (size_t i = 0; i < lists->lists.size() && i < 256; ++i) {
      for (const Row& row : lists->lists[i].header)
        if (std::string found = refused(i, std::nullopt, row); !found.empty()) return found;
      const auto& members = lists->lists[i].entries;
      for (size_t m = 0; m < members.size() && m < 256; ++m)
        for (const Row& row : members[m])
          if (std::string found = refused(i, static_cast<int>(m), row); !found.empty()) return found;
    }
  }
  return {};
}

// Whether a second-generation presence table marks a block present: the directory blocks,
// which have no bit, always are; a data block when its field is there and not "0".
bool present(const Rows& presence, int32_t id) {
  const cps::gen2::R9Block* row = cps::gen2::r9_block(id);
  if (row == nullptr || row->presence_field == 0) return true;
  for (const Row& field : presence)
    if (field.id == row->presence_field) return field.text != "0";
  return false;
}

// ---- A record's rows by their place in the codeplug file -------------------------------------

// Each list of field rows of a record, by its path below the block ("record.entries[1]").
std::map<std::string, const Rows*> row_lists(const Block& block) {
  std::map<std::string, const Rows*> out;
  auto entries = [&](const EntryRecord& record, const std::string& at, const char* key) {
    out[at + ".header"] = &record.header;
    for (size_t e = 0; e < record.entries.size(); ++e)
      out[at + "." + key + "[" + std::to_string(e) + "]"] = &record.entries[e];
  };
  if (const auto* rows = std::get_if<Rows>(&block.record)) {
    out["record"] = rows;
  } else if (const auto* record = std::get_if<EntryRecord>(&block.record)) {
    entries(*record, "record", "entries");
  } else {
    const auto& lists = std::get<ListRecord>(block.record);
    out["record.header"] = &lists.header;
    for (size_t l = 0; l < lists.lists.size(); ++l)
      entries(lists.lists[l], "record.lists[" + std::to_string(l) + "]", "entries");
  }
  return out;
}

// The first row of `given` whose field `kept` does not hold, as its index, or -1. A field given
// twice is kept once: duplicate rows are allowed.
long first_dropped(const Rows& given, const Rows* kept) {
  // What nearly every load sees: the object keeps the rows in the file's order.
  if (kept && std::equal(given.begin(), given.end(), kept->begin(), kept->end(),
                         [](const Row& a, const Row& b) { return a.id == b.id; }))
    return -1;
  std::unordered_set<int32_t> ids;
  if (kept)
    for (const Row& row : *kept) ids.insert(row.id);
  for (size_t r = 0; r < given.size(); ++r)
    if (!ids.count(given[r].id)) return static_cast<long>(r);
  return -1;
}

// Where a block that the object took drops a field row of the file: the object would lose it
// without a word on the next save. "" when every row is kept.
std::string dropped_row(const Block& given, const Block& kept) {
  std::string found;
  auto rows = [&](const Rows& list, const Rows* kept_list, const auto& path) {
    if (!found.empty()) return;
    const long r = first_dropped(list, kept_list);
    if (r >= 0)
      found = path() + "[" + std::to_string(r) + "]: block " + std::to_string(given.id) + " does not keep field " +
              std::to_string(list[static_cast<size_t>(r)].id) + " there";
  };
  auto entries = [&](const EntryRecord& record, const EntryRecord* kept_record, const std::string& at) {
    rows(record.header, kept_record ? &kept_record->header : nullptr, [&] { return at + ".header"; });
    for (size_t e = 0; e < record.entries.size(); ++e)
      rows(record.entries[e],
           kept_record && e < kept_record->entries.size() ? &kept_record->entries[e] : nullptr,
           [&] { return at + ".entries[" + std::to_string(e) + "]"; });
  };
  if (const auto* list = std::get_if<Rows>(&given.record)) {
    rows(*list, std::get_if<Rows>(&kept.record), [] { return std::string("record"); });
  } else if (const auto* record = std::get_if<EntryRecord>(&given.record)) {
    entries(*record, std::get_if<EntryRecord>(&kept.record), "record");
  } else {
    const auto& lists = std::get<ListRecord>(given.record);
    const auto* kept_lists = std::get_if<ListRecord>(&kept.record);
    rows(lists.header, kept_lists ? &kept_lists->header : nullptr, [] { return std::string("record.header"); });
    for (size_t l = 0; l < lists.lists.size() && found.empty(); ++l)
      entries(lists.lists[l], kept_lists && l < kept_lists->lists.size() ? &kept_lists->lists[l] : nullptr,
              "record.lists[" + std::to_string(l) + "]");
  }
  return found;
}

// A refused record that lacks a field the object's own record of the block has at that place:
// "record.entries[0]: field 103 is missing". Entries and members are compared with the object's
// first one. "" when none is missing.
std::string missing_field(const Block& given, const Block& current) {
  const auto current_lists = row_lists(current);
  auto model_of = [&](std::string path) -> const Rows* {
    // record.lists[3].entries[5] -> record.lists[0].entries[0] when the object has fewer.
    if (auto found = current_lists.find(path); found != current_lists.end()) return found->second;
    for (size_t open = path.find('['); open != std::string::npos; open = path.find('[', open + 1)) {
      const size_t close = path.find(']', open);
      path.replace(open + 1, close - open - 1, "0");
    }
    const auto found = current_lists.find(path);
    return found == current_lists.end() ? nullptr : found->second;
  };
  for (const auto& [path, rows] : row_lists(given)) {
    const Rows* model = model_of(path);
    if (!model) continue;
    for (const Row& wanted : *model)
      if (std::none_of(rows->begin(), rows->end(), [&](const Row& row) { return row.id == wanted.id; }))
        return path + ": field " + std::to_string(wanted.id) + " is missing";
  }
  return {};
}

// A count in a header that does not match the entries or lists that follow it: the header row
// that, set to the number actually given, makes the object take the record. "" when none does.
std::string wrong_count(Component& object, const Block& given) {
  auto attempt = [&](Block& trial, Row& row, size_t count, const std::string& path) -> std::string {
    const std::string text = std::to_string(count);
    if (row.text == text || row.text.empty() || row.text.find_first_not_of("0123456789") != std::string::npos)
      return {};
    const std::string was = row.text;
    row.text = text;
    Variant data;
    encode_block(trial, data.get());
    const bool taken = SUCCEEDED(object->SetBlockData(trial.id, data.get()));
    row.text = was;
    if (!taken) return {};
    return path + ": field " + std::to_string(row.id) + " = " + quoted(was) + " does not match the " + text +
           " that follow it";
  };
  auto in_header = [&](Block& trial, Rows& header, size_t count, const std::string& at) -> std::string {
    for (size_t r = 0; r < header.size(); ++r)
      if (std::string found = attempt(trial, header[r], count, at + ".header[" + std::to_string(r) + "]");
          !found.empty())
        return found;
    return {};
  };
  Block trial = given;
  if (auto* record = std::get_if<EntryRecord>(&trial.record)) {
    if (std::string found = in_header(trial, record->header, record->entries.size(), "record"); !found.empty())
      return found;
    // A block of a fixed number of entries given more: the object takes the first ones alone.
    const size_t count = record->entries.size();
    for (size_t fewer = count; fewer-- > 1;) {
      record->entries.resize(fewer);
      Variant data;
      encode_block(trial, data.get());
      if (SUCCEEDED(object->SetBlockData(trial.id, data.get())))
        return "record.entries: " + std::to_string(count) + " entries, block " + std::to_string(given.id) +
               " holds " + std::to_string(fewer);
      if (count - fewer >= 8) break;
    }
    return {};
  }
  if (auto* lists = std::get_if<ListRecord>(&trial.record)) {
    if (std::string found = in_header(trial, lists->header, lists->lists.size(), "record"); !found.empty())
      return found;
    for (size_t l = 0; l < lists->lists.size(); ++l) {
      EntryRecord& list = lists->lists[l];
      if (std::string found =
              in_header(trial, list.header, list.entries.size(), "record.lists[" + std::to_string(l) + "]");
          !found.empty())
        return found;
    }
  }
  return {};
}

// Decodes what GetBlockData answered for a block, naming the block when it cannot.
Block decoded(int32_t id, const VARIANT& data) {
  try {
    return decode_block(id, data, kind_hint(id));
  } catch (Failure& f) {
    f.detail = "block " + std::to_string(id) + ": " + f.detail;
    throw;
  }
}

// A second-generation codeplug's presence table (block 2027). A block it marks present that
// has no handler cannot be saved: the component serves it to no method (110), it carries it
// only as the radio's bytes.
Rows gen2_presence(const Component& object) {
  const Block table = read_block(object, cps::gen2::kPresenceBlock);
  // A table never filled (no field) may read as an empty record: then nothing is present.
  const Rows* fields = std::get_if<Rows>(&table.record);
  const Rows rows = fields ? *fields : Rows{};
  for (const cps::gen2::R9Block& row : cps::gen2::r9_blocks())
    if (row.shape == cps::gen2::R9Shape::List && !row.make_list && present(rows, row.id))
      throw Failure{kBlockNotSupported, "",
                    "block " + std::to_string(row.id) + " (" + row.name +
                        ") is present in the codeplug, but the component has no handler for it: such a "
                        "codeplug cannot be saved to a codeplug file"};
  return rows;
}

}  // namespace

Block read_block(const Component& object, int32_t id) {
  Variant data;
  object.check(object->GetBlockData(id, data.get()), "block " + std::to_string(id));
  return decoded(id, *data);
}

namespace {

// What GetBlockData answers for every block the object serves, in snapshot()'s order, each
// VARIANT gone once `take` has seen it.
void each_block_data(const Component& object, const std::function<void(int32_t, const VARIANT&)>& take) {
  const std::optional<Rows> presence = object.generation() == 2 ? std::optional(gen2_presence(object)) : std::nullopt;
  for (const ServedBlock& served : served_blocks(object.generation())) {
    if (presence && !present(*presence, served.id)) continue;
    Variant data;
    const HRESULT hr = object->GetBlockData(served.id, data.get());
    if (hr == kBlockNotSupported) continue;  // a block this object does not have
    object.check(hr, "block " + std::to_string(served.id));
    take(served.id, *data);
  }
}

}  // namespace

Codeplug snapshot(const Component& object) {
  Codeplug codeplug{object.generation(), {}};
  each_block_data(object, [&](int32_t id, const VARIANT& data) { codeplug.blocks.push_back(decoded(id, data)); });
  return codeplug;
}

namespace {

// holds_exactly of every block, or with `records` the stricter holds_records: the blocks in
// `meant`'s order, attributes held to the same too.
bool holds(const Component& object, const Codeplug& meant, const Ignore& ignore, bool records) {
  size_t held = 0;
  bool holds = !records || meant.generation == object.generation();
  try {
    each_block_data(object, [&](int32_t id, const VARIANT& data) {
      if (!holds || ignore.block(id)) return;
      const Block* block = nullptr;
      if (!records) block = meant.find(id);
      else if (held < meant.blocks.size() && meant.blocks[held].id == id) block = &meant.blocks[held];
      holds = block != nullptr && holds_exactly(*block, data, record_kind(data, kind_hint(id)), ignore, records);
      ++held;
    });
  } catch (const Failure&) {
    return false;
  }
  const auto compared = std::count_if(meant.blocks.begin(), meant.blocks.end(),
                                      [&](const Block& block) { return !ignore.block(block.id); });
  return holds && held == static_cast<size_t>(compared);
}

}  // namespace

bool holds_exactly(const Component& object, const Codeplug& meant, const Ignore& ignore) {
  return holds(object, meant, ignore, false);
}

bool holds_records(const Component& object, const Codeplug& codeplug) { return holds(object, codeplug, Ignore{}, true); }

void write_each(const Component& object, JsonWriter& writer) {
  each_block_data(object, [&](int32_t id, const VARIANT& data) {
    try {
      writer.add(id, data, kind_hint(id));
    } catch (Failure& f) {
      f.detail = "block " + std::to_string(id) + ": " + f.detail;
      throw;
    }
  });
}

std::string field_detail(const Component& object, const Row& row) {
  std::string text = "field " + std::to_string(row.id) + " = " + quoted(text_prefix(row.text));
  double minimum = 0, maximum = 0, step = 0;
  if (object->GetRangeInfo(row.id, &minimum, &maximum, &step) == S_OK)
    text += "; valid range " + number_text(minimum) + " to " + number_text(maximum) + ", step " + number_text(step);
  return text;
}

HRESULT set_field(Component& object, int32_t block, int index, std::optional<int> member, const Row& row) {
  Variant field;
  encode_field(row, field.get());
  const auto entry = static_cast<BYTE>(index);
  return member ? object->SetSubFieldAt(block, entry, static_cast<BYTE>(*member), *field)
                : object->SetFieldAt(block, entry, *field);
}

namespace {

// The held record of a block already matches the file's: a set would change nothing, and for
// the radio's own blocks would be refused.
bool holds_already(const Component& object, const Block& block) {
  Variant current;
  if (object->GetBlockData(block.id, current.get()) != S_OK) return false;
  try {
    return holds_exactly(block, *current, record_kind(*current, block.kind()), Ignore{}, true);
  } catch (const Failure&) {
    return false;
  }
}

// SetBlockData of one block of the file.
HRESULT set_block(Component& object, const Block& block, const std::string& where) {
  Variant data;
  try {
    encode_block(block, data.get());
  } catch (Failure& f) {
    f.detail = where + ": " + f.detail;
    throw;
  }
  return object->SetBlockData(block.id, data.get());
}

// "codeplug 'x': blocks[3].record.entries[1][5]: ...", the place in the file.
std::string at(const std::string& source, size_t k, const std::string& path) {
  return "codeplug '" + source + "': blocks[" + std::to_string(k) + "]" + (path.empty() ? "" : ".") + path;
}

}  // namespace

void set_blocks(Component& object, const Codeplug& codeplug, const std::string& source) {
  for (size_t k = 0; k < codeplug.blocks.size(); ++k) {
    const Block& block = codeplug.blocks[k];
    if (holds_already(object, block)) continue;
    const std::string where = "codeplug '" + source + "', block " + std::to_string(block.id);
    const HRESULT hr = set_block(object, block, where);
    if (hr == kBlockNotSupported)
      throw Failure{hr, object.message(hr),
                    at(source, k, "id") + ": a generation-" + std::to_string(object.generation()) + " codeplug has no block " +
                        std::to_string(block.id)};
    if (FAILED(hr)) {
      // Why the record is refused: a field it lacks, a count that does not match what follows
      // it, or one value the object refuses alone.
      std::string why;
      if (hr == kFieldNotFound) {
        Variant current;
        if (object->GetBlockData(block.id, current.get()) == S_OK) {
          try {
            why = missing_field(block, decode_block(block.id, *current, block.kind()));
          } catch (const Failure&) {
          }
        }
      }
      if (why.empty() && hr == kInvalidData) why = wrong_count(object, block);
      if (!why.empty()) throw Failure{hr, object.message(hr), at(source, k, why)};
      throw Failure{hr, object.message(hr), where + locate_refused_value(object, block, hr)};
    }
  }
}

std::optional<Codeplug> kept_records(const Component& object, const Codeplug& codeplug, const std::string& source) {
  // A row the object took without keeping it would vanish on the next save. The object is read
  // once, after every block is in: what it holds then is what a save writes. Nearly always it
  // holds every record just as the file gives it.
  if (holds_records(object, codeplug)) return std::nullopt;
  Codeplug held = snapshot(object);
  for (size_t k = 0; k < codeplug.blocks.size(); ++k) {
    const Block& block = codeplug.blocks[k];
    const auto kept = std::find_if(held.blocks.begin(), held.blocks.end(), [&](const Block& b) { return b.id == block.id; });
    const std::string dropped =
        kept != held.blocks.end() ? dropped_row(block, *kept) : dropped_row(block, read_block(object, block.id));
    if (!dropped.empty()) throw Failure{kInvalidData, object.message(kInvalidData), at(source, k, dropped)};
  }
  return held;
}

std::optional<Codeplug> load(Component& object, const Codeplug& codeplug, const std::string& source) {
  set_blocks(object, codeplug, source);
  return kept_records(object, codeplug, source);
}

}  // namespace cpsctl
