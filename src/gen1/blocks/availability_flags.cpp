#include "gen1/blocks/availability_flags.h"

#include "platform/errors.h"
#include "engine/field_layout.h"

#include <array>
#include <iterator>
#include <utility>

namespace cps {

namespace {

constexpr size_t kShortLength = 10;
constexpr size_t kLongLength = 12;
constexpr uint8_t kAttribute = 2;

bool long_form(const BlockBase& base) { return base.long_form(); }

struct Flag {
  int32_t block_id;
  uint8_t byte;
  uint8_t bit;
  bool long_form_only = false;
};

// In the order the fields stand in the list. Bits not named here are unused and written as 0.
constexpr Flag kFlags[] = {
    {3, 2, 0x01}, {2, 2, 0x02},
    {761, 9, 0x04, true}, {762, 9, 0x08, true}, {759, 9, 0x01, true}, {760, 9, 0x02, true},
    {4, 3, 0x01}, {5, 3, 0x02}, {6, 3, 0x04}, {7, 3, 0x08},
    {8, 3, 0x10}, {9, 3, 0x20}, {10, 3, 0x40}, {11, 3, 0x80},
    {12, 4, 0x01}, {13, 4, 0x02},
    {15, 4, 0x08}, {16, 4, 0x10}, {17, 4, 0x20}, {18, 4, 0x40}, {19, 4, 0x80},
    {20, 5, 0x01}, {21, 5, 0x02}, {22, 5, 0x04},
    {468, 5, 0x08}, {466, 5, 0x10}, {467, 5, 0x20},
    {23, 6, 0x01}, {24, 6, 0x02}, {25, 6, 0x04}, {26, 6, 0x08},
    {27, 6, 0x10}, {28, 6, 0x20}, {29, 6, 0x40}, {30, 6, 0x80},
    {32, 7, 0x02}, {33, 7, 0x04}, {34, 7, 0x08}, {35, 7, 0x10}, {36, 7, 0x20}, {37, 7, 0x40},
    {38, 8, 0x01}, {39, 8, 0x02}, {40, 8, 0x04}, {41, 8, 0x08},
    {42, 8, 0x10}, {43, 8, 0x20}, {44, 8, 0x40},
    {657, 5, 0x40}, {658, 5, 0x80}, {742, 7, 0x80}, {741, 7, 0x01},
};

// The flags as rows of the layout engine, over the whole image.
constexpr auto kRows = [] {
  std::array<layout::FieldDesc, std::size(kFlags)> rows{};
  for (size_t i = 0; i < rows.size(); ++i) {
    const Flag& f = kFlags[i];
    rows[i] = layout::FieldDesc{.id = f.block_id, .offset = f.byte, .mask = f.bit,
                                .attribute = kAttribute, .dflt = {"0"},
                                .when = f.long_form_only ? long_form : nullptr};
  }
  return rows;
}();
static_assert(layout::layout_ok(kRows, kLongLength - 1));

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
  layout::unpack(kRows, image, stored - 1, base, list);
  fields_ = std::move(list);
}

std::vector<uint8_t> AvailabilityFlags::pack(int32_t) {
  std::vector<uint8_t> image(image_length(), 0);
  write_be(static_cast<uint32_t>(image.size()), image.data(), 2);
  // Any value other than "0" sets the flag's bit, as it counts as enabled.
  for (const Flag& flag : kFlags) {
    if (flag.long_form_only && !long_form(base)) continue;
    if (fields_.text(flag.block_id) != "0") image[flag.byte] |= flag.bit;  // 104 when missing
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void AvailabilityFlags::build_default() {
  FieldList list;
  list.add(kLengthField, decimal_text(static_cast<int64_t>(image_length())), kAttribute);
  const FieldList flags = layout::defaults(kRows, base);
  for (size_t i = 0; i < flags.count(); ++i) list.add(flags.at(i));
  fields_ = std::move(list);
}

void AvailabilityFlags::set_fields(const FieldList& given) {
  // The list is stored as the host gave it, values and order included; it must hold field 52
  // and every flag of the current form, so that the block can be packed.
  if (!given.contains(kLengthField)) raise(err::kFieldNotFound);
  for (const Flag& flag : kFlags) {
    if (flag.long_form_only && !long_form(base)) continue;
    if (!given.contains(flag.block_id)) raise(err::kFieldNotFound);
  }
  fields_ = given;
}

bool AvailabilityFlags::has_flag(int32_t block_id) const {
  return layout::find(kRows, block_id, base) != nullptr && fields_.contains(block_id);
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
