// Block 26, the DTMF call list: up to thirty DTMF calls, each naming the DTMF signalling system
// that carries it (field 627, an index into block 43), its conventional or trunking mode, an
// eight-digit DTMF string and an eight-character alias held in the record itself. The call
// reference list (block 23) points at a call by index, so deleting a call hands that block along.
//
// What is special: each 17-byte call is followed by its own checksum; field 48 carries attribute
// 1, unlike 46 and 47. A deleted DTMF system turns calls on it to system 0 and lowers the ones
// above it. No field of a call names a channel, so deleting a channel changes nothing here.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class DtmfCalls final : public Cloneable<DtmfCalls, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 26;

  // One call of defaults, format 128.
  DtmfCalls();


 protected:
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
