#include "gen1/blocks/availability_flags.h"

#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/block_table.h"
#include "gen1/blocks/block_id_list.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace cps {

namespace {

constexpr size_t kShortLength = 10;
constexpr size_t kLongLength = 12;
constexpr uint8_t kAttribute = 2;

// One flag per block ID that the block registry gives a flag, in the order the fields stand in
// the list, each named after the block it enables (block_38_enabled). Bits no block claims are
// unused and written as 0.
struct FlagRows {
  std::vector<std::string> names;  // the rows' names point into these
  std::vector<layout::FieldDesc> rows;
};

const std::vector<layout::FieldDesc>& flag_rows() {
  static const FlagRows flags = [] {
    FlagRows built;
    built.rows = block_id_rows(
        [](const Gen1Region& r) {
          return RegionPlace{
              .placed = r.flag_byte != 0, .offset = r.flag_byte, .mask = r.flag_bit, .order = r.flag_rank};
        },
        kAttribute);
    built.names.reserve(built.rows.size());
    for (const layout::FieldDesc& row : built.rows)
      built.names.push_back("block_" + std::to_string(row.id) + "_enabled");
    for (size_t i = 0; i < built.rows.size(); ++i) built.rows[i].name = built.names[i].c_str();
    return built;
  }();
  return flags.rows;
}

}  // namespace

AvailabilityFlags::AvailabilityFlags() : Cloneable(flag_rows(), kShortLength, kLongLength) { build_default(); }

void AvailabilityFlags::add_leading_fields(FieldList& list) const {
  list.add(kLengthField, decimal_text(static_cast<int64_t>(image_length())), kAttribute);
}

void AvailabilityFlags::unpack(int32_t, const uint8_t* image, size_t length) {
  if (image == nullptr || length < image_length()) raise(err::kInvalidData);
  // The checksum stands behind the length the block gives itself, which must hold the form.
  const size_t stored = read_be(image, 2);
  if (stored < image_length() || stored > length) raise(err::kInvalidData);
  verify_checksum(image, stored - 1, image[stored - 1]);

  FieldList list;
  list.add(kLengthField, decimal_text(static_cast<int64_t>(stored)), kAttribute);
  layout::unpack(rows_, image, stored - 1, base, list);
  fields_ = std::move(list);
}

std::vector<uint8_t> AvailabilityFlags::pack(int32_t) {
  std::vector<uint8_t> image(image_length(), 0);
  write_be(static_cast<uint32_t>(image.size()), image.data(), 2);
  // Any value other than "0" sets the flag's bit, as it counts as enabled.
  for (const layout::FieldDesc& flag : rows_) {
    if (flag.when && !flag.when(base)) continue;
    if (fields_.text(flag.id) != "0") image[flag.offset] |= flag.mask;  // 104 when missing
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void AvailabilityFlags::set_fields(const FieldList& given) {
  // The list is stored as the host gave it, values and order included; it must hold field 52
  // and every flag of the current form, so that the block can be packed.
  if (!given.contains(kLengthField)) raise(err::kFieldNotFound);
  for (const layout::FieldDesc& flag : rows_)
    if ((!flag.when || flag.when(base)) && !given.contains(flag.id)) raise(err::kFieldNotFound);
  fields_ = given;
}

bool AvailabilityFlags::has_flag(int32_t block_id) const { return has(block_id); }

bool AvailabilityFlags::is_enabled(int32_t block_id) const {
  if (!has_flag(block_id)) raise(err::kFieldNotFound);
  return fields_.text(block_id) != "0";
}

void AvailabilityFlags::set_enabled(int32_t block_id, bool on) {
  if (!has_flag(block_id)) raise(err::kFieldNotFound);
  fields_.set_text(block_id, on ? "1" : "0");
}

}  // namespace cps
