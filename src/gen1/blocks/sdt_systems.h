// Blocks 761 and 762, the SDT signalling systems of market classes 1 and 2: up to four SDT
// data-signalling systems, each the 30-byte record of an FSD system (the radio's own system and
// unit IDs, pre/post ID, acknowledge and call-alert behaviour, timings and switches) under field
// IDs of its own. Channels name a system through the signalling type "SDT" and an index; a
// channel whose system is deleted keeps the type and takes system 0. Block 761 is the system
// image, block 762 its alias image.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class SdtSystems final : public Cloneable<SdtSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 761;
  static constexpr int32_t kAliasImage = 762;

  SdtSystems();
};

}  // namespace cps
