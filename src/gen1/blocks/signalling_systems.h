// The shape the signalling-system blocks of market classes 1 and 2 share (the Sel Call systems,
// blocks 759/760, and the SDT systems, blocks 761/762), and the phone systems (blocks 11/658)
// with them: one to four system records in a list frame, and an alias image that follows the
// block's own image. Channels name a system by index (the signalling systems with a signalling
// type), so deleting a system rewrites the blocks that point at it (they declare those
// references) before the entry goes.
//
// The alias image can only be read after the block's own image in the same pass (130): the
// block's image marks the block as unpacked, and reading the aliases uses the mark up.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class SignallingSystems : public FramedBlock {
 public:
  struct Shape {
    int32_t image = 0;         // the block ID of the system records
    int32_t aliases = 0;       // the block ID of the alias image
    uint8_t alias_length = 8;  // field 464 of a freshly built block
  };

  SignallingSystems(const ListFrame& frame, Shape shape) : FramedBlock(frame), shape_(shape) {}

  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  // Header 46 = 128, 47 = the record size, 48 = 1, 49 = 132, 464 = the alias length, 465 = 0;
  // one system.
  void build_default() override;

  // The frame's header and entries, then the alias header 49, 464 and 465 (104 when missing,
  // 107 when not a byte value).
  void set_block(const BlockRecord& given) override;
  // 117 above the frame's maximum; a system of defaults.
  size_t add_list() override;
  // 116 for the last system, 105 for a bad index; the channels are rewritten first.
  void delete_list(size_t index, BlockDirectory& blocks) override;

 protected:
  // A new system; a block whose defaults follow the radio changes the table's.
  virtual FieldList default_system() const;

 private:
  Shape shape_;
  bool unpacked_ = false;  // the alias image may be read
};

}  // namespace cps
