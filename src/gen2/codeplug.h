// An R9 codeplug as the service object holds it: the three directory blocks, one slot per data
// block of the registry, the radio forms of 2017 and 2018, and the destination radio's own
// copies of the presence table, the address table and blocks 2003 and 2867 that a write reads
// before it packs. The layout in the radio's virtual address space:
//
//   643                   codeplug header (8 bytes, block 2002)
//   651                   the data blocks back to back in the write order, 2003 first
//   after the last block  the presence table (2027), its address in header field 2047
//   after that            the address table (2028), its address in header field 2048
//
// so an image offset is a virtual address less 643. A data block whose handler is not built yet
// is carried as the bytes of its framed region: read from the radio, packed back unchanged.
#pragma once

#include "gen2/block_table.h"
#include "gen2/blocks/directory.h"
#include "gen2/values/block_base.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cps::gen2 {

inline constexpr uint16_t kCodeplugAddress = 643;
inline constexpr size_t kMaxCodeplugLength = 15741;  // so that it ends before address 0x4000

// Fields of the radio information block (2003, entry 0) that the flows read and write.
namespace info {
inline constexpr int32_t kSerial = 2049;    // 20 hexadecimal digits, 10 bytes of text
inline constexpr int32_t kModel = 2050;     // 16 characters
inline constexpr int32_t kMajor = 2051;     // codeplug major version
inline constexpr int32_t kMinor = 2052;
inline constexpr int32_t kDate = 2054;      // "07-04-2009"
inline constexpr int32_t kTime = 2055;      // "09:05"
inline constexpr int32_t kKept = 2058;      // survives taking over the destination's block
inline constexpr int32_t kSoftware = 2070;  // the radio's software version, attribute 0
}  // namespace info

// One data block: its handler, or (while the block is not built) the bytes of its region.
struct R9Slot {
  const R9Block* row = nullptr;
  std::unique_ptr<R9ListBlock> handler;
  std::unique_ptr<R9ListBlock> radio_form;  // 2017 and 2018: what the radio's bytes unpack into
  std::vector<uint8_t> opaque;              // the framed region as the radio had it

  // Unpacks the block's region at `bytes` (`length` readable): 13 for a region that runs past
  // the image, 103 for a bad checksum. `retained` goes to a block that takes 2867 on unpack.
  void unpack(const uint8_t* bytes, size_t length, R9ListBlock* retained);
  // The block's image; 110 for a block without handler that holds no bytes.
  std::vector<uint8_t> pack(R9ListBlock* retained);
};

class R9Codeplug {
 public:
  R9Codeplug();

  CodeplugHeader header;
  PresenceTable presence;
  AddressTable addresses;
  // What the destination radio holds, read by a write or a clone before it packs.
  PresenceTable destination_presence;
  AddressTable destination_addresses;
  R9Slot destination_info;
  R9Slot destination_retained;

  R9Slot& slot(int32_t id);  // a data block of the registry (110 for any other ID)
  const R9Slot& slot(int32_t id) const;
  R9RecordBlock& directory(int32_t id);  // 2002, 2027 or 2028 (110 for any other ID)
  // The handler of a data block; 110 while the block is not built.
  R9ListBlock& list(int32_t id);
  // Makes the handlers of a block anew with `make` (its primary handler, radio form and
  // destination copy as its row says), or with nullptr drops them so that the block is carried
  // as bytes; either way what the block held is dropped.
  void install(int32_t id, MakeR9List make);

  // The model numbers whose radios hold every channel at 12.5 kHz (from the model table), handed
  // to every handler with block 2003's primary handler.
  void set_fixed_spacing_models(std::vector<std::string> models);

  // Entry 0 of block 2003, held in place: 110 while the block is not built, 105 without entry.
  FieldList& info();
  const FieldList& info() const;

  // The radio state each handler keeps. The codeplug version goes to every primary block, the
  // radio forms and both copies of 2867; the version pair to the primary blocks and the radio
  // forms but not to 2867; radio type and target version to every handler.
  void set_radio_type(uint8_t type);
  void set_codeplug_version(const std::string& version);
  void set_target_version(const std::string& version);
  void set_version_pair(uint16_t pair);

  // Everything after the header from a whole image that starts at address 643: the presence
  // table, the address table, every data block the presence table marks present in the read
  // order (107 for an address outside the image), then the host forms of 2017 and 2018 from
  // their radio forms. A failure leaves the blocks already unpacked with the image's content.
  void unpack_image(const std::vector<uint8_t>& image);
  // The destination copies from the destination radio's image; 2867 only when `retained` (a
  // radio of major version 04) and the radio's presence table marks it.
  void unpack_destination(const std::vector<uint8_t>& image, bool retained);
  // The image a write sends: the header, the radio forms rebuilt, the present data blocks in
  // the write order with their addresses recorded, the destination's 2867 where this write read
  // it (which the object then takes over), the presence table and the address table, the
  // header's length and table addresses patched in.
  std::vector<uint8_t> pack_image();

 private:
  // Whether the last unpack_destination read the destination's 2867. Only that block goes into
  // the image, and the written presence bit of 2867 says whether it did: a radio that did not
  // hand its own over (no 2867, or another major version) gets none, never a stale one.
  bool destination_retained_read_ = false;
  std::vector<std::string> fixed_spacing_models_;
  void link_handlers();
  std::vector<R9Slot> slots_;  // the data blocks, in registry order
};

// The bytes of a region at virtual address `address` of an image starting at 643: 107 when the
// address lies outside the image.
const uint8_t* region(const std::vector<uint8_t>& image, int64_t address, size_t& length);

}  // namespace cps::gen2
