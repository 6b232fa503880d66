// cpsctl's codeplug file and its crossing of the automation boundary: the string writer gives
// the same bytes as the JSON-tree writer it replaced, the quick reader reads what the checked
// reader reads or leaves the file to it, and records survive VARIANT encoding both ways. Also
// the two text checks of write and set: values compared as values, and the code page a codeplug
// holds its text in.
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "compare.h"
#include "host.h"
#include "output.h"
#include "preflight.h"
#include "variant_records.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <random>
#include <string>
#include <vector>

namespace cpsctl {
namespace {

// ---- The writer this file had before: a JSON tree, printed with field rows on one line ----

using ojson = nlohmann::ordered_json;

ojson tree_rows(const Rows& rows) {
  ojson out = ojson::array();
  for (const Row& row : rows) out.push_back(ojson::array({row.id, row.text, row.attribute}));
  return out;
}

ojson tree_entries(const EntryRecord& record) {
  ojson entries = ojson::array();
  for (const Rows& rows : record.entries) entries.push_back(tree_rows(rows));
  return ojson{{"header", tree_rows(record.header)}, {"entries", std::move(entries)}};
}

ojson tree_record(const Block& block) {
  switch (block.kind()) {
    case Kind::Fields: return tree_rows(std::get<Rows>(block.record));
    case Kind::Block: return tree_entries(std::get<EntryRecord>(block.record));
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      ojson lists = ojson::array();
      for (const EntryRecord& list : record.lists) lists.push_back(tree_entries(list));
      return ojson{{"header", tree_rows(record.header)}, {"lists", std::move(lists)}};
    }
  }
  return {};
}

bool is_leaf(const ojson& j) { return !j.is_array() && !j.is_object(); }

void pretty(const ojson& j, std::string& out, int indent) {
  const std::string pad(static_cast<size_t>(indent + 2), ' ');
  if (j.is_array() && !j.empty() && !std::all_of(j.begin(), j.end(), is_leaf)) {
    out += "[\n";
    for (size_t k = 0; k < j.size(); ++k) {
      out += pad;
      pretty(j[k], out, indent + 2);
      out += k + 1 < j.size() ? ",\n" : "\n";
    }
    out += std::string(static_cast<size_t>(indent), ' ') + "]";
  } else if (j.is_object() && !j.empty()) {
    out += "{\n";
    size_t k = 0;
    for (const auto& [key, value] : j.items()) {
      out += pad + ojson(key).dump() + ": ";
      pretty(value, out, indent + 2);
      out += ++k < j.size() ? ",\n" : "\n";
    }
    out += std::string(static_cast<size_t>(indent), ' ') + "}";
  } else if (j.is_array() && !j.empty()) {
    out += "[";
    for (size_t k = 0; k < j.size(); ++k) out += (k ? ", " : "") + j[k].dump();
    out += "]";
  } else {
    out += j.dump();
  }
}

ojson tree(const Codeplug& codeplug) {
  ojson blocks = ojson::array();
  for (const Block& block : codeplug.blocks)
    blocks.push_back(ojson{{"id", block.id}, {"kind", kind_name(block.kind())}, {"record", tree_record(block)}});
  return ojson{{"generation", codeplug.generation}, {"blocks", std::move(blocks)}};
}

std::string tree_json(const Codeplug& codeplug) {
  std::string out;
  pretty(tree(codeplug), out, 0);
  return out + "\n";
}

// ---- Codeplugs to write and read ------------------------------------------------------------

// Every kind of block, empty arrays where they can be, and texts that need escapes, are not
// ASCII or are long.
Codeplug made_codeplug() {
  const Rows awkward = {{1, "", 0},
                        {-7, "quote \" backslash \\ slash /", 255},
                        {INT32_MIN, "\b\f\n\r\t \x01\x1f\x7f", 1},
                        {INT32_MAX, "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xbb \xef\xbf\xbf", 2},
                        {455, std::string("nul \0 inside", 12), 3},
                        {424, std::string(65, 'x'), 1}};  // longer than a row line's quick path
  Codeplug codeplug{1, {}};
  codeplug.blocks.push_back({453, awkward});
  codeplug.blocks.push_back({5, Rows{}});
  codeplug.blocks.push_back({38, EntryRecord{awkward, {awkward, Rows{}, {{424, "CH 1", 1}}}}});
  codeplug.blocks.push_back({4, EntryRecord{Rows{}, {}}});
  codeplug.blocks.push_back({6, ListRecord{awkward, {EntryRecord{{{48, "16", 1}}, {awkward}}, EntryRecord{}}}});
  codeplug.blocks.push_back({17, ListRecord{Rows{}, {}}});
  return codeplug;
}

// A factory radio's codeplug as `cpsctl read` saves it, with the model tables cpsctl ships.
Codeplug factory_codeplug(const cps::sim::FactoryOptions& options) {
  setenv("CPSERVICES_MODELS", CPSCTL_MODELS, 1);
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio(options);
  Component object(1);
  EXPECT_EQ(object->ReadDevice(radio.as_unknown(), 1, nullptr), S_OK);
  return snapshot(object);
}

std::vector<Codeplug> codeplugs() {
  cps::sim::FactoryOptions full;
  full.channels = 255;
  cps::sim::FactoryOptions mobile;
  mobile.mobile = true;
  mobile.market_class = 2;
  mobile.model = cps::sim::kMarketClass1Model;
  return {made_codeplug(), factory_codeplug(full), factory_codeplug(mobile), Codeplug{2, {}}};
}

void expect_same(const Codeplug& a, const Codeplug& b) {
  EXPECT_EQ(a.generation, b.generation);
  EXPECT_TRUE(a.blocks == b.blocks);
}

// ---- The file -------------------------------------------------------------------------------

TEST(CodeplugFile, WritesTheBytesOfTheTreeWriterAndReadsThemBack) {
  for (const Codeplug& codeplug : codeplugs()) {
    const std::string text = to_json(codeplug);
    EXPECT_EQ(text, tree_json(codeplug));
    Codeplug quick;
    ASSERT_TRUE(detail::from_json_quickly(text, quick));
    expect_same(quick, codeplug);
    expect_same(from_json(text, "file"), codeplug);
  }
}

// The same records in other spellings: compact, indented otherwise, keys in another order
// (nlohmann::json sorts them), escapes a writer may choose. The quick reader takes them all.
// A read writes each block straight from the VARIANT GetBlockData answers: the same bytes as
// writing the decoded records.
TEST(CodeplugFile, WritingFromVariantsGivesTheBytesOfWritingRecords) {
  for (const Codeplug& codeplug : codeplugs()) {
    JsonWriter from_variants(codeplug.generation);
    for (const Block& block : codeplug.blocks) {
      Variant data;
      encode_block(block, data.get());
      from_variants.add(block.id, *data, block.kind());
    }
    EXPECT_EQ(from_variants.finish(), to_json(codeplug));
  }
}

TEST(CodeplugFile, QuickReaderTakesAnySpellingOfTheSameRecords) {
  const Codeplug codeplug = made_codeplug();
  const nlohmann::json sorted = nlohmann::json::parse(to_json(codeplug));
  std::string escaped = tree(codeplug).dump(1, '\t', true);  // every non-ASCII character as \uXXXX
  const std::string key = "\"generation\"";
  escaped.replace(escaped.find(key), key.size(), "\"g\\u0065neration\"");
  for (const std::string& text :
       {tree(codeplug).dump(), sorted.dump(), sorted.dump(3), escaped, " \r\n\t" + sorted.dump() + "\n\n",
        // Runs of blanks longer than eight, across eight, and up to the end of the text.
        "  \t         \n" + sorted.dump(9) + std::string(11, ' '), sorted.dump(8) + "        "}) {
    Codeplug quick;
    ASSERT_TRUE(detail::from_json_quickly(text, quick)) << text.substr(0, 200);
    expect_same(quick, codeplug);
    expect_same(quick, detail::from_json_checked(text, "file"));
  }
}

// Rows at the edges of the writer's own spelling, which the quick reader takes at once, and
// just past them: each is read as the checked reader reads it, or left to it.
TEST(CodeplugFile, QuickReaderReadsRowsAtTheEdgesOfTheWritersSpellingAsTheCheckedReader) {
  auto file = [](const std::string& row) {
    return R"({"generation": 1, "blocks": [{"id": 453, "kind": "fields", "record": [)" + row + "]}]}";
  };
  const std::string good[] = {
      R"([0, "", 0])",         R"([999999999, "x", 255])", R"([1000000000, "x", 1])", R"([-5, "x", 1])",
      R"([46,"128",2])",       R"([46 , "128" , 2 ])",     R"([46,  "128", 2])",      R"([46, "a\"b", 2])",
      R"([46, "a\\", 2])",     R"([46, "caf\u00e9", 2])",  "[46, \"caf\xc3\xa9\", 2]", "[46, \"~\x7f\", 2]",
      R"([46, " ~!", 0])",
  };
  for (const std::string& row : good) {
    SCOPED_TRACE(row);
    Codeplug quick;
    ASSERT_TRUE(detail::from_json_quickly(file(row), quick));
    expect_same(quick, detail::from_json_checked(file(row), "file"));
  }
  const std::string bad[] = {R"([46, "128", 2)", "[46, \"a\tb\", 2]", R"([46, "128", 2555])", R"([46, "128", 25.5])",
                             R"([46, "128", 00])", R"([00, "128", 0])", R"([46, "128, 2])"};
  for (const std::string& row : bad) {
    SCOPED_TRACE(row);
    Codeplug quick;
    EXPECT_FALSE(detail::from_json_quickly(file(row), quick));
    EXPECT_THROW(from_json(file(row), "file"), Failure);
  }
}

// What the quick reader leaves to the checked one, which then says what is wrong or, for a
// file that is good but unusual, reads it.
TEST(CodeplugFile, QuickReaderLeavesAnythingUnexpectedToTheCheckedReader) {
  const std::string row = R"([46, "128", 2])";
  auto file = [](const std::string& blocks) { return R"({"generation": 1, "blocks": [)" + blocks + "]}"; };
  auto block = [&](const std::string& rows) { return R"({"id": 453, "kind": "fields", "record": [)" + rows + "]}"; };
  struct Case {
    std::string text;
    bool good;  // the checked reader takes it
  };
  const Case cases[] = {
      {file(block(row)) + " x", false},
      {"\xef\xbb\xbf" + file(block(row)), true},  // a byte order mark
      {file(block(R"([46, "128", 2.0])")), false},
      {file(block(R"([46, "128", 2e0])")), false},
      {file(block(R"([046, "128", 2])")), false},
      {file(block(R"([46, "128", 256])")), false},
      {file(block(R"([2147483648, "128", 2])")), false},
      {file(block(R"([-2147483649, "128", 2])")), false},
      {file(block(R"([18446744073709551615, "128", 2])")), false},  // would wrap round to -1
      {file(block(R"([9223372036854775808, "128", 2])")), false},
      {file(block(R"([46, "128", 18446744073709551615])")), false},
      {file(block(R"([46, 128, 2])")), false},
      {file(block(R"([46, "128"])")), false},
      {file(block(R"([46, "1\u00", 2])")), false},
      {file(block(R"([46, "\ud800", 2])")), false},
      {file(block(R"([46, "\udc00\ud800", 2])")), false},
      {file(block("[46, \"\xc3\x28\", 2]")), false},        // a broken sequence
      {file(block("[46, \"\xc0\xaf\", 2]")), false},        // an overlong slash
      {file(block("[46, \"\xed\xa0\x80\", 2]")), false},    // a surrogate
      {file(block("[46, \"\xf4\x90\x80\x80\", 2]")), false},  // above U+10FFFF
      {file(block("[46, \"tab\there\", 2]")), false},
      {file(block(row) + ", " + block(row)), false},  // block 453 twice
      {file(R"({"record": [], "kind": "fields", "id": 453})"), true},  // the record before its kind
      {file(R"({"id": 453, "id": 454, "kind": "fields", "record": []})"), true},  // a key twice
      {file(R"({"id": 453, "kind": "field", "record": []})"), false},
      {file(R"({"id": 453, "kind": "fields", "record": [], "note": 1})"), false},
      {file(R"({"id": 4, "kind": "block", "record": {"header": []}})"), false},
      {R"({"generation": 3, "blocks": []})", false},
      {R"({"generation": 1})", false},
      {R"({"generation": 1, "blocks": [], "generation": 1})", true},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Codeplug quick;
    EXPECT_FALSE(detail::from_json_quickly(c.text, quick));
    if (c.good) {
      expect_same(from_json(c.text, "file"), detail::from_json_checked(c.text, "file"));
    } else {
      try {
        from_json(c.text, "file");
        ADD_FAILURE() << "read";
      } catch (const Failure& f) {
        EXPECT_EQ(f.hr, kInvalidData);
        EXPECT_EQ(f.detail.rfind("codeplug 'file': ", 0), 0u) << f.detail;
      }
    }
  }
}

// Random damage to a small file: whatever the quick reader takes, the checked reader takes as
// the same records, and a file that neither takes fails with Invalid data.
TEST(CodeplugFile, QuickReaderNeverTakesWhatTheCheckedReaderReadsOtherwise) {
  const std::string original = to_json(made_codeplug());
  const std::string alphabet = "{}[],:\"\\ -019eu.\x80\xc3\xa9\x01";
  std::mt19937 random(20261206);
  int taken = 0;
  for (int n = 0; n < 3000; ++n) {
    std::string text = original;
    for (int edits = 1 + static_cast<int>(random() % 3); edits > 0; --edits) {
      const size_t at = random() % text.size();
      const char c = alphabet[random() % alphabet.size()];
      switch (random() % 3) {
        case 0: text.erase(at, 1); break;
        case 1: text.insert(at, 1, c); break;
        default: text[at] = c; break;
      }
    }
    Codeplug quick;
    if (detail::from_json_quickly(text, quick)) {
      ++taken;
      expect_same(quick, detail::from_json_checked(text, "file"));
      continue;
    }
    try {
      from_json(text, "file");
    } catch (const Failure& f) {
      EXPECT_EQ(f.hr, kInvalidData);
    }
  }
  EXPECT_GT(taken, 100);  // edits inside texts and numbers leave many files good
}

// A file of very many blocks reads in linear time (the check for a block given twice included:
// a search of the blocks read so far took half a minute here), by either reader; a block given twice
// is named.
TEST(CodeplugFile, ManyBlocksReadAndATwiceGivenOneIsNamed) {
  constexpr int kBlocks = 2000;
  std::string text = R"({"generation": 1, "blocks": [)";
  for (int k = 0; k < kBlocks; ++k)
    text += (k ? ", " : "") + std::string(R"({"id": )") + std::to_string(k) + R"(, "kind": "fields", "record": []})";
  EXPECT_EQ(from_json(text + "]}", "file").blocks.size(), size_t{kBlocks});
  EXPECT_EQ(detail::from_json_checked(text + "]}", "file").blocks.size(), size_t{kBlocks});
  try {
    from_json(text + R"(, {"id": 7, "kind": "fields", "record": []}]})", "file");
    ADD_FAILURE() << "read";
  } catch (const Failure& f) {
    EXPECT_EQ(f.detail, "codeplug 'file': blocks[2000]: block 7 appears twice");
  }
}

TEST(CodeplugFile, LongValuesAreEchoedAsAShortPrefix) {
  struct Case {
    std::string text, shown;
  };
  const std::string forty(40, 'x');
  const Case cases[] = {
      {"", ""},
      {forty, forty},
      {forty + "y", forty + "..."},
      {std::string(39, 'x') + "Ã©" + "tail", std::string(39, 'x') + "..."},  // not inside a character
  };
  for (const Case& c : cases) EXPECT_EQ(text_prefix(c.text), c.shown) << c.text;
  try {
    from_json(R"({"generation": 1, "blocks": [], ")" + std::string(500, 'k') + R"(": 1})", "file");
    ADD_FAILURE() << "read";
  } catch (const Failure& f) {
    EXPECT_NE(f.detail.find("unknown key \"" + std::string(40, 'k') + "...\""), std::string::npos) << f.detail;
  }
}

// ---- Temporary files ------------------------------------------------------------------------

// A process ended by SIGINT or SIGTERM while it has a temporary file leaves none behind and
// still ends by that signal; one that goes on removes the file when done with it, or keeps it
// under its final name.
TEST(TemporaryFiles, AreRemovedBySignalsAndWhenDone) {
  char pattern[] = "/tmp/cpsctl-temporary-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  auto entries = [&] {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
  };
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TemporaryName temporary(dir + "/codeplug.json", "codeplug.json");
      raise(signal);
      _exit(0);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(entries(), 0u);
  }
  {
    TemporaryName temporary(dir + "/a", "a");
    EXPECT_EQ(entries(), 1u);
  }
  EXPECT_EQ(entries(), 0u);
  {
    TemporaryName temporary(dir + "/b", "b");
    ASSERT_EQ(std::rename(temporary.name().c_str(), (dir + "/b").c_str()), 0);
    temporary.keep();
  }
  EXPECT_TRUE(std::filesystem::exists(dir + "/b"));
  std::filesystem::remove_all(dir);
}

// ---- Records through VARIANTs ---------------------------------------------------------------

TEST(VariantRecords, EveryKindOfBlockSurvivesEncodingAndDecoding) {
  for (const Block& block : made_codeplug().blocks) {
    Variant data;
    encode_block(block, data.get());
    // A record without entries or lists reads as the kind the block usually holds.
    EXPECT_TRUE(decode_block(block.id, *data, block.kind()) == block) << block.id;
  }
}

TEST(VariantRecords, ArraysOfAnotherShapeAreInvalidDataAndStayUnlocked) {
  Variant rows;
  encode_block({453, Rows{{46, "128", 2}}}, rows.get());
  SAFEARRAYBOUND two_columns[2] = {{1, 0}, {2, 0}};
  SAFEARRAY* narrow = SafeArrayCreate(VT_VARIANT, 2, two_columns);
  SAFEARRAYBOUND four[1] = {{4, 0}};
  SAFEARRAY* numbers = SafeArrayCreate(VT_I4, 1, four);
  SAFEARRAYBOUND three[1] = {{3, 0}};
  SAFEARRAY* triple = SafeArrayCreate(VT_VARIANT, 1, three);
  SAFEARRAY* bad_text = nullptr;
  ASSERT_EQ(SafeArrayCopy(rows->parray, &bad_text), S_OK);
  LONG text_cell[2] = {0, 1};
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_R8;
  ASSERT_EQ(SafeArrayPutElement(bad_text, text_cell, &number), S_OK);

  for (SAFEARRAY* array : {narrow, numbers, triple, bad_text}) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = array;
    try {
      decode_block(453, v, Kind::Fields);
      ADD_FAILURE() << "decoded";
    } catch (const Failure& f) {
      EXPECT_EQ(f.hr, kInvalidData);
    }
    // Written straight into a codeplug file's text, it fails alike and adds nothing.
    JsonWriter writer(1);
    writer.add(Block{5, Rows{{46, "128", 2}}});
    const std::string before = writer.finish();
    JsonWriter again(1);
    again.add(Block{5, Rows{{46, "128", 2}}});
    try {
      again.add(453, v, Kind::Fields);
      ADD_FAILURE() << "written";
    } catch (const Failure& f) {
      EXPECT_EQ(f.hr, kInvalidData);
    }
    EXPECT_EQ(again.finish(), before);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);  // not left locked
  }
  VARIANT by_reference;
  VariantInit(&by_reference);
  by_reference.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
  by_reference.pparray = &rows.get()->parray;
  EXPECT_THROW(decode_block(453, by_reference, Kind::Fields), Failure);
}

TEST(VariantRecords, TextThatIsNotUtf8IsRefusedAndNothingLeaks) {
  Variant data;
  const Block block{38, EntryRecord{{{46, "128", 2}}, {{{455, "ok", 0}}, {{424, "bad \xff", 1}}}}};
  try {
    encode_block(block, data.get());
    ADD_FAILURE() << "encoded";
  } catch (const Failure& f) {
    EXPECT_EQ(f.hr, kInvalidData);
  }
  EXPECT_EQ(data->vt, VT_EMPTY);
}

// ---- Values, not texts --------------------------------------------------------------------

// The quick check a write makes before it compares field by field: true only where the
// comparison would find nothing, and true for a block that differs only where it is ignored.
TEST(Compare, BlocksHeldExactlyWhereTheyLieAgreeWithTheComparison) {
  const Ignore ignore{{}, {{38, 424}, {6, 48}}, {6}};
  struct Case {
    Block meant, actual;
    bool holds, differs;  // the quick check's answer; whether the comparison finds a difference
  };
  const Rows rows = {{46, "128", 2}, {47, "caf\xc3\xa9", 0}};
  const Rows other_text = {{46, "129", 2}, {47, "caf\xc3\xa9", 0}};
  const Rows other_spelling = {{46, "128.0", 2}, {47, "caf\xc3\xa9", 0}};
  const Rows other_accent = {{46, "128", 2}, {47, "caf\xc3\xa8", 0}};
  const Rows other_attribute = {{46, "128", 0}, {47, "caf\xc3\xa9", 0}};
  const Rows ignored = {{424, "CH 1", 1}}, ignored_other = {{424, "CH 2", 1}}, moved = {{425, "CH 1", 1}};
  const Case cases[] = {
      {{453, rows}, {453, rows}, true, false},
      {{453, rows}, {453, other_attribute}, true, false},
      {{453, rows}, {453, other_text}, false, true},
      {{453, rows}, {453, other_spelling}, false, false},  // one value: the comparison decides
      {{453, rows}, {453, other_accent}, false, true},
      {{453, rows}, {453, Rows{rows.front()}}, false, true},
      {{38, EntryRecord{rows, {ignored}}}, {38, EntryRecord{rows, {ignored_other}}}, true, false},
      {{38, EntryRecord{rows, {ignored}}}, {38, EntryRecord{rows, {moved}}}, false, true},
      {{38, EntryRecord{rows, {ignored}}}, {38, EntryRecord{rows, {ignored, ignored}}}, false, true},
      {{38, EntryRecord{rows, {}}}, {38, ListRecord{rows, {}}}, false, true},
      {{6, ListRecord{rows, {EntryRecord{rows, {rows}}}}}, {6, ListRecord{rows, {EntryRecord{other_text, {rows}}}}}, true, false},
      {{6, ListRecord{rows, {EntryRecord{rows, {rows}}}}}, {6, ListRecord{other_text, {EntryRecord{rows, {rows}}}}}, false, true},
      {{6, ListRecord{rows, {EntryRecord{rows, {rows}}}}}, {6, ListRecord{rows, {EntryRecord{rows, {other_text}}}}}, false, true},
  };
  for (const Case& c : cases) {
    Variant data;
    encode_block(c.actual, data.get());
    EXPECT_EQ(holds_exactly(c.meant, *data, c.actual.kind(), ignore), c.holds) << c.meant.id;
    EXPECT_EQ(differences(Codeplug{1, {c.meant}}, Codeplug{1, {c.actual}}, ignore).empty(), !c.differs) << c.meant.id;
    // Held to attributes as well and ignoring nothing, it answers whether the records are equal.
    EXPECT_EQ(holds_exactly(c.meant, *data, c.actual.kind(), Ignore{}, true), c.meant == c.actual) << c.meant.id;
  }
}

// A load takes the file's records as what the object holds only where a snapshot would give
// those very records: every block, in its order, with every row's text and attribute.
TEST(Compare, AnObjectHoldsTheRecordsOfItsOwnSnapshotAndNoOther) {
  setenv("CPSERVICES_MODELS", CPSCTL_MODELS, 1);
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio({});
  Component object(1);
  ASSERT_EQ(object->ReadDevice(radio.as_unknown(), 1, nullptr), S_OK);
  const Codeplug held = snapshot(object);
  ASSERT_GT(held.blocks.size(), 2u);
  EXPECT_TRUE(holds_records(object, held));

  auto first_row = [](Codeplug& codeplug) -> Row& {
    for (Block& block : codeplug.blocks)
      if (auto* entries = std::get_if<EntryRecord>(&block.record); entries && !entries->entries.empty() &&
                                                                    !entries->entries[0].empty())
        return entries->entries[0][0];
    throw std::logic_error("no entry");
  };
  Codeplug other_attribute = held;
  first_row(other_attribute).attribute ^= 1;
  Codeplug other_text = held;
  first_row(other_text).text += " ";
  Codeplug other_order = held;
  std::swap(other_order.blocks[0], other_order.blocks[1]);
  Codeplug fewer = held;
  fewer.blocks.pop_back();
  Codeplug more = held;
  more.blocks.push_back(held.blocks.back());
  for (const Codeplug* codeplug : {&other_attribute, &other_text, &other_order, &fewer, &more})
    EXPECT_FALSE(holds_records(object, *codeplug));
  EXPECT_FALSE(holds_records(object, Codeplug{2, held.blocks}));
}

TEST(Compare, NumbersCompareAsNumbersAndOtherTextsAsTexts) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  static constexpr Case kCases[] = {
      {"146.52", "146.520000", true},  {"131.8", "131.800000", true}, {"007.50", "7.5", true},
      {"+5", "5", true},               {"-0.000", "0", true},         {".5", "0.500", true},
      {"5.", "5", true},               {"-1.5", "1.5", false},        {"146.52", "146.5201", false},
      // digit strings beyond a double's precision stay apart
      {"32303054414130303031", "32303054414130303033", false},
      {"1e3", "1000", false},          {"0x10", "16", false},         {"", "0", false},
      {".", "0", false},               {"-", "0", false},             {"High", "High", true},
      {"High", "high", false},         {"CH 01", "CH 01 ", false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(same_value(c.a, c.b), c.same) << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(same_value(c.b, c.a), c.same) << "reversed: \"" << c.a << "\" vs \"" << c.b << '"';
  }
}

TEST(Compare, AttributesAreNotDifferencesAndWordingFollowsTheCaller) {
  const Codeplug meant{1, {{38, EntryRecord{{}, {{{455, "146.52", 2}, {424, "CH 01", 1}}}}}}};
  const Codeplug held{1, {{38, EntryRecord{{}, {{{455, "146.520000", 1}, {424, "CH 0", 1}}}}}}};
  EXPECT_EQ(differences(meant, held, {}, {"meant", "the radio would hold"}),
            std::vector<std::string>{"block 38 entry 0 field 424: meant \"CH 01\", the radio would hold \"CH 0\""});
}

// ---- The code page -------------------------------------------------------------------------

TEST(Codepage, WindowsCharactersPassAndOthersAreNamedWhereTheyStand) {
  for (const char* good : {"", "Depot Tool", "Café", "€ ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ",
                           "\xc2\xa0\xc3\xbf", "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d"})
    EXPECT_NO_THROW(check_codepage(good, "field 93")) << good;
  struct Case {
    const char* text;
    const char* detail;
  };
  static constexpr Case kBad[] = {
      {"Caf😀", "field 93: character 4 '😀' (U+1F600) has no Windows-1252 byte; a codeplug cannot hold it"},
      {"日本", "field 93: character 1 '日' (U+65E5) has no Windows-1252 byte; a codeplug cannot hold it"},
      {"é\xc2\x80", "field 93: character 2 (U+0080) has no Windows-1252 byte; a codeplug cannot hold it"},
      {"ĀB", "field 93: character 1 'Ā' (U+0100) has no Windows-1252 byte; a codeplug cannot hold it"},
  };
  for (const Case& c : kBad) {
    try {
      check_codepage(c.text, "field 93");
      ADD_FAILURE() << c.text << " passed";
    } catch (const Failure& f) {
      EXPECT_EQ(f.hr, kInvalidData);
      EXPECT_EQ(f.detail, c.detail);
    }
  }
}

}  // namespace
}  // namespace cpsctl
