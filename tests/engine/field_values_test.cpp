#include "engine/field_values.h"

#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;

TEST(FieldList, DuplicateIdsAreKeptAndLookupsTakeTheFirst) {
  FieldList list;
  list.add(455, "148.000000", 1);
  list.add(455, "150.000000", 2);
  list.add(7, "x", 0);
  EXPECT_EQ(list.count(), 3u);
  EXPECT_EQ(list.get(455).value, "148.000000");

  list.set({455, "149.500000", 0});
  EXPECT_EQ(list.at(0), (FieldValue{455, "149.500000", 0}));
  EXPECT_EQ(list.at(1), (FieldValue{455, "150.000000", 2}));  // the second is untouched
  EXPECT_EQ(list.at(2).id, 7);                                 // positions are kept
}

TEST(FieldList, MissingFieldsAndPositions) {
  FieldList list;
  EXPECT_EQ(error_of([&] { list.set({2, "b", 0}); }), err::kFieldNotFound);
  EXPECT_EQ(error_of([&] { list.at(0); }), err::kBadIndex);
}

BlockRecord three_entries() {
  BlockRecord record;
  record.add_header_field({48, "3", 2});
  for (const char* name : {"A", "B", "C"}) {
    size_t k = record.add_entry();
    record.add_entry_field(k, {424, name, 1});
  }
  return record;
}

std::string names(const BlockRecord& record) {
  std::string out;
  for (size_t k = 0; k < record.entry_count(); ++k) out += record.get_entry_field(k, 424).value;
  return out;
}

TEST(BlockRecord, MoveAndRemoveEntries) {
  struct Case { size_t from, to; const char* expected; } cases[] = {
      {0, 2, "BCA"}, {2, 0, "CAB"}, {3, 0, "ABC"}, {0, 3, "ABC"},  // outside the range: nothing
  };
  for (const Case& c : cases) {
    BlockRecord record = three_entries();
    record.move_entry(c.from, c.to);
    EXPECT_EQ(names(record), c.expected) << c.from << " -> " << c.to;
  }
  BlockRecord record = three_entries();
  record.remove_entry(1);
  EXPECT_EQ(names(record), "AC");
  EXPECT_EQ(record.add_entry(), 2u);
}

TEST(ListBlockRecord, ListsAndMembers) {
  ListBlockRecord record;
  record.header().add(49, "1", 2);
  for (int i = 0; i < 3; ++i) {
    size_t list = record.add_list();
    record.add_list_header_field(list, {424, std::string(1, char('A' + i)), 1});
    size_t member = record.list(list).add_entry();
    record.add_member_field(list, member, {500, std::to_string(i), 1});
  }
  EXPECT_EQ(error_of([&] { record.get_member_field(3, 0, 500); }), err::kBadIndex);
  EXPECT_EQ(error_of([&] { record.get_member_field(0, 1, 500); }), err::kBadIndex);

  record.move_list(0, 2);
  EXPECT_EQ(record.get_list_header_field(2, 424).value, "A");
  EXPECT_EQ(record.get_member_field(2, 0, 500).value, "0");
  record.remove_list(0);
  EXPECT_EQ(record.list_count(), 2u);
  EXPECT_EQ(error_of([&] { record.remove_list(2); }), err::kBadIndex);
}

}  // namespace
}  // namespace cps
