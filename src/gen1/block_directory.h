// Every block of a first-generation radio, found by block ID through the block registry, and
// the passes that keep references right. When a block deletes an entry, the registry's
// partners of that block rewrite the references their rows declare, in the registry's order:
// each when block 453 enables it (references kept whatever the flags say excepted), the block
// itself always. An entry that a rewrite removes is deleted through its own block, which rewrites
// its own partners in turn. Those removals are tried on a copy of each partner first: where a
// partner refuses one (a list that may not lose its last entry, 116), the deletion fails before
// any partner has changed.
#pragma once

#include "engine/block_handler.h"

namespace cps {

class Gen1Radio;

class Gen1Directory final : public BlockDirectory {
 public:
  explicit Gen1Directory(Gen1Radio& radio) : radio_(radio) {}

  // The handler that holds a block ID (the container, a slot, block 2 or 3); nullptr for an ID
  // no row knows or whose handler is not built.
  BlockHandler* find(int32_t block_id) override;
  bool enabled(int32_t block_id) override;
  void references_deleted(int32_t block_id, size_t index) override;
  void references_moved(int32_t block_id, size_t list, size_t from, size_t to) override;
  // The registry's member partners of the block, each told whether block 453 enables it.
  void references_member_deleted(int32_t block_id, size_t list, size_t member) override;

 private:
  Gen1Radio& radio_;
};

}  // namespace cps
