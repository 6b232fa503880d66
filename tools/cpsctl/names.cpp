#include "names.h"

#include "block_text.h"
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "commands.h"
#include "file_lock.h"
#include "host.h"
#include "output.h"
#include "preflight.h"
#include "variant_records.h"

#include "engine/block_registry.h"
#include "gen1/block_table.h"

#include <charconv>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace cpsctl {

using cps::catalogue::BlockInfo;
using cps::catalogue::Check;
using cps::catalogue::FieldInfo;
using cps::catalogue::Place;

namespace {

[[noreturn]] void usage(const std::string& detail) { throw Failure{E_INVALIDARG, "", detail, kExitUsage}; }

std::optional<long> number(const std::string& text) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string choices_text(const std::vector<std::string>& choices) {
  std::string out;
  for (const std::string& label : choices) out += (out.empty() ? "" : " | ") + quoted(label);
  return out;
}

// What checks a field's value, in a few words: its range row, its choices, or the table it uses.
std::string check_text(const FieldInfo& field) {
  std::string out;
  if (field.range)
    out = "range " + number_text(field.range->minimum) + " to " + number_text(field.range->maximum) + ", step " +
          number_text(field.range->step);
  switch (field.check) {
    case Check::Choices: return "choices " + choices_text(field.choices);
    case Check::Band: return "a frequency within the band of block 3 (fields 91 to 92)";
    case Check::Characters: return "an alias: characters that survive packing (GetValidAliasCharSet)";
    case Check::Custom: return out.empty() ? "checked by the block's own rule" : out;
    case Check::Range:
    case Check::None: break;
  }
  return out;
}

const FieldInfo* info_at(const BlockInfo* block, int32_t id, Place place) {
  if (!block) return nullptr;
  const std::string text = std::to_string(id);
  const FieldInfo* info = cps::catalogue::find_field(*block, text, place);
  return info ? info : cps::catalogue::find_field(*block, text);
}

// A field on its line; with `choices`, a choice field's labels on the line below it.
std::string field_lines(const Row& row, const FieldInfo* info, bool choices, int indent) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  std::string out = pad + named_row_text(row, info) + "\n";
  if (choices && info && !info->choices.empty()) out += pad + "  choices: " + choices_text(info->choices) + "\n";
  return out;
}

void rows_text(const BlockInfo* info, const Rows& rows, Place place, int indent, bool choices, std::string& out) {
  for (const Row& row : rows) out += field_lines(row, info_at(info, row.id, place), choices, indent);
}

void entry_text(const BlockInfo* info, const EntryRecord& record, const char* name, Place place, size_t k, int indent,
                bool choices, std::string& out) {
  out += std::string(static_cast<size_t>(indent), ' ') + name + " " + std::to_string(k) + "\n";
  rows_text(info, record.entries[k], place, indent + 2, choices, out);
}

void bad_index(long block, Kind kind, int index, std::optional<int> member) {
  throw Failure{kBadIndex, "", "block " + std::to_string(block) + index_text(kind, index, member)};
}

// A codeplug file loaded into a new object of its generation.
struct Loaded {
  explicit Loaded(const std::string& path) : file(read_codeplug_file(path)), object(file.generation) {
    load(object, file, path);
  }
  Codeplug file;
  Component object;
};

std::string place_text(long block, Kind kind, int index, std::optional<int> member) {
  return "block " + std::to_string(block) + index_text(kind, index, member);
}

Row get_row(const Component& object, long block, int32_t field, int index, std::optional<int> member,
            const std::string& where) {
  Variant data;
  const HRESULT hr =
      member ? object->GetSubFieldAt(static_cast<LONG>(served_by(object.generation(), block, cps::method::g)), field,
                                     static_cast<BYTE>(index), static_cast<BYTE>(*member), data.get())
             : object->GetFieldAt(static_cast<LONG>(block), field, static_cast<BYTE>(index), data.get());
  object.check(hr, where + ", field " + std::to_string(field));
  return decode_field(*data);
}

}  // namespace

std::string attribute_word(uint8_t attribute) {
  switch (attribute) {
    case 0: return "read-only";
    case 1: return "editable";
    case 2: return "structural";
    default: return "attribute " + std::to_string(attribute);
  }
}

const BlockInfo* block_info(int generation, long block) {
  if (block < INT32_MIN || block > INT32_MAX) return nullptr;
  return cps::catalogue::find_block(generation, static_cast<int32_t>(block));
}

Place place_of(Kind kind, bool member) {
  if (member) return Place::Member;
  switch (kind) {
    case Kind::Fields: return Place::Field;
    case Kind::Lists: return Place::ListHeader;
    case Kind::Block: break;
  }
  return Place::Entry;
}

int32_t resolve_field(int generation, long block, Kind kind, bool member, const std::string& field) {
  // "field_475" is field 475 in any block, a block without a field table too.
  const std::string prefix = "field_";
  const std::optional<long> id = number(field.starts_with(prefix) ? field.substr(prefix.size()) : field);
  if (id) {
    if (*id < INT32_MIN || *id > INT32_MAX) throw Failure{kFieldNotFound, "", "field " + field};
    return static_cast<int32_t>(*id);
  }
  const BlockInfo* info = block_info(generation, block);
  const FieldInfo* found = nullptr;
  if (info) {
    found = cps::catalogue::find_field(*info, field, place_of(kind, member));
    if (!found) found = cps::catalogue::find_field(*info, field);
  }
  if (!found)
    throw Failure{kFieldNotFound, "",
                  "block " + std::to_string(block) + " has no field named '" + field + "' (cpsctl fields " +
                      std::to_string(block) + " --gen " + std::to_string(generation) + " lists them)"};
  return found->id;
}

long served_by(int generation, long block, uint16_t method) {
  if (generation != 1 || block < INT32_MIN || block > INT32_MAX) return block;
  const cps::Gen1Block* row = cps::gen1_block(static_cast<int32_t>(block));
  if (!row) return block;
  const cps::Gen1Region* own = row->region(static_cast<int32_t>(block));
  if (own && (own->methods & method)) return block;
  for (const cps::Gen1Region& region : row->regions)
    if (region.id != 0 && (region.methods & method)) return region.id;
  return block;
}

std::string named_row_text(const Row& row, const FieldInfo* info) {
  return std::to_string(row.id) + "  " + (info ? info->name : cps::catalogue::unnamed(row.id)) + "  " +
         quoted(row.text) + "  " + attribute_word(row.attribute);
}

std::string named_block_text(int generation, const Block& block, std::optional<int> index, std::optional<int> member) {
  const BlockInfo* info = block_info(generation, block.id);
  std::string out = "block " + std::to_string(block.id) + (info ? " " + info->name : std::string()) + ": ";
  const bool one = index.has_value();
  switch (block.kind()) {
    case Kind::Fields: {
      const auto& rows = std::get<Rows>(block.record);
      out += count_text(rows.size(), "field", "fields") + "\n";
      rows_text(info, rows, Place::Field, 2, one, out);
      break;
    }
    case Kind::Block: {
      const auto& record = std::get<EntryRecord>(block.record);
      out += count_text(record.entries.size(), "entry", "entries") + "\n";
      if (one) {
        if (member || *index < 0 || static_cast<size_t>(*index) >= record.entries.size())
          bad_index(block.id, Kind::Block, *index, member);
        entry_text(info, record, "entry", Place::Entry, static_cast<size_t>(*index), 2, true, out);
        break;
      }
      out += "  header\n";
      rows_text(info, record.header, Place::Header, 4, false, out);
      for (size_t k = 0; k < record.entries.size(); ++k) entry_text(info, record, "entry", Place::Entry, k, 2, false, out);
      break;
    }
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      out += count_text(record.lists.size(), "list", "lists") + "\n";
      if (!one) {
        out += "  header\n";
        rows_text(info, record.header, Place::Header, 4, false, out);
      }
      for (size_t k = 0; k < record.lists.size(); ++k) {
        if (one && static_cast<size_t>(*index) != k) continue;
        const EntryRecord& list = record.lists[k];
        out += "  list " + std::to_string(k) + "\n";
        if (member) {
          if (*member < 0 || static_cast<size_t>(*member) >= list.entries.size())
            bad_index(block.id, Kind::Lists, *index, member);
          entry_text(info, list, "member", Place::Member, static_cast<size_t>(*member), 4, true, out);
          continue;
        }
        out += "    header\n";
        rows_text(info, list.header, Place::ListHeader, 6, one, out);
        for (size_t m = 0; m < list.entries.size(); ++m) entry_text(info, list, "member", Place::Member, m, 4, one, out);
      }
      if (one && (*index < 0 || static_cast<size_t>(*index) >= record.lists.size()))
        bad_index(block.id, Kind::Lists, *index, member);
      break;
    }
  }
  return out;
}

// ---- Commands -------------------------------------------------------------------------------

int get_value(const std::string& codeplug_path, long block, std::optional<int> index,
              const std::optional<std::string>& field, std::optional<int> member) {
  Loaded codeplug(codeplug_path);
  const Component& object = codeplug.object;
  const int generation = object.generation();
  const Block shown = read_block(object, static_cast<int32_t>(block));
  if (!field) {
    std::fputs(named_block_text(generation, shown, index, member).c_str(), stdout);
    return kExitOk;
  }
  const int at = index.value_or(0);
  const int32_t id = resolve_field(generation, block, shown.kind(), member.has_value(), *field);
  const Row row = get_row(object, block, id, at, member, place_text(block, shown.kind(), at, member));
  const FieldInfo* info = info_at(block_info(generation, block), id, place_of(shown.kind(), member.has_value()));
  std::fputs(field_lines(row, info, true, 0).c_str(), stdout);
  return kExitOk;
}

int set_values(const std::string& codeplug_path, long block, int index, const std::vector<std::string>& assignments,
               std::optional<int> member, const std::optional<std::string>& output) {
  // Every assignment is read before the first one is applied, so a typo changes nothing.
  std::vector<std::pair<std::string, std::string>> given;
  for (const std::string& assignment : assignments) {
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0)
      usage("'" + assignment + "' is not FIELD=VALUE with a field ID or name");
    given.emplace_back(assignment.substr(0, eq), assignment.substr(eq + 1));
  }

  const std::string target = output.value_or(codeplug_path);
  const FileLock lock(target);
  Loaded codeplug(codeplug_path);
  Component& object = codeplug.object;
  const Kind kind = read_block(object, static_cast<int32_t>(block)).kind();
  const std::string where = place_text(block, kind, index, member);
  std::vector<std::pair<int32_t, std::string>> values;
  for (const auto& [field, value] : given)
    values.emplace_back(resolve_field(object.generation(), block, kind, member.has_value(), field), value);
  const long target_block = member ? served_by(object.generation(), block, cps::method::s) : block;
  for (const auto& [field, value] : values) {
    // The component would store a character its code page lacks as "?".
    check_codepage(value, where + ", field " + std::to_string(field));
    // The attribute stays what the field carries.
    Row row = get_row(object, block, field, index, member, where);
    row.text = value;
    const HRESULT hr = set_field(object, static_cast<int32_t>(target_block), index, member, row);
    object.check(hr, where + ", " + field_detail(object, row));
  }
  write_codeplug_file(target, snapshot(object));
  if (!is_standard_output(target))
    std::printf("set %zu field%s of %s in %s\n", values.size(), values.size() == 1 ? "" : "s", where.c_str(),
                target.c_str());
  return kExitOk;
}

int show_range(const std::string& field, int generation) {
  // Every field of the generation that FIELD names, by ID (once) or by name (one per ID: "power"
  // may be another field in another block).
  const std::optional<long> id = number(field);
  std::vector<std::pair<const BlockInfo*, const FieldInfo*>> found;
  std::set<int32_t> seen;
  for (const BlockInfo& block : cps::catalogue::blocks(generation))
    for (const FieldInfo& info : block.fields)
      if ((id ? info.id == *id : info.name == field) && seen.insert(info.id).second) found.emplace_back(&block, &info);

  Component component(generation);
  if (id) {
    if (*id < INT32_MIN || *id > INT32_MAX) throw Failure{kFieldNotFound, "", "field " + field};
    double minimum = 0, maximum = 0, step = 0;
    const HRESULT hr = component->GetRangeInfo(static_cast<LONG>(*id), &minimum, &maximum, &step);
    if (hr == S_OK || found.empty()) {
      component.check(hr);
      std::printf("field %ld: minimum %s, maximum %s, step %s\n", *id, number_text(minimum).c_str(),
                  number_text(maximum).c_str(), number_text(step).c_str());
      return kExitOk;
    }
  }
  if (found.empty()) throw Failure{kFieldNotFound, "", "no field of generation " + std::to_string(generation) + " is named '" + field + "'"};
  for (const auto& [block, info] : found) {
    std::string line = "field " + std::to_string(info->id) + " " + info->name + " (block " +
                       std::to_string(block->ids.front()) + " " + block->name + "): ";
    if (info->range)
      line += "minimum " + number_text(info->range->minimum) + ", maximum " + number_text(info->range->maximum) +
              ", step " + number_text(info->range->step);
    else
      line += "no range row";
    if (info->check != Check::Range && info->check != Check::None) line += "; " + check_text(*info);
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

int list_blocks(const std::string& codeplug_path) {
  const Codeplug codeplug = read_codeplug_file(codeplug_path);
  std::printf("%s: generation %d, %zu blocks\n", codeplug_path.c_str(), codeplug.generation, codeplug.blocks.size());
  for (const Block& block : codeplug.blocks) {
    const BlockInfo* info = block_info(codeplug.generation, block.id);
    std::string count;
    switch (block.kind()) {
      case Kind::Fields: count = count_text(std::get<Rows>(block.record).size(), "field", "fields"); break;
      case Kind::Block: count = count_text(std::get<EntryRecord>(block.record).entries.size(), "entry", "entries"); break;
      case Kind::Lists: {
        const auto& lists = std::get<ListRecord>(block.record).lists;
        size_t members = 0;
        for (const EntryRecord& list : lists) members += list.entries.size();
        count = count_text(lists.size(), "list", "lists") + ", " + count_text(members, "member", "members");
        break;
      }
    }
    std::printf("%6d  %-28s %s\n", block.id, info ? info->name.c_str() : "", count.c_str());
  }
  return kExitOk;
}

int list_fields(const std::string& block_text, int generation) {
  const BlockInfo* info = nullptr;
  if (const std::optional<long> id = number(block_text)) {
    info = block_info(generation, *id);
  } else {
    for (const BlockInfo& block : cps::catalogue::blocks(generation))
      if (block.name == block_text) info = &block;
  }
  if (!info)
    throw Failure{kBlockNotSupported, "", "generation " + std::to_string(generation) + " has no block " + block_text};
  std::string ids;
  for (int32_t id : info->ids) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
  std::printf("block %d %s (IDs %s): %s\n", info->ids.front(), info->name.c_str(), ids.c_str(),
              info->fields.empty() ? "no field table"
                                   : count_text(info->fields.size(), "field", "fields").c_str());
  std::optional<Place> current;
  for (const FieldInfo& field : info->fields) {
    if (field.place != current) {
      std::printf("  %s\n", cps::catalogue::place_name(field.place));
      current = field.place;
    }
    std::string line = "    " + std::to_string(field.id) + "  " + field.name + "  " + attribute_word(field.attribute);
    const std::string check = check_text(field);
    if (!check.empty()) line += "  " + check;
    if (field.conditional) line += "  (some forms only)";
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

}  // namespace cpsctl
