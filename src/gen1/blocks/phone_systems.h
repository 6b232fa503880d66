// Blocks 11 and 658, the phone systems: up to four telephone-interconnect systems, each with two
// eight-digit DTMF access strings, its dialling and access behaviour (buffered or live dial,
// automatic or manual access, timed or continuous), DTMF timing values and, for trunked use, an
// LS trunking system (field 601, typed by 600). Channels (field 419 of block 38) and trunking
// systems (field 723 of block 32) name a phone system by index, so deleting one rewrites them.
//
// Block 11 is the system image (24-byte records), block 658 the alias image that follows it and
// can only be read after it (130). What is special: the trunking fields 599, 600 and 601 may be
// set one by one only on a radio that allows LS trunking (block 2 field 61), else 104; a
// deleted trunking system leaves the phone systems on it "Unassigned" with no system (255).
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class PhoneSystems final : public Cloneable<PhoneSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 11;
  static constexpr int32_t kAliasImage = 658;

  // One system of defaults, format 128, alias header 132 / 16 / 0.
  PhoneSystems();
};

}  // namespace cps
