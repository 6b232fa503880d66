#include "gen2/blocks/directory.h"

#include "engine/field_layout.h"
#include "gen2/values/list_frame.h"
#include "platform/errors.h"

#include <array>

namespace cps::gen2 {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr uint8_t kAttribute = 2;

constexpr FieldDesc bits(int32_t id, uint16_t offset, uint8_t mask) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Cut, .attribute = kAttribute};
}
constexpr FieldDesc word(int32_t id, uint16_t offset) {
  return {.id = id, .offset = offset, .width = 2, .codec = Codec::Cut, .attribute = kAttribute};
}

constexpr FieldDesc kHeaderRows[] = {
    bits(2040, 0, 0xF0), bits(2041, 0, 0x08), bits(2042, 0, 0x04), bits(2043, 0, 0x02), bits(2044, 0, 0x01),
    bits(2045, 1, 0xFF),
    word(2046, 2),  // total length, counted from address 643
    word(2047, 4),  // address of the presence table
    word(2048, 6),  // address of the address table
};
static_assert(layout::layout_ok(kHeaderRows, CodeplugHeader::kLength));

constexpr int32_t kTableLength = 2833;
constexpr int32_t kRetainedBlock = 2867;

// In the order the record lists them. Bits 2868 to 2874 belong to blocks this object does not
// serve; they go from unpack to pack unchanged.
constexpr FieldDesc kPresenceRows[] = {
    word(kTableLength, 0),
    bits(2010, 2, 0x80), bits(2009, 2, 0x40), bits(2008, 2, 0x20), bits(2007, 2, 0x10),
    bits(2006, 2, 0x08), bits(2005, 2, 0x04), bits(2004, 2, 0x02), bits(2003, 2, 0x01),
    bits(2018, 3, 0x80), bits(2017, 3, 0x40), bits(2016, 3, 0x20), bits(2015, 3, 0x10),
    bits(2014, 3, 0x08), bits(2013, 3, 0x04), bits(2012, 3, 0x02), bits(2011, 3, 0x01),
    bits(2024, 4, 0x80), bits(2023, 4, 0x40), bits(2022, 4, 0x20), bits(2021, 4, 0x10),
    bits(kRetainedBlock, 4, 0x08), bits(2868, 4, 0x04),
    bits(2869, 5, 0x40), bits(2870, 5, 0x20), bits(2871, 5, 0x10), bits(2872, 5, 0x08),
    bits(2873, 5, 0x04), bits(2874, 5, 0x02),
    bits(2020, 4, 0x02), bits(2019, 4, 0x01),
    bits(2026, 5, 0x80), bits(2025, 5, 0x01),
};
static_assert(layout::layout_ok(kPresenceRows, PresenceTable::kLength - 1));

constexpr int32_t kFirstAddress = 2835;
constexpr size_t kAddresses = 32;
constexpr auto kAddressRows = [] {
  std::array<FieldDesc, kAddresses + 1> rows{};
  rows[0] = word(2834, 0);  // the table's length
  for (size_t k = 0; k < kAddresses; ++k)
    rows[k + 1] = word(kFirstAddress + static_cast<int32_t>(k), static_cast<uint16_t>(2 + 2 * k));
  return rows;
}();
static_assert(layout::layout_ok(kAddressRows, AddressTable::kLength - 1));

// Fills `record` from the rows only when every field decodes.
void unpack_rows(layout::Layout rows, const uint8_t* bytes, size_t length, size_t needed, const BlockBase& base,
                 FieldList& record) {
  if (bytes == nullptr || length < needed) raise(err::kShortImage);
  FieldList fields;
  layout::unpack(rows, bytes, needed, base, fields);
  record = std::move(fields);
}

}  // namespace

void CodeplugHeader::unpack(const uint8_t* bytes, size_t length) {
  unpack_rows(kHeaderRows, bytes, length, kLength, base, record_);
}

std::vector<uint8_t> CodeplugHeader::pack() {
  std::vector<uint8_t> image(kLength, 0);
  layout::pack(kHeaderRows, record_, base, image.data(), image.size());
  return image;
}

void PresenceTable::unpack(const uint8_t* bytes, size_t length) {
  unpack_rows(kPresenceRows, bytes, length, kLength, base, record_);
}

std::vector<uint8_t> PresenceTable::pack() {
  const int64_t length = parse_decimal(record_.text(kTableLength));
  if (length < static_cast<int64_t>(kLength) || length > 0xFFFF) raise(err::kInvalidData);
  FieldList fields = record_;
  if (!fields.contains(kRetainedBlock)) fields.add(kRetainedBlock, "0", kAttribute);
  std::vector<uint8_t> image(static_cast<size_t>(length), 0);
  layout::pack(kPresenceRows, fields, base, image.data(), kLength - 1);
  image[kLength - 1] = checksum(image.data(), kLength - 1);
  return image;
}

bool PresenceTable::present(int32_t block_id) const {
  return record_.contains(block_id) && record_.text(block_id) != "0";
}

void AddressTable::unpack(const uint8_t* bytes, size_t length) {
  unpack_rows(kAddressRows, bytes, length, kLength, base, record_);
}

std::vector<uint8_t> AddressTable::pack() {
  std::vector<uint8_t> image(kLength, 0);
  layout::pack(kAddressRows, record_, base, image.data(), kLength - 1);
  seal(image);
  return image;
}

int32_t address_field(int32_t block_id) {
  if (block_id == 2867) return 2853;
  if (block_id >= 2003 && block_id <= 2020) return 2835 + (block_id - 2003);
  if (block_id >= 2021 && block_id <= 2025) return 2855 + (block_id - 2021);
  if (block_id == 2026) return 2866;
  return 0;
}

}  // namespace cps::gen2
