#include "gen1/blocks/availability_flags.h"

#include "platform/errors.h"
#include "engine/field_layout.h"
#include "gen1/block_table.h"

#include <algorithm>
#include <utility>

namespace cps {

namespace {

constexpr size_t kShortLength = 10;
constexpr size_t kLongLength = 12;
constexpr uint8_t kAttribute = 2;

bool long_form(const BlockBase& base) { return base.long_form(); }

// One flag per block ID that the block registry gives a flag, in the order the fields stand in
// the list. Bits no block claims are unused and written as 0.
struct Flag {
  int32_t block_id;
  uint8_t byte;
  uint8_t bit;
  bool long_form_only;
};

const std::vector<Flag>& flags_in_order() {
  static const std::vector<Flag> flags = [] {
    std::vector<std::pair<uint8_t, Flag>> ranked;
    for (const Gen1Block& block : gen1_blocks())
      for (const Gen1Region& r : block.regions)
        if (r.id != 0 && r.flag_byte != 0) ranked.push_back({r.flag_rank, {r.id, r.flag_byte, r.flag_bit, r.long_form}});
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Flag> list;
    for (const auto& [rank, flag] : ranked) list.push_back(flag);
    return list;
  }();
  return flags;
}

// The flags as rows of the layout engine, over the whole image.
const std::vector<layout::FieldDesc>& rows() {
  static const std::vector<layout::FieldDesc> rows = [] {
    std::vector<layout::FieldDesc> list;
    for (const Flag& f : flags_in_order())
      list.push_back({.id = f.block_id, .offset = f.byte, .mask = f.bit, .attribute = kAttribute, .dflt = {"0"},
                      .when = f.long_form_only ? long_form : nullptr});
    return list;
  }();
  return rows;
}

}  // namespace

AvailabilityFlags::AvailabilityFlags() { build_default(); }

size_t AvailabilityFlags::image_length() const {
  return long_form(base) ? kLongLength : kShortLength;
}

void AvailabilityFlags::unpack(int32_t, const uint8_t* image, size_t length) {
  if (image == nullptr || length < image_length()) raise(err::kInvalidData);
  // The checksum stands behind the length the block gives itself, which must hold the form.
  const size_t stored = read_be(image, 2);
  if (stored < image_length() || stored > length) raise(err::kInvalidData);
  verify_checksum(image, stored - 1, image[stored - 1]);

  FieldList list;
  list.add(kLengthField, decimal_text(static_cast<int64_t>(stored)), kAttribute);
  layout::unpack(rows(), image, stored - 1, base, list);
  fields_ = std::move(list);
}

std::vector<uint8_t> AvailabilityFlags::pack(int32_t) {
  std::vector<uint8_t> image(image_length(), 0);
  write_be(static_cast<uint32_t>(image.size()), image.data(), 2);
  // Any value other than "0" sets the flag's bit, as it counts as enabled.
  for (const Flag& flag : flags_in_order()) {
    if (flag.long_form_only && !long_form(base)) continue;
    if (fields_.text(flag.block_id) != "0") image[flag.byte] |= flag.bit;  // 104 when missing
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void AvailabilityFlags::build_default() {
  FieldList list;
  list.add(kLengthField, decimal_text(static_cast<int64_t>(image_length())), kAttribute);
  const FieldList flags = layout::defaults(rows(), base);
  for (size_t i = 0; i < flags.count(); ++i) list.add(flags.at(i));
  fields_ = std::move(list);
}

void AvailabilityFlags::set_fields(const FieldList& given) {
  // The list is stored as the host gave it, values and order included; it must hold field 52
  // and every flag of the current form, so that the block can be packed.
  if (!given.contains(kLengthField)) raise(err::kFieldNotFound);
  for (const Flag& flag : flags_in_order()) {
    if (flag.long_form_only && !long_form(base)) continue;
    if (!given.contains(flag.block_id)) raise(err::kFieldNotFound);
  }
  fields_ = given;
}

bool AvailabilityFlags::has_flag(int32_t block_id) const {
  return layout::find(rows(), block_id, base) != nullptr && fields_.contains(block_id);
}

bool AvailabilityFlags::is_enabled(int32_t block_id) const {
  if (!has_flag(block_id)) raise(err::kFieldNotFound);
  return fields_.text(block_id) != "0";
}

void AvailabilityFlags::set_enabled(int32_t block_id, bool on) {
  if (!has_flag(block_id)) raise(err::kFieldNotFound);
  fields_.set_text(block_id, on ? "1" : "0");
}

}  // namespace cps
