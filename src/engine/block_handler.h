// The common shape of every first-generation block handler. The service object and the
// codeplug container reach every block through this one interface, selected by block ID from
// their tables, so adding a block means writing its handler and adding its table rows.
#pragma once

#include "engine/block_base.h"
#include "engine/block_shape.h"
#include "engine/field_values.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace cps {

// The record shape a handler shows: a field list, a block record, or a record of lists.
enum class RecordKind : uint8_t { Fields, Block, Lists };

class BlockHandler;

// What a list deletion may touch besides its own block: the other blocks by ID, whether the
// codeplug's availability flags enable them, and the passes that keep references right.
class BlockDirectory {
 public:
  virtual BlockHandler* find(int32_t block_id) = 0;  // nullptr when no such block is held
  virtual bool enabled(int32_t block_id) = 0;
  // Entry or list `index` of block `block_id` is about to be deleted: every block that may hold
  // references to it rewrites them, and entries a rewrite removes are deleted in turn.
  virtual void references_deleted(int32_t block_id, size_t index) = 0;
  // Member `from` of list `list` of block `block_id` no longer holds a channel: references to it
  // move to member `to` of the same list.
  virtual void references_moved(int32_t block_id, size_t list, size_t from, size_t to) = 0;
  // Member `member` of list `list` of block `block_id` is about to be deleted: the blocks that
  // name members by position rewrite those references.
  virtual void references_member_deleted(int32_t /*block_id*/, size_t /*list*/, size_t /*member*/) {}

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
  // it stores anything. A record got stays the handler's: it is valid until the handler changes.
  virtual const FieldList& fields() const;
  virtual void set_fields(const FieldList& fields);
  virtual const BlockRecord& block() const;
  virtual void set_block(const BlockRecord& record);
  // set_block with a record the caller gives up (left in an unspecified state): a handler may
  // move fields out of it rather than copy them. The same checks and result as set_block.
  virtual void set_block_from(BlockRecord&& record) { set_block(record); }
  virtual const ListBlockRecord& lists() const;
  virtual void set_lists(const ListBlockRecord& record);
  // The same for a record the caller gives up (SetBlockData's decoded one): a block may check it
  // in place and keep it, rather than copy it.
  virtual void set_lists_from(ListBlockRecord&& record) { set_lists(record); }

  // Field and list operations, where the block has them.
  virtual void set_field(size_t index, const FieldValue& field);
  // A member set may move references held in other blocks (`blocks`).
  virtual void set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks);
  virtual size_t add_list();
  virtual void delete_list(size_t index, BlockDirectory& blocks);
  virtual size_t add_member(size_t list);
  // A member deletion may rewrite references held in other blocks (`blocks`).
  virtual void delete_member(size_t list, size_t member, BlockDirectory& blocks);

  // The base's market class changed: a block whose layout depends on it gives its record the
  // fields the new form has (with their defaults), keeping every value it holds.
  virtual void adapt_to_form();

  // References into other blocks, as the block's rows declare them (a block without any ignores
  // these). Entry or list `index` of block `block_id` is being deleted: references to it take
  // their reset value, references to a higher index are lowered by one. Returns the indexes of
  // this block's own entries (or lists) that a rewrite removes, ascending, for the directory to
  // delete. When the availability flags do not enable this block, only references that are kept
  // whatever the flags say are rewritten.
  virtual std::vector<size_t> rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks, bool enabled);
  // Member `from` of list `list` of block `block_id` no longer holds a channel: references to
  // it move to member `to` of the same list.
  virtual void rewrite_moved(int32_t block_id, size_t list, size_t from, size_t to);
  // Member `member` of list `list` of block `block_id` is being deleted: references to members
  // by position are rewritten (only those kept whatever the flags say where not `enabled`).
  virtual void rewrite_member_deleted(int32_t block_id, size_t list, size_t member, bool enabled);
  // The blocks this block's rows declare references to (by their first IDs).
  virtual std::vector<int32_t> referenced_blocks() const;

  // The rows the block's records are made of, for the field catalogue (none for a block whose
  // handler has no layout rows).
  virtual BlockShape describe() const { return {}; }

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
