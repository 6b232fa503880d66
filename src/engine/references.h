// References between blocks, declared on the referencing rows. A block points at an entry (or a
// list) of another block by index, sometimes with a type field whose label says which block is
// meant ("Conventional" for a channel, "LS Trunking" for a trunking system). A row that holds
// such an index names what it points at; one generic pass keeps every reference right when the
// referenced block deletes an entry, and when a member it points at moves.
//
// When entry k of the referenced block is deleted: a reference to k becomes the target's reset
// value, or its whole entry (or member) is removed; a reference above k is lowered by one, except
// an index that means "none" where the target says so.
#pragma once

#include "engine/field_values.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace cps {

class BlockDirectory;

enum class OnDeleted : uint8_t {
  Reset,   // the index (and the type, where the target gives one) takes the reset value
  Remove,  // the entry or member holding the reference is removed
};

// A reset value that depends on the codeplug: the (type label, index) a reference takes,
// given the directory of blocks and the reference's current (type label, index).
using ResetRule = std::pair<std::string, std::string> (*)(BlockDirectory& blocks,
                                                          const std::pair<std::string, std::string>& current);

// One block a reference field may point at.
struct RefTarget {
  int32_t block = 0;                // the referenced block, by its first ID (38: the channel list)
  const char* type = nullptr;       // the type field's label that selects this block; nullptr: untyped
  OnDeleted on_deleted = OnDeleted::Reset;
  const char* reset_index = "255";  // what a reference to a deleted entry becomes
  const char* reset_type = nullptr; // the type field's new label, where it changes
  ResetRule reset_rule = nullptr;   // a reset taken from the codeplug instead of the two above
  bool none_stays = false;          // an index of 255 means "none" and is never lowered
  bool always = false;              // rewritten whatever the availability flags say
  int32_t list_field = 0;           // for a reference to a member: the field holding its list index
  // A reference to a member by its position from 1 (0 for none) within whichever list is
  // meant, the list not being held: deleting member m of any list clears a position of m + 1
  // to the reset value and lowers a higher one. List deletions leave it alone.
  bool member_position = false;
};

// What a reference row points at: its type field (0 for none) and the blocks it may name.
struct RefSpec {
  int32_t type_field = 0;
  std::span<const RefTarget> targets;
};

// The target of a reference field for this entry: the one whose type label the entry's type
// field holds (or the untyped one), pointing at `block`; nullptr when the field does not refer
// to that block.
const RefTarget* ref_target(const RefSpec& spec, const FieldList& entry, int32_t block);

// What a rewrite did to one entry.
enum class Rewrite : uint8_t { None, Changed, Remove };

// Rewrites the reference in field `index_field` of `entry` after entry `k` of `block` is
// deleted; Remove when the entry holding it is to go. In a block the availability flags do not
// enable (`enabled` false) only targets kept whatever the flags say are rewritten.
Rewrite rewrite_deleted_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block, size_t k,
                                  BlockDirectory& blocks, bool enabled);

// Rewrites a member-position reference in field `index_field` of `entry` after member `member` of
// list `list` of `block` is deleted (where the target holds a list field, only a reference into
// that list). Only targets with member_position take part.
Rewrite rewrite_deleted_member_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block,
                                         size_t list, size_t member, bool enabled);

// Moves a member reference: where the entry names member `from` of list `list` of `block`, it
// names member `to` instead. True when the entry changed.
bool rewrite_moved_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block, size_t list,
                   size_t from, size_t to);

}  // namespace cps
