#include "gen2/blocks/raw_blocks.h"

#include "platform/errors.h"

#include <algorithm>

namespace cps::gen2 {

namespace {

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

void check_hex_digits(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  if (text.size() % 2 != 0 || !std::all_of(text.begin(), text.end(), is_hex_digit)) raise(err::kInvalidData);
}

size_t byte_count(std::string_view text) { return (text.size() + 1) / 2; }

// Every block's raw row is its last; the bytes before it are the named fields'.
constexpr bool raw_row_last(const RawShape& shape) {
  const layout::Layout rows = shape.list.rows;
  if (rows.empty() || rows.back().id != shape.raw_field || rows.back().codec != layout::Codec::Virtual) return false;
  for (size_t i = 0; i + 1 < rows.size(); ++i)
    if (rows[i].codec == layout::Codec::Virtual) return false;
  return true;
}

// One raw row each, and the list limits and fresh record size of the table in the header.
constexpr layout::FieldDesc k2004Rows[] = {raw_row(2071, "block_bytes")};
constexpr layout::FieldDesc k2005Rows[] = {raw_row(2229, "block_bytes")};
constexpr layout::FieldDesc k2022Rows[] = {raw_row(2694, "block_bytes")};
constexpr layout::FieldDesc k2024Rows[] = {raw_row(2696, "io_bytes")};
constexpr layout::FieldDesc k2026Rows[] = {raw_row(2832, "settings_bytes")};

constexpr RawShape k2004{.list = {.rows = k2004Rows, .min_count = 1, .max_count = 255, .record_size = 16},
                         .raw_field = 2071, .add = AddRule::Nothing};
constexpr RawShape k2005{.list = {.rows = k2005Rows, .min_count = 0, .max_count = 255, .record_size = 16},
                         .raw_field = 2229, .add = AddRule::Nothing, .remove = DeleteRule::Nothing};
constexpr RawShape k2022{.list = {.rows = k2022Rows, .min_count = 0, .max_count = 255, .record_size = 16},
                         .raw_field = 2694, .add = AddRule::Nothing, .remove = DeleteRule::Nothing};
constexpr RawShape k2024{.list = {.rows = k2024Rows, .min_count = 1, .max_count = 1, .record_size = 16},
                         .raw_field = 2696};
constexpr RawShape k2026{.list = {.rows = k2026Rows, .min_count = 1, .max_count = 1, .record_size = 32},
                         .raw_field = 2832};
static_assert(raw_row_last(k2004) && raw_row_last(k2005) && raw_row_last(k2022) && raw_row_last(k2024) &&
              raw_row_last(k2026));

}  // namespace

const layout::CustomCodec kHexDigits{nullptr, nullptr, check_hex_digits};

std::string hex_text(const uint8_t* bytes, size_t length) {
  std::string text(2 * length, '0');
  for (size_t i = 0; i < length; ++i) {
    text[2 * i] = hex_digit(bytes[i] >> 4);
    text[2 * i + 1] = hex_digit(bytes[i] & 0x0F);
  }
  return text;
}

std::vector<uint8_t> hex_bytes(std::string_view text) {
  std::vector<uint8_t> bytes(byte_count(text), 0);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t nibble = hex_digit_value(text[i]);
    bytes[i / 2] = static_cast<uint8_t>(bytes[i / 2] | (i % 2 == 0 ? nibble << 4 : nibble));
  }
  return bytes;
}

// ---- RawList -----------------------------------------------------------------------------------

size_t RawList::record_size() const {
  if (record_.header().contains(kRecordSize)) {
    const int64_t size = parse_decimal(record_.header().text(kRecordSize));
    if (size < 0 || size > 0xFFFF) raise(err::kInvalidData);
    return static_cast<size_t>(size);
  }
  return shape().record_size != 0 ? shape().record_size : rows_extent(shape().rows);
}

size_t RawList::raw_room(size_t size) const {
  const size_t extent = rows_extent(shape().rows);
  return size > extent ? size - extent : 0;
}

void RawList::check_raw(std::string_view text, size_t room) const {
  if (!raw_->checked) return;
  check_hex_digits(text, shape().rows.back(), base);
  if (byte_count(text) > room) raise(err::kInvalidData);
}

void RawList::unpack(const uint8_t* bytes, size_t length) {
  FramedList::unpack(bytes, length);  // the frame is good and every entry lies inside the image
  const size_t size = read_be(bytes + 1, 2);
  const size_t extent = rows_extent(shape().rows);
  const size_t room = raw_room(size);
  for (size_t i = 0; i < record_.entry_count(); ++i)
    record_.entry(i).set_text(raw_->raw_field, hex_text(bytes + kFrameHeaderLength + i * size + extent, room));
}

std::vector<uint8_t> RawList::pack() {
  std::vector<uint8_t> image = FramedList::pack();  // the entries fit the image
  const size_t size = read_be(image.data() + 1, 2);
  const size_t extent = rows_extent(shape().rows);
  const size_t room = raw_room(size);
  for (size_t i = 0; i < record_.entry_count(); ++i) {
    const std::vector<uint8_t> raw = hex_bytes(record_.entry(i).text(raw_->raw_field));
    if (raw.size() > room) raise(err::kInvalidData);
    std::copy(raw.begin(), raw.end(), image.begin() + static_cast<ptrdiff_t>(kFrameHeaderLength + i * size + extent));
  }
  seal(image);
  return image;
}

void RawList::set_record(const BlockRecord& given) {
  if (raw_->checked) {
    const int64_t size = parse_decimal(given.header().text(kRecordSize));  // 104, 107
    if (size < 0 || size > 0xFFFF) raise(err::kInvalidData);
    for (size_t i = 0; i < given.entry_count(); ++i)
      if (given.entry(i).contains(raw_->raw_field))
        check_raw(given.entry(i).text(raw_->raw_field), raw_room(static_cast<size_t>(size)));
  }
  FramedList::set_record(given);
}

size_t RawList::add_entry() {
  switch (raw_->add) {
    case AddRule::Nothing: return 0;
    case AddRule::Refuse: raise(err::kAboveMaximum);
    case AddRule::Append: break;
  }
  return FramedList::add_entry();
}

void RawList::delete_entry(size_t index) {
  if (raw_->remove == DeleteRule::Remove) FramedList::delete_entry(index);
}

void RawList::set_field(size_t index, const FieldValue& field) {
  if (field.id == raw_->raw_field) {
    if (index >= record_.entry_count()) raise(err::kBadIndex);
    check_raw(field.value, raw_room(record_size()));
  }
  FramedList::set_field(index, field);
}

FieldList RawList::default_entry() const {
  FieldList entry = FramedList::default_entry();
  entry.set_text(raw_->raw_field, std::string(2 * raw_room(record_size()), '0'));
  return entry;
}

DataBlock2004::DataBlock2004() : RawList(k2004) {}
DataBlock2005::DataBlock2005() : RawList(k2005) {}
DataBlock2022::DataBlock2022() : RawList(k2022) {}
BoardIoBlock::BoardIoBlock() : RawList(k2024) {}
RadioWideBlock::RadioWideBlock() : RawList(k2026) {}

}  // namespace cps::gen2
