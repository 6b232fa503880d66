#include "gen1/codeplug/address_table.h"

#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/block_table.h"
#include "gen1/blocks/block_id_list.h"

#include <algorithm>
#include <utility>

namespace cps {

namespace {

constexpr size_t kShortLength = 115;
constexpr size_t kLongLength = 147;
constexpr uint8_t kAttribute = 2;

// One big-endian 16-bit address per block ID that the block registry gives an entry, in image
// order. Bytes 6-17, 38-39 and 112-113 (and 122-145 of the long form) hold no entry.
const std::vector<layout::FieldDesc>& entry_rows() {
  static const std::vector<layout::FieldDesc> rows = block_id_rows(
      [](const Gen1Region& r) {
        return RegionPlace{.placed = r.table_offset != Gen1Region::kNoEntry, .offset = r.table_offset,
                           .width = 2, .order = r.table_offset};
      },
      kAttribute);
  return rows;
}

}  // namespace

AddressTable::AddressTable() : Cloneable(entry_rows(), kShortLength, kLongLength) { build_default(); }

void AddressTable::unpack(int32_t, const uint8_t* image, size_t length) {
  const size_t size = image_length();
  if (image == nullptr || length < size) raise(err::kInvalidData);
  verify_checksum(image, size - 1, image[size - 1]);
  FieldList list;
  layout::unpack(rows_, image, size - 1, base, list);
  fields_ = std::move(list);
}

std::vector<uint8_t> AddressTable::pack(int32_t) {
  std::vector<uint8_t> image(image_length(), 0);
  layout::pack(rows_, fields_, base, image.data(), image.size() - 1);
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void AddressTable::set_fields(const FieldList& given) {
  fields_ = layout::take(rows_, given, base);
}

bool AddressTable::has_entry(int32_t block_id) const { return has(block_id); }

uint16_t AddressTable::address_of(int32_t block_id) const {
  if (!has_entry(block_id)) raise(err::kFieldNotFound);
  const int64_t address = parse_decimal(fields_.text(block_id));
  if (address < 0 || address > 0xFFFF) raise(err::kInvalidData);
  return static_cast<uint16_t>(address);
}

void AddressTable::set_address(int32_t block_id, uint16_t address) {
  if (!has_entry(block_id)) raise(err::kFieldNotFound);
  fields_.set_text(block_id, decimal_text(address));
}

}  // namespace cps
