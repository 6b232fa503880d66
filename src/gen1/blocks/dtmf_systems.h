// Blocks 43 and 657, the DTMF signalling systems: up to four systems, each with its pre/post
// transmit-ID choice, acknowledge and call-alert behaviour, two eight-digit DTMF strings, tone
// timing and level values, a side-tone choice with its digit, and an alias. Channels (fields
// 417 and 418 of block 38, typed "DTMF" by 416 and 415) and the DTMF call list (field 627 of
// block 26) point at a system by index, so deleting one rewrites them.
//
// Block 43 is the system image, block 657 the alias image that follows it; the alias image
// needs the system image first (130). A system is 22 bytes; the list header's field 48 carries
// attribute 1, unlike 46 and 47.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class DtmfSystems final : public Cloneable<DtmfSystems, FramedBlock> {
 public:
  static constexpr int32_t kSystemImage = 43;
  static constexpr int32_t kAliasImage = 657;

  // One system of defaults, format 128, alias header 132 / 16 / 0.
  DtmfSystems();


 protected:
  // Header fields 46, 47 and 48 by the frame's rules, the alias header as bytes.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
