// The first generation's codeplug container (block 1). The codeplug is one contiguous image in
// radio memory from address 0x300:
//
//   0      field 45              4 in an image packed without the radio's header
//   1      0
//   2-3    field 100             image length - 1, big-endian
//   4-5    field 101             radio address of block 453 (the availability flags)
//   6-7    field 102             radio address of block 454 (the block address table)
//   8...   the blocks, one after the other, at the addresses of the address table; then block
//          453, then block 454
//   last   the image checksum    (the image's byte sum is 0x5A)
//
// The container owns a handler per slot and finds each block through the address table. Every
// block ID is a region of its own; a handler with several IDs unpacks each of its regions into
// its one record. Unpacking commits each block as it goes, as a read from a radio does: a failure
// part-way leaves the blocks already unpacked with the image's content and the others as they
// were. Packing is all-or-nothing: it works on a copy and keeps it only when everything succeeded.
#pragma once

#include "gen1/values/radio_context.h"
#include "gen1/blocks/availability_flags.h"
#include "engine/block_handler.h"
#include "gen1/blocks/programming_record.h"
#include "gen1/codeplug/address_table.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace cps {

class RadioInfo;
class RadioIdentity;

class Codeplug final : public Cloneable<Codeplug> {
 public:
  static constexpr uint16_t kImageBase = 0x300;
  static constexpr size_t kHeaderLength = 8;
  static constexpr int kSlots = 32;
  static constexpr int kDestinationFlagsSlot = 2;

  Codeplug();  // every handler with its default content
  // Every handler as its constructor made it (its default content for the default version and
  // radio kind), the container itself not yet reset: for an owner that sets the base's version
  // and mobile flag and then resets, which the handlers' content would not outlive anyway.
  struct Unreset {};
  explicit Codeplug(Unreset);
  // Gives every handler the version texts and mobile flag of the container's base, then the
  // default content; block 453 enables the blocks the codeplug has content for.
  void reset();
  Codeplug(const Codeplug& other);
  Codeplug& operator=(const Codeplug& other);
  Codeplug(Codeplug&&) noexcept = default;
  Codeplug& operator=(Codeplug&&) noexcept = default;

  // Block 1: the container's own header fields 45, 100, 101, 102.
  RecordKind kind() const override { return RecordKind::Fields; }
  const FieldList& fields() const override { return header_; }
  void set_fields(const FieldList& fields) override;
  // Block 1 is not a region of the image; the image is unpacked and packed as a whole below.
  void unpack(int32_t id, const uint8_t* image, size_t length) override;
  std::vector<uint8_t> pack(int32_t id) override;
  void build_default() override;

  // ---- The image ------------------------------------------------------------------------------

  // Clears the header fields and sets 45, 100, 101, 102 from the first 8 bytes (13 if shorter).
  void parse_header(const uint8_t* header, size_t length);
  size_t image_length() const;  // field 100 + 1

  // Verifies the image checksum (103), then unpacks block 453 at field 101 and block 454 at
  // field 102 (107 for an address below 0x300). With keep_edits the codeplug's own flags and
  // address table stay: the radio's image has served only for the checks.
  void unpack_header_blocks(const uint8_t* image, size_t length, bool keep_edits);
  // Verifies the image checksum (103) and unpacks the destination radio's block 453 into the
  // second flags slot, for the capability decisions of a pack with keep_flags.
  void read_destination_flags(const uint8_t* image, size_t length);
  // Unpacks every enabled block in the container's order from an image whose header blocks are
  // unpacked. A block that is not enabled keeps its content; each block is replaced only when
  // its own region is good, and the blocks before a failing one keep the image's content.
  void unpack_blocks(const uint8_t* image, size_t length, const RadioIdentity& block3,
                     const RadioInfo& block2);
  // The whole read: header, header blocks, blocks, each committed as it is unpacked.
  void unpack_image(const uint8_t* image, size_t length, const RadioIdentity& block3,
                    const RadioInfo& block2);

  // Lays the codeplug out as an image to be written at 0x300. Capability blocks follow the
  // destination's flags (keep_flags) or block 2's capability fields, which the pack updates.
  // All or nothing for the container and block 2.
  std::vector<uint8_t> pack_image(const RadioIdentity& block3, RadioInfo& block2, bool keep_flags);

  // ---- The blocks -----------------------------------------------------------------------------

  // The handler that serves a block ID; nullptr when the container has no block of that ID or
  // its handler is not built.
  BlockHandler* handler(int32_t block_id);
  const BlockHandler* handler(int32_t block_id) const;
  // Whether block 453 enables a block. A block whose flag the current form of block 453 does not
  // have is treated as absent.
  bool enabled(int32_t block_id) const;

  AvailabilityFlags& flags();
  const AvailabilityFlags& flags() const;
  AvailabilityFlags& destination_flags();
  AddressTable& addresses();
  const AddressTable& addresses() const;
  ProgrammingRecord& programming_record();
  const ProgrammingRecord& programming_record() const;

  // The facts about the radio its blocks belong to, from blocks 3 and 2 and the codeplug's own
  // block 5; and storing them where every handler reads them (the container does so itself
  // before it unpacks or packs its blocks).
  RadioFacts radio_facts(const RadioIdentity& block3, const RadioInfo& block2) const;
  void set_radio(const RadioFacts& radio);
  const RadioFacts& radio() const { return radio_of(base); }

  // The fixed-spacing models (block 3 field 84), from the model configuration.
  std::vector<std::string> fixed_spacing_models;

  // The market class, in the context every handler reads; a change between the short and the
  // long form lays blocks 453 and 454 (and the destination's flags) out again.
  void set_market_class(int32_t market_class);
  // The version pair of a write (data major version, radio major version), in the context.
  void set_version_pair(uint8_t data_major, uint8_t target_major);
  // The context the container and its handlers share; blocks 2 and 3 of a radio share it too.
  const std::shared_ptr<RadioContext>& context() const { return base.context; }

 private:
  // Points the container and every handler at one context.
  void share_context(std::shared_ptr<Gen1Context> context);
  Gen1Context& own() { return static_cast<Gen1Context&>(*base.context); }
  uint16_t offset_of(int32_t block_id) const;  // address table entry - 0x300; 107 below 0x300
  void apply_capabilities(RadioInfo& block2, bool keep_flags);
  std::vector<uint8_t> pack_in_place(bool keep_flags);

  std::array<std::unique_ptr<BlockHandler>, kSlots + 1> slots_;  // by slot number, 1..32
  FieldList header_;
};

}  // namespace cps
