// Block 454, the block address table: where in the radio's memory each block of the codeplug
// image starts. The container reads it to find every block's region, and writes it afresh each
// time it lays the blocks out (a block the codeplug does not hold gets address 0).
//
// What is special: the record is a plain field list whose field IDs are block IDs and whose
// values are radio addresses as decimal text, in the order the entries stand in the image. The
// image is 115 bytes in market class 0 and 147 bytes in classes 1 and 2, whose longer table adds
// the entries of blocks 759 to 762; bytes without an entry are written as 0.
#pragma once

#include "blocks/block_handler.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps {

class AddressTable final : public Cloneable<AddressTable> {
 public:
  static constexpr int32_t kBlockId = 454;

  // Default content of the market class the base holds (0 at construction).
  AddressTable();

  RecordKind kind() const override { return RecordKind::Fields; }

  // 107 for an image shorter than the form, 103 for a bad checksum; unchanged on failure.
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  // 104 when the list lacks an entry of the form.
  std::vector<uint8_t> pack(int32_t id) override;
  // Every address of the form 0.
  void build_default() override;

  const FieldList& fields() const override { return fields_; }
  // Needs every entry of the current form (104), each a decimal 0..65535 (107). The list is
  // stored in image order; fields the form has no entry for are dropped.
  void set_fields(const FieldList& given) override;

  // 115, or 147 in market class 1 or 2.
  size_t image_length() const;

  // Whether the current form has an entry for this block and the list holds it.
  bool has_entry(int32_t block_id) const;
  // 104 without an entry.
  uint16_t address_of(int32_t block_id) const;
  void set_address(int32_t block_id, uint16_t address);

 private:
  FieldList fields_;
};

}  // namespace cps
