// Block 29, the message and status list: eight entries, each giving a number to a message or
// to a status, or left unassigned. The radio has exactly eight, so the list's count is fixed:
// adding and deleting always fail at the limits (117, 116), and a record of any other count is
// refused (107). Moving an entry is the only way to reorder the list.
//
// Nothing points at an entry of this list, so it hands no block along on deletion.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class MessageList final : public Cloneable<MessageList, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 29;

  // Eight unassigned entries numbered 0, format 128.
  MessageList();

  void build_default() override;

 protected:
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
