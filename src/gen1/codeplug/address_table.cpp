#include "gen1/codeplug/address_table.h"

#include "platform/errors.h"
#include "engine/field_layout.h"

#include <array>
#include <iterator>
#include <utility>

namespace cps {

namespace {

constexpr size_t kShortLength = 115;
constexpr size_t kLongLength = 147;
constexpr uint8_t kAttribute = 2;

bool long_form(const BlockBase& base) { return base.long_form(); }

struct Entry {
  uint16_t offset;
  int32_t block_id;
  bool long_form_only = false;
};

// Big-endian 16-bit addresses, in image order. Bytes 6-17, 38-39 and 112-113 (and 122-145 of
// the long form) hold no entry.
constexpr Entry kEntries[] = {
    {0, 53}, {2, 3}, {4, 2},
    {18, 4}, {20, 5}, {22, 6}, {24, 7}, {26, 8}, {28, 9}, {30, 10}, {32, 11}, {34, 12},
    {36, 13}, {40, 15}, {42, 16}, {44, 17}, {46, 18}, {48, 19}, {50, 20}, {52, 21}, {54, 22},
    {56, 468}, {58, 466}, {60, 467}, {62, 657}, {64, 658},
    {66, 23}, {68, 24}, {70, 25}, {72, 26}, {74, 27}, {76, 28}, {78, 29}, {80, 30},
    {82, 741}, {84, 32}, {86, 33}, {88, 34}, {90, 35}, {92, 36}, {94, 37}, {96, 742},
    {98, 38}, {100, 39}, {102, 40}, {104, 41}, {106, 42}, {108, 43}, {110, 44},
    {114, 759, true}, {116, 760, true}, {118, 761, true}, {120, 762, true},
};

constexpr auto kRows = [] {
  std::array<layout::FieldDesc, std::size(kEntries)> rows{};
  for (size_t i = 0; i < rows.size(); ++i) {
    const Entry& e = kEntries[i];
    rows[i] = layout::FieldDesc{.id = e.block_id, .offset = e.offset, .width = 2,
                                .attribute = kAttribute, .dflt = {"0"},
                                .when = e.long_form_only ? long_form : nullptr};
  }
  return rows;
}();
static_assert(layout::layout_ok(kRows, kLongLength - 1));

}  // namespace

AddressTable::AddressTable() { build_default(); }

size_t AddressTable::image_length() const {
  return long_form(base) ? kLongLength : kShortLength;
}

void AddressTable::unpack(int32_t, const uint8_t* image, size_t length) {
  const size_t size = image_length();
  if (image == nullptr || length < size) raise(err::kInvalidData);
  verify_checksum(image, size - 1, image[size - 1]);
  FieldList list;
  layout::unpack(kRows, image, size - 1, base, list);
  fields_ = std::move(list);
}

std::vector<uint8_t> AddressTable::pack(int32_t) {
  std::vector<uint8_t> image(image_length(), 0);
  layout::pack(kRows, fields_, base, image.data(), image.size() - 1);
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void AddressTable::build_default() { fields_ = layout::defaults(kRows, base); }

void AddressTable::set_fields(const FieldList& given) {
  fields_ = layout::take(kRows, given, base);
}

bool AddressTable::has_entry(int32_t block_id) const {
  return layout::find(kRows, block_id, base) != nullptr && fields_.contains(block_id);
}

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
