// Blocks 36, 37, 741 and 742, the personalities: the second channel list of the radio, the one
// the trunking block points at (a trunking entry names a personality, field 716, and a member
// of it, field 717). Each personality has its own settings (the list header) and exactly twenty
// members (the list's entries), each a frequency pair with spacing, deviation, emphasis and
// companding. A member whose counts hold 65535 is unprogrammed.
//
// Regions: block 37 is the personality image, block 742 the personalities' alias image that
// follows it, block 36 the member image, which needs the personality image first (130).
// Members carry no aliases, so block 741 is an empty region. IDs 37 and 742 serve the
// personality fields (SetFieldAt), 36 and 741 the member fields (SetSubFieldAt).
#pragma once

#include "blocks/block_handler.h"

namespace cps {

class Personalities final : public Cloneable<Personalities> {
 public:
  static constexpr int32_t kPersonalityImage = 37;
  static constexpr int32_t kAliasImage = 742;
  static constexpr int32_t kMemberImage = 36;
  static constexpr int32_t kMemberAliases = 741;
  static constexpr size_t kMembers = 20;

  Personalities();

  RecordKind kind() const override { return RecordKind::Lists; }
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  // One personality with twenty unprogrammed members.
  void build_default() override;

  const ListBlockRecord& lists() const override { return record_; }
  void set_lists(const ListBlockRecord& given) override;
  void set_field(size_t list, const FieldValue& field) override;
  void set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks) override;
  size_t add_list() override;
  void delete_list(size_t index, BlockDirectory& blocks) override;
  size_t add_member(size_t list) override;

 private:
  BlockRecord default_personality(size_t index) const;
  FieldList default_member() const;
  // set_member_field's rules, run on the stored member `entry`.
  void set_member(size_t list, size_t member, FieldList& entry, const FieldValue& field, BlockDirectory& blocks);

  ListBlockRecord record_;
  bool personalities_unpacked_ = false;  // the member image needs the personality image first
};

}  // namespace cps
