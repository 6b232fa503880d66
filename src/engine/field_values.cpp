#include "engine/field_values.h"

#include "platform/errors.h"

#include <utility>

namespace cps {

namespace {

template <class T>
void move_element(std::vector<T>& items, size_t from, size_t to) {
  if (from >= items.size() || to >= items.size()) return;
  T item = std::move(items[from]);
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(from));
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(to), std::move(item));
}

template <class T>
void check_index(const std::vector<T>& items, size_t index) {
  if (index >= items.size()) raise(err::kBadIndex);
}

}  // namespace

void bad_position() { raise(err::kBadIndex); }

// FieldList


size_t FieldList::find(int32_t id) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].id == id) return i;
  raise(err::kFieldNotFound);
}

FieldValue FieldList::get(int32_t id) const { return fields_[find(id)]; }

const std::string& FieldList::text(int32_t id) const { return fields_[find(id)].value; }

void FieldList::set(const FieldValue& field) {
  FieldValue& stored = fields_[find(field.id)];
  stored.value = field.value;
  stored.attribute = field.attribute;
}

void FieldList::set_text(int32_t id, std::string value) { fields_[find(id)].value = std::move(value); }

void FieldList::put(const FieldValue& field) {
  if (contains(field.id))
    set(field);
  else
    add(field);
}

bool FieldList::contains(int32_t id) const {
  for (const FieldValue& field : fields_)
    if (field.id == id) return true;
  return false;
}

void FieldList::clear() { fields_.clear(); }

void FieldList::reserve(size_t fields) { fields_.reserve(fields); }


FieldValue FieldList::at(size_t position) const {
  check_index(fields_, position);
  return fields_[position];
}

// BlockRecord


size_t BlockRecord::add_entry() {
  entries_.emplace_back();
  return entries_.size() - 1;
}

size_t BlockRecord::add_entry(const FieldList& entry) {
  entries_.push_back(entry);
  return entries_.size() - 1;
}

size_t BlockRecord::add_entry(FieldList&& entry) {
  entries_.push_back(std::move(entry));
  return entries_.size() - 1;
}

void BlockRecord::remove_entry(size_t index) {
  check_index(entries_, index);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void BlockRecord::move_entry(size_t from, size_t to) { move_element(entries_, from, to); }

void BlockRecord::clear() {
  header_.clear();
  entries_.clear();
}

// ListBlockRecord

BlockRecord& ListBlockRecord::list(size_t index) {
  check_index(lists_, index);
  return lists_[index];
}

const BlockRecord& ListBlockRecord::list(size_t index) const {
  check_index(lists_, index);
  return lists_[index];
}

size_t ListBlockRecord::add_list() {
  lists_.emplace_back();
  return lists_.size() - 1;
}

size_t ListBlockRecord::add_list(const BlockRecord& list) {
  lists_.push_back(list);
  return lists_.size() - 1;
}

size_t ListBlockRecord::add_list(BlockRecord&& list) {
  lists_.push_back(std::move(list));
  return lists_.size() - 1;
}

void ListBlockRecord::remove_list(size_t index) {
  check_index(lists_, index);
  lists_.erase(lists_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ListBlockRecord::move_list(size_t from, size_t to) { move_element(lists_, from, to); }

void ListBlockRecord::clear() {
  header_.clear();
  lists_.clear();
}

}  // namespace cps
