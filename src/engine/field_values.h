// The in-memory shapes of a block: one field, a field list, a block record (header plus
// entries) and a list block record (header plus lists, each list a block record whose entries
// are its members). Every value is text; records are plain values, copied deeply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cps {

// Raises 105: a position or index outside a list.
[[noreturn]] void bad_position();

struct FieldValue {
  FieldValue() = default;
  FieldValue(int32_t field, std::string&& text, uint8_t attr) : id(field), attribute(attr), value(std::move(text)) {}
  FieldValue(int32_t field, const std::string& text, uint8_t attr) : id(field), attribute(attr), value(text) {}

  // The attribute is kept beside the ID, where it fills what would be padding: a field is 40
  // bytes rather than 48, and a 255-channel list holds 13,000 of them.
  int32_t id = 0;
  uint8_t attribute = 0;
  std::string value;  // narrow text in the Windows-1252 code page

  bool operator==(const FieldValue&) const = default;
};

// An ordered list of fields, kept in one array (one allocation per list). Duplicate IDs are
// allowed; every lookup by ID takes the first match.
class FieldList {
 public:
  void add(const FieldValue& field) { fields_.push_back(field); }
  void add(int32_t id, std::string value, uint8_t attribute) {
    fields_.emplace_back(id, std::move(value), attribute);
  }
  // Adds a field of empty text and gives its text to be filled in where it lies.
  std::string& add_text(int32_t id, uint8_t attribute) {
    return fields_.emplace_back(id, std::string(), attribute).value;
  }
  FieldValue get(int32_t id) const;                // 104 when absent
  const std::string& text(int32_t id) const;       // 104 when absent
  void set(const FieldValue& field);               // text and attribute of the first match; 104
  void set_text(int32_t id, std::string value);    // text only, attribute kept; 104
  void put(const FieldValue& field);               // set when present, else added at the end
  bool contains(int32_t id) const;
  void clear();
  void reserve(size_t fields);                     // room for this many without reallocating
  size_t count() const { return fields_.size(); }
  FieldValue at(size_t position) const;            // 105 outside 0..count-1
  // The parts of the field at a position (105 outside 0..count-1), and the position of the
  // first field of an ID (104 when absent), for reading a list without copying its texts.
  int32_t id_at(size_t position) const { return checked(position).id; }
  const std::string& text_at(size_t position) const { return checked(position).value; }
  uint8_t attribute_at(size_t position) const { return checked(position).attribute; }
  size_t position_of(int32_t id) const { return find(id); }

  bool operator==(const FieldList&) const = default;

 private:
  size_t find(int32_t id) const;  // position of the first match; 104 when absent
  const FieldValue& checked(size_t position) const {
    if (position >= fields_.size()) bad_position();
    return fields_[position];
  }

  std::vector<FieldValue> fields_;
};

// A block's unpacked form: header fields and an ordered array of entries. A block without a
// list keeps its fields in entry 0. Every entry index is checked (105).
class BlockRecord {
 public:
  FieldList& header() { return header_; }
  const FieldList& header() const { return header_; }

  void add_header_field(const FieldValue& field) { header_.add(field); }
  void set_header_field(const FieldValue& field) { header_.set(field); }
  FieldValue get_header_field(int32_t id) const { return header_.get(id); }

  FieldList& entry(size_t index) {
    if (index >= entries_.size()) bad_position();
    return entries_[index];
  }
  const FieldList& entry(size_t index) const {
    if (index >= entries_.size()) bad_position();
    return entries_[index];
  }
  void add_entry_field(size_t index, const FieldValue& field) { entry(index).add(field); }
  void set_entry_field(size_t index, const FieldValue& field) { entry(index).set(field); }
  FieldValue get_entry_field(size_t index, int32_t id) const { return entry(index).get(id); }

  size_t entry_count() const { return entries_.size(); }
  size_t add_entry();                        // returns the new entry's index
  size_t add_entry(const FieldList& entry);  // appends a copy
  size_t add_entry(FieldList&& entry);       // appends the entry itself
  void remove_entry(size_t index);
  // Takes entry `from` out and inserts it at `to` of the shortened array; an index outside
  // 0..count-1 makes it do nothing.
  void move_entry(size_t from, size_t to);

  void clear_header() { header_.clear(); }
  void clear_entries() { entries_.clear(); }
  void clear();

  bool operator==(const BlockRecord&) const = default;

 private:
  FieldList header_;
  std::vector<FieldList> entries_;
};

// A block whose lists have members: list i's header holds the list's fields, its entries are
// the list's members.
class ListBlockRecord {
 public:
  FieldList& header() { return header_; }
  const FieldList& header() const { return header_; }

  BlockRecord& list(size_t index);
  const BlockRecord& list(size_t index) const;

  void add_list_header_field(size_t list, const FieldValue& f) { this->list(list).add_header_field(f); }
  void set_list_header_field(size_t list, const FieldValue& f) { this->list(list).set_header_field(f); }
  FieldValue get_list_header_field(size_t list, int32_t id) const {
    return this->list(list).get_header_field(id);
  }
  void add_member_field(size_t list, size_t member, const FieldValue& f) {
    this->list(list).add_entry_field(member, f);
  }
  void set_member_field(size_t list, size_t member, const FieldValue& f) {
    this->list(list).set_entry_field(member, f);
  }
  FieldValue get_member_field(size_t list, size_t member, int32_t id) const {
    return this->list(list).get_entry_field(member, id);
  }
  size_t member_count(size_t list) const { return this->list(list).entry_count(); }

  size_t list_count() const { return lists_.size(); }
  size_t add_list();
  size_t add_list(const BlockRecord& list);
  size_t add_list(BlockRecord&& list);
  void remove_list(size_t index);
  void move_list(size_t from, size_t to);  // silent no-op outside 0..count-1
  void clear();

  bool operator==(const ListBlockRecord&) const = default;

 private:
  FieldList header_;
  std::vector<BlockRecord> lists_;
};

}  // namespace cps
