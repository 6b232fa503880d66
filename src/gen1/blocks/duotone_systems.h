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

  DuotoneSystems();

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;

  // The frame's record with the alias header (49, 464, 465) taken as the host sends it.
  void set_block(const BlockRecord& given) override;
  size_t add_list() override;
  void delete_list(size_t index, BlockDirectory& blocks) override;

 private:
  bool unpacked_ = false;  // the system image was read; the alias image uses the mark up
};

}  // namespace cps
