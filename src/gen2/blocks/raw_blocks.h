// The data blocks whose entries this component carries mostly as bytes, and the list block they
// are made from.
//
// A RawList entry is a few named fields at its start (none for most blocks) followed by one
// "raw" field that holds the rest of the entry's record-size bytes as upper-case hexadecimal
// digits, two per byte. The record size is the block's own (field 2034 of the image), so an
// entry read from a radio goes back to it byte for byte whatever its size, and the service
// object's read, write, clone and copy flows can carry the block without knowing what the
// bytes mean. An entry added to a block that has never been read gets the block's fresh record
// size, all bytes zero.
//
// Raw text: set field and set record take an even number of hexadecimal digits (either case)
// that fits the entry's room after its named fields (107 otherwise). On packing the digits fill
// the room from its start and a shorter text leaves the rest zero; a text longer than the room
// (the record size was lowered after it was set) gives 107.
//
// The blocks here, each one entry layout of raw bytes only, framed as every list block is:
//
//   2004  data block            raw 2071   fresh record 16 bytes   add does nothing (returns 0),
//                                                                  delete down to 1 entry
//   2005  data block            raw 2229   fresh record 16 bytes   add and delete do nothing
//   2022  data block            raw 2694   fresh record 16 bytes   add and delete do nothing
//   2024  option-board and      raw 2696   fresh record 16 bytes   exactly one entry
//         accessory input/output
//   2026  radio-wide settings,  raw 2832   fresh record 32 bytes   exactly one entry
//         clock and voice storage
//
// Nothing of these blocks is named to the host beyond its bytes: what the radio keeps in them
// is the radio's business, and a named field would be a guess that could corrupt the radio's
// data on the way back.
#pragma once

#include "engine/field_layout.h"
#include "gen2/values/list_frame.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cps::gen2 {

// The raw field's text of `length` bytes, and the bytes of a raw text (each pair of digits one
// byte, a lone last digit the high nibble; any other character counts as 0).
std::string hex_text(const uint8_t* bytes, size_t length);
std::vector<uint8_t> hex_bytes(std::string_view text);

// The check of a raw field: an even number of hexadecimal digits (107).
extern const layout::CustomCodec kHexDigits;

// The row of an entry's raw field: stored by RawList, not by the engine.
constexpr layout::FieldDesc raw_row(int32_t id, const char* name, bool checked = true) {
  return {.id = id, .codec = layout::Codec::Virtual, .attribute = 1, .dflt = {""},
          .custom = checked ? &kHexDigits : nullptr, .name = name};
}

// What add entry and delete entry do in a block whose list the radio fixes.
enum class AddRule : uint8_t { Append, Nothing, Refuse };  // Nothing returns 0; Refuse is 117
enum class DeleteRule : uint8_t { Remove, Nothing };

struct RawShape {
  ListShape list;         // its rows end with the raw row, which must be the only Virtual one
  int32_t raw_field = 0;
  AddRule add = AddRule::Append;
  DeleteRule remove = DeleteRule::Remove;
  bool checked = true;    // whether sets check the raw text's digits and length
};

class RawList : public FramedList {
 public:
  explicit RawList(const RawShape& shape) : FramedList(shape.list), raw_(&shape) {}

  // The frame and the named fields (13, 103, 107, 108), then each entry's remaining bytes as
  // its raw text.
  void unpack(const uint8_t* bytes, size_t length) override;
  // The named fields, then each raw text into its entry's room (107 when it does not fit).
  std::vector<uint8_t> pack() override;
  // As every framed list, and each raw text within the room the given record size leaves.
  void set_record(const BlockRecord& record) override;
  size_t add_entry() override;
  void delete_entry(size_t index) override;
  void set_field(size_t index, const FieldValue& field) override;

 protected:
  // The rows' defaults, the raw text all zeros for the block's record size.
  FieldList default_entry() const override;
  // Field 2034 of the held record, or the fresh record size of a block without a frame.
  size_t record_size() const;
  // The bytes of an entry of `record_size` bytes that the raw field holds.
  size_t raw_room(size_t record_size) const;
  // 107 when a raw text is not checked-in digits or holds more bytes than `room`.
  void check_raw(std::string_view text, size_t room) const;

  const RawShape* raw_;
};

class DataBlock2004 final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2004;
  DataBlock2004();
};

class DataBlock2005 final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2005;
  DataBlock2005();
};

class DataBlock2022 final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2022;
  DataBlock2022();
};

class BoardIoBlock final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2024;
  BoardIoBlock();
};

class RadioWideBlock final : public RawList {
 public:
  static constexpr int32_t kBlockId = 2026;
  RadioWideBlock();
};

}  // namespace cps::gen2
