#include "diff.h"

#include "block_text.h"
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "compare.h"
#include "host.h"
#include "names.h"
#include "progress.h"
#include "sim/simulated_radio.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

namespace cpsctl {

std::string read_whole_file(const std::string& path, const std::string& what) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw Failure{kFileOpen, "", what + ": it is a directory"};
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{kFileOpen, "", what + ": " + std::strerror(errno)};
  try {
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.bad()) return content;
  } catch (const std::exception&) {
  }
  throw Failure{kFileRead, "", what};
}

std::string field_label(int generation, int32_t block, int32_t field) {
  std::string label = std::to_string(field);
  if (const cps::catalogue::BlockInfo* info = block_info(generation, block))
    if (const cps::catalogue::FieldInfo* found = cps::catalogue::find_field(*info, label); found && found->named)
      label += " (" + found->name + ")";
  return label;
}

namespace {

class Differences {
 public:
  Differences(int generation, std::string a, std::string b)
      : generation_(generation), a_(std::move(a)), b_(std::move(b)) {}

  // Rows are paired by field ID; a field given twice pairs its first rows, then its second.
  void rows(int32_t block, const std::string& where, const Rows& a, const Rows& b) {
    std::map<std::pair<int32_t, int>, size_t> in_b;
    std::map<int32_t, int> seen;
    for (size_t k = 0; k < b.size(); ++k) in_b[{b[k].id, seen[b[k].id]++}] = k;
    std::vector<bool> paired(b.size(), false);
    seen.clear();
    for (const Row& row : a) {
      const int occurrence = seen[row.id]++;
      const std::string at = where + " field " + label(block, row.id, occurrence);
      const auto found = in_b.find({row.id, occurrence});
      if (found == in_b.end()) {
        out_.push_back(at + ": only in " + a_ + " (" + quoted(row.text) + ")");
        continue;
      }
      paired[found->second] = true;
      const std::string& other = b[found->second].text;
      if (!same_value(row.text, other)) out_.push_back(at + ": " + quoted(row.text) + " -> " + quoted(other));
    }
    seen.clear();
    for (size_t k = 0; k < b.size(); ++k) {
      const int occurrence = seen[b[k].id]++;
      if (!paired[k])
        out_.push_back(where + " field " + label(block, b[k].id, occurrence) + ": only in " + b_ + " (" +
                       quoted(b[k].text) + ")");
    }
  }

  // A block's header and entries, or a list's settings (`header` "") and members.
  void entries(int32_t block, const std::string& where, const char* header, const EntryRecord& a,
               const EntryRecord& b, const char* name) {
    rows(block, where + header, a.header, b.header);
    const size_t common = std::min(a.entries.size(), b.entries.size());
    for (size_t k = 0; k < common; ++k)
      rows(block, where + " " + name + " " + std::to_string(k), a.entries[k], b.entries[k]);
    only(where + " " + name, a.entries.size(), b.entries.size());
  }

  void block(const Block& a, const Block& b) {
    const std::string where = "block " + std::to_string(a.id);
    if (a.kind() != b.kind()) {
      out_.push_back(where + ": a " + kind_name(a.kind()) + " record in " + a_ + ", a " + kind_name(b.kind()) +
                     " record in " + b_);
      return;
    }
    switch (a.kind()) {
      case Kind::Fields:
        rows(a.id, where, std::get<Rows>(a.record), std::get<Rows>(b.record));
        break;
      case Kind::Block:
        entries(a.id, where, " header", std::get<EntryRecord>(a.record), std::get<EntryRecord>(b.record),
                "entry");
        break;
      case Kind::Lists: {
        const auto& x = std::get<ListRecord>(a.record);
        const auto& y = std::get<ListRecord>(b.record);
        rows(a.id, where + " header", x.header, y.header);
        const size_t common = std::min(x.lists.size(), y.lists.size());
        for (size_t k = 0; k < common; ++k)
          entries(a.id, where + " list " + std::to_string(k), "", x.lists[k], y.lists[k], "member");
        only(where + " list", x.lists.size(), y.lists.size());
        break;
      }
    }
  }

  void only_block(int32_t id, const std::string& side) {
    out_.push_back("block " + std::to_string(id) + ": only in " + side);
  }

  std::vector<std::string> take() { return std::move(out_); }

 private:
  std::string label(int32_t block, int32_t field, int occurrence) const {
    // A field given twice in one entry: its second row is "455#2".
    return field_label(generation_, block, field) + (occurrence ? "#" + std::to_string(occurrence + 1) : "");
  }

  // The entries (lists, members) beyond the shorter side, one line each.
  void only(const std::string& what, size_t a, size_t b) {
    for (size_t k = std::min(a, b); k < std::max(a, b); ++k)
      out_.push_back(what + " " + std::to_string(k) + ": only in " + (a > b ? a_ : b_));
  }

  int generation_;
  std::string a_, b_;
  std::vector<std::string> out_;
};

constexpr ULONG kHandle = 1;  // the device handle; the simulated radio does not look at it

// The radio's codeplug as ReadDevice gives it. The radio file is only read: nothing of the
// read reaches it.
Codeplug read_radio_codeplug(const std::string& path) {
  cps::sim::SimulatedRadio radio;
  try {
    radio = cps::sim::SimulatedRadio::load(path);
  } catch (const std::exception& e) {
    throw Failure{kInvalidData, "", e.what()};
  }
  Component object(radio.generation);
  ProgressBar bar("reading " + path);
  object.check(object->ReadDevice(radio.as_unknown(), kHandle, bar.as_unknown()), "radio '" + path + "'");
  bar.complete();
  return snapshot(object);
}

}  // namespace

std::vector<std::string> codeplug_differences(const Codeplug& a, const Codeplug& b, const std::string& a_name,
                                              const std::string& b_name) {
  if (a.generation != b.generation)
    return {"generation " + std::to_string(a.generation) + " in " + a_name + ", " + std::to_string(b.generation) +
            " in " + b_name + ": codeplugs of different generations are not compared"};
  Differences differences(a.generation, a_name, b_name);
  for (const Block& block : a.blocks) {
    if (const Block* other = b.find(block.id))
      differences.block(block, *other);
    else
      differences.only_block(block.id, a_name);
  }
  for (const Block& block : b.blocks)
    if (!a.find(block.id)) differences.only_block(block.id, b_name);
  return differences.take();
}

Codeplug read_codeplug_or_radio(const std::string& path) {
  const std::string content = read_whole_file(path, "'" + path + "'");
  // A radio file holds the radio's memory; anything else is read as a codeplug file, whose
  // reader names what is wrong with it.
  const nlohmann::json file = nlohmann::json::parse(content, nullptr, false);
  if (file.is_object() && file.contains("memory") && !file.contains("blocks")) return read_radio_codeplug(path);
  return from_json(content, path);
}

int diff_codeplugs(const std::string& a_path, const std::string& b_path) {
  Codeplug a, b;
  try {
    a = read_codeplug_or_radio(a_path);
    b = read_codeplug_or_radio(b_path);
  } catch (Failure& failure) {
    // As diff does: 1 says the two differ, so a side that cannot be read is trouble, 2.
    failure.exit_code = kExitUsage;
    throw;
  }
  const std::vector<std::string> lines = codeplug_differences(a, b, a_path, b_path);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return lines.empty() ? kExitOk : kExitFailure;
}

}  // namespace cpsctl
