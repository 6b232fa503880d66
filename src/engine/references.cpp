#include "engine/references.h"

#include "engine/block_base.h"

namespace cps {

namespace {

constexpr int64_t kNone = 255;

}  // namespace

const RefTarget* ref_target(const RefSpec& spec, const FieldList& entry, int32_t block) {
  for (const RefTarget& target : spec.targets) {
    if (target.block != block) continue;
    if (target.type == nullptr) return &target;
    if (spec.type_field != 0 && entry.contains(spec.type_field) && entry.text(spec.type_field) == target.type)
      return &target;
  }
  return nullptr;
}

Rewrite rewrite_deleted_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block, size_t k,
                        BlockDirectory& blocks, bool enabled) {
  if (!entry.contains(index_field)) return Rewrite::None;
  const RefTarget* target = ref_target(spec, entry, block);
  // A member reference follows its list's row; deleting a list does not concern it.
  if (target == nullptr || target->list_field != 0 || target->member_position || !(enabled || target->always))
    return Rewrite::None;
  const int64_t index = parse_decimal(entry.text(index_field));
  if (index == static_cast<int64_t>(k) && !(target->none_stays && index == kNone)) {
    if (target->on_deleted == OnDeleted::Remove) return Rewrite::Remove;
    std::pair<std::string, std::string> reset{spec.type_field ? entry.text(spec.type_field) : "", target->reset_index};
    if (target->reset_type) reset.first = target->reset_type;
    if (target->reset_rule) reset = target->reset_rule(blocks, {reset.first, entry.text(index_field)});
    if (spec.type_field != 0) entry.set_text(spec.type_field, reset.first);
    entry.set_text(index_field, reset.second);
    return Rewrite::Changed;
  }
  if (index > static_cast<int64_t>(k) && !(target->none_stays && index == kNone)) {
    entry.set_text(index_field, decimal_text(index - 1));
    return Rewrite::Changed;
  }
  return Rewrite::None;
}

Rewrite rewrite_deleted_member_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block,
                                         size_t list, size_t member, bool enabled) {
  if (!entry.contains(index_field)) return Rewrite::None;
  const RefTarget* target = ref_target(spec, entry, block);
  if (target == nullptr || !target->member_position || !(enabled || target->always)) return Rewrite::None;
  if (target->list_field != 0 &&
      (!entry.contains(target->list_field) || parse_decimal(entry.text(target->list_field)) != static_cast<int64_t>(list)))
    return Rewrite::None;
  const int64_t position = parse_decimal(entry.text(index_field));
  if (position <= 0) return Rewrite::None;  // none
  const int64_t deleted = static_cast<int64_t>(member) + 1;
  if (position == deleted) {
    if (target->on_deleted == OnDeleted::Remove) return Rewrite::Remove;
    entry.set_text(index_field, target->reset_index);
    return Rewrite::Changed;
  }
  if (position > deleted) {
    entry.set_text(index_field, decimal_text(position - 1));
    return Rewrite::Changed;
  }
  return Rewrite::None;
}

bool rewrite_moved_reference(const RefSpec& spec, int32_t index_field, FieldList& entry, int32_t block, size_t list,
                   size_t from, size_t to) {
  if (!entry.contains(index_field)) return false;
  const RefTarget* target = ref_target(spec, entry, block);
  if (target == nullptr || target->list_field == 0 || !entry.contains(target->list_field)) return false;
  if (parse_decimal(entry.text(target->list_field)) != static_cast<int64_t>(list)) return false;
  if (parse_decimal(entry.text(index_field)) != static_cast<int64_t>(from)) return false;
  entry.set_text(index_field, decimal_text(static_cast<int64_t>(to)));
  return true;
}

}  // namespace cps
