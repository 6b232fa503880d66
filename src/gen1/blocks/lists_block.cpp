#include "gen1/blocks/lists_block.h"

#include "gen1/values/alias_table.h"
#include "platform/errors.h"

#include <algorithm>

namespace cps {

namespace {

void set_count(ListBlockRecord& record) {
  record.header().set_text(kListCountField, decimal_text(static_cast<int64_t>(record.list_count())));
}

template <class Each>
void for_each_reference_row(const ListsFrame& frame, Each&& each) {
  for (layout::Layout rows : {frame.list_rows, frame.member_rows})
    for (const layout::FieldDesc& row : rows)
      if (row.refers) each(row, rows.data() == frame.list_rows.data());
}

}  // namespace

// ---- Regions ----------------------------------------------------------------------------------

void ListsBlock::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id == 0) raise(err::kBlockNotSupported);
  if (id == regions_.lists) {
    unpack_list_region(*frame_, image, length, base, record_);
    lists_unpacked_ = true;
  } else if (id == regions_.members) {
    if (!lists_unpacked_) raise(err::kUnpackFailure);
    lists_unpacked_ = false;  // the mark is used up
    unpack_member_region(*frame_, image, length, base, record_);
    lists_unpacked_ = true;
  } else if (id == regions_.aliases) {
    ListBlockRecord work = record_;
    for (size_t i = 0; i < work.list_count(); ++i) work.list(i).header().set_text(kAliasField, "");
    FieldList header;
    for (int32_t field : lists_header_order(*frame_))
      if (field != kAliasLength && field != 465 && work.header().contains(field)) header.add(work.header().get(field));
    work.header() = header;
    unpack_alias_image(image, length, work);
    FieldList ordered;
    for (int32_t field : lists_header_order(*frame_))
      if (work.header().contains(field)) ordered.add(work.header().get(field));
    work.header() = ordered;
    record_ = std::move(work);
  } else if (id != regions_.member_aliases) {
    raise(err::kBlockNotSupported);
  }
}

std::vector<uint8_t> ListsBlock::pack(int32_t id) {
  if (id == 0) raise(err::kBlockNotSupported);
  if (id == regions_.lists) return pack_list_region(*frame_, record_, base);
  if (id == regions_.members) return pack_member_region(*frame_, record_, base);
  if (id == regions_.aliases) return pack_alias_image(record_, base);
  if (id == regions_.member_aliases) return {};
  raise(err::kBlockNotSupported);
}

void ListsBlock::build_default() {
  ListBlockRecord record;
  record.header() = default_lists_header(*frame_, base);
  record.add_list(default_list(0));
  set_count(record);
  record_ = std::move(record);
  lists_unpacked_ = false;
}

BlockRecord ListsBlock::default_list(size_t) const {
  BlockRecord list;
  list.header() = layout::defaults(frame_->list_rows, base);
  for (size_t j = 0; j < first_members(); ++j) list.add_entry(default_member());
  return list;
}

FieldList ListsBlock::default_member() const { return layout::defaults(frame_->member_rows, base); }

// ---- Setting ----------------------------------------------------------------------------------

void ListsBlock::set_lists(const ListBlockRecord& given) { take_lists(ListBlockRecord(given)); }

// Checked in place: every list's settings and members are taken through the tables (a field
// row in table order moves whole), the header is rebuilt in the frame's order, and only then
// does the record replace the block's.
void ListsBlock::take_lists(ListBlockRecord&& given) {
  FieldList header;
  for (int32_t id : lists_header_order(*frame_)) {
    const FieldValue field = given.header().get(id);  // 104 when missing
    parse_decimal(field.value);
    header.add(field);
  }
  const int64_t count = parse_decimal(header.text(kListCountField));
  if (count != static_cast<int64_t>(given.list_count()) || count < frame_->min_lists || count > frame_->max_lists)
    raise(err::kInvalidData);
  for (size_t i = 0; i < given.list_count(); ++i) {
    BlockRecord& list = given.list(i);
    const size_t members = list.entry_count();
    if (frame_->empty_slot ? members > frame_->slots : members != frame_->slots) raise(err::kInvalidData);
    list.header() = layout::take(frame_->list_rows, std::move(list.header()), base);
    for (size_t j = 0; j < members; ++j)
      list.entry(j) = layout::take(frame_->member_rows, std::move(list.entry(j)), base);
  }
  given.header() = std::move(header);
  record_ = std::move(given);
}

void ListsBlock::check_header_field(const FieldValue& field) const {
  if (field.id != kListCountField) raise(err::kFieldNotFound);
  if (parse_decimal(field.value) != static_cast<int64_t>(record_.list_count())) raise(err::kInvalidData);
}

void ListsBlock::set_field(size_t list, const FieldValue& field) {
  BlockRecord& settings = record_.list(list);  // 105 for a bad list
  if (layout::find(frame_->list_rows, field.id, base) != nullptr) {
    layout::set_field(frame_->list_rows, settings.header(), field, base);
    return;
  }
  check_header_field(field);
  record_.header().set(field);  // 104 for a field the record does not hold
}

void ListsBlock::set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory&) {
  layout::set_field(frame_->member_rows, record_.list(list).entry(member), field, base);  // 105, 104
}

// ---- Lists and members ------------------------------------------------------------------------

size_t ListsBlock::add_list() {
  const size_t count = record_.list_count();
  if (count + 1 > frame_->max_lists) raise(err::kAboveMaximum);
  const size_t index = record_.add_list(default_list(count));
  set_count(record_);
  return index;
}

size_t ListsBlock::add_member(size_t list) {
  BlockRecord& members = record_.list(list);  // 105 for a bad list
  if (members.entry_count() >= frame_->slots) raise(err::kAboveMaximum);
  return members.add_entry(default_member());
}

void ListsBlock::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.list_count();
  if (count == 0 || count - 1 < frame_->min_lists) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);
  blocks.references_deleted(regions_.lists, index);
  record_.remove_list(index);
  set_count(record_);
}

void ListsBlock::delete_member(size_t list, size_t member, BlockDirectory& blocks) {
  BlockRecord& members = record_.list(list);  // 105 for a bad list
  if (member >= members.entry_count()) raise(err::kBadIndex);
  blocks.references_member_deleted(regions_.lists, list, member);
  members.remove_entry(member);
}

// ---- References -------------------------------------------------------------------------------

std::vector<size_t> ListsBlock::rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks, bool enabled) {
  std::vector<size_t> removed;
  for (size_t i = 0; i < record_.list_count(); ++i) {
    BlockRecord& list = record_.list(i);
    bool remove_list = false;
    for_each_reference_row(*frame_, [&](const layout::FieldDesc& row, bool list_row) {
      if (list_row) {
        remove_list = remove_list || rewrite_deleted_reference(*row.refers, row.id, list.header(), block_id, index,
                                                               blocks, enabled) == Rewrite::Remove;
        return;
      }
      // A member whose reference goes is removed from its list, and leaves it as a deleted
      // member does: the blocks that name members by position follow.
      for (size_t j = list.entry_count(); j-- > 0;)
        if (rewrite_deleted_reference(*row.refers, row.id, list.entry(j), block_id, index, blocks, enabled) ==
            Rewrite::Remove) {
          blocks.references_member_deleted(regions_.lists, i, j);
          list.remove_entry(j);
        }
    });
    if (remove_list) removed.push_back(i);
  }
  return removed;
}

void ListsBlock::rewrite_moved(int32_t block_id, size_t list, size_t from, size_t to) {
  for (size_t i = 0; i < record_.list_count(); ++i) {
    BlockRecord& l = record_.list(i);
    for_each_reference_row(*frame_, [&](const layout::FieldDesc& row, bool list_row) {
      if (list_row) {
        rewrite_moved_reference(*row.refers, row.id, l.header(), block_id, list, from, to);
        return;
      }
      for (size_t j = 0; j < l.entry_count(); ++j)
        rewrite_moved_reference(*row.refers, row.id, l.entry(j), block_id, list, from, to);
    });
  }
}

std::vector<int32_t> ListsBlock::referenced_blocks() const {
  std::vector<int32_t> blocks;
  for_each_reference_row(*frame_, [&](const layout::FieldDesc& row, bool) {
    for (const RefTarget& target : row.refers->targets)
      if (std::find(blocks.begin(), blocks.end(), target.block) == blocks.end()) blocks.push_back(target.block);
  });
  return blocks;
}

}  // namespace cps
