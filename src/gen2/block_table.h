// The second generation's block registry: one row per block ID the R9 service object knows,
// holding every fact about the block in one place: the interface methods it answers, its
// shape, its place in the read and the write order, its presence bit and address-table field,
// the paths on which it receives the retained radio block 2867, and how its handler is made.
// The service object, the codeplug and the flows read these rows instead of keeping lists of
// their own; a test checks the orders and table fields whole.
#pragma once

#include "engine/block_registry.h"
#include "gen2/values/block_base.h"

#include <cstdint>
#include <memory>
#include <span>

namespace cps::gen2 {

enum class R9Shape : uint8_t {
  Record,  // the directory blocks: one field list
  List,    // the data blocks: a block record of entries
  Image,   // 2029: the whole codeplug image, loaded by SetBlockData only
};

using MakeR9List = std::unique_ptr<R9ListBlock> (*)();
using MakeR9Record = std::unique_ptr<R9RecordBlock> (*)();
// Block 2023's import path: the option-board payload (an option-board file less its first 800
// bytes, 3 to 255 bytes) checked and taken into the block (127 for a payload it refuses).
using ImportPayload = void (*)(R9ListBlock& block, const uint8_t* payload, size_t length);

template <class Block>
std::unique_ptr<R9ListBlock> make_list() {
  return std::make_unique<Block>();
}
template <class Block>
std::unique_ptr<R9RecordBlock> make_record() {
  return std::make_unique<Block>();
}

struct R9Block {
  int32_t id = 0;
  const char* name = "";
  uint16_t methods = 0;        // the interface methods that take this ID (engine/block_registry.h)
  R9Shape shape = R9Shape::List;
  uint8_t read_order = 0;      // position in the read's unpack order, from 1; 0: not unpacked there
  uint8_t write_order = 0;     // position in the image a write packs, from 1; 0: not packed there
  int32_t presence_field = 0;  // its bit in block 2027 (the block ID); 0: none
  int32_t address_field = 0;   // its start address in block 2028; 0: none
  MakeR9List make_list = nullptr;      // List: nullptr while the block is not built
  MakeR9Record make_record = nullptr;  // Record
  ImportPayload import = nullptr;      // 2023 only: ImportOBD's hook, nullptr while not built
  bool radio_form = false;       // the radio's bytes unpack into a second handler beside the host's
  bool retained_on_read = false; // unpack and AddList hand it block 2867
  bool retained_on_pack = false; // pack hands it block 2867
  bool add_marks_present = false;  // AddList sets its presence bit
  bool sets_version = false;     // SetBlockData hands its field 2051 to every block as the version
  bool destination_copy = false;  // a write and a clone unpack the destination radio's own copy
};

inline constexpr int32_t kHeaderBlock = 2002;
inline constexpr int32_t kInfoBlock = 2003;
inline constexpr int32_t kScanBlock = 2016;
inline constexpr int32_t kPresenceBlock = 2027;
inline constexpr int32_t kAddressBlock = 2028;
inline constexpr int32_t kImageBlock = 2029;
inline constexpr int32_t kRetainedBlock = 2867;

std::span<const R9Block> r9_blocks();
// The row of a block ID; nullptr for an ID no row knows.
const R9Block* r9_block(int32_t id);
// The data blocks in the read's unpack order, and in the order a write packs them.
std::span<const int32_t> r9_read_order();
std::span<const int32_t> r9_write_order();

}  // namespace cps::gen2
