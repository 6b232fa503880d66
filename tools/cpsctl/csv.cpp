#include "csv.h"

#include "block_text.h"
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "compare.h"
#include "diff.h"
#include "file_lock.h"
#include "host.h"
#include "names.h"
#include "output.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>

namespace cpsctl {

namespace {

// "CSV row 3, column 5": a place as a spreadsheet shows it, the header being row 1.
std::string cell_place(size_t row, size_t column) {
  return "CSV row " + std::to_string(row) + ", column " + std::to_string(column);
}

[[noreturn]] void bad_csv(size_t row, size_t column, const std::string& what) {
  throw Failure{kInvalidData, "", cell_place(row, column) + ": " + what};
}

}  // namespace

std::string csv_cell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string csv_line(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t k = 0; k < cells.size(); ++k) {
    if (k) out += ',';
    out += csv_cell(cells[k]);
  }
  return out + '\n';
}

std::vector<std::vector<std::string>> parse_csv(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::vector<std::string>> rows;
  size_t at = 0;
  auto line_end = [&](size_t k) { return text[k] == '\n' || (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n'); };
  while (at < text.size()) {
    std::vector<std::string> row;
    const size_t row_number = rows.size() + 1;
    for (;;) {
      const size_t column = row.size() + 1;
      std::string cell;
      if (at < text.size() && text[at] == '"') {
        for (++at;; ++at) {
          if (at >= text.size()) bad_csv(row_number, column, "the quoted cell is not closed");
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              cell += '"';
              ++at;
              continue;
            }
            ++at;
            break;
          }
          cell += text[at];
        }
        if (at < text.size() && text[at] != ',' && !line_end(at))
          bad_csv(row_number, column, "text after the closing quote of a quoted cell");
      } else {
        for (; at < text.size() && text[at] != ',' && !line_end(at); ++at) {
          if (text[at] == '"') bad_csv(row_number, column, "a quote in a cell that is not quoted");
          cell += text[at];
        }
      }
      row.push_back(std::move(cell));
      if (at < text.size() && text[at] == ',') {
        ++at;
        continue;
      }
      if (at < text.size()) at += text[at] == '\r' ? 2 : 1;  // the line end
      break;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<int32_t> column_field(int generation, int32_t block, std::string_view header) {
  size_t digits = 0;
  while (digits < header.size() && header[digits] >= '0' && header[digits] <= '9') ++digits;
  if (digits == 0 && !header.empty() && (std::isalpha(static_cast<unsigned char>(header[0])) || header[0] == '_')) {
    // A name, looked for among the entries' fields first ("field_455" is field 455).
    try {
      return resolve_field(generation, block, Kind::Block, false, std::string(header));
    } catch (const Failure&) {
      return std::nullopt;
    }
  }
  if (digits == 0 || digits > 9) return std::nullopt;
  const std::string_view rest = header.substr(digits);
  // "455 (rx_frequency)": the name in parentheses is for the reader; the ID decides.
  if (!rest.empty() && !(rest.starts_with(" (") && rest.ends_with(")"))) return std::nullopt;
  return static_cast<int32_t>(std::stol(std::string(header.substr(0, digits))));
}

int32_t default_csv_block(int generation) { return generation == 2 ? 2018 : 38; }

namespace {

// The block a CSV command works on: a block of entries that the codeplug holds.
const EntryRecord& entry_block(const Codeplug& codeplug, int32_t block, const std::string& path) {
  const Block* found = codeplug.find(block);
  if (!found)
    throw Failure{kBlockNotSupported, "", "codeplug '" + path + "' holds no block " + std::to_string(block)};
  if (found->kind() != Kind::Block)
    throw Failure{E_INVALIDARG, "",
                  "block " + std::to_string(block) + " holds " + (found->kind() == Kind::Fields ? "fields" : "lists") +
                      ", not entries: only a block of entries goes into CSV",
                  kExitUsage};
  return std::get<EntryRecord>(found->record);
}

// The columns of a block's entries: every field ID in the order of first appearance. A field
// an entry holds twice has no column of its own, so such a block is refused rather than half
// shown.
std::vector<int32_t> columns_of(const EntryRecord& record, int32_t block) {
  std::vector<int32_t> columns;
  std::set<int32_t> known;
  for (size_t e = 0; e < record.entries.size(); ++e) {
    std::set<int32_t> in_entry;
    for (const Row& row : record.entries[e]) {
      if (!in_entry.insert(row.id).second)
        throw Failure{kInvalidData, "",
                      "block " + std::to_string(block) + " entry " + std::to_string(e) + " holds field " +
                          std::to_string(row.id) + " twice: it has no one column in CSV"};
      if (known.insert(row.id).second) columns.push_back(row.id);
    }
  }
  return columns;
}

const Row* find_row(const Rows& rows, int32_t id) {
  for (const Row& row : rows)
    if (row.id == id) return &row;
  return nullptr;
}

std::string read_text(const std::string& path) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  return read_whole_file(path, "CSV '" + path + "'");
}

}  // namespace

int export_csv(const std::string& path, std::optional<long> block_given) {
  const Codeplug codeplug = read_codeplug_file(path);
  const auto block = static_cast<int32_t>(block_given.value_or(default_csv_block(codeplug.generation)));
  const EntryRecord& record = entry_block(codeplug, block, path);
  const std::vector<int32_t> columns = columns_of(record, block);

  std::vector<std::string> cells;
  for (const int32_t id : columns) cells.push_back(field_label(codeplug.generation, block, id));
  std::string out = csv_line(cells);
  for (const Rows& entry : record.entries) {
    cells.clear();
    // A field this entry does not hold is an empty cell, which an import leaves alone.
    for (const int32_t id : columns) {
      const Row* row = find_row(entry, id);
      cells.push_back(row ? row->text : std::string());
    }
    out += csv_line(cells);
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

int import_csv(const std::string& path, const std::string& csv_path, std::optional<long> block_given) {
  refuse_output_over_input(path, {csv_path});
  const std::vector<std::vector<std::string>> table = parse_csv(read_text(csv_path));
  if (table.empty()) throw Failure{kInvalidData, "", "CSV '" + csv_path + "' has no header row"};

  const FileLock lock(path);
  const Codeplug file = read_codeplug_file(path);
  const auto block = static_cast<int32_t>(block_given.value_or(default_csv_block(file.generation)));
  const size_t before = entry_block(file, block, path).entries.size();

  // The header: one field per column, none twice.
  const std::vector<std::string>& header = table.front();
  std::vector<int32_t> fields;
  std::map<int32_t, size_t> column_of;
  for (size_t c = 0; c < header.size(); ++c) {
    const auto field = column_field(file.generation, block, header[c]);
    if (!field)
      throw Failure{kFieldNotFound, "", cell_place(1, c + 1) + ": " + quoted(header[c]) + " names no field of block " + std::to_string(block) + " (an ID, \"ID (name)\" or a name)"};
    if (const auto [seen, added] = column_of.emplace(*field, c + 1); !added)
      bad_csv(1, c + 1, "field " + std::to_string(*field) + " has column " + std::to_string(seen->second) + " already");
    fields.push_back(*field);
  }
  const size_t wanted = table.size() - 1;
  // A file cut down to its header row is far likelier a mistake than a wish to empty the block:
  // it would delete every entry and rewrite every reference to them.
  if (wanted == 0)
    throw Failure{kInvalidData, "", "CSV '" + csv_path + "' has a header row and no entry rows: import-csv never empties a block"};
  for (size_t r = 1; r < table.size(); ++r)
    if (table[r].size() != header.size())
      throw Failure{kInvalidData, "",
                    "CSV row " + std::to_string(r + 1) + " has " + count_text(table[r].size(), "cell", "cells") +
                        ", the header row " + std::to_string(header.size())};
  // An entry index is a byte: a row past the 256th could not name its entry.
  if (wanted > 256)
    throw Failure{kBadIndex, "", "CSV row " + std::to_string(258) + ": a block holds at most 256 entries"};

  Component object(file.generation);
  load(object, file, path);

  // The block's count first: entries added for the rows beyond it, or the trailing entries
  // without a row deleted (the component rewrites what refers to them).
  size_t count = before;
  for (; count < wanted; ++count) {
    BYTE index = 0;
    object.check(object->AddList(block, &index), "adding an entry for CSV row " + std::to_string(count + 2) +
                                                     " to block " + std::to_string(block));
  }
  for (; count > wanted; --count)
    object.check(object->DeleteList(block, static_cast<BYTE>(count - 1)),
                 "deleting entry " + std::to_string(count - 1) + " of block " + std::to_string(block) +
                     ", which has no CSV row");

  // Then each cell whose value is not the entry's already, in the CSV's order. The attribute
  // stays what the entry's field carries.
  const Block current = read_block(object, block);
  const auto& entries = std::get<EntryRecord>(current.record).entries;
  size_t set = 0;
  for (size_t r = 1; r < table.size(); ++r) {
    const size_t entry = r - 1;
    for (size_t c = 0; c < fields.size(); ++c) {
      const std::string& text = table[r][c];
      const Row* now = entry < entries.size() ? find_row(entries[entry], fields[c]) : nullptr;
      if (now ? same_value(now->text, text) : text.empty()) continue;
      const Row row{fields[c], text, now ? now->attribute : uint8_t{1}};
      const std::string where = cell_place(r + 1, c + 1) + ": block " + std::to_string(block) + " entry " +
                                std::to_string(entry) + " field " + field_label(file.generation, block, fields[c]) +
                                " = " + quoted(text_prefix(text));
      HRESULT hr = S_OK;
      try {
        hr = set_field(object, block, static_cast<int>(entry), std::nullopt, row);
      } catch (const Failure& failure) {
        throw Failure{failure.hr, failure.message, where + ": " + failure.detail};
      }
      object.check(hr, where);
      ++set;
    }
  }

  write_codeplug_file(path, snapshot(object));
  if (!is_standard_output(path)) {
    std::printf("imported %s into block %d of %s: %s set", count_text(wanted, "row", "rows").c_str(), block,
                path.c_str(), count_text(set, "value", "values").c_str());
    if (wanted != before)
      std::printf(", %s %s", count_text(wanted > before ? wanted - before : before - wanted, "entry", "entries").c_str(),
                  wanted > before ? "added" : "deleted");
    std::printf("\n");
  }
  return kExitOk;
}

}  // namespace cpsctl
