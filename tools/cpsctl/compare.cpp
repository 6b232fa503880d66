#include "compare.h"

#include "block_text.h"
#include "variant_records.h"

#include <algorithm>

namespace cpsctl {

bool Ignore::block(int32_t id) const { return std::find(blocks.begin(), blocks.end(), id) != blocks.end(); }

bool Ignore::list_header(int32_t id) const {
  return std::find(list_headers.begin(), list_headers.end(), id) != list_headers.end();
}

bool Ignore::field(int32_t block_id, int32_t field_id) const {
  return std::find(fields.begin(), fields.end(), std::pair{block_id, field_id}) != fields.end();
}

namespace {

// A decimal number's text reduced to one spelling per value: no sign on zero, no "+", no leading
// zeros before the point, no trailing zeros after it ("-007.50" -> "-7.5"). Empty for a text
// that is not a plain decimal number.
std::string canonical_number(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) return {};
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (whole.empty() && fraction.empty()) return "0";
  std::string out = negative ? "-" : "";
  out += whole.empty() ? std::string_view("0") : whole;
  if (!fraction.empty()) {
    out += '.';
    out += fraction;
  }
  return out;
}

class Comparison {
 public:
  Comparison(const Ignore& ignore, const Wording& wording, std::vector<std::string>& out)
      : ignore_(ignore), wording_(wording), out_(out) {}

  void rows(int32_t block, const std::string& where, const Rows& meant, const Rows& actual) {
    const size_t common = std::min(meant.size(), actual.size());
    for (size_t k = 0; k < common; ++k) {
      const Row& m = meant[k];
      const Row& a = actual[k];
      if (m.id != a.id) {
        out_.push_back(where + ": the fields differ from position " + std::to_string(k) + " on (field " +
                       std::to_string(m.id) + " in the codeplug, field " + std::to_string(a.id) + " read back)");
        return;
      }
      if (m.text == a.text || ignore_.field(block, m.id) || same_value(m.text, a.text)) continue;
      out_.push_back(where + " field " + std::to_string(m.id) + ": " + said(quoted(m.text), quoted(a.text)));
    }
    if (meant.size() != actual.size())
      out_.push_back(where + ": " + said(count_text(meant.size(), "field", "fields"), std::to_string(actual.size())));
  }

  void entries(int32_t block, const std::string& where, const EntryRecord& meant, const EntryRecord& actual,
               const char* name, const char* names, bool compare_header = true) {
    if (compare_header) rows(block, where + " header", meant.header, actual.header);
    const size_t common = std::min(meant.entries.size(), actual.entries.size());
    for (size_t k = 0; k < common; ++k)
      rows(block, where + " " + name + " " + std::to_string(k), meant.entries[k], actual.entries[k]);
    if (meant.entries.size() != actual.entries.size())
      out_.push_back(where + ": " +
                     said(count_text(meant.entries.size(), name, names), std::to_string(actual.entries.size())));
  }

  void block(const Block& meant, const Block& actual) {
    const std::string where = "block " + std::to_string(meant.id);
    if (meant.kind() != actual.kind()) {
      out_.push_back(where + ": " + said(std::string("a ") + kind_name(meant.kind()) + " record",
                                         std::string("a ") + kind_name(actual.kind()) + " record"));
      return;
    }
    switch (meant.kind()) {
      case Kind::Fields:
        rows(meant.id, where, std::get<Rows>(meant.record), std::get<Rows>(actual.record));
        break;
      case Kind::Block:
        entries(meant.id, where, std::get<EntryRecord>(meant.record), std::get<EntryRecord>(actual.record),
                "entry", "entries");
        break;
      case Kind::Lists: {
        const auto& m = std::get<ListRecord>(meant.record);
        const auto& a = std::get<ListRecord>(actual.record);
        rows(meant.id, where + " header", m.header, a.header);
        const size_t common = std::min(m.lists.size(), a.lists.size());
        for (size_t k = 0; k < common; ++k)
          entries(meant.id, where + " list " + std::to_string(k), m.lists[k], a.lists[k], "member", "members",
                  !ignore_.list_header(meant.id));
        if (m.lists.size() != a.lists.size())
          out_.push_back(where + ": " + said(count_text(m.lists.size(), "list", "lists"), std::to_string(a.lists.size())));
        break;
      }
    }
  }

 private:
  // "wrote X, the radio has Y"
  std::string said(const std::string& meant, const std::string& actual) const {
    return std::string(wording_.meant) + " " + meant + ", " + wording_.actual + " " + actual;
  }

  const Ignore& ignore_;
  const Wording& wording_;
  std::vector<std::string>& out_;
};

}  // namespace

bool same_value(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::string x = canonical_number(a);
  return !x.empty() && x == canonical_number(b);
}

namespace {

// A text as it lies in a VARIANT against cpsctl's UTF-8: ASCII compared in place.
bool same_text(std::basic_string_view<OLECHAR> wide, std::string_view text) {
  if (wide.size() == text.size()) {
    size_t k = 0;
    while (k < text.size() && static_cast<char32_t>(wide[k]) < 0x80 &&
           static_cast<char32_t>(wide[k]) == static_cast<unsigned char>(text[k]))
      ++k;
    if (k == text.size()) return true;
  }
  return utf8_from_wide(wide.data(), wide.size()) == text;
}

// The checks of Comparison::rows, held to equal texts; with `attributes`, equal attributes too.
bool rows_hold(int32_t block, const Rows& meant, const VARIANT& actual, const Ignore& ignore, bool attributes) {
  const RowsView rows(actual);
  if (rows.size() != meant.size()) return false;
  const bool some_ignored = !ignore.fields.empty();
  for (size_t k = 0; k < meant.size(); ++k) {
    if (rows.id(k) != meant[k].id) return false;
    if (!same_text(rows.text(k), meant[k].text) && !(some_ignored && ignore.field(block, meant[k].id))) return false;
    if (attributes && rows.attribute(k) != meant[k].attribute) return false;
  }
  return true;
}

bool entries_hold(int32_t block, const EntryRecord& meant, const VARIANT& actual, const Ignore& ignore,
                  bool compare_header, bool attributes) {
  const RecordView record(actual);
  if (compare_header && !rows_hold(block, meant.header, record.header(), ignore, attributes)) return false;
  if (record.size() != meant.entries.size()) return false;
  for (size_t k = 0; k < record.size(); ++k)
    if (!rows_hold(block, meant.entries[k], record.item(k), ignore, attributes)) return false;
  return true;
}

}  // namespace

bool holds_exactly(const Block& meant, const VARIANT& actual, Kind kind, const Ignore& ignore, bool attributes) {
  if (kind != meant.kind()) return false;
  try {
    switch (kind) {
      case Kind::Fields: return rows_hold(meant.id, std::get<Rows>(meant.record), actual, ignore, attributes);
      case Kind::Block:
        return entries_hold(meant.id, std::get<EntryRecord>(meant.record), actual, ignore, true, attributes);
      case Kind::Lists: {
        const auto& lists = std::get<ListRecord>(meant.record);
        const RecordView record(actual);
        if (!rows_hold(meant.id, lists.header, record.header(), ignore, attributes) ||
            record.size() != lists.lists.size())
          return false;
        for (size_t k = 0; k < record.size(); ++k)
          if (!entries_hold(meant.id, lists.lists[k], record.item(k), ignore, !ignore.list_header(meant.id),
                            attributes))
            return false;
        return true;
      }
    }
  } catch (const Failure&) {
  }
  return false;
}

std::vector<std::string> differences(const Codeplug& meant, const Codeplug& actual, const Ignore& ignore,
                                     const Wording& wording) {
  std::vector<std::string> out;
  Comparison comparison(ignore, wording, out);
  for (const Block& m : meant.blocks) {
    if (ignore.block(m.id)) continue;
    if (const Block* a = actual.find(m.id))
      comparison.block(m, *a);
    else
      out.push_back("block " + std::to_string(m.id) + ": in the codeplug, but not read back from the radio");
  }
  for (const Block& a : actual.blocks)
    if (!ignore.block(a.id) && !meant.find(a.id))
      out.push_back("block " + std::to_string(a.id) + ": read back from the radio, but not in the codeplug");
  return out;
}

}  // namespace cpsctl
