// Block 453, the block availability flags: one bit per first-generation block saying whether
// the radio's codeplug holds that block. The container reads it before any other block to know
// which regions to unpack, rebuilds it when it lays a codeplug out, and list deletions ask it
// before they rewrite references in another block.
//
// What is special: the block comes in two forms. Market class 0 has the 10-byte form; market
// classes 1 and 2 have the 12-byte form, whose extra byte carries the flags of blocks 759 to
// 762. A flag that the current form lacks does not exist at all: asking for it gives 104, and
// nothing is invented for it. The record is a plain field list (field 52, the image length,
// then one field per flag whose ID is the block ID it enables).
#pragma once

#include "blocks/block_handler.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps {

class AvailabilityFlags final : public Cloneable<AvailabilityFlags> {
 public:
  static constexpr int32_t kBlockId = 453;
  static constexpr int32_t kLengthField = 52;

  // Default content of the market class the base holds (0 at construction).
  AvailabilityFlags();

  RecordKind kind() const override { return RecordKind::Fields; }

  // 107 for an image shorter than the form, or whose length bytes do not fit the form and the
  // bytes given; 103 for a bad checksum. The block is unchanged on failure.
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  // The form's bytes: its length, the flag bits (bits without a flag as 0), the checksum.
  // 104 when the list lacks a flag of the form.
  std::vector<uint8_t> pack(int32_t id) override;
  // Field 52 = the form's length and every flag of the form "0"; the container switches on
  // what the codeplug holds.
  void build_default() override;

  const FieldList& fields() const override { return fields_; }
  // Needs field 52 (taken as it is) and every flag of the current form (104), each "0" or "1"
  // (107). The list is stored in the block's own order; fields the form has no flag for are
  // dropped.
  void set_fields(const FieldList& given) override;

  // 10, or 12 in market class 1 or 2.
  size_t image_length() const;

  // Whether the current form has a flag for this block and the list holds it.
  bool has_flag(int32_t block_id) const;
  // Any value other than "0" counts as enabled; 104 without a flag.
  bool is_enabled(int32_t block_id) const;
  // Replaces the value of an existing flag with "1" or "0"; 104 without a flag.
  void set_enabled(int32_t block_id, bool on);

 private:
  FieldList fields_;
};

}  // namespace cps
