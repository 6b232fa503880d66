// The command lines of the commands that take blocks and fields by name: get, set, range,
// blocks, fields, and the list operations add, delete and move.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace cpsctl {

class NameCommands {
 public:
  // Adds the commands to `app`; their -o options write `output` and go into `output_options`.
  NameCommands(CLI::App& app, std::string& output, std::vector<CLI::Option*>& output_options);
  // After parsing: runs the command given, if it is one of these (its exit code), else nothing.
  std::optional<int> run(const std::optional<std::string>& output) const;

 private:
  std::string codeplug_;
  long block_ = 0;
  std::string block_name_;
  std::string field_;
  std::vector<std::string> assignments_;
  int index_ = 0, to_ = 0, member_ = 0, list_ = 0, generation_ = 1;
  CLI::App *get_, *set_, *range_, *blocks_, *fields_, *add_, *delete_, *move_;
  CLI::Option *get_index_, *get_field_, *get_member_, *set_member_, *add_list_, *delete_member_, *move_list_;
};

}  // namespace cpsctl
