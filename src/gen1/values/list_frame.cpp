#include "gen1/values/list_frame.h"

#include "platform/errors.h"

#include <algorithm>
#include <cstring>

namespace cps {

namespace {

constexpr size_t kHeaderLength = 3;

// The bytes the stored rows of this form of the layout reach.
size_t rows_size(layout::Layout rows, const BlockBase& base) {
  size_t size = 0;
  for (const layout::FieldDesc& row : rows)
    if (row.codec != layout::Codec::Virtual && (row.when == nullptr || row.when(base)))
      size = std::max(size, size_t{row.offset} + row.width);
  return size;
}

size_t stride(const ListFrame& frame, size_t record_size) {
  return record_size + (frame.record_checksums ? 1 : 0);
}

// The size a record of this form of the frame takes: fixed, given by the form, or 0 for any
// size the rows fit in.
size_t required_size(const ListFrame& frame, const BlockBase& base) {
  return frame.record_size_for != nullptr ? frame.record_size_for(base) : frame.record_size;
}

void check_size(const ListFrame& frame, int64_t size, const BlockBase& base) {
  const size_t required = required_size(frame, base);
  const bool fits = required != 0
                        ? size == static_cast<int64_t>(required)
                        : size >= static_cast<int64_t>(rows_size(frame.rows, base)) && size <= 255;
  if (!fits) raise(err::kInvalidData);
}

void check_count(const ListFrame& frame, int64_t count) {
  if (count < frame.min_count || count > frame.max_count) raise(err::kInvalidData);
}

}  // namespace

uint8_t count_attribute(const ListFrame& frame) {
  return frame.count_attribute != 0 ? frame.count_attribute : frame.header_attribute;
}

size_t frame_length(const ListFrame& frame, size_t record_size, size_t count) {
  return kHeaderLength + count * stride(frame, record_size) + 1;
}

void check_frame_field(const ListFrame& frame, const FieldValue& field, const BlockBase& base) {
  switch (field.id) {
    case kFormatField:
      return;  // passed through unchanged
    case kRecordSizeField:
      return check_size(frame, parse_decimal(field.value), base);
    case kRecordCountField:
      return check_count(frame, parse_decimal(field.value));
    default:
      raise(err::kFieldNotFound);
  }
}

void unpack_frame(const ListFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                  BlockRecord& out, std::vector<std::vector<uint8_t>>* raw) {
  if (length < kHeaderLength) raise(err::kShortImage);
  const size_t size = image[1], count = image[2];
  const size_t needed = frame_length(frame, size, count);
  if (length < needed) raise(err::kShortImage);
  verify_checksum(image, needed - 1, image[needed - 1]);

  BlockRecord record;
  for (int32_t id : {kFormatField, kRecordSizeField, kRecordCountField}) {
    const uint8_t attribute = id == kRecordCountField ? count_attribute(frame) : frame.header_attribute;
    FieldValue field{id, decimal_text(image[id - kFormatField]), attribute};
    check_frame_field(frame, field, base);
    record.add_header_field(field);
  }
  // The entries' own bytes are kept only for a caller that asks for them.
  std::vector<std::vector<uint8_t>> records;
  if (raw) records.reserve(count);
  const size_t fields = layout::field_count(frame.rows, base);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = image + kHeaderLength + i * stride(frame, size);
    if (frame.record_checksums) verify_checksum(at, size, at[size]);
    const size_t k = record.add_entry();
    layout::unpack(frame.rows, at, size, base, record.entry(k), fields);
    if (raw) records.emplace_back(at, at + size);
  }
  out = std::move(record);
  if (raw) *raw = std::move(records);
}

std::vector<uint8_t> pack_frame(const ListFrame& frame, const BlockRecord& record, const BlockBase& base,
                                const std::vector<std::vector<uint8_t>>* raw) {
  const int64_t size = parse_decimal(record.header().text(kRecordSizeField));
  check_size(frame, size, base);
  const size_t count = record.entry_count();
  if (count > 255) raise(err::kInvalidData);
  const int64_t format = parse_decimal(record.header().text(kFormatField));
  if (format < 0 || format > 255) raise(err::kInvalidData);

  std::vector<uint8_t> image(frame_length(frame, static_cast<size_t>(size), count), 0);
  image[0] = static_cast<uint8_t>(format);
  image[1] = static_cast<uint8_t>(size);
  image[2] = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* at = image.data() + kHeaderLength + i * stride(frame, static_cast<size_t>(size));
    if (raw && i < raw->size()) {
      const auto& kept = (*raw)[i];
      std::memcpy(at, kept.data(), std::min(kept.size(), static_cast<size_t>(size)));
    }
    layout::pack(frame.rows, record.entry(i), base, at, static_cast<size_t>(size));
    if (frame.record_checksums) at[size] = checksum(at, static_cast<size_t>(size));
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

namespace {

// Fields 46, 47 and 48 taken and checked, 48 equal to the number of entries.
BlockRecord take_frame_header(const ListFrame& frame, const BlockRecord& given, const BlockBase& base) {
  BlockRecord record;
  for (int32_t id : {kFormatField, kRecordSizeField, kRecordCountField}) {
    FieldValue field = given.get_header_field(id);
    check_frame_field(frame, field, base);
    record.add_header_field(field);
  }
  if (parse_decimal(record.header().text(kRecordCountField)) != static_cast<int64_t>(given.entry_count()))
    raise(err::kInvalidData);
  return record;
}

}  // namespace

BlockRecord take_frame(const ListFrame& frame, const BlockRecord& given, const BlockBase& base) {
  BlockRecord record = take_frame_header(frame, given, base);
  for (size_t i = 0; i < given.entry_count(); ++i)
    record.add_entry(layout::take(frame.rows, given.entry(i), base));
  return record;
}

BlockRecord take_frame(const ListFrame& frame, BlockRecord&& given, const BlockBase& base) {
  BlockRecord record = take_frame_header(frame, given, base);
  for (size_t i = 0; i < given.entry_count(); ++i)
    record.add_entry(layout::take(frame.rows, std::move(given.entry(i)), base));
  return record;
}

BlockRecord default_frame(const ListFrame& frame, const BlockBase& base, size_t count) {
  BlockRecord record;
  const size_t required = required_size(frame, base);
  const size_t size = required != 0 ? required : rows_size(frame.rows, base);
  record.add_header_field({kFormatField, decimal_text(frame.format), frame.header_attribute});
  record.add_header_field({kRecordSizeField, decimal_text(static_cast<int64_t>(size)), frame.header_attribute});
  record.add_header_field({kRecordCountField, decimal_text(static_cast<int64_t>(count)), count_attribute(frame)});
  for (size_t i = 0; i < count; ++i) record.add_entry(layout::defaults(frame.rows, base));
  return record;
}

}  // namespace cps
