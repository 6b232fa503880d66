// Comparing two codeplugs, what was meant with what is, block by block, entry by entry and field
// by field, each difference one line that names its place.
#pragma once

#include "codeplug.h"
#include "host.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cpsctl {

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

// Whether two field texts hold the same value: equal texts, or two decimal numbers of the same
// value ("146.52" and "146.520000", "-0" and "0"). Numbers are compared digit by digit, not as
// doubles, so that long digit strings (a serial number in hex digits) stay apart.
bool same_value(std::string_view a, std::string_view b);

// How a difference reads: "wrote "X", the radio has "Y"" after a write; the pre-flight's
// "meant "X", the radio would hold "Y"".
struct Wording {
  const char* meant = "wrote";
  const char* actual = "the radio has";
};

// Every difference of value between what was meant and what is, one line each (none when they
// agree). A field's attribute is not its value and is not compared.
std::vector<std::string> differences(const Codeplug& meant, const Codeplug& actual, const Ignore& ignore,
                                     const Wording& wording = {});

// Whether a block as GetBlockData answered it, of the `kind` its decoding takes, holds exactly
// what `meant` holds apart from what `ignore` leaves out: the same kind, counts and field IDs and
// the very same texts, read where they lie. True means differences() finds nothing in it; false
// means nothing more (two spellings of one number, a VARIANT of another shape): the caller then
// decodes the block and compares it. With `attributes`, every row's attribute is held to the
// same too: true then means that the block decodes to `meant` itself.
bool holds_exactly(const Block& meant, const VARIANT& actual, Kind kind, const Ignore& ignore, bool attributes = false);

}  // namespace cpsctl
