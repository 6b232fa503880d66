// cpsctl speaks in names: the component's field catalogue (block and field names, choices,
// range rows and the attribute a fresh record gives) brought to the commands that show and
// change fields, and the commands that list what a codeplug and a block hold.
#pragma once

#include "codeplug.h"

#include "interface/field_catalogue.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cpsctl {

// The attribute as a word: 0 "read-only" (the radio's own facts), 1 "editable", 2 "structural"
// (sizes, counts and values that follow another field); "attribute N" for any other.
std::string attribute_word(uint8_t attribute);

// The catalogue's block of a generation for a block ID; nullptr for one it does not know.
const cps::catalogue::BlockInfo* block_info(int generation, long block);

// Where a field of this kind of record is looked for: a block of fields holds fields, a block
// record entries, a block of lists its lists' settings, or with a member the members.
cps::catalogue::Place place_of(Kind kind, bool member);

// The field ID that FIELD names in a block: an ID as it is (the component judges it), a name
// through the catalogue, at the place where the command reads (else anywhere in the block).
// Throws Failure (Field not found) for a name the block does not have.
int32_t resolve_field(int generation, long block, Kind kind, bool member, const std::string& field);

// The ID that answers a method for a block as the codeplug file shows it: the block itself, or
// where its ID does not take that method, the ID of the same block that does (the members of
// the personalities shown under block 37 are served through block 36).
long served_by(int generation, long block, uint16_t method);

// "455  rx_frequency  "150.000000"  editable" (a field the catalogue does not know: field_455).
std::string named_row_text(const Row& row, const cps::catalogue::FieldInfo* info);
// A block as an outline with names; with `index`, only that entry or list (and `member`, only
// that member), each choice field then followed by a line of its choices.
std::string named_block_text(int generation, const Block& block, std::optional<int> index, std::optional<int> member);

// The codeplug's blocks with names and entry counts.
int list_blocks(const std::string& codeplug);
// A block's fields (BLOCK an ID or a name) with name, place, attribute and range or choices.
int list_fields(const std::string& block, int generation);

}  // namespace cpsctl
