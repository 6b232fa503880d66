// How cpsctl shows records to a person: a field row on one line, a block as an indented outline of
// its header, entries, lists and members.
#pragma once

#include "codeplug.h"

#include <cstddef>
#include <string>

namespace cpsctl {

std::string row_text(const Row& row);  // 103  "07.20"  0
std::string block_text(const Block& block);
std::string count_text(size_t n, const char* one, const char* many);  // "1 entry", "3 entries"

}  // namespace cpsctl
