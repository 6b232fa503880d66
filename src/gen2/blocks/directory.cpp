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

constexpr FieldDesc bits(int32_t id, uint16_t offset, uint8_t mask, const char* name) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Cut, .attribute = kAttribute, .name = name};
}
constexpr FieldDesc word(int32_t id, uint16_t offset, const char* name) {
  return {.id = id, .offset = offset, .width = 2, .codec = Codec::Cut, .attribute = kAttribute, .name = name};
}

constexpr FieldDesc kHeaderRows[] = {
    bits(2040, 0, 0xF0, "header_value"),
    bits(2041, 0, 0x08, "flag_bit_3"), bits(2042, 0, 0x04, "flag_bit_2"),
    bits(2043, 0, 0x02, "flag_bit_1"), bits(2044, 0, 0x01, "flag_bit_0"),
    bits(2045, 1, 0xFF, "header_byte"),
    word(2046, 2, "codeplug_length"),  // total length, counted from address 643
    word(2047, 4, "presence_table_address"),
    word(2048, 6, "address_table_address"),
};
static_assert(layout::layout_ok(kHeaderRows, CodeplugHeader::kLength));

constexpr int32_t kTableLength = 2833;
constexpr int32_t kRetainedBlock = 2867;

// In the order the record lists them. Bits 2868 to 2874 belong to blocks this object does not
// serve; they go from unpack to pack unchanged.
constexpr FieldDesc kPresenceRows[] = {
    word(kTableLength, 0, "table_length"),
    bits(2010, 2, 0x80, "block_2010_present"), bits(2009, 2, 0x40, "block_2009_present"),
    bits(2008, 2, 0x20, "block_2008_present"), bits(2007, 2, 0x10, "block_2007_present"),
    bits(2006, 2, 0x08, "block_2006_present"), bits(2005, 2, 0x04, "block_2005_present"),
    bits(2004, 2, 0x02, "block_2004_present"), bits(2003, 2, 0x01, "block_2003_present"),
    bits(2018, 3, 0x80, "block_2018_present"), bits(2017, 3, 0x40, "block_2017_present"),
    bits(2016, 3, 0x20, "block_2016_present"), bits(2015, 3, 0x10, "block_2015_present"),
    bits(2014, 3, 0x08, "block_2014_present"), bits(2013, 3, 0x04, "block_2013_present"),
    bits(2012, 3, 0x02, "block_2012_present"), bits(2011, 3, 0x01, "block_2011_present"),
    bits(2024, 4, 0x80, "block_2024_present"), bits(2023, 4, 0x40, "block_2023_present"),
    bits(2022, 4, 0x20, "block_2022_present"), bits(2021, 4, 0x10, "block_2021_present"),
    bits(kRetainedBlock, 4, 0x08, "block_2867_present"), bits(2868, 4, 0x04, "block_2868_present"),
    bits(2869, 5, 0x40, "block_2869_present"), bits(2870, 5, 0x20, "block_2870_present"),
    bits(2871, 5, 0x10, "block_2871_present"), bits(2872, 5, 0x08, "block_2872_present"),
    bits(2873, 5, 0x04, "block_2873_present"), bits(2874, 5, 0x02, "block_2874_present"),
    bits(2020, 4, 0x02, "block_2020_present"), bits(2019, 4, 0x01, "block_2019_present"),
    bits(2026, 5, 0x80, "block_2026_present"), bits(2025, 5, 0x01, "block_2025_present"),
};
static_assert(layout::layout_ok(kPresenceRows, PresenceTable::kLength - 1));

constexpr int32_t kFirstAddress = 2835;
constexpr size_t kAddresses = 32;
// Field 2835 + k holds the start of one block, in the table's order; the fields without a block
// (2854, 2860 to 2865) are carried as they are.
constexpr const char* kAddressNames[] = {
    "block_2003_address", "block_2004_address", "block_2005_address",
    "block_2006_address", "block_2007_address", "block_2008_address",
    "block_2009_address", "block_2010_address", "block_2011_address",
    "block_2012_address", "block_2013_address", "block_2014_address",
    "block_2015_address", "block_2016_address", "block_2017_address",
    "block_2018_address", "block_2019_address", "block_2020_address",
    "block_2867_address", "spare_address_2854", "block_2021_address",
    "block_2022_address", "block_2023_address", "block_2024_address",
    "block_2025_address", "spare_address_2860", "spare_address_2861",
    "spare_address_2862", "spare_address_2863", "spare_address_2864",
    "spare_address_2865", "block_2026_address",
};
static_assert(std::size(kAddressNames) == kAddresses);
constexpr auto kAddressRows = [] {
  std::array<FieldDesc, kAddresses + 1> rows{};
  rows[0] = word(2834, 0, "table_length");
  for (size_t k = 0; k < kAddresses; ++k)
    rows[k + 1] = word(kFirstAddress + static_cast<int32_t>(k), static_cast<uint16_t>(2 + 2 * k), kAddressNames[k]);
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

BlockShape CodeplugHeader::describe() const { return {.fields = kHeaderRows}; }

BlockShape PresenceTable::describe() const { return {.fields = kPresenceRows}; }

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

BlockShape AddressTable::describe() const { return {.fields = kAddressRows}; }

int32_t address_field(int32_t block_id) {
  if (block_id == 2867) return 2853;
  if (block_id >= 2003 && block_id <= 2020) return 2835 + (block_id - 2003);
  if (block_id >= 2021 && block_id <= 2025) return 2855 + (block_id - 2021);
  if (block_id == 2026) return 2866;
  return 0;
}

}  // namespace cps::gen2
