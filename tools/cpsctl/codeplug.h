// cpsctl's own copies of the records that cross the interface: field rows, a block's header and
// entries, a list block's lists, and a codeplug as the blocks one object serves. The rest of
// cpsctl reads, shows, compares and saves these; variant_records.h turns them into VARIANTs and
// back.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace cpsctl {

struct Row {
  Row() = default;
  Row(int32_t field, std::string&& utf8, uint8_t attr) : id(field), attribute(attr), text(std::move(utf8)) {}
  Row(int32_t field, const std::string& utf8, uint8_t attr) : id(field), attribute(attr), text(utf8) {}

  int32_t id = 0;
  uint8_t attribute = 0;  // beside the ID, in what would be padding: 40 bytes a row, not 48
  std::string text;       // UTF-8
  bool operator==(const Row&) const = default;
};
using Rows = std::vector<Row>;

// A block's header and entries; a list block's list is one too (its entries are the members).
struct EntryRecord {
  Rows header;
  std::vector<Rows> entries;
  bool operator==(const EntryRecord&) const = default;
};

struct ListRecord {
  Rows header;
  std::vector<EntryRecord> lists;
  bool operator==(const ListRecord&) const = default;
};

enum class Kind { Fields, Block, Lists };
const char* kind_name(Kind kind);  // "fields", "block", "lists"

struct Block {
  int32_t id = 0;
  std::variant<Rows, EntryRecord, ListRecord> record;
  Kind kind() const { return static_cast<Kind>(record.index()); }
  bool operator==(const Block&) const = default;
};

struct Codeplug {
  int generation = 1;
  std::vector<Block> blocks;
  const Block* find(int32_t id) const;
};

}  // namespace cpsctl
