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
// The second generation's: the radio information block 2003 first (a load hands its version to
// every other block), the directory blocks 2002, 2027 and 2028, then every data block that has a
// handler in the read order. Blocks without a handler are not served: the component carries
// them only as the radio's bytes.
std::span<const ServedBlock> gen2_blocks();
// Those of a generation.
std::span<const ServedBlock> served_blocks(int generation);

}  // namespace cpsctl
