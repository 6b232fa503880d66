// Block 17, the option-board data block: the data an option board fitted to the radio works
// from, a small table of lists whose members are one byte each. A six-byte header describes the
// shape (members per list, number of lists) and carries three format words the radio passes
// through; the member bytes follow, list after list, with no checksum.
//
// What is special: the record is a ListBlockRecord whose header holds the six shape fields,
// each list a BlockRecord whose entries are its members (field 475). List headers are empty
// after a read or an import; a set record gives each list a copy of its last member's 475.
// Members per list are walked as field 48 / 2 (at least one) while the image length is
// field 50 x field 51 + 6, so a shape whose walk would leave the image is refused with 107.
// Besides the codeplug image, the block is filled from an option-board data file (import).
// The block starts empty; an empty block packs as a board without lists (4 0 0 2 4 0).
#pragma once

#include "engine/block_handler.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps {

class OptionBoard final : public Cloneable<OptionBoard> {
 public:
  static constexpr int32_t kBlockId = 17;
  static constexpr int32_t kMemberField = 475;
  // Where the shape and the member bytes stand in an option-board data file.
  static constexpr size_t kFileShapeOffset = 800;
  static constexpr size_t kFileDataOffset = 802;

  OptionBoard() = default;  // empty: no header fields, no lists

  RecordKind kind() const override { return RecordKind::Lists; }

  // 13 for an image shorter than byte 1 x byte 2 + 6; 107 for a header byte outside its check
  // or a shape whose walk leaves the image. Unchanged on failure.
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  // 107 for a shape whose walk leaves the image, 104 / 105 for a record that lacks what the
  // header promises.
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;  // empty again

  const ListBlockRecord& lists() const override { return record_; }
  // The header fields 49, 50, 51, 46, 47, 48 taken and checked (104, 107), then field 51 lists
  // of field 48 / 2 members (at least one) taken from the given record (105, 104). Unchanged on
  // failure.
  void set_lists(const ListBlockRecord& given) override;
  BlockShape describe() const override;

  // Rebuilds the block from an option-board data file: 128 unless the first six bytes read
  // "040000", 127 when the file is too short for the members its shape promises. Unchanged on
  // failure.
  void import(const uint8_t* file, size_t length);

 private:
  ListBlockRecord record_;
};

}  // namespace cps
