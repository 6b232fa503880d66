#include "gen1/blocks/block_id_list.h"

#include "gen1/block_table.h"

#include <algorithm>
#include <utility>

namespace cps {

namespace {

bool long_form(const BlockBase& base) { return base.long_form(); }

}  // namespace

void BlockIdList::build_default() {
  FieldList list;
  add_leading_fields(list);
  const FieldList ids = layout::defaults(rows_, base);
  for (size_t i = 0; i < ids.count(); ++i) list.add(ids.at(i));
  fields_ = std::move(list);
}

bool BlockIdList::has(int32_t block_id) const {
  return layout::find(rows_, block_id, base) != nullptr && fields_.contains(block_id);
}

std::vector<layout::FieldDesc> block_id_rows(RegionPlace (*place)(const Gen1Region&), uint8_t attribute) {
  std::vector<std::pair<int, layout::FieldDesc>> placed;
  for (const Gen1Block& block : gen1_blocks())
    for (const Gen1Region& r : block.regions) {
      if (r.id == 0) continue;
      const RegionPlace p = place(r);
      if (!p.placed) continue;
      placed.push_back({p.order, {.id = r.id, .offset = p.offset, .mask = p.mask, .width = p.width,
                                  .attribute = attribute, .dflt = {"0"}, .when = r.long_form ? long_form : nullptr}});
    }
  std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<layout::FieldDesc> rows;
  for (const auto& [order, row] : placed) rows.push_back(row);
  return rows;
}

}  // namespace cps
