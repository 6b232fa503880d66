#include "blocks.h"

#include "gen1/block_table.h"
#include "gen2/block_table.h"

#include <algorithm>
#include <vector>

namespace cpsctl {

namespace {

Kind kind_of(cps::RecordKind kind) {
  switch (kind) {
    case cps::RecordKind::Fields: return Kind::Fields;
    case cps::RecordKind::Lists: return Kind::Lists;
    case cps::RecordKind::Block: break;
  }
  return Kind::Block;
}

// The first region of a row that the container orders; rows it does not hold come first (0).
int first_order(const cps::Gen1Block& row) {
  int order = 0;
  for (const cps::Gen1Region& region : row.regions)
    if (region.order != 0 && (order == 0 || region.order < order)) order = region.order;
  return order;
}

// Every row of the component's block registry that answers GetBlockData, by its first ID. The
// programming record (codeplug version), radio information (radio kind) and identity (market
// class) prepare the others, the flags and address table come before the blocks, which follow
// in the container's order; the container's own header fields come last.
std::vector<ServedBlock> gen1_served() {
  constexpr int32_t kFirst[] = {4, 2, 3, 453, 454};
  constexpr int32_t kLast = 1;
  std::vector<const cps::Gen1Block*> rows;
  for (const cps::Gen1Block& row : cps::gen1_blocks())
    if (row.regions[0].methods & cps::method::G) rows.push_back(&row);
  const auto rank = [&](const cps::Gen1Block* row) {
    const int32_t id = row->regions[0].id;
    if (id == kLast) return 1000;
    const auto first = std::find(std::begin(kFirst), std::end(kFirst), id);
    if (first != std::end(kFirst)) return static_cast<int>(first - std::begin(kFirst)) - 100;
    return first_order(*row);
  };
  std::stable_sort(rows.begin(), rows.end(), [&](auto* a, auto* b) { return rank(a) < rank(b); });
  std::vector<ServedBlock> blocks;
  for (const cps::Gen1Block* row : rows) blocks.push_back({row->regions[0].id, kind_of(row->kind), row->name});
  return blocks;
}

}  // namespace

std::span<const ServedBlock> gen1_blocks() {
  static const std::vector<ServedBlock> blocks = gen1_served();
  return blocks;
}

std::span<const ServedBlock> gen2_blocks() {
  static const std::vector<ServedBlock> blocks = [] {
    using cps::gen2::R9Shape;
    std::vector<ServedBlock> out;
    auto serve = [&](int32_t id) {
      const cps::gen2::R9Block& row = *cps::gen2::r9_block(id);
      out.push_back({row.id, row.shape == R9Shape::Record ? Kind::Fields : Kind::Block, row.name});
    };
    serve(cps::gen2::kInfoBlock);
    for (const cps::gen2::R9Block& row : cps::gen2::r9_blocks())
      if (row.shape == R9Shape::Record) serve(row.id);
    for (int32_t id : cps::gen2::r9_read_order())
      if (id != cps::gen2::kInfoBlock && cps::gen2::r9_block(id)->make_list) serve(id);
    return out;
  }();
  return blocks;
}

std::span<const ServedBlock> served_blocks(int generation) {
  return generation == 2 ? gen2_blocks() : gen1_blocks();
}

}  // namespace cpsctl
