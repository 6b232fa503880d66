// The codeplug file: every block a component object serves, each as its record, in JSON.
//
//   {"generation": 1,
//    "blocks": [{"id": 4, "kind": "block",
//                "record": {"header": [[46, "128", 2], ...], "entries": [[[103, "07.20", 0], ...]]}},
//               {"id": 453, "kind": "fields", "record": [[...], ...]},
//               {"id": 6, "kind": "lists",
//                "record": {"header": [...], "lists": [{"header": [...], "entries": [...]}]}}]}
//
// Field rows are [id, "text", attribute], in the component's order, duplicates kept. Saving an
// object and loading the file into a new one gives back exactly the same records. The records
// are cpsctl's own copies of what crosses the interface; the VARIANTs are decoded and built here.
#pragma once

#include "host.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace cpsctl {

struct Row {
  int32_t id = 0;
  std::string text;  // UTF-8
  uint8_t attribute = 0;
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

// ---- Crossing the interface ---------------------------------------------------------------

// Decodes what GetBlockData answered; `hint` settles the kind of a record with no entries.
Block decode_block(int32_t id, const VARIANT& data, Kind hint);
Row decode_field(const VARIANT& data);            // a 1 x 3 array
void encode_block(const Block& block, VARIANT* out);
void encode_field(const Row& row, VARIANT* out);

// Every block the object serves, one ID per block, in the order a load needs them (the blocks
// others are prepared from first). Throws Failure for a block that cannot be read.
Codeplug snapshot(const Component& object);
Block read_block(const Component& object, int32_t id);
// `field 207 = "150"`, and `; valid range 100 to 6400, step 100` when GetRangeInfo knows one.
std::string field_detail(const Component& object, const Row& row);
// SetBlockData of every block, in the file's order, into `object` (of the file's generation).
// A block whose record the object holds already is left alone. A refused block fails naming the
// block and, when one of its values can be singled out, the entry and field.
void load(Component& object, const Codeplug& codeplug, const std::string& source);

// ---- The file -------------------------------------------------------------------------------

std::string to_json(const Codeplug& codeplug);
// Throws Failure (Invalid data) naming the file and the place in it.
Codeplug from_json(const std::string& text, const std::string& source);
Codeplug read_codeplug_file(const std::string& path);  // 124 when it cannot be opened
void write_codeplug_file(const std::string& path, const Codeplug& codeplug);  // atomically

// ---- Showing and comparing ------------------------------------------------------------------

std::string row_text(const Row& row);  // 103  "07.20"  0
std::string block_text(const Block& block);

// What a comparison leaves out: whole blocks, single fields of a block, and the list headers of
// list blocks whose list headers are derived from their members rather than stored.
struct Ignore {
  std::vector<int32_t> blocks;
  std::vector<std::pair<int32_t, int32_t>> fields;  // block, field
  std::vector<int32_t> list_headers;
  bool block(int32_t id) const;
  bool field(int32_t block, int32_t field) const;
  bool list_header(int32_t block) const;
};
// Every difference between what was meant and what is, one line each ("" when none).
std::vector<std::string> differences(const Codeplug& meant, const Codeplug& actual, const Ignore& ignore);

}  // namespace cpsctl
