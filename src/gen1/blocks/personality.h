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

#include "gen1/blocks/lists_block.h"

namespace cps {

class Personalities final : public Cloneable<Personalities, ListsBlock> {
 public:
  static constexpr int32_t kPersonalityImage = 37;
  static constexpr int32_t kAliasImage = 742;
  static constexpr int32_t kMemberImage = 36;
  static constexpr int32_t kMemberAliases = 741;
  static constexpr size_t kMembers = 20;

  // One personality with twenty unprogrammed members.
  Personalities();

  void set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks) override;
  void set_lists_from(ListBlockRecord&& given) override { take_lists(std::move(given)); }

 protected:
  BlockRecord default_list(size_t index) const override;
  FieldList default_member() const override;
};

}  // namespace cps
