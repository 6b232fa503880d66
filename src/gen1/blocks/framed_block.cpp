#include "gen1/blocks/framed_block.h"

#include "gen1/values/alias_table.h"
#include "platform/errors.h"

#include <algorithm>

namespace cps {

namespace {

constexpr int32_t kAliasByte0 = 49;
constexpr int32_t kAliasByte3 = 465;
constexpr int32_t kAliasHeader[] = {kAliasByte0, kAliasLength, kAliasByte3};
constexpr uint8_t kAliasHeaderAttribute = 2;

bool in_alias_header(int32_t id) { return id == kAliasByte0 || id == kAliasLength || id == kAliasByte3; }

}  // namespace

void FramedBlock::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (has_aliases() && id == regions_.aliases) {
    if (!image_unpacked_) raise(err::kUnpackFailure);
    FieldList header;
    for (int32_t field : {kFormatField, kRecordSizeField, kRecordCountField}) header.add(record_.header().get(field));
    replace_aliases(image, length, std::move(header), record_);
    image_unpacked_ = false;  // the mark is used up
    return;
  }
  if (has_aliases() && id != regions_.image) raise(err::kBlockNotSupported);
  BlockRecord record;
  std::vector<std::vector<uint8_t>> raw;
  unpack_frame(*frame_, image, length, base, record, &raw);
  // The alias header stays until the alias image replaces it, so that the record is whole even
  // when a codeplug carries no alias image.
  if (has_aliases())
    for (int32_t field : kAliasHeader)
      if (record_.header().contains(field)) record.add_header_field(record_.get_header_field(field));
  record_ = std::move(record);
  raw_ = std::move(raw);
  image_unpacked_ = has_aliases();
}

std::vector<uint8_t> FramedBlock::pack(int32_t id) {
  if (has_aliases() && id == regions_.aliases) return pack_alias_image(record_, base);
  if (has_aliases() && id != regions_.image) raise(err::kBlockNotSupported);
  return pack_frame(*frame_, record_, base, frame_->keep_unused ? &raw_ : nullptr);
}

FieldList FramedBlock::default_entry() const { return layout::defaults(frame_->rows, base); }

// A count the record holds keeps its attribute.
void FramedBlock::store_count(BlockRecord& record) const {
  const std::string count = decimal_text(static_cast<int64_t>(record.entry_count()));
  if (record.header().contains(kRecordCountField))
    record.header().set_text(kRecordCountField, count);
  else
    record.add_header_field({kRecordCountField, count, count_attribute(*frame_)});
}

void FramedBlock::build_default() {
  BlockRecord record = default_frame(*frame_, base, 0);
  record.add_entry(default_entry());
  store_count(record);
  if (has_aliases()) {
    record.add_header_field({kAliasByte0, "132", kAliasHeaderAttribute});
    record.add_header_field({kAliasLength, decimal_text(regions_.alias_length), kAliasHeaderAttribute});
    record.add_header_field({kAliasByte3, "0", kAliasHeaderAttribute});
  }
  record_ = std::move(record);
  raw_.clear();
  image_unpacked_ = false;
}

void FramedBlock::set_block(const BlockRecord& given) {
  BlockRecord candidate = take_frame(*frame_, given, base);
  if (has_aliases())
    for (int32_t id : kAliasHeader) {
      const FieldValue field = given.get_header_field(id);  // 104 when missing
      check_field(field);
      candidate.add_header_field(field);
    }
  finish_record(candidate, given);
  record_ = std::move(candidate);
}

void FramedBlock::check_field(const FieldValue& field) const {
  if (has_aliases() && in_alias_header(field.id)) {
    const int64_t value = parse_decimal(field.value);
    if (value < 0 || value > 0xFF) raise(err::kInvalidData);  // each is a byte of the alias image
    return;
  }
  layout::check(frame_->rows, field, base);
}

size_t FramedBlock::add_list() {
  if (record_.entry_count() + 1 > max_entries()) raise(err::kAboveMaximum);
  const size_t index = record_.add_entry(default_entry());
  store_count(record_);
  return index;
}

void FramedBlock::check_delete(size_t count, BlockDirectory&) const {
  if (count <= frame_->min_count) raise(err::kBelowMinimum);
}

void FramedBlock::delete_list(size_t index, BlockDirectory& blocks) {
  if (regions_.image == 0) return BlockHandler::delete_list(index, blocks);  // not a list of its own
  const size_t count = record_.entry_count();
  check_delete(count, blocks);
  if (index >= count) raise(err::kBadIndex);
  blocks.references_deleted(regions_.image, index);
  record_.remove_entry(index);
  store_count(record_);
}

void FramedBlock::adapt_entries_to_form() {
  const FieldList fresh = layout::defaults(frame_->rows, base);
  for (size_t i = 0; i < record_.entry_count(); ++i) {
    const FieldList& old = record_.entry(i);
    FieldList entry;
    for (size_t k = 0; k < fresh.count(); ++k) {
      const int32_t id = fresh.id_at(k);
      entry.add(old.contains(id) ? old.get(id) : fresh.at(k));
    }
    record_.entry(i) = std::move(entry);
  }
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
