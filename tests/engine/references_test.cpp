// One reference field rewritten after a deletion or a member move, for every kind of target.
#include "engine/references.h"

#include "engine/block_handler.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

struct NoBlocks final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t, size_t) override {}
  void references_moved(int32_t, size_t, size_t, size_t) override {}
};

std::pair<std::string, std::string> from_codeplug(BlockDirectory&, const std::pair<std::string, std::string>& now) {
  return {"Group", now.second + "!"};
}

// Field 2 holds the index, field 1 the type: "A" names block 10, "B" block 20; an untyped row
// (field 3) names block 30; field 4 names a member of block 40 in the list of field 3.
constexpr RefTarget kTyped[] = {
    {.block = 10, .type = "A", .reset_index = "0", .reset_type = "None"},
    {.block = 20, .type = "B", .on_deleted = OnDeleted::Remove},
    {.block = 50, .type = "C", .reset_rule = from_codeplug, .none_stays = true, .always = true},
};
constexpr RefSpec kTypedSpec{.type_field = 1, .targets = kTyped};
constexpr RefTarget kPlain[] = {{.block = 30, .none_stays = true}};
constexpr RefSpec kPlainSpec{.targets = kPlain};
constexpr RefTarget kMember[] = {{.block = 40, .list_field = 3}};
constexpr RefSpec kMemberSpec{.targets = kMember};
// Field 5 holds a member position of block 60 from 1, 0 for none, whatever the list.
constexpr RefTarget kPosition[] = {{.block = 60, .reset_index = "0", .member_position = true}};
constexpr RefSpec kPositionSpec{.targets = kPosition};

FieldList entry(const char* type, const char* index) {
  FieldList e;
  e.add(1, type, 1);
  e.add(2, index, 1);
  return e;
}

TEST(References, DeletionRewritesByTypeAndTarget) {
  struct Case { const char* type; const char* index; int32_t block; size_t k; bool enabled; Rewrite result; const char* after_type; const char* after_index; };
  const Case cases[] = {
      {"A", "3", 10, 3, true, Rewrite::Changed, "None", "0"},   // the deleted entry: reset
      {"A", "4", 10, 3, true, Rewrite::Changed, "A", "3"},      // above: lowered
      {"A", "2", 10, 3, true, Rewrite::None, "A", "2"},         // below: kept
      {"A", "3", 20, 3, true, Rewrite::None, "A", "3"},         // another block's deletion
      {"B", "3", 20, 3, true, Rewrite::Remove, "B", "3"},       // its entry goes
      {"A", "4", 10, 3, false, Rewrite::None, "A", "4"},        // a block not enabled keeps it
      {"C", "4", 50, 3, false, Rewrite::Changed, "C", "3"},     // unless kept whatever the flags
      {"C", "3", 50, 3, true, Rewrite::Changed, "Group", "3!"}, // a reset from the codeplug
      {"C", "255", 50, 3, true, Rewrite::None, "C", "255"},     // "none" stays
  };
  NoBlocks blocks;
  for (const Case& c : cases) {
    FieldList e = entry(c.type, c.index);
    EXPECT_EQ(rewrite_deleted_reference(kTypedSpec, 2, e, c.block, c.k, blocks, c.enabled), c.result) << c.type << c.index;
    EXPECT_EQ(e.text(1) + "/" + e.text(2), std::string(c.after_type) + "/" + c.after_index) << c.type << c.index;
  }
  FieldList plain;  // an untyped row
  plain.add(3, "7", 1);
  EXPECT_EQ(rewrite_deleted_reference(kPlainSpec, 3, plain, 30, 0, blocks, true), Rewrite::Changed);
  EXPECT_EQ(plain.text(3), "6");
}

// A member reference moves with its member and ignores list deletions, which its list's row
// handles.
TEST(References, MemberReferencesMove) {
  FieldList e;
  e.add(3, "1", 1);
  e.add(4, "2", 1);
  NoBlocks blocks;
  EXPECT_EQ(rewrite_deleted_reference(kMemberSpec, 4, e, 40, 0, blocks, true), Rewrite::None);
  EXPECT_FALSE(rewrite_moved_reference(kMemberSpec, 4, e, 40, 0, 2, 5));  // another list
  EXPECT_FALSE(rewrite_moved_reference(kMemberSpec, 4, e, 40, 1, 3, 5));  // another member
  EXPECT_TRUE(rewrite_moved_reference(kMemberSpec, 4, e, 40, 1, 2, 5));
  EXPECT_EQ(e.text(4), "5");
}

// A member position follows member deletions in any list and ignores list deletions.
TEST(References, MemberPositionsFollowMemberDeletions) {
  struct Case { const char* position; int32_t block; size_t member; bool enabled; Rewrite result; const char* after; };
  const Case cases[] = {
      {"3", 60, 2, true, Rewrite::Changed, "0"},   // the deleted member: none
      {"4", 60, 2, true, Rewrite::Changed, "3"},   // behind it: one down
      {"0", 60, 0, true, Rewrite::None, "0"},      // none stays none
      {"4", 61, 2, true, Rewrite::None, "4"},      // another block's member
  };
  NoBlocks blocks;
  for (const Case& c : cases) {
    FieldList e;
    e.add(5, c.position, 1);
    for (size_t list : {0u, 7u}) {
      FieldList each = e;
      EXPECT_EQ(rewrite_deleted_member_reference(kPositionSpec, 5, each, c.block, list, c.member, c.enabled), c.result)
          << c.position << " list " << list;
      EXPECT_EQ(each.text(5), c.after) << c.position;
    }
  }
  FieldList e;
  e.add(5, "3", 1);
  EXPECT_EQ(rewrite_deleted_reference(kPositionSpec, 5, e, 60, 0, blocks, true), Rewrite::None);
  EXPECT_EQ(rewrite_deleted_member_reference(kTypedSpec, 2, e, 10, 0, 0, true), Rewrite::None);  // no such field
}

}  // namespace
}  // namespace cps
