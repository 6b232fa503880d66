// Blocks 42 and 467, the Duotone II signalling systems: up to four two-tone sequential systems,
// each with a tone-sequence format, the tone frequencies A to D, acknowledge and call-alert
// behaviour, two timings and a set of switches. Channels (fields 415-418 of block 38) and the
// Duotone II call list (field 618 of block 25) name a system by its index, so deleting one
// rewrites them.
//
// Block 42 is the system image, block 467 the alias image that follows it (130 when it comes
// without the system image before it). What is special: tones C and D are range-tested only in
// a system whose format uses them, so an unused tone may hold 0.0; changing the format alone
// does not test them again.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class DuotoneSystems final : public Cloneable<DuotoneSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 42;
  static constexpr int32_t kAliasImage = 467;

  // One system of defaults; alias header 49 = 132, 464 = 16, 465 = 0.
  DuotoneSystems();
};

}  // namespace cps
