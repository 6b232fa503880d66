#include "name_cli.h"

#include "commands.h"
#include "list_ops.h"
#include "names.h"

namespace cpsctl {

namespace {

constexpr const char* kFieldsFooter =
    "FIELD is a field ID (455) or its name (rx_frequency); `cpsctl fields BLOCK` lists a block's\n"
    "fields. A field without a name of its own is called field_NNN.\n"
    "\n"
    "Each field carries an attribute, shown as a word. The component hands it to the host and\n"
    "back unchanged and does not enforce it:\n"
    "  read-only   (0) the radio's own facts (radio information and identity, blocks 2 and 3)\n"
    "  editable    (1) an ordinary field a host may change\n"
    "  structural  (2) a block's sizes and counts, and values that follow another field\n"
    "                  (the deviation follows the channel spacing)\n"
    "\n"
    "Members of a list: the personality members shown under block 37 are reached with\n"
    "`--member M` on block 37 (the component serves them as block 36).";

constexpr const char* kRangeFooter =
    "A field without a range row is answered from the catalogue: a frequency is checked against\n"
    "the band of block 3 (fields 91 to 92), an alias against the characters that survive packing,\n"
    "a choice field against its labels.";

}  // namespace

NameCommands::NameCommands(CLI::App& app, std::string& output, std::vector<CLI::Option*>& output_options) {
  get_ = app.add_subcommand("get", "show a block, an entry or list, or one field of a codeplug, with field names");
  get_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();
  get_->add_option("BLOCK", block_, "block ID")->required();
  get_index_ = get_->add_option("INDEX", index_, "entry or list index (the whole block without it)")
                   ->check(CLI::Range(0, 255));
  get_field_ = get_->add_option("FIELD", field_, "field ID or name (the whole entry or list without it)");
  get_member_ = get_->add_option("--member", member_, "member index within list INDEX")
                    ->check(CLI::Range(0, 255))
                    ->needs(get_index_);
  get_->footer(kFieldsFooter);

  set_ = app.add_subcommand("set", "change fields of a codeplug (SetFieldAt, SetSubFieldAt), all or none");
  set_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();
  set_->add_option("BLOCK", block_, "block ID")->required();
  set_->add_option("INDEX", index_, "entry or list index")->required()->check(CLI::Range(0, 255));
  set_->add_option("FIELD=VALUE", assignments_, "field ID or name and its new text")->required();
  set_member_ = set_->add_option("--member", member_, "member index within list INDEX")->check(CLI::Range(0, 255));
  set_->footer(kFieldsFooter);

  range_ = app.add_subcommand("range", "the minimum, maximum and step of a field (GetRangeInfo), or what checks it");
  range_->add_option("FIELD", field_, "field ID or name")->required();
  range_->add_option("--gen", generation_, "radio generation (1 or 2)")->check(CLI::IsMember({1, 2}));
  range_->footer(kRangeFooter);

  blocks_ = app.add_subcommand("blocks", "the blocks a codeplug holds, with names and entry counts");
  blocks_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();

  fields_ = app.add_subcommand("fields", "a block's fields: name, place, attribute, range or choices");
  fields_->add_option("BLOCK", block_name_, "block ID or name (channel_list)")->required();
  fields_->add_option("--gen", generation_, "radio generation (1 or 2)")->check(CLI::IsMember({1, 2}));
  fields_->footer(kFieldsFooter);

  add_ = app.add_subcommand("add", "add an entry or list (AddList), or with --list a member (AddListMember); "
                                   "prints the new index");
  add_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();
  add_->add_option("BLOCK", block_, "block ID")->required();
  add_list_ = add_->add_option("--list", list_, "add a member to list L")->check(CLI::Range(0, 255));

  delete_ = app.add_subcommand("delete", "delete an entry or list (DeleteList), or with --member a member "
                                         "(DeleteListMember)");
  delete_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();
  delete_->add_option("BLOCK", block_, "block ID")->required();
  delete_->add_option("INDEX", index_, "entry or list index")->required()->check(CLI::Range(0, 255));
  delete_member_ = delete_->add_option("--member", member_, "delete member M of list INDEX")->check(CLI::Range(0, 255));

  move_ = app.add_subcommand("move", "move an entry or list (MoveList), or with --list a member (MoveListMember)");
  move_->add_option("CODEPLUG", codeplug_, "codeplug file")->required();
  move_->add_option("BLOCK", block_, "block ID")->required();
  move_->add_option("FROM", index_, "index it has")->required()->check(CLI::Range(0, 255));
  move_->add_option("TO", to_, "index it gets")->required()->check(CLI::Range(0, 255));
  move_list_ = move_->add_option("--list", list_, "move a member within list L")->check(CLI::Range(0, 255));

  for (CLI::App* command : {set_, add_, delete_, move_})
    output_options.push_back(
        command->add_option("-o,--output", output, "codeplug file to write (the codeplug itself without it)"));
}

std::optional<int> NameCommands::run(const std::optional<std::string>& output) const {
  auto given = [](const CLI::Option* option, int value) {
    return option->count() ? std::optional<int>(value) : std::nullopt;
  };
  if (get_->parsed())
    return get_value(codeplug_, block_, given(get_index_, index_),
                     get_field_->count() ? std::optional<std::string>(field_) : std::nullopt,
                     given(get_member_, member_));
  if (set_->parsed()) return set_values(codeplug_, block_, index_, assignments_, given(set_member_, member_), output);
  if (range_->parsed()) return show_range(field_, generation_);
  if (blocks_->parsed()) return list_blocks(codeplug_);
  if (fields_->parsed()) return list_fields(block_name_, generation_);
  if (add_->parsed()) return add_list(codeplug_, block_, given(add_list_, list_), output);
  if (delete_->parsed()) return delete_list(codeplug_, block_, index_, given(delete_member_, member_), output);
  if (move_->parsed()) return move_list(codeplug_, block_, index_, to_, given(move_list_, list_), output);
  return std::nullopt;
}

}  // namespace cpsctl
