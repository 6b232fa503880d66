// The shape blocks 453 and 454 share: a plain field list with one field per block ID that the
// block registry places in the block's image, laid out as rows over the whole image. Both come
// in a short form (market class 0) and a long form (classes 1 and 2) whose extra bytes carry the
// fields of blocks 759 to 762; a field the current form lacks does not exist at all.
#pragma once

#include "engine/block_handler.h"
#include "engine/field_layout.h"

#include <cstddef>
#include <vector>

namespace cps {

class BlockIdList : public BlockHandler {
 public:
  RecordKind kind() const override { return RecordKind::Fields; }
  const FieldList& fields() const override { return fields_; }
  // The leading fields a block keeps before its block IDs, then every row of the form with its
  // default.
  void build_default() override;

  // One row per block ID of every form, and the leading fields the block keeps before them.
  BlockShape describe() const override {
    BlockShape shape{.fields = rows_};
    add_leading_fields(shape.header);
    return shape;
  }

  // The image length of the current form.
  size_t image_length() const { return base.long_form() ? long_length_ : short_length_; }

 protected:
  BlockIdList(layout::Layout rows, size_t short_length, size_t long_length)
      : rows_(rows), short_length_(short_length), long_length_(long_length) {}

  // Whether the current form has a field for this block ID and the list holds it.
  bool has(int32_t block_id) const;
  virtual void add_leading_fields(FieldList&) const {}

  layout::Layout rows_;
  FieldList fields_;

 private:
  size_t short_length_;
  size_t long_length_;
};

struct Gen1Region;

// Where a block's image places the field of one registry region: its offset, mask and width,
// and its position among the fields of the list.
struct RegionPlace {
  bool placed = false;
  uint16_t offset = 0;
  uint8_t mask = 0xFF;
  uint8_t width = 1;
  int order = 0;
};
// One row per registry region that `place` places, in the order it gives; rows of the long form
// only (759 to 762) exist only in that form.
std::vector<layout::FieldDesc> block_id_rows(RegionPlace (*place)(const Gen1Region&), uint8_t attribute);

}  // namespace cps
