// Block 24, the FSD call list: up to 190 FSD calls a user can place. Each names the FSD system
// that carries it (field 604, an index into block 41) and, when its mode (610) is "LS
// Trunking", the trunking system it goes out on (605, an index into block 32, 255 for none);
// then the call type, a four-digit hexadecimal target ID, an alert style, a silent choice and an
// eight-character alias held in the record itself. The call reference list (block 23) points
// at a call by index, so deleting a call hands that block along.
//
// What is special: each 16-byte call is followed by its own checksum. The target ID takes any
// hexadecimal digit but is never set to "0000" (a radio's image may hold it). A deleted FSD
// system moves the calls on it to system 0; a deleted trunking system leaves the calls on it
// with no trunking system (255). No field of a call names a channel, so deleting a channel
// changes nothing here.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class FsdCalls final : public Cloneable<FsdCalls, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 24;
  static constexpr int32_t kTargetId = 611;

  // One call of defaults, format 128.
  FsdCalls();

  // As the frame takes it; no call set here holds the target ID "0000".
  void set_block(const BlockRecord& given) override;

 protected:
  // The last call cannot be deleted (116), though a list may hold none.
  void check_delete(size_t count, BlockDirectory& blocks) const override;
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
