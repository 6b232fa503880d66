// The first generation's block registry: one row per block handler, holding every fact about
// the block in one place: its block IDs with the methods each answers, its record kind and
// preparation, how its handler is made and where it lives (a container slot, or the radio's
// own regions), the blocks a list deletion hands along, and the capability that decides
// whether a destination radio holds it. Each block ID is a region of the image and carries
// its own facts: its position in the container's unpack and pack order, its flag in block 453
// and its entry in block 454. IDs that only the two tables know (7, 18, 21, 27, 28, 44, 53)
// stand in rows without a handler.
//
// The service object, the container, blocks 453 and 454 and cpsctl read this table; a test
// checks it whole (every slot, order position, flag bit and table offset exactly once).
#pragma once

#include "engine/block_registry.h"

#include <array>
#include <cstdint>
#include <span>

namespace cps {

struct Gen1Region {
  int32_t id = 0;
  uint16_t methods = 0;          // the interface methods that take this ID
  uint8_t order = 0;             // position in the container's unpack and pack order, from 1; 0: none
  uint8_t flag_byte = 0;         // its flag in block 453: image byte and bit (byte 0: no flag)
  uint8_t flag_bit = 0;
  uint8_t flag_rank = 0;         // position of the flag in block 453's field list, from 1
  uint8_t table_offset = kNoEntry;  // its address in block 454: image offset
  bool long_form = false;        // flag and address only in the long forms (market classes 1, 2)

  static constexpr uint8_t kNoEntry = 0xFF;
};

// Where a row's handler lives.
enum class Holder : uint8_t {
  None,       // no handler: an ID that only blocks 453 and 454 know
  Container,  // a slot of the codeplug container
  Image,      // the container itself (block 1)
  Info,       // block 2, read from the radio's own region
  Identity,   // block 3, likewise
};

// A block a destination radio may lack: before packing, the group of rows that share a leader
// follows the destination's flags or a capability field of block 2.
struct Gen1Capability {
  uint8_t rank = 0;             // position among the pack's capability decisions, from 1; 0: none
  int32_t leader = 0;           // the block whose flag stands for the group
  int32_t field = 0;            // capability field of block 2
  bool needs_encoding = false;  // also needs field 71 to encode (block 2 then stays as it is)
};

struct Gen1Block {
  const char* name = "";
  std::array<Gen1Region, 4> regions{};
  RecordKind kind = RecordKind::Block;
  Prep prep = Prep::None;
  Holder holder = Holder::Container;
  MakeHandler make = nullptr;   // nullptr: the handler is not built yet
  uint8_t slot = 0;             // container slot 1..32 (slot 2, the destination's flags, has no ID)
  std::array<int32_t, 12> partners{};  // the blocks a list deletion hands along
  std::array<int32_t, 2> member_partners{};  // the blocks a member deletion hands along
  Gen1Capability capability{};
  bool version_on_add = false;  // AddList gives the handler the version text first
  bool unpack_mobile = true;    // unpacking gives the handler the container's mobile flag
  bool unpack_minor = false;    // unpacking gives the handler the minor version text too
  bool portable_only = false;   // SetBlockData stores nothing on a mobile radio
  bool sets_market_class = false;  // the market class is worked out afresh after a set
  bool radio_source = false;    // the radio facts every block reads are worked out afresh after a set

  // The region of this ID; nullptr when the row has none.
  constexpr const Gen1Region* region(int32_t id) const {
    for (const Gen1Region& r : regions)
      if (r.id != 0 && r.id == id) return &r;
    return nullptr;
  }
};

std::span<const Gen1Block> gen1_blocks();
// The row that has a region of this ID; nullptr for an ID no row knows.
const Gen1Block* gen1_block(int32_t id);
// The container's block IDs in unpack and pack order.
std::span<const int32_t> gen1_order();

}  // namespace cps
