// The blocks a component object serves, one ID per block handler, with the kind of record each
// usually holds. A snapshot reads them in this order, which is the order a load needs them in.
#pragma once

#include "codeplug.h"

#include <cstdint>
#include <span>

namespace cpsctl {

struct ServedBlock {
  int32_t id;
  Kind kind;  // settles the kind of a record with no entries
};

std::span<const ServedBlock> gen1_blocks();

}  // namespace cpsctl
