#include "block_text.h"

#include <nlohmann/json.hpp>

namespace cpsctl {

std::string quoted(const std::string& text) { return nlohmann::json(text).dump(); }

std::string row_text(const Row& row) {
  return std::to_string(row.id) + "  " + quoted(row.text) + "  " + std::to_string(row.attribute);
}

std::string count_text(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string index_text(Kind kind, int index, std::optional<int> member) {
  if (member) return ", list " + std::to_string(index) + ", member " + std::to_string(*member);
  if (kind == Kind::Block) return ", entry " + std::to_string(index);
  if (kind == Kind::Lists) return ", list " + std::to_string(index);
  return {};
}

namespace {

void rows_text(const Rows& rows, int indent, std::string& out) {
  for (const Row& row : rows) out += std::string(static_cast<size_t>(indent), ' ') + row_text(row) + "\n";
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

}  // namespace cpsctl
