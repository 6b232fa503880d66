// How cpsctl shows records to a person: a field row on one line, a block as an indented outline of
// its header, entries, lists and members.
#pragma once

#include "codeplug.h"

#include <cstddef>
#include <optional>
#include <string>

namespace cpsctl {

std::string row_text(const Row& row);  // 103  "07.20"  0
std::string block_text(const Block& block);
std::string count_text(size_t n, const char* one, const char* many);  // "1 entry", "3 entries"
std::string quoted(const std::string& text);  // a value's text in double quotes, escaped as in JSON
// ", entry 0", ", list 2", ", list 2, member 1": where an index and member point in a block of
// this kind; "" for a block of fields.
std::string index_text(Kind kind, int index, std::optional<int> member);

}  // namespace cpsctl
