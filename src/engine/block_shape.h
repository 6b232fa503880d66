// What a block handler's records are made of, as its tables declare them: the rows of a block
// of fields, of an entry (or a list's settings), of a member, and the header fields that no row
// declares (the list framing) as a fresh record carries them. The field catalogue reads it to
// tell people what field 455 of block 38 is; a handler without layout rows has an empty shape.
#pragma once

#include "engine/field_layout.h"
#include "engine/field_values.h"

namespace cps {

struct BlockShape {
  // A block of fields (453, 454): one row per field. In a block of entries or lists whose header
  // has rows of its own (the option board's shape bytes), the header's rows.
  layout::Layout fields{};
  layout::Layout entries{};  // an entry of a block record; a list's settings in a block of lists
  layout::Layout members{};  // a member of a list
  // Header fields of a fresh record that no row declares (46, 47, 48, 51, 2030-2035, ...); in a
  // block of fields, the fields it keeps before its rows.
  FieldList header{};
};

}  // namespace cps
