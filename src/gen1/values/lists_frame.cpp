#include "gen1/values/lists_frame.h"

#include "gen1/values/alias_table.h"
#include "platform/errors.h"

#include <algorithm>

namespace cps {

namespace {

constexpr size_t kListHeader = 3;
constexpr size_t kMemberHeader = 6;
constexpr int32_t kAliasHeader3 = 465;
constexpr uint8_t kHeaderAttribute = 2;

size_t list_stride(const ListsFrame& frame) { return frame.list_size + (frame.list_checksums ? 1 : 0); }
size_t slots_size(const ListsFrame& frame) { return size_t{frame.slots} * frame.member_size; }
size_t slots_stride(const ListsFrame& frame) { return slots_size(frame) + (frame.slot_checksums ? 1 : 0); }

uint8_t header_byte(const FieldList& header, int32_t id) {
  const int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > 0xFF) raise(err::kInvalidData);
  return static_cast<uint8_t>(value);
}

// The header fields in their order; fields the record lacks are skipped.
FieldList ordered(const ListsFrame& frame, const FieldList& header) {
  FieldList out;
  for (int32_t id : lists_header_order(frame))
    if (header.contains(id)) out.add(header.get(id));
  return out;
}

}  // namespace

std::vector<int32_t> lists_header_order(const ListsFrame& frame) {
  return {kFormatField, kListCountField, kMemberFormatField, frame.member_header_field, kAliasLength, kAliasHeader3};
}

void unpack_list_region(const ListsFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                        ListBlockRecord& record) {
  if (image == nullptr || length < kListHeader || image[1] != frame.list_size) raise(err::kShortImage);
  const size_t count = image[2];
  const size_t size = kListHeader + count * list_stride(frame) + 1;
  if (length < size) raise(err::kShortImage);
  verify_checksum(image, size - 1, image[size - 1]);
  if (count < frame.min_lists || count > frame.max_lists) raise(err::kInvalidData);

  ListBlockRecord work;
  work.header().add(kFormatField, decimal_text(image[0]), kHeaderAttribute);
  work.header().add(kListCountField, decimal_text(static_cast<int64_t>(count)), 1);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = image + kListHeader + i * list_stride(frame);
    if (frame.list_checksums) verify_checksum(at, frame.list_size, at[frame.list_size]);
    BlockRecord list;
    layout::unpack(frame.list_rows, at, frame.list_size, base, list.header());
    work.add_list(std::move(list));
  }
  // The member and alias headers stay until their regions replace them.
  for (int32_t id : {kMemberFormatField, frame.member_header_field, kAliasLength, kAliasHeader3})
    if (record.header().contains(id)) work.header().add(record.header().get(id));
  work.header() = ordered(frame, work.header());
  record = std::move(work);
}

void unpack_member_region(const ListsFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                          ListBlockRecord& record) {
  if (image == nullptr || length < kMemberHeader) raise(err::kShortImage);
  if (frame.member_size_in_header &&
      (image[1] != slots_size(frame) || image[4] != frame.member_size || image[5] != frame.slots))
    raise(err::kShortImage);
  const size_t count = image[2];
  if (count != record.list_count()) raise(err::kInvalidData);
  const size_t size = kMemberHeader + count * slots_stride(frame) + 1;
  if (length < size) raise(err::kShortImage);
  verify_checksum(image, size - 1, image[size - 1]);

  ListBlockRecord work = record;
  work.header().put({kMemberFormatField, decimal_text(image[0]), kHeaderAttribute});
  work.header().put({frame.member_header_field, decimal_text(image[3]), kHeaderAttribute});
  work.header() = ordered(frame, work.header());
  const size_t member_fields = layout::field_count(frame.member_rows, base);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* slots = image + kMemberHeader + i * slots_stride(frame);
    BlockRecord& list = work.list(i);
    list.clear_entries();
    for (size_t j = 0; j < frame.slots; ++j) {
      const uint8_t* slot = slots + j * frame.member_size;
      if (frame.empty_slot && frame.empty_slot(slot)) continue;
      const size_t k = list.add_entry();
      layout::unpack(frame.member_rows, slot, frame.member_size, base, list.entry(k), member_fields);
    }
    if (frame.slot_checksums) verify_checksum(slots, slots_size(frame), slots[slots_size(frame)]);
  }
  record = std::move(work);
}

std::vector<uint8_t> pack_list_region(const ListsFrame& frame, const ListBlockRecord& record, const BlockBase& base) {
  const size_t count = record.list_count();
  if (count > 0xFF) raise(err::kInvalidData);
  std::vector<uint8_t> image(kListHeader + count * list_stride(frame) + 1, 0);
  image[0] = header_byte(record.header(), kFormatField);
  image[1] = frame.list_size;
  image[2] = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* at = image.data() + kListHeader + i * list_stride(frame);
    layout::pack(frame.list_rows, record.list(i).header(), base, at, frame.list_size);
    if (frame.list_checksums) at[frame.list_size] = checksum(at, frame.list_size);
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

std::vector<uint8_t> pack_member_region(const ListsFrame& frame, const ListBlockRecord& record,
                                        const BlockBase& base) {
  const size_t count = record.list_count();
  if (count > 0xFF) raise(err::kInvalidData);
  std::vector<uint8_t> image(kMemberHeader + count * slots_stride(frame) + 1, 0);
  image[0] = header_byte(record.header(), kMemberFormatField);
  image[1] = static_cast<uint8_t>(slots_size(frame));
  image[2] = static_cast<uint8_t>(count);
  image[3] = header_byte(record.header(), frame.member_header_field);
  image[4] = frame.member_size_in_header ? frame.member_size : 0;
  image[5] = frame.slots;
  for (size_t i = 0; i < count; ++i) {
    const BlockRecord& list = record.list(i);
    const size_t members = list.entry_count();
    if (frame.empty_slot ? members > frame.slots : members != frame.slots) raise(err::kInvalidData);
    uint8_t* slots = image.data() + kMemberHeader + i * slots_stride(frame);
    for (size_t j = 0; j < members; ++j)
      layout::pack(frame.member_rows, list.entry(j), base, slots + j * frame.member_size, frame.member_size);
    if (frame.slot_checksums) slots[slots_size(frame)] = checksum(slots, slots_size(frame));
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

FieldList default_lists_header(const ListsFrame& frame, const BlockBase& base) {
  FieldList header;
  header.add(kFormatField, decimal_text(frame.format), kHeaderAttribute);
  header.add(kListCountField, "0", 1);
  header.add(kMemberFormatField, decimal_text(frame.format), kHeaderAttribute);
  header.add(frame.member_header_field, "0", kHeaderAttribute);
  header.add(kAliasLength, base.version > "01" ? "8" : "14", kHeaderAttribute);
  header.add(kAliasHeader3, "0", kHeaderAttribute);
  return header;
}

}  // namespace cps
