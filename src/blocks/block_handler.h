// The common shape of every first-generation block handler. The service object and the
// codeplug container reach every block through this one interface, selected by block ID from
// their tables, so adding a block means writing its handler and adding its table rows.
#pragma once

#include "values/block_base.h"
#include "values/field_values.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace cps {

// The record shape a handler shows: a field list, a block record, or a record of lists.
enum class RecordKind : uint8_t { Fields, Block, Lists };

class BlockHandler;

// What a list deletion may touch besides its own block: the other blocks by ID, and whether the
// codeplug's availability flags enable them (a block that is not enabled is skipped).
class BlockDirectory {
 public:
  virtual BlockHandler* find(int32_t block_id) = 0;  // nullptr when no such block is held
  virtual bool enabled(int32_t block_id) = 0;

 protected:
  ~BlockDirectory() = default;
};

class BlockHandler {
 public:
  BlockBase base;

  virtual ~BlockHandler() = default;
  virtual std::unique_ptr<BlockHandler> clone() const = 0;
  virtual RecordKind kind() const = 0;

  // The image. Every block ID of a handler is a region of its own in the codeplug; `id` says
  // which one is meant. Unpack replaces the record only when the whole region is good.
  virtual void unpack(int32_t id, const uint8_t* image, size_t length) = 0;
  virtual std::vector<uint8_t> pack(int32_t id) = 0;
  // The content of a block the codeplug did not have.
  virtual void build_default() = 0;

  // The record, by kind. A handler overrides the pair of its kind; set checks everything before
  // it stores anything.
  virtual FieldList fields() const;
  virtual void set_fields(const FieldList& fields);
  virtual BlockRecord block() const;
  virtual void set_block(const BlockRecord& record);
  virtual ListBlockRecord lists() const;
  virtual void set_lists(const ListBlockRecord& record);

  // Field and list operations, where the block has them.
  virtual void set_field(size_t index, const FieldValue& field);
  virtual void set_member_field(size_t list, size_t member, const FieldValue& field);
  virtual size_t add_list();
  virtual void delete_list(size_t index, BlockDirectory& blocks);
  virtual size_t add_member(size_t list);
  virtual void delete_member(size_t list, size_t member);

 protected:
  BlockHandler() = default;
  BlockHandler(const BlockHandler&) = default;
  BlockHandler& operator=(const BlockHandler&) = default;
};

// Gives a handler class its clone().
template <class Derived, class Base = BlockHandler>
class Cloneable : public Base {
 public:
  using Base::Base;
  std::unique_ptr<BlockHandler> clone() const override {
    return std::make_unique<Derived>(static_cast<const Derived&>(*this));
  }
};

}  // namespace cps
