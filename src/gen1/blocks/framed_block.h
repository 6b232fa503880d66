// A block that is one list frame: header fields 46, 47, 48 and entries laid out by one table.
// Most first-generation blocks are this shape; a block derives from it and adds only its own
// rules (extra header fields, cross-field checks, references rewritten on deletion).
//
// A list whose entries carry aliases (field 424) has a second region, its alias image (header
// 49, 464, 465, then the aliases), read only after the block's own image in the same pass (130
// otherwise: the own image marks the block as unpacked and reading the aliases uses the mark
// up). Its record holds the alias header beside 46, 47 and 48.
#pragma once

#include "engine/block_handler.h"
#include "gen1/values/list_frame.h"

namespace cps {

class FramedBlock : public BlockHandler {
 public:
  // The block IDs of the block's own image and of its alias image (0: none).
  struct Regions {
    int32_t image = 0;
    int32_t aliases = 0;
    uint8_t alias_length = 16;  // field 464 of a freshly built block
  };

  explicit FramedBlock(const ListFrame& frame) : frame_(&frame) {}
  FramedBlock(const ListFrame& frame, Regions regions) : frame_(&frame), regions_(regions) {}

  RecordKind kind() const override { return RecordKind::Block; }
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;

  const BlockRecord& block() const override { return record_; }
  // Takes the host's record through the frame (header 46, 47, 48; every entry field checked;
  // with an alias image also 49, 464 and 465, 104 when missing, 107 when not a byte value), lets
  // the block add its own rules, then stores it.
  void set_block(const BlockRecord& given) override;
  // An entry of defaults; 117 above max_entries().
  size_t add_list() override;
  // 116 when check_delete refuses, 105 for a bad index; every reference to the entry is
  // rewritten first (the partners' declared references), then it goes.
  void delete_list(size_t index, BlockDirectory& blocks) override;
  // Checks the value, then sets it in entry `index` (105 for a bad index, 104 when the entry
  // lacks the field), in place.
  void set_field(size_t index, const FieldValue& field) override;

  // The references the frame's rows declare, rewritten entry by entry.
  std::vector<size_t> rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks, bool enabled) override;
  void rewrite_moved(int32_t block_id, size_t list, size_t from, size_t to) override;
  void rewrite_member_deleted(int32_t block_id, size_t list, size_t member, bool enabled) override;
  std::vector<int32_t> referenced_blocks() const override;

  // The frame's entry rows, and the header a freshly built block carries (46, 47, 48, and the
  // alias header where the block has an alias image).
  BlockShape describe() const override {
    const std::unique_ptr<BlockHandler> fresh = clone();
    fresh->build_default();
    return {.entries = frame_->rows, .header = fresh->block().header()};
  }

  const ListFrame& frame() const { return *frame_; }

 protected:
  // Extra rules of a block, checked on a candidate record before it is stored (they throw and
  // change nothing). set_field runs them on the stored record with the new value in place, and
  // puts the old value back when they refuse it.
  virtual void finish_record(const BlockRecord& /*candidate*/, const BlockRecord& /*given*/) const {}
  // A header field of the alias image is a byte (107); anything else is the rows' to check.
  virtual void check_field(const FieldValue& field) const;
  // What add_list and build_default put in a new entry.
  virtual FieldList default_entry() const;
  virtual size_t max_entries() const { return frame_->max_count; }
  // Refuses a deletion (116) that would leave fewer entries than the frame's minimum.
  virtual void check_delete(size_t count, BlockDirectory& blocks) const;
  // Field 48 set to the number of entries, with the frame's attribute.
  void store_count(BlockRecord& record) const;
  // Every entry laid out for the block's current form: rows it keeps keep their values, rows the
  // form adds get their defaults, rows it drops go.
  void adapt_entries_to_form();
  bool has_aliases() const { return regions_.aliases != 0; }
  // The record in the block's current form (mobile flag, version text, market class): every
  // entry holds the form's fields in table order, with the values it had where it had them and
  // the defaults where not; fields the form does not have are dropped, and a record size smaller
  // than the form needs grows to it. For single-record blocks whose fields come and go with the
  // form.
  BlockRecord conformed(BlockRecord record) const;
  // Packs the record as conformed gives it, leaving the record as it is: a block written into a
  // radio of another version keeps the content the host sees.
  std::vector<uint8_t> pack_conformed() const;

  const ListFrame* frame_;
  Regions regions_;
  bool image_unpacked_ = false;  // the alias image may follow
  BlockRecord record_;
  // Each record's bytes as last unpacked, so that bytes without a field survive a pack where
  // the frame keeps them (single-record blocks whose unused bytes belong to the radio).
  std::vector<std::vector<uint8_t>> raw_;
};

}  // namespace cps
