#include "gen2/values/list_frame.h"

#include "platform/errors.h"

#include <algorithm>
#include <new>

namespace cps::gen2 {

namespace {

struct FramingBits {
  int32_t id;
  uint8_t mask;
};
// The framing fields of header byte 0; bits 5-3 carry nothing.
constexpr FramingBits kByte0[] = {{kBlockFlag, 0xC0}, {kFlag2, 0x04}, {kFlag1, 0x02}, {kFlag0, 0x01}};

// A framing field's value: a decimal number no larger than `largest` (107 otherwise).
uint32_t framing_value(const FieldList& header, int32_t id, int64_t largest) {
  const int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > largest) raise(err::kInvalidData);
  return static_cast<uint32_t>(value);
}

// Flags are cut to their bits on packing, as every bit field is; the size must fit its two
// bytes and the count its one.
int64_t largest_value(int32_t id) {
  switch (id) {
    case kRecordSize: return 0xFFFF;
    case kEntryCount: return 0xFF;
    default: return 0xFFFFFFFF;
  }
}

}  // namespace

Framing unpack_framing(const uint8_t* bytes, size_t length, BlockRecord& record) {
  if (bytes == nullptr || length < kFrameHeaderLength) raise(err::kShortImage);
  Framing framing;
  framing.record_size = read_be(bytes + 1, 2);
  framing.count = bytes[3];
  framing.total = frame_length(framing.record_size, framing.count);
  if (length < framing.total) raise(err::kShortImage);
  verify_checksum(bytes, framing.total - 1, bytes[framing.total - 1]);

  record.clear();
  for (const FramingBits& f : kByte0)
    record.add_header_field({f.id, decimal_text(get_bits(f.mask, bytes[0])), kFramingAttribute});
  record.add_header_field({kRecordSize, decimal_text(static_cast<int64_t>(framing.record_size)), kFramingAttribute});
  record.add_header_field({kEntryCount, decimal_text(static_cast<int64_t>(framing.count)), kFramingAttribute});
  return framing;
}

std::vector<uint8_t> pack_framing(const BlockRecord& record, Framing& framing) {
  const FieldList& header = record.header();
  uint8_t byte0 = 0;
  for (const FramingBits& f : kByte0) set_bits(f.mask, framing_value(header, f.id, largest_value(f.id)), byte0);
  framing.record_size = framing_value(header, kRecordSize, largest_value(kRecordSize));
  framing.count = framing_value(header, kEntryCount, largest_value(kEntryCount));
  framing.total = frame_length(framing.record_size, framing.count);

  std::vector<uint8_t> image;
  try {
    image.assign(framing.total, 0);
  } catch (const std::bad_alloc&) {
    raise(err::kNoStorage);
  }
  image[0] = byte0;
  write_be(static_cast<uint32_t>(framing.record_size), image.data() + 1, 2);
  image[3] = static_cast<uint8_t>(framing.count);
  return image;
}

void seal(std::vector<uint8_t>& image) {
  if (!image.empty()) image.back() = checksum(image.data(), image.size() - 1);
}

void delete_entry(BlockRecord& record, size_t index, size_t minimum) {
  const size_t count = record.entry_count();
  if (count == 0 || count - 1 < minimum) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);
  record.header().text(kEntryCount);  // 104 before anything changes
  record.remove_entry(index);
  record.header().set_text(kEntryCount, decimal_text(static_cast<int64_t>(count - 1)));
}

// ---- FramedList --------------------------------------------------------------------------------

size_t rows_extent(layout::Layout rows) {
  size_t extent = 0;
  for (const layout::FieldDesc& row : rows)
    if (row.codec != layout::Codec::Virtual) extent = std::max(extent, size_t{row.offset} + row.width);
  return extent;
}

FieldList FramedList::fresh_framing() const {
  const size_t size = shape_->record_size != 0 ? shape_->record_size : rows_extent(shape_->rows);
  FieldList header;
  header.add(kBlockFlag, "2", kFramingAttribute);
  header.add(kFlag2, "0", kFramingAttribute);
  header.add(kFlag1, "0", kFramingAttribute);
  header.add(kFlag0, "1", kFramingAttribute);
  header.add(kRecordSize, decimal_text(static_cast<int64_t>(size)), kFramingAttribute);
  header.add(kEntryCount, "0", kFramingAttribute);
  return header;
}

void FramedList::check_framing_field(const FieldValue& field, size_t entries) const {
  const int64_t value = parse_decimal(field.value);
  if (value < 0 || value > largest_value(field.id)) raise(err::kInvalidData);
  if (field.id == kEntryCount &&
      (value < shape_->min_count || value > shape_->max_count || value != static_cast<int64_t>(entries)))
    raise(err::kInvalidData);
}

void FramedList::unpack(const uint8_t* bytes, size_t length) {
  BlockRecord work;
  const Framing framing = unpack_framing(bytes, length, work);
  const size_t fields = layout::field_count(shape_->rows, base);
  for (size_t i = 0; i < framing.count; ++i) {
    const size_t k = work.add_entry();
    layout::unpack(shape_->rows, bytes + kFrameHeaderLength + i * framing.record_size, framing.record_size, base,
                   work.entry(k), fields);
  }
  record_ = std::move(work);
}

std::vector<uint8_t> FramedList::pack() {
  Framing framing;
  std::vector<uint8_t> image = pack_framing(record_, framing);
  if (framing.count != record_.entry_count()) raise(err::kInvalidData);
  for (size_t i = 0; i < framing.count; ++i)
    layout::pack(shape_->rows, record_.entry(i), base, image.data() + kFrameHeaderLength + i * framing.record_size,
                 framing.record_size);
  seal(image);
  return image;
}

void FramedList::set_record(const BlockRecord& given) {
  BlockRecord candidate;
  for (int32_t id : kFramingFields) {
    FieldValue field = given.get_header_field(id);  // 104 when missing
    check_framing_field(field, given.entry_count());
    candidate.add_header_field(field);
  }
  const int64_t size = parse_decimal(candidate.header().text(kRecordSize));
  if (given.entry_count() > 0 && size < static_cast<int64_t>(rows_extent(shape_->rows))) raise(err::kInvalidData);
  for (size_t i = 0; i < given.entry_count(); ++i) {
    FieldList entry = layout::take(shape_->rows, given.entry(i), base);
    check_entry(entry);
    candidate.add_entry(std::move(entry));
  }
  record_ = std::move(candidate);
}

size_t FramedList::add_entry() {
  const size_t count = record_.entry_count();
  const bool fresh = !record_.header().contains(kEntryCount) || (shape_->reframe_when_empty && count == 0);
  if (count + 1 > shape_->max_count) raise(err::kAboveMaximum);
  FieldList entry = default_entry();
  if (fresh) record_.header() = fresh_framing();
  const size_t index = record_.add_entry(std::move(entry));
  record_.header().set_text(kEntryCount, decimal_text(static_cast<int64_t>(index + 1)));
  return index;
}

void FramedList::delete_entry(size_t index) { gen2::delete_entry(record_, index, shape_->min_count); }

void FramedList::set_field(size_t index, const FieldValue& field) {
  if (is_framing_field(field.id)) {
    record_.header().text(field.id);  // 104 when the block has no such field yet
    check_framing_field(field, record_.entry_count());
    if (field.id == kRecordSize && record_.entry_count() > 0 &&
        parse_decimal(field.value) < static_cast<int64_t>(rows_extent(shape_->rows)))
      raise(err::kInvalidData);
    record_.header().set(field);
    return;
  }
  if (index >= record_.entry_count()) raise(err::kBadIndex);
  FieldList entry = record_.entry(index);
  layout::set_field(shape_->rows, entry, field, base);
  check_entry(entry);
  record_.entry(index) = std::move(entry);
}

}  // namespace cps::gen2
