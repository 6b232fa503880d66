#include "gen1/block_directory.h"

#include "gen1/block_table.h"
#include "gen1/radio.h"

#include <algorithm>
#include <memory>

namespace cps {

namespace {

// The first ID of the row that holds `block_id`: the name references use for the block.
int32_t first_id(const Gen1Block& row) { return row.regions[0].id; }

bool refers_to(const BlockHandler& handler, int32_t block_id) {
  const std::vector<int32_t> targets = handler.referenced_blocks();
  return std::find(targets.begin(), targets.end(), block_id) != targets.end();
}

// The blocks as they are, for a copy of one block to try its rewrites and deletions on: it
// reads every block, and hands no deletion (of an entry or of a member) along.
class TrialDirectory final : public BlockDirectory {
 public:
  explicit TrialDirectory(BlockDirectory& blocks) : blocks_(blocks) {}
  BlockHandler* find(int32_t block_id) override { return blocks_.find(block_id); }
  bool enabled(int32_t block_id) override { return blocks_.enabled(block_id); }
  void references_deleted(int32_t, size_t) override {}
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  void references_member_deleted(int32_t, size_t, size_t) override {}

 private:
  BlockDirectory& blocks_;
};

}  // namespace

BlockHandler* Gen1Directory::find(int32_t block_id) {
  const Gen1Block* row = gen1_block(block_id);
  if (!row) return nullptr;
  BlockHandler* handler = nullptr;
  switch (row->holder) {
    case Holder::Image: handler = &radio_.codeplug; break;
    case Holder::Info: handler = &radio_.block2; break;
    case Holder::Identity: handler = &radio_.block3; break;
    case Holder::Container: handler = radio_.codeplug.handler(block_id); break;
    case Holder::None: break;
  }
  return handler;
}

bool Gen1Directory::enabled(int32_t block_id) { return radio_.codeplug.enabled(block_id); }

void Gen1Directory::references_deleted(int32_t block_id, size_t index) {
  const Gen1Block* row = gen1_block(block_id);
  if (!row) return;
  // The entries a rewrite removes are deleted through their own block, which may refuse (a list
  // at its fewest entries: 116). Each partner first tries its removals on a copy, so that a
  // refusal fails the deletion before any block has changed.
  for (int32_t partner : row->partners) {
    if (partner == 0) continue;
    BlockHandler* handler = find(partner);
    if (!handler || !refers_to(*handler, first_id(*row))) continue;
    const bool own = row->region(partner) != nullptr;
    const std::unique_ptr<BlockHandler> trial = handler->clone();
    TrialDirectory unchanged(*this);
    const std::vector<size_t> removed = trial->rewrite_deleted(first_id(*row), index, unchanged, own || enabled(partner));
    for (auto it = removed.rbegin(); it != removed.rend(); ++it) trial->delete_list(*it, unchanged);
  }
  for (int32_t partner : row->partners) {
    if (partner == 0) continue;
    BlockHandler* handler = find(partner);
    if (!handler) continue;  // a block this codeplug cannot hold yet
    const bool own = row->region(partner) != nullptr;
    const std::vector<size_t> removed =
        handler->rewrite_deleted(first_id(*row), index, *this, own || enabled(partner));
    // From the last, so that the indexes still to go stay where they are.
    for (auto it = removed.rbegin(); it != removed.rend(); ++it) handler->delete_list(*it, *this);
  }
}

void Gen1Directory::references_moved(int32_t block_id, size_t list, size_t from, size_t to) {
  const Gen1Block* row = gen1_block(block_id);
  if (!row) return;
  for (int32_t partner : row->partners) {
    if (partner == 0 || !(row->region(partner) || enabled(partner))) continue;
    if (BlockHandler* handler = find(partner)) handler->rewrite_moved(first_id(*row), list, from, to);
  }
}

void Gen1Directory::references_member_deleted(int32_t block_id, size_t list, size_t member) {
  const Gen1Block* row = gen1_block(block_id);
  if (!row) return;
  for (int32_t partner : row->member_partners) {
    if (partner == 0) continue;
    if (BlockHandler* handler = find(partner))  // a block this codeplug cannot hold yet: skipped
      handler->rewrite_member_deleted(first_id(*row), list, member, enabled(partner));
  }
}

}  // namespace cps
