// The blocks a component object serves, one ID per block handler, with the kind of record each
// usually holds and its name, taken from the component's block registry. A snapshot reads them
// in this order, which is the order a load needs them in.
#pragma once

#include "codeplug.h"

#include <cstdint>
#include <span>

namespace cpsctl {

struct ServedBlock {
  int32_t id;
  Kind kind;         // settles the kind of a record with no entries
  const char* name;  // "channel_list"
};

std::span<const ServedBlock> gen1_blocks();

}  // namespace cpsctl
