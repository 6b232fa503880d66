// The list operations of cpsctl: entries and lists added, deleted and moved through the
// component's list methods (AddList, DeleteList, MoveList) and, given a list, its members
// through the member methods (AddListMember, DeleteListMember, MoveListMember). Each command
// does one operation on a codeplug file and saves it only when the operation succeeded.
#pragma once

#include <optional>
#include <string>

namespace cpsctl {

// Prints the new entry's (list's, member's) index.
int add_list(const std::string& codeplug, long block, std::optional<int> list, const std::optional<std::string>& output);
int delete_list(const std::string& codeplug, long block, int index, std::optional<int> member,
                const std::optional<std::string>& output);
int move_list(const std::string& codeplug, long block, int from, int to, std::optional<int> list,
              const std::optional<std::string>& output);

}  // namespace cpsctl
