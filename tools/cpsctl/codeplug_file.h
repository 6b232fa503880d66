// The codeplug file: every block a component object serves, each as its record, in JSON.
//
//   {"generation": 1,
//    "blocks": [{"id": 4, "kind": "block",
//                "record": {"header": [[46, "128", 2], ...], "entries": [[[103, "07.20", 0], ...]]}},
//               {"id": 453, "kind": "fields", "record": [[...], ...]},
//               {"id": 6, "kind": "lists",
//                "record": {"header": [...], "lists": [{"header": [...], "entries": [...]}]}}]}
//
// Field rows are [id, "text", attribute], in the component's order, duplicates kept. Saving an
// object and loading the file into a new one gives back exactly the same records.
#pragma once

#include "codeplug.h"
#include "host.h"

#include <string>
#include <string_view>

namespace cpsctl {

std::string to_json(const Codeplug& codeplug);

// The same text written a block at a time: begin, each block, finish (then take the text).
class JsonWriter {
 public:
  explicit JsonWriter(int generation);
  void add(const Block& block);
  // The same text straight from what GetBlockData answered for block `id`; `hint` settles the
  // kind of a record without items. A VARIANT of an unexpected shape fails with Invalid data and
  // adds nothing.
  void add(int32_t id, const VARIANT& data, Kind hint);
  std::string& finish();

 private:
  std::string out_;
  bool first_ = true;
};
// Throws Failure (Invalid data) naming the file and the place in it.
Codeplug from_json(const std::string& text, const std::string& source);
namespace detail {
// The two readers behind from_json: the quick one for a file of the usual form (false, `out`
// unspecified, for anything else) and the checked one, which names what does not fit.
bool from_json_quickly(std::string_view text, Codeplug& out);
Codeplug from_json_checked(const std::string& text, const std::string& source);
}  // namespace detail

// A value as an error line echoes it: at most its first 40 characters, then "...".
std::string text_prefix(std::string_view text);

Codeplug read_codeplug_file(const std::string& path);  // 124 when it cannot be opened
void write_codeplug_file(const std::string& path, const Codeplug& codeplug);  // atomically

}  // namespace cpsctl
