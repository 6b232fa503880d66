// The field catalogue: for each generation's blocks, what their fields are called and how they
// are checked, as people need it (cpsctl get, fields, range). It is read from the block tables
// themselves: every handler of the generation's registry is asked for its shape (its layout
// rows and its framing), so a row added to a block's table appears here without more work. A
// block whose handler has no layout rows (a custom block) has no fields here.
#pragma once

#include "engine/block_handler.h"
#include "engine/field_layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cps::catalogue {

// Where a field sits in the block's record.
enum class Place : uint8_t {
  Field,       // a field of a block of fields (453, 454)
  Header,      // the record's header (framing: 46, 47, 48, 2030-2035, ...)
  Entry,       // an entry of a block record
  ListHeader,  // a list's settings in a block of lists
  Member,      // a member of a list
};

// What a value is checked against beyond its codec.
enum class Check : uint8_t {
  None,        // nothing (a text, a structural header field)
  Range,       // the generation's range row of the field ID
  Choices,     // its choice labels
  Band,        // a frequency: the band limits of the radio (block 3 fields 91 and 92)
  Characters,  // an alias: every character one that survives packing
  Custom,      // the row's own codec decides
};

struct FieldInfo {
  int32_t id = 0;
  std::string name;     // the row's snake_case name, or "field_NNN" where it has none
  bool named = false;   // the row has a name of its own
  Place place = Place::Entry;
  layout::Codec codec = layout::Codec::Unsigned;
  bool header = false;  // a framing field no row declares (codec and choices do not apply)
  Check check = Check::None;
  std::vector<std::string> choices;  // labels in table order (every table of a picked row)
  std::optional<RangeRow> range;     // the generation's range row of this ID
  uint8_t attribute = 1;             // what a fresh record gives it
  std::string default_text;          // what a fresh record gives it (a mobile radio)
  bool conditional = false;          // exists only in some forms of the block
};

struct BlockInfo {
  std::vector<int32_t> ids;  // the block's IDs, the first one the codeplug file shows
  std::string name;          // "channel_list"
  RecordKind kind = RecordKind::Block;
  std::vector<FieldInfo> fields;  // fields, header, entries or list settings, members
};

// Every block of a generation's registry (1 or 2; any other has none), built once.
const std::vector<BlockInfo>& blocks(int generation);
// The block that has this ID among its IDs; nullptr when none does.
const BlockInfo* find_block(int generation, int32_t id);
// A field of the block by ID ("455", "field_455") or name ("rx_frequency"); nullptr when none.
// A field at several places (an ID both in a list's settings and its members) is found at its
// first.
const FieldInfo* find_field(const BlockInfo& block, std::string_view id_or_name);
// The same restricted to one place.
const FieldInfo* find_field(const BlockInfo& block, std::string_view id_or_name, Place place);

// "field_455".
std::string unnamed(int32_t id);
// "header", "entry", "list header", "member", "field".
const char* place_name(Place place);
// "unsigned", "choice", "scaled", "text", "bcd", "custom", ...
const char* codec_name(layout::Codec codec);

}  // namespace cps::catalogue
