// Block 25, the Duotone II call list: up to thirty two-tone sequential calls the radio can send.
// Each names the Duotone II signalling system that carries it (field 618, an index into block
// 42), two-tone or long-tone, conventional or trunking, the two tone frequencies and an alias
// of eight characters in its own record. Each record carries its own checksum.
//
// What is special: the second tone is range-tested only in a two-tone call, so a long-tone call
// may hold 0.0 there. The call reference list (block 23) names calls by index, so deleting a
// call hands it along; deleting a Duotone II system rewrites field 618.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class DuotoneCalls final : public Cloneable<DuotoneCalls, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 25;

  DuotoneCalls();

};

}  // namespace cps
