// Block 6, the channel group lists: up to sixteen groups, each an ordered list of channel
// references (a type, a 4-bit selector and an index) that the radio offers together. How many
// members a group may hold is the radio's own limit, field 54 of block 2. Other blocks take the
// first member of the first group as the radio's fallback channel.
//
// What is special: the block is one region of its own shape, not the lists frame of the scan
// lists and personalities:
//
//   byte 0   header field 49 (passed through)
//   byte 1   header field 50, always 0
//   byte 2   header field 51, the number of groups (1..16)
//   byte 3   header field 46 (passed through)
//   byte 4   header field 47, the member size, always 2
//   5...     each group: its member count (the group's field 48), then 2 bytes per member
//   last     checksum over everything before it
//
// so its length is found by walking the count bytes. The block has no alias region: a group's
// alias (field 424) lives in the record only and is empty after a read. A new group starts
// empty; a group keeps at least one member once it has one. Members naming a deleted channel or
// trunking system are removed; deleting a member keeps block 8's member position (field 750)
// pointing at the same member.
#pragma once

#include "gen1/blocks/lists_block.h"

namespace cps {

class ChannelGroups final : public Cloneable<ChannelGroups, ListsBlock> {
 public:
  static constexpr int32_t kBlockId = 6;
  static constexpr int32_t kMemberCount = 48;  // of each group
  static constexpr int32_t kMemberType = 425;
  static constexpr int32_t kMemberIndex = 427;

  ChannelGroups();

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  // One group holding the first conventional channel.
  void build_default() override;

  // Header fields 49, 50, 51, 46, 47 (104 when missing, 107 out of their rules); each group's
  // 48 equal to its member count and within the radio's limit (107); every member through its
  // rows.
  void set_lists(const ListBlockRecord& given) override;
  // A group's 48 must equal its member count (107); header fields as in set_lists.
  void set_field(size_t list, const FieldValue& field) override;
  // 117 beyond the radio's member limit.
  size_t add_member(size_t list) override;
  // 116 for a group's last member; block 8's member position is kept right first.
  void delete_member(size_t list, size_t member, BlockDirectory& blocks) override;
  // Members naming a deleted channel or trunking system go; the groups' counts follow.
  std::vector<size_t> rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks, bool enabled) override;

 protected:
  size_t first_members() const override { return 0; }
  void check_header_field(const FieldValue& field) const override;

 private:
  // The header field's own rule (104 for a field that is none); 51 is held to 1..16 only.
  void check_header_value(const FieldValue& field) const;
};

}  // namespace cps
