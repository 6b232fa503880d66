// Comparing two codeplugs, what was meant with what is, block by block, entry by entry and field
// by field, each difference one line that names its place.
#pragma once

#include "codeplug.h"

#include <cstdint>
#include <string>
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

// Every difference between what was meant and what is, one line each (none when they agree).
std::vector<std::string> differences(const Codeplug& meant, const Codeplug& actual, const Ignore& ignore);

}  // namespace cpsctl
