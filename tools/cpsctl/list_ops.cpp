#include "list_ops.h"

#include "block_text.h"
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "file_lock.h"
#include "host.h"
#include "names.h"
#include "output.h"

#include "engine/block_registry.h"

#include <cstdio>

namespace cpsctl {

namespace {

// A codeplug loaded, changed by one list method and saved when the method succeeded: a refused
// operation leaves the file as it was. The file written stays locked from before the load.
class Edit {
 public:
  Edit(const std::string& path, const std::optional<std::string>& output)
      : target_(output.value_or(path)), lock_(target_), file_(read_codeplug_file(path)), object_(file_.generation) {
    load(object_, file_, path);
  }

  Component& object() { return object_; }
  int generation() const { return file_.generation; }
  // The kind of record the block holds, for naming its indexes ("entry", "list").
  Kind kind(long block) const { return read_block(object_, static_cast<int32_t>(block)).kind(); }

  void run(HRESULT hr, const std::string& where) {
    object_.check(hr, where);
    write_codeplug_file(target_, snapshot(object_));
  }
  // What was done, unless the codeplug went to standard output.
  void report(const std::string& text) const {
    if (!is_standard_output(target_)) std::printf("%s in %s\n", text.c_str(), target_.c_str());
  }

 private:
  std::string target_;
  FileLock lock_;
  Codeplug file_;
  Component object_;
};

std::string block_text(long block) { return "block " + std::to_string(block); }

// MoveList and MoveListMember succeed and change nothing when an index is past the last one; a
// person who asks for that move has mistyped, so the move is refused before anything is saved.
void check_move(Edit& edit, long block, std::optional<int> list, int from, int to, const char* unit,
                const char* units) {
  BYTE count = 0;
  if (list) {
    const long served = served_by(edit.generation(), block, cps::method::m);
    edit.object().check(edit.object()->GetCurrentListMemberQuantity(static_cast<LONG>(served),
                                                                     static_cast<BYTE>(*list), &count),
                        block_text(block) + ", list " + std::to_string(*list));
  } else {
    edit.object().check(edit.object()->GetCurrentListQuantity(static_cast<LONG>(block), &count), block_text(block));
  }
  for (const int index : {from, to})
    if (index >= count)
      throw Failure{kBadIndex, "",
                    block_text(block) + (list ? ", list " + std::to_string(*list) : std::string()) + " has " +
                        count_text(count, unit, units) + ": no " + unit + " " + std::to_string(index) + " to move"};
}

}  // namespace

int add_list(const std::string& codeplug, long block, std::optional<int> list, const std::optional<std::string>& output) {
  Edit edit(codeplug, output);
  const Kind kind = edit.kind(block);
  BYTE index = 0;
  if (list) {
    const long served = served_by(edit.generation(), block, cps::method::a);
    const std::string where = block_text(block) + ", list " + std::to_string(*list);
    edit.run(edit.object()->AddListMember(static_cast<LONG>(served), static_cast<BYTE>(*list), &index), where);
    edit.report("added member " + std::to_string(index) + " to " + where);
  } else {
    edit.run(edit.object()->AddList(static_cast<LONG>(block), &index), block_text(block));
    edit.report(std::string("added ") + (kind == Kind::Lists ? "list " : "entry ") + std::to_string(index) + " to " +
                block_text(block));
  }
  return kExitOk;
}

int delete_list(const std::string& codeplug, long block, int index, std::optional<int> member,
                const std::optional<std::string>& output) {
  Edit edit(codeplug, output);
  const std::string where = block_text(block) + index_text(edit.kind(block), index, member);
  if (member) {
    const long served = served_by(edit.generation(), block, cps::method::d);
    edit.run(edit.object()->DeleteListMember(static_cast<LONG>(served), static_cast<BYTE>(index),
                                             static_cast<BYTE>(*member)),
             where);
  } else {
    edit.run(edit.object()->DeleteList(static_cast<LONG>(block), static_cast<BYTE>(index)), where);
  }
  edit.report("deleted " + where);
  return kExitOk;
}

int move_list(const std::string& codeplug, long block, int from, int to, std::optional<int> list,
              const std::optional<std::string>& output) {
  Edit edit(codeplug, output);
  const Kind kind = edit.kind(block);
  std::string where;
  if (list) {
    check_move(edit, block, list, from, to, "member", "members");
    const long served = served_by(edit.generation(), block, cps::method::v);
    where = block_text(block) + ", list " + std::to_string(*list) + ", member " + std::to_string(from) + " to " +
            std::to_string(to);
    edit.run(edit.object()->MoveListMember(static_cast<LONG>(served), static_cast<BYTE>(*list), static_cast<BYTE>(from),
                                           static_cast<BYTE>(to)),
             where);
  } else {
    check_move(edit, block, list, from, to, kind == Kind::Lists ? "list" : "entry",
               kind == Kind::Lists ? "lists" : "entries");
    where = block_text(block) + ", " + (kind == Kind::Lists ? "list " : "entry ") + std::to_string(from) + " to " +
            std::to_string(to);
    edit.run(edit.object()->MoveList(static_cast<LONG>(block), static_cast<BYTE>(from), static_cast<BYTE>(to)), where);
  }
  edit.report("moved " + where);
  return kExitOk;
}

}  // namespace cpsctl
