// A block of lists with members, on the lists frame: the lists' settings are list-header fields
// (GetFieldAt, SetFieldAt with the list index), the members are entries of their list
// (GetSubFieldAt, SetSubFieldAt). The base gives every such block its regions, its record, and
// the adding, deleting and setting of lists and members within the frame's limits; a block adds
// its defaults and the rules its table cannot say.
#pragma once

#include "engine/block_handler.h"
#include "gen1/values/lists_frame.h"

namespace cps {

class ListsBlock : public BlockHandler {
 public:
  // The block IDs of the regions (0 where the block has none). The alias region follows the
  // list region; the member region needs the list region first.
  struct Regions {
    int32_t lists = 0;
    int32_t aliases = 0;
    int32_t members = 0;
    int32_t member_aliases = 0;  // an empty region
  };

  ListsBlock(const ListsFrame& frame, Regions regions) : frame_(&frame), regions_(regions) {}

  RecordKind kind() const override { return RecordKind::Lists; }
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  // One list of defaults.
  void build_default() override;

  const ListBlockRecord& lists() const override { return record_; }
  // The header fields (104 when one is missing; 51 within the frame's bounds and equal to the
  // number of lists, 107), every list's settings and members through the tables; where every
  // slot is a member each list has exactly that many, else at most that many (107).
  void set_lists(const ListBlockRecord& given) override;
  // A list setting through its row (check and set rule), or a header field (105 for a bad list).
  void set_field(size_t list, const FieldValue& field) override;
  // A member field through its row (check and set rule).
  void set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks) override;
  // 117 above the frame's maximum; a list of defaults with its first members.
  size_t add_list() override;
  // 117 when the list's slots are full.
  size_t add_member(size_t list) override;
  // 116 below the frame's minimum; the references to the list are rewritten first.
  void delete_list(size_t index, BlockDirectory& blocks) override;
  void delete_member(size_t list, size_t member, BlockDirectory& blocks) override;

  std::vector<size_t> rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks, bool enabled) override;
  void rewrite_moved(int32_t block_id, size_t list, size_t from, size_t to) override;
  std::vector<int32_t> referenced_blocks() const override;

  // A list's settings and a member's rows, and the header a freshly built block carries.
  BlockShape describe() const override {
    const std::unique_ptr<BlockHandler> fresh = clone();
    fresh->build_default();
    return {.entries = frame_->list_rows, .members = frame_->member_rows, .header = fresh->lists().header()};
  }

 protected:
  // set_lists on a record the block may take apart; a block without rules of its own around
  // set_lists gives SetBlockData's record straight to it (set_lists_from).
  void take_lists(ListBlockRecord&& given);
  // A new list (its settings and the members it starts with) at `index`.
  virtual BlockRecord default_list(size_t index) const;
  virtual FieldList default_member() const;
  // How many members a new list starts with.
  virtual size_t first_members() const { return frame_->empty_slot ? 1 : frame_->slots; }
  // The check of a field that is no list setting (a header field, or one the block does not
  // hold): 51 must equal the number of lists (107), any other is 104. A block whose header
  // fields the host may set accepts them here; one it accepts is stored where the record holds
  // it, else 104.
  virtual void check_header_field(const FieldValue& field) const;

  const ListsFrame* frame_;
  Regions regions_;
  ListBlockRecord record_;
  bool lists_unpacked_ = false;  // the member region needs the list region first
};

}  // namespace cps
