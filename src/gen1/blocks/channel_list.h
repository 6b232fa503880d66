// Blocks 38 and 39, the channel list: the radio's conventional channels. Each channel holds two
// frequencies, channel spacing and deviation, two squelch types with their codes, busy-channel
// lockout, power, talkaround, companding, signalling selections, timers and switches, and an
// alias. Other blocks point at channels by index, so adding and deleting channels carries the
// list limits (field 81 of block 2, and at least one channel of either kind with the trunking
// block) and the rewriting of those references.
//
// Block 38 is the channel image, block 39 the alias image that follows it. The entry is 24 bytes
// under version text "01" and 27 bytes from "02"; packing for a radio of another major version
// converts the entry length, adds the fields the target layout has and the record lacks, and
// converts the alias length.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class ChannelList final : public Cloneable<ChannelList, FramedBlock> {
 public:
  static constexpr int32_t kChannelImage = 38;
  static constexpr int32_t kAliasImage = 39;

  ChannelList();

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;

  void set_block(const BlockRecord& given) override;
  void set_block_from(BlockRecord&& given) override;
  size_t add_list() override;
  void delete_list(size_t index, BlockDirectory& blocks) override;
  void adapt_to_form() override;

  // A channel with every default for this radio (block 3's band, block 2's switches).
  FieldList default_channel() const;

 private:
  // The record in the layout of the radio it is packed for (version pair): entry length and
  // the fields that layout has and the record lacks.
  BlockRecord converted_for_target() const;
  // set_block; `spare` is `given` itself when the caller gives it up, else nullptr.
  void set_channels(const BlockRecord& given, BlockRecord* spare);
};

}  // namespace cps
