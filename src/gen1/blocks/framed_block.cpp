#include "gen1/blocks/framed_block.h"

#include "platform/errors.h"

#include <algorithm>

namespace cps {

void FramedBlock::unpack(int32_t, const uint8_t* image, size_t length) {
  BlockRecord record;
  std::vector<std::vector<uint8_t>> raw;
  unpack_frame(*frame_, image, length, base, record, &raw);
  record_ = std::move(record);
  raw_ = std::move(raw);
}

std::vector<uint8_t> FramedBlock::pack(int32_t) {
  return pack_frame(*frame_, record_, base, frame_->keep_unused ? &raw_ : nullptr);
}

void FramedBlock::build_default() {
  record_ = default_frame(*frame_, base);
  raw_.clear();
}

void FramedBlock::set_block(const BlockRecord& given) {
  BlockRecord candidate = take_frame(*frame_, given, base);
  finish_record(candidate, given);
  record_ = std::move(candidate);
}

void FramedBlock::check_field(const FieldValue& field) const {
  layout::check(frame_->rows, field, base);
}

void FramedBlock::set_field(size_t index, const FieldValue& field) {
  FieldList& entry = record_.entry(index);  // 105 for a bad index
  if (layout::find(frame_->rows, field.id, base) == nullptr) {
    check_field(field);  // a field that is no entry field: the block's own check, then 104
    raise(err::kFieldNotFound);
  }
  const FieldList kept = entry;
  layout::set_field(frame_->rows, entry, field, base);
  try {
    finish_record(record_, record_);
  } catch (...) {
    entry = kept;  // the block's own rules refused it: the record is as it was
    throw;
  }
}

BlockRecord FramedBlock::conformed(BlockRecord record) const {
  const FieldList fresh = layout::defaults(frame_->rows, base);
  for (size_t i = 0; i < record.entry_count(); ++i) {
    FieldList& entry = record.entry(i);
    FieldList taken;
    taken.reserve(fresh.count());
    for (size_t k = 0; k < fresh.count(); ++k) {
      const int32_t id = fresh.id_at(k);
      taken.add(entry.contains(id) ? entry.get(id) : fresh.at(k));
    }
    entry = std::move(taken);
  }
  // A record laid out for a smaller form grows to the size this form needs.
  const std::string needed = default_frame(*frame_, base, 0).header().text(kRecordSizeField);
  if (parse_decimal(record.header().text(kRecordSizeField)) < parse_decimal(needed))
    record.header().set_text(kRecordSizeField, needed);
  return record;
}

std::vector<uint8_t> FramedBlock::pack_conformed() const {
  return pack_frame(*frame_, conformed(record_), base, frame_->keep_unused ? &raw_ : nullptr);
}

std::vector<size_t> FramedBlock::rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks,
                                                 bool enabled) {
  std::vector<size_t> removed;
  for (size_t i = 0; i < record_.entry_count(); ++i) {
    FieldList& entry = record_.entry(i);
    for (const layout::FieldDesc& row : frame_->rows)
      if (row.refers && rewrite_deleted_reference(*row.refers, row.id, entry, block_id, index, blocks, enabled) == Rewrite::Remove) {
        removed.push_back(i);
        break;
      }
  }
  return removed;
}

void FramedBlock::rewrite_moved(int32_t block_id, size_t list, size_t from, size_t to) {
  for (size_t i = 0; i < record_.entry_count(); ++i)
    for (const layout::FieldDesc& row : frame_->rows)
      if (row.refers) rewrite_moved_reference(*row.refers, row.id, record_.entry(i), block_id, list, from, to);
}

void FramedBlock::rewrite_member_deleted(int32_t block_id, size_t list, size_t member, bool enabled) {
  for (size_t i = 0; i < record_.entry_count(); ++i)
    for (const layout::FieldDesc& row : frame_->rows)
      if (row.refers)
        rewrite_deleted_member_reference(*row.refers, row.id, record_.entry(i), block_id, list, member, enabled);
}

std::vector<int32_t> FramedBlock::referenced_blocks() const {
  std::vector<int32_t> blocks;
  for (const layout::FieldDesc& row : frame_->rows)
    if (row.refers)
      for (const RefTarget& target : row.refers->targets)
        if (std::find(blocks.begin(), blocks.end(), target.block) == blocks.end()) blocks.push_back(target.block);
  return blocks;
}

}  // namespace cps
