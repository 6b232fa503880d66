// cpsctl's CSV cells both ways and the difference lines of `cpsctl diff`.
#include "csv.h"
#include "diff.h"
#include "host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cpsctl {
namespace {

using Table = std::vector<std::vector<std::string>>;

// The HRESULT and detail a call fails with; S_OK when it does not fail.
template <class Call>
Failure failure_of(Call&& call) {
  try {
    call();
  } catch (const Failure& f) {
    return f;
  }
  return {S_OK, ""};
}

TEST(Csv, CellsAreQuotedOnlyWhenTheyMustBeAndReadBackAsWritten) {
  struct Case {
    std::string text, cell;
  } const cases[] = {
      {"CH 01", "CH 01"},
      {"", ""},
      {"Std Unmuting, Std Muting", "\"Std Unmuting, Std Muting\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(csv_cell(c.text), c.cell) << c.text;
    // Each cell between others, then alone on a line, parses back to its text.
    EXPECT_EQ(parse_csv(csv_line({"a", c.text, "b"})), (Table{{"a", c.text, "b"}})) << c.text;
    EXPECT_EQ(parse_csv(csv_line({c.text})), (Table{{c.text}})) << c.text;
  }
}

TEST(Csv, RowsEndInLfOrCrlfAndTheLastNeedsNoLineEnd) {
  struct Case {
    std::string text;
    Table rows;
  } const cases[] = {
      {"", {}},
      {"a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
      {"a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"\xEF\xBB\xBF" "455,424\n1,2\n", {{"455", "424"}, {"1", "2"}}},  // a spreadsheet's byte-order mark
      {",\n", {{"", ""}}},
      {"a\n\nb\n", {{"a"}, {""}, {"b"}}},
      {"\"x\r\ny\",z\n", {{"x\r\ny", "z"}}},  // a line break inside quotes is the cell's
  };
  for (const Case& c : cases) EXPECT_EQ(parse_csv(c.text), c.rows) << c.text;
}

TEST(Csv, AMalformedCellNamesItsRowAndColumn) {
  struct Case {
    std::string text, place;
  } const cases[] = {
      {"a,b\nc,\"d\n", "CSV row 2, column 2: the quoted cell is not closed"},
      {"a,b\"c\n", "CSV row 1, column 2: a quote in a cell that is not quoted"},
      {"a\nb\n\"c\"d,e\n", "CSV row 3, column 1: text after the closing quote"},
  };
  for (const Case& c : cases) {
    const Failure f = failure_of([&] { parse_csv(c.text); });
    EXPECT_EQ(f.hr, kInvalidData) << c.text;
    EXPECT_EQ(f.detail.rfind(c.place, 0), 0u) << f.detail;
  }
}

TEST(Csv, ColumnHeadersNameAFieldByIdIdAndNameOrName) {
  EXPECT_EQ(column_field(1, 38, "455"), 455);
  EXPECT_EQ(column_field(1, 38, "455 (rx_frequency)"), 455);
  EXPECT_EQ(column_field(1, 38, "455 (tx_frequency)"), 455);  // the ID decides
  EXPECT_EQ(column_field(1, 38, "rx_frequency"), 455);
  EXPECT_EQ(column_field(1, 38, "field_463"), 463);
  EXPECT_EQ(column_field(2, 2018, "power_level"), 2505);
  for (const char* header : {"", "no_such_field", "455x", "455 rx", "455 (rx", "-5", "1234567890", " 455"})
    EXPECT_EQ(column_field(1, 38, header), std::nullopt) << header;
}

Block entries_block(int32_t id, Rows header, std::vector<Rows> entries) {
  return {id, EntryRecord{std::move(header), std::move(entries)}};
}

TEST(Diff, EachDifferenceIsOneLineNamingItsPlace) {
  Codeplug a{1, {entries_block(38, {{48, "2", 2}}, {{{455, "146.52", 1}, {424, "CH 1", 1}}, {{455, "147", 1}}}),
                 {453, Rows{{52, "1", 0}}},
                 {6, ListRecord{{}, {EntryRecord{{{7, "x", 1}}, {{{8, "1", 1}}, {{8, "2", 1}}}}}}}}};
  Codeplug b = a;
  EXPECT_TRUE(codeplug_differences(a, b, "A", "B").empty());

  auto& channels = std::get<EntryRecord>(b.blocks[0].record);
  channels.entries[0][0] = {455, "146.520000", 2};  // same value, another attribute: no difference
  channels.entries[0][1].text = "CH 01";
  channels.entries[1].push_back({456, "1", 1});
  channels.entries.push_back({{455, "148", 1}});
  b.blocks[1] = {17, Rows{}};
  auto& list = std::get<ListRecord>(b.blocks[2].record).lists[0];
  list.header[0].text = "y";
  list.entries.pop_back();
  EXPECT_EQ(codeplug_differences(a, b, "A", "B"), (std::vector<std::string>{
                                                      "block 38 entry 0 field 424 (alias): \"CH 1\" -> \"CH 01\"",
                                                      "block 38 entry 1 field 456 (tx_frequency): only in B (\"1\")",
                                                      "block 38 entry 2: only in B",
                                                      "block 453: only in A",
                                                      "block 6 list 0 field 7: \"x\" -> \"y\"",
                                                      "block 6 list 0 member 1: only in A",
                                                      "block 17: only in B",
                                                  }));
}

TEST(Diff, FieldsGivenTwicePairByOccurrenceAndGenerationsAreNotCompared) {
  Codeplug a{1, {{4, Rows{{105, "1", 0}, {105, "2", 0}}}}};
  Codeplug b{1, {{4, Rows{{105, "1", 0}, {105, "3", 0}}}}};
  EXPECT_EQ(codeplug_differences(a, b, "A", "B"), (std::vector<std::string>{"block 4 field 105 (programming_date)#2: \"2\" -> \"3\""}));
  b.generation = 2;
  const auto lines = codeplug_differences(a, b, "a.json", "b.json");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "generation 1 in a.json, 2 in b.json: codeplugs of different generations are not compared");
}

}  // namespace
}  // namespace cpsctl
