// The base of every second-generation block handler, and the two interfaces through which the
// R9 service object reaches them: the record interface of the directory blocks (codeplug header
// 2002, presence table 2027, address table 2028) and the list interface of the data blocks
// (2003 to 2026 and 2867). The service object selects a handler by block ID and calls it only
// through these, so its read, write, copy and edit paths treat every block alike.
//
// Beyond the engine's BlockBase (which the layout engine reads), an R9 handler carries the radio
// type and three version items, so that it can lay its bytes out for the codeplug it holds and
// for the radio about to be written. They live in the handler's own R9Context (never shared
// with another handler), where the block's codecs and conditions can read them too.
#pragma once

#include "engine/block_base.h"
#include "engine/block_shape.h"
#include "engine/field_values.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cps::gen2 {

struct R9Context : RadioContext {
  static constexpr uint8_t kGeneration = 2;
  R9Context() { generation = kGeneration; }
  uint8_t radio_type = 1;        // 0 (none), 1 or 2, from the radio's model number
  std::string target_version;    // codeplug major version of the radio about to be written ("04")
  std::string codeplug_version;  // codeplug major version of the codeplug the handler holds
  // The version pair is RadioContext's data_major (low byte: the codeplug's major version) and
  // target_major (high byte: the radio's).
};

// What a handler's codecs and conditions read: the handler's R9 state (defaults for a base that
// belongs to no R9 handler).
inline const R9Context& r9_state(const BlockBase& base) { return base.context_as<R9Context>(); }

class R9BlockBase {
 public:
  BlockBase base;  // what the layout engine reads; its context is this handler's R9Context

  virtual ~R9BlockBase() = default;

  // The rows the block's records are made of, for the field catalogue (none for a block whose
  // handler has no layout rows).
  virtual BlockShape describe() const { return {}; }

  uint8_t radio_type() const { return state().radio_type; }
  const std::string& target_version() const { return state().target_version; }
  const std::string& codeplug_version() const { return state().codeplug_version; }
  uint16_t version_pair() const {
    return static_cast<uint16_t>(state().data_major | (state().target_major << 8));
  }
  // Set by the service object: the codeplug version before a block unpacks, the version pair
  // (low byte the codeplug's major version, high byte the radio's) before it packs.
  void set_codeplug_version(std::string version) { state().codeplug_version = std::move(version); }
  void set_version_pair(uint16_t pair) {
    state().data_major = static_cast<uint8_t>(pair & 0xFF);
    state().target_major = static_cast<uint8_t>(pair >> 8);
  }

 protected:
  R9BlockBase();
  // A copy carries its own context, never the original's.
  R9BlockBase(const R9BlockBase& other);
  R9BlockBase& operator=(const R9BlockBase& other);

  R9Context& state() { return static_cast<R9Context&>(*base.context); }
  const R9Context& state() const { return static_cast<const R9Context&>(*base.context); }
};

// The directory blocks: one field list.
class R9RecordBlock : public R9BlockBase {
 public:
  // 1. Fills the record from the block's bytes (`length`: the bytes readable from `bytes` on).
  virtual void unpack(const uint8_t* bytes, size_t length) = 0;
  // 2. The block's image.
  virtual std::vector<uint8_t> pack() = 0;
  // 3, 4.
  virtual void set_radio_type(uint8_t type) { state().radio_type = type; }
  virtual void set_target_version(std::string version) { state().target_version = std::move(version); }
  // 5. A copy of the record.
  virtual FieldList get_record() const { return record_; }
  // 6. Replaces the whole list.
  virtual void set_record(const FieldList& record) { record_ = record; }
  // 7. Replaces the text and attribute of the field with that ID (104 when absent).
  virtual void set_field(const FieldValue& field) { record_.set(field); }
  // 8. Destruction: the virtual destructor.
  ~R9RecordBlock() override = default;

 protected:
  FieldList record_;
};

// The data blocks: a block record whose header holds the list framing (2030 to 2035).
class R9ListBlock : public R9BlockBase {
 public:
  // 1. Fills the record from the block's bytes (`length`: the bytes readable from `bytes` on);
  // on any error the record is left as it was.
  virtual void unpack(const uint8_t* bytes, size_t length) = 0;
  // 2. The block's image.
  virtual std::vector<uint8_t> pack() = 0;
  // 3, 4.
  virtual void set_radio_type(uint8_t type) { state().radio_type = type; }
  virtual void set_target_version(std::string version) { state().target_version = std::move(version); }
  // 5. A copy of the record.
  virtual BlockRecord get_record() const { return record_; }
  // 6. The held record itself: GetFieldAt, GetCurrentListQuantity and MoveList work on it
  // directly, past the block's validation.
  virtual BlockRecord& record() { return record_; }
  // 7. Validates the framing and every field of every entry, then replaces the record.
  virtual void set_record(const BlockRecord& record) = 0;
  // 8. Appends an entry of defaults and returns its index (117 above the maximum).
  virtual size_t add_entry() = 0;
  // 9. Removes an entry (116 below the minimum, 105 for a bad index).
  virtual void delete_entry(size_t index) = 0;
  // 10. Validates the field, then sets it in the entry (105 for a bad index, 104 for an absent
  // ID); framing fields go to the header.
  virtual void set_field(size_t index, const FieldValue& field) = 0;
  // 11. Destruction: the virtual destructor.
  ~R9ListBlock() override = default;

  // The paths that also receive the retained radio block 2867: the scan block (2016) takes its
  // companion data from it on unpack and add; blocks 2011, 2012 and 2016 read it while packing.
  // A block that does not need it ignores it.
  virtual void unpack_with(const uint8_t* bytes, size_t length, const R9ListBlock& /*retained*/) {
    unpack(bytes, length);
  }
  virtual size_t add_entry_with(const R9ListBlock& /*retained*/) { return add_entry(); }
  virtual std::vector<uint8_t> pack_with(const R9ListBlock& /*retained*/) { return pack(); }

  // What a handler may read of the rest of the codeplug: the primary handler of block 2003
  // (nullptr while there is none) and the model numbers whose radios hold every channel at
  // 12.5 kHz. The codeplug hands them over whenever it makes handlers or learns the models; a
  // block that reads neither ignores them.
  virtual void link(const R9ListBlock* /*info*/, const std::vector<std::string>& /*fixed_spacing_models*/) {}

 protected:
  BlockRecord record_;
};

}  // namespace cps::gen2
