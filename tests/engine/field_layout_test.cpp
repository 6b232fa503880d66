// The field engine on a small layout holding every codec kind and two forms.
#include "engine/field_layout.h"

#include "gen1/values/range_table.h"
#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace cps::layout {
namespace {

using test::error_of;
constexpr int32_t kBad = err::kInvalidData, kNoChoice = err::kChoiceNotFound,
                  kNoField = err::kFieldNotFound, kShort = err::kShortImage;

constexpr Choice kTxId[] = {{0, "None"}, {1, "Pre Only"}, {2, "Post Only"}, {3, "Pre and Post"},
                            kChoiceEnd};
constexpr Choice kAlert[] = {{0, "None"}, {1, "Call Alert"}, {2, "Call Alert w/ Voice"},
                             kChoiceEnd};

bool market_class_1_or_2(const BlockBase& base) { return base.market_class() != 0; }
bool mobile_radio(const BlockBase& base) { return base.mobile != 0; }
bool portable_radio(const BlockBase& base) { return base.mobile == 0; }

// A custom codec: half units in one byte, always written with one decimal ("12.5", "7.0").
std::string halves_decode(const uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  return std::to_string(entry[row.offset] / 2) + (entry[row.offset] % 2 != 0 ? ".5" : ".0");
}
void halves_encode(std::string_view text, uint8_t* entry, const FieldDesc& row, const BlockBase&) {
  entry[row.offset] = static_cast<uint8_t>(std::lround(2 * parse_number(text)));
}
void one_decimal(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text.size() < 3 || text[text.size() - 2] != '.') raise(err::kInvalidData);
}
constexpr CustomCodec kHalves{halves_decode, halves_encode, one_decimal};
void version_limit(std::string_view text, const FieldDesc&, const BlockBase&) {
  if (text > "07.99") raise(err::kVersionNotSupported);
}
constexpr CustomCodec kVersionLimit{nullptr, nullptr, version_limit};  // for a Bcd row

// IDs from 900 have no range row; bits 0x60 of byte 0, 0x3E of byte 1, 0xF0 of byte 25 are unowned.
constexpr FieldDesc kRows[] = {
    {.id = 55, .mask = 0x80, .ranges = &kGen1Ranges},
    {.id = 316, .mask = 0x03, .codec = Codec::Choice, .dflt = {"Pre Only"}, .choices = kTxId},
    {.id = 903, .mask = 0x1C, .codec = Codec::Signed},
    {.id = 326, .offset = 1, .mask = 0xC0, .codec = Codec::Choice, .dflt = {"None"},
     .choices = kAlert},
    {.id = 751, .offset = 1, .mask = 0x01, .ranges = &kGen1Ranges, .when = market_class_1_or_2},
    {.id = 327, .offset = 2, .codec = Codec::Scaled, .dflt = {"500", "300"}, .ranges = &kGen1Ranges,
     .scale = 25},
    {.id = 332, .offset = 3, .codec = Codec::Scaled, .dflt = {"0.0"}, .ranges = &kGen1Ranges,
     .scale = 0.1, .format = "%2.1f"},
    {.id = 901, .offset = 4, .mask = 0x0F, .codec = Codec::Scaled, .dflt = {"10"}, .scale = 10,
     .bias = 10},
    {.id = 907, .offset = 4, .mask = 0xF0, .when = mobile_radio},
    {.id = 907, .offset = 4, .mask = 0x30, .codec = Codec::Choice, .dflt = {"None"},
     .choices = kAlert, .when = portable_radio},
    {.id = 343, .offset = 5, .attribute = 2, .dflt = {"2"}, .ranges = &kGen1Ranges},
    {.id = 902, .offset = 6, .width = 2, .codec = Codec::Signed},
    {.id = 905, .offset = 8, .width = 6, .codec = Codec::Text, .dflt = {""}},
    {.id = 906, .offset = 14, .width = 4, .codec = Codec::Text, .dflt = {""}, .zero_fill = true,
     .trim = false},
    {.id = 103, .offset = 18, .width = 2, .codec = Codec::Bcd, .attribute = 0, .dflt = {"07.20"},
     .format = "01.23", .custom = &kVersionLimit},
    {.id = 96, .offset = 20, .codec = Codec::Custom, .attribute = 0, .dflt = {"10.0"},
     .ranges = &kGen1Ranges, .custom = &kHalves},
    {.id = 105, .offset = 21, .width = 4, .codec = Codec::Bcd, .attribute = 0,
     .dflt = {"01-01-2000"}, .format = "45-67-0123"},  // bytes: year (2), month, day
    {.id = 908, .offset = 25, .codec = Codec::Bcd, .dflt = {"0"}, .format = "1"},
    {.id = 904, .offset = 26, .width = 4},
    {.id = 424, .offset = 40, .codec = Codec::Virtual, .dflt = {"none"}},
};
constexpr size_t kEntrySize = 30;
using Bytes = std::array<uint8_t, kEntrySize>;

template <size_t N>
constexpr bool ok(const FieldDesc (&rows)[N], size_t size = 4) { return layout_ok(rows, size); }

static_assert(layout_ok(kRows, kEntrySize) && choices_fit(kRows));
static_assert(!layout_ok(kRows, kEntrySize - 1));
static_assert(!ok({{.id = 1, .mask = 0x0F, .width = 2}}));                      // mask on a word
static_assert(!ok({{.id = 1}, {.id = 1, .offset = 1, .when = mobile_radio}}));  // ID twice
static_assert(!ok({{.id = 1, .width = 2}, {.id = 2, .offset = 1, .mask = 1}}));  // shared bit
static_assert(!ok({{.id = 1, .codec = Codec::Scaled, .scale = 0.1}}));          // "%d" of 0.1
constexpr FieldDesc kChoiceTooWide[] = {
    {.id = 1, .mask = 0x03, .codec = Codec::Choice, .choices = kAlert},
    {.id = 2, .mask = 0x04, .codec = Codec::Choice, .choices = kTxId}};
static_assert(ok(kChoiceTooWide) && !choices_fit(kChoiceTooWide));

const BlockBase kMobile1{.mobile = 1, .context = std::make_shared<RadioContext>(RadioContext{.market_class = 1})};   // 751 exists, 907 is a number
const BlockBase kPortable0{.mobile = 0};    // no 751, 907 is a choice

Bytes packed(const FieldList& fields, const BlockBase& base, uint8_t fill = 0) {
  Bytes bytes;
  bytes.fill(fill);
  pack(kRows, fields, base, bytes.data(), bytes.size());
  return bytes;
}
FieldList unpacked(const Bytes& bytes, const BlockBase& base) {
  FieldList fields;
  unpack(kRows, bytes.data(), bytes.size(), base, fields);
  return fields;
}
FieldList with(const FieldList& from, int32_t id, const char* text) {
  FieldList out;
  for (size_t i = 0; i < from.count(); ++i)
    if (from.at(i).id != id) out.add(from.at(i));
  if (text != nullptr) out.add(id, text, 1);
  return out;
}

FieldList golden_fields() {
  FieldList f;
  for (const FieldValue& v : {FieldValue{55, "1", 1}, {316, "Post Only", 1}, {903, "-3", 1},
                              {326, "Call Alert w/ Voice", 1}, {751, "1", 1}, {327, "4500", 1},
                              {332, "12.5", 1}, {901, "160", 1}, {907, "9", 1}, {343, "17", 2},
                              {902, "-2", 1}, {905, "AB C", 1}, {906, "xy", 1}, {103, "07.20", 0},
                              {96, "100.0", 0}, {105, "04-07-2009", 0}, {908, "5", 1},
                              {904, "305419896", 1}, {424, "none", 1}})
    f.add(v);
  return f;
}
constexpr Bytes kGoldenBytes = {
    0x96, 0x81,        // 55 = 1 (0x80), 903 = -3 (0b101 << 2), 316 = 2; 326 = 2 (0x80), 751 = 1
    0xB4, 0x7D,        // 327: 4500 / 25; 332: 12.5 / 0.1
    0x9F, 0x11,        // 907 = 9 (high nibble), 901: 160 / 10 - 1; 343
    0xFF, 0xFE,        // 902
    0x41, 0x42, 0x20, 0x43, 0x20, 0x20, 0x78, 0x79, 0x00, 0x00,  // 905 space-, 906 zero-filled
    0x07, 0x20, 0xC8,  // 103; 96: 100.0 in halves
    0x20, 0x09, 0x04, 0x07, 0x05, 0x12, 0x34, 0x56, 0x78,  // 105: year, month, day; 908; 904
};

TEST(FieldLayout, GoldenBytesBothWays) {
  EXPECT_EQ(packed(golden_fields(), kMobile1), kGoldenBytes);
  EXPECT_EQ(unpacked(kGoldenBytes, kMobile1), golden_fields());
}

TEST(FieldLayout, OneFieldBytesAndText) {
  enum Way { kBoth, kShows, kPacks };
  struct Case { int32_t id; const char* text; size_t at; std::vector<uint8_t> bytes; Way way; };
  const Case cases[] = {
      {903, "3", 0, {0x8E}, kBoth},  // 0b011
      {902, "-32768", 6, {0x80, 0x00}, kBoth}, {904, "4294967295", 26, {0xFF, 0xFF, 0xFF, 0xFF}, kBoth},
      {327, "25.0", 2, {0x01}, kPacks}, {332, "0.3", 3, {0x03}, kPacks},  // raw 2.9999999999999996
      {901, "160.0000001", 4, {0x9F}, kPacks},
      {905, "A B", 8, {'A', ' ', 'B', ' ', ' ', '\t'}, kShows},
      {905, "ABCDEFGH", 8, {'A', 'B', 'C', 'D', 'E', 'F'}, kPacks},  // cut to the field
      {906, "x ", 14, {'x', ' ', 0, 'z'}, kShows}, {103, "7", 18, {0x70, 0x00}, kPacks},
      {96, "39.5", 20, {79}, kBoth},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "field " << c.id << " = " << c.text);
    Bytes bytes = kGoldenBytes;
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + c.at);
    if (c.way != kPacks) {
      EXPECT_EQ(unpacked(bytes, kMobile1).text(c.id), c.text);
    }
    if (c.way != kShows) {
      EXPECT_EQ(packed(with(golden_fields(), c.id, c.text), kMobile1), bytes);
    }
  }
}

// Defaults of each form check and round-trip; packed over all ones they change only owned bits.
TEST(FieldLayout, DefaultsInEveryForm) {
  struct Case { BlockBase base; uint8_t owned1, owned4, byte2; };  // byte2: 327's default
  for (const Case& c : {Case{kMobile1, 0xC1, 0xFF, 20}, Case{kPortable0, 0xC0, 0x3F, 12}}) {
    const FieldList fresh = defaults(kRows, c.base);
    EXPECT_EQ(error_of([&] { check_entry(kRows, fresh, c.base); }), 0);
    const Bytes zeros = packed(fresh, c.base), ones = packed(fresh, c.base, 0xFF);
    EXPECT_EQ(unpacked(zeros, c.base), fresh) << int{c.base.mobile} << c.base.market_class();
    // The count a list's entries are unpacked with is the form's; it changes nothing unpacked.
    EXPECT_EQ(field_count(kRows, c.base), fresh.count());
    FieldList hinted;
    unpack(kRows, zeros.data(), zeros.size(), c.base, hinted, field_count(kRows, c.base));
    EXPECT_EQ(hinted, fresh);
    EXPECT_EQ(packed(unpacked(zeros, c.base), c.base), zeros);
    EXPECT_EQ(zeros[2], c.byte2);  // 500 ms, or the portable's 300 ms
    Bytes owned;
    owned.fill(0xFF);
    owned[0] = 0x9F, owned[1] = c.owned1, owned[4] = c.owned4, owned[25] = 0x0F;
    for (size_t i = 0; i < kEntrySize; ++i)
      EXPECT_EQ(ones[i], (zeros[i] & owned[i]) | (~owned[i] & 0xFF)) << "byte " << i;
  }
}

TEST(FieldLayout, CheckGivesTheExactErrorCode) {
  struct Case { int32_t id; const char* text; int32_t code; BlockBase base = kMobile1; };
  const Case cases[] = {
      {1234, "0", kNoField}, {751, "0", kNoField, kPortable0}, {55, "2", kBad}, {343, "18", kBad},
      {904, "4294967296", kBad}, {903, "-4", 0}, {903, "4", kBad},
      {327, "4525", kBad}, {316, "pre only", kNoChoice},
      {901, "160.001", kBad}, {901, "15", kBad},  // raw 15.0001 and 0.5: not whole
      {901, "170", kBad},                         // raw 16: outside the bits
      {907, "12", 0}, {907, "Call Alert", kBad},  // one ID, two rows
      {907, "Call Alert", 0, kPortable0}, {907, "12", kNoChoice, kPortable0},
      {905, "longer than six", 0},                // no check of its own
      {103, "07.99", 0}, {103, "08.00", err::kVersionNotSupported},  // an extra check
      {96, "100", kBad}, {96, "0.0", kBad}, {96, "10.3", kBad},   // own check, range, step
  };
  for (const Case& c : cases)
    EXPECT_EQ(error_of([&] { check(kRows, FieldValue{c.id, c.text, 1}, c.base); }), c.code)
        << "field " << c.id << " = \"" << c.text << "\"";
}

// A stored value its row refuses or a short entry (exactly `size` bytes, for ASan) changes nothing.
TEST(FieldLayout, FailedUnpackLeavesTheOutput) {
  struct Case { size_t size, at; uint8_t byte; int32_t code; };
  for (const Case& c : {Case{kEntrySize, 2, 181, kBad}, Case{kEntrySize, 1, 0xC0, kNoChoice},
                        Case{kEntrySize, 18, 0x08, err::kVersionNotSupported},
                        Case{0, 0, 0, kShort}, Case{kEntrySize - 1, 0, 0x96, kShort}}) {
    std::vector<uint8_t> entry(kGoldenBytes.begin(), kGoldenBytes.begin() + c.size);
    if (c.at < c.size) entry[c.at] = c.byte;
    FieldList out;
    out.add(46, "128", 2);
    EXPECT_EQ(error_of([&] { unpack(kRows, entry.data(), c.size, kMobile1, out); }), c.code)
        << "size " << c.size << " byte " << c.at;
    EXPECT_EQ(out.count(), 1u);
    if (c.code != kShort) continue;
    EXPECT_EQ(error_of([&] { pack(kRows, golden_fields(), kMobile1, entry.data(), c.size); }),
              kShort);
    EXPECT_TRUE(std::equal(entry.begin(), entry.end(), kGoldenBytes.begin()));
  }
}

// Pack needs the stored rows of the form, check_entry every row and nothing else.
TEST(FieldLayout, PackAndCheckEntryOnIncompleteOrWrongFields) {
  struct Case { int32_t id; const char* text; int32_t pack, entry; BlockBase base = kMobile1; };
  const Case cases[] = {
      {904, nullptr, kNoField, kNoField}, {751, nullptr, kNoField, kNoField},
      {751, nullptr, 0, 0, kPortable0}, {424, nullptr, 0, kNoField},
      {1234, "0", 0, kNoField}, {316, "Bogus", kNoChoice, kNoChoice}, {903, "4", kBad, kBad},
      {343, "99", 0, kBad},  // packing does not consult the range row
  };
  for (const Case& c : cases) {
    const FieldList fields = with(defaults(kRows, c.base), c.id, c.text);
    Bytes bytes = kGoldenBytes;
    EXPECT_EQ(error_of([&] { pack(kRows, fields, c.base, bytes.data(), bytes.size()); }), c.pack)
        << "field " << c.id;
    EXPECT_TRUE(c.pack == 0 || bytes == kGoldenBytes) << "field " << c.id;
    EXPECT_EQ(error_of([&] { check_entry(kRows, fields, c.base); }), c.entry) << "field " << c.id;
  }
}

// take() returns table order whatever the host's order; the first of an ID counts, strangers go.
TEST(FieldLayout, TakeFollowsTheTableWhateverTheOrder) {
  const FieldList table = defaults(kRows, kMobile1);
  FieldList reversed, doubled;  // reversed with a stranger; a second 903 before the table's
  reversed.add(4242, "x", 0);
  doubled.add(903, "-2", 1);
  for (size_t i = 0; i < table.count(); ++i) reversed.add(table.at(table.count() - 1 - i)), doubled.add(table.at(i));
  const std::pair<const FieldList&, FieldList> cases[] = {{reversed, table}, {doubled, with(table, 903, "-2")}};
  for (const auto& [given, want] : cases) {
    const FieldList taken = take(kRows, given, kMobile1);
    EXPECT_EQ(take(kRows, FieldList(given), kMobile1), taken);
    ASSERT_EQ(taken.count(), table.count());
    for (size_t i = 0; i < table.count(); ++i) EXPECT_EQ(taken.at(i), want.get(table.at(i).id)) << i;
  }
  EXPECT_EQ(error_of([&] { take(kRows, with(table, 903, nullptr), kMobile1); }), kNoField);
  EXPECT_EQ(error_of([&] { take(kRows, with(table, 903, "9"), kMobile1); }), kBad);
}

// A row's set rule may change the value and other fields, or refuse; nothing changes on failure.
void mirror(FieldList& entry, FieldValue& field, const BlockBase&) {
  if (field.value == "9") raise(err::kChoiceNotFound);
  if (field.value == "7") field.value = "8";  // stored as 8
  entry.set_text(2, field.value);
}
constexpr FieldDesc kSetRows[] = {
    {.id = 1, .offset = 0, .mask = 0x0F, .on_set = mirror},
    {.id = 2, .offset = 0, .mask = 0xF0, .attribute = 2, .set_by = SetBy::Refused},
    {.id = 3, .offset = 1, .mask = 0x07},
};
static_assert(layout_ok(kSetRows, 2));

TEST(FieldLayout, SetFieldFollowsTheRowsRules) {
  struct Case { FieldValue field; int code; const char* after; };  // fields 1, 2, 3 after the set
  const Case cases[] = {
      {{1, "5", 1}, 0, "5 5 0"}, {{1, "7", 1}, 0, "8 8 0"},    // the rule's value is stored
      {{1, "9", 1}, err::kChoiceNotFound, "0 0 0"},            // the rule refuses
      {{1, "16", 1}, kBad, "0 0 0"},                           // the value's check after the rule
      {{2, "1", 2}, err::kFieldNotFound, "0 0 0"},             // follows field 1
      {{3, "8", 1}, kBad, "0 0 0"},
  };
  for (const Case& c : cases) {
    FieldList entry = defaults(kSetRows, kMobile1);
    EXPECT_EQ(error_of([&] { set_field(kSetRows, entry, c.field, kMobile1); }), c.code) << c.field.id << c.field.value;
    EXPECT_EQ(entry.text(1) + " " + entry.text(2) + " " + entry.text(3), c.after) << c.field.id << c.field.value;
  }
}

// Field 2's labels are picked by field 1's bit; field 3's code 0 echoes field 1's label.
constexpr Choice kLeft[] = {{0, "a"}, {1, "b"}, kChoiceEnd};
constexpr Choice kRight[] = {{0, "x"}, {1, "y"}, {2, "z"}, kChoiceEnd};
constexpr Choice kSides[] = {{0, "left"}, {1, "right"}, kChoiceEnd};
constexpr Choice kWide[] = {{0, "left"}, {0, "right"}, {1, "up"}, kChoiceEnd};
constexpr const Choice* kBySide[] = {kLeft, kRight};
constexpr const Choice* kSideTable[] = {kSides};
constexpr PickedLabels kPickedBySide{.field = 1, .offset = 0, .mask = 0x01, .tables = kBySide};
constexpr PickedLabels kEchoSide{.field = 1, .offset = 0, .mask = 0x01, .tables = kSideTable, .echo = true};
constexpr FieldDesc kPickedRows[] = {
    {.id = 1, .mask = 0x01, .codec = Codec::Choice, .dflt = {"left"}, .choices = kSides},
    {.id = 2, .mask = 0x06, .codec = Codec::Choice, .dflt = {"a"}, .picked = &kPickedBySide},
    {.id = 3, .mask = 0x18, .codec = Codec::Choice, .dflt = {"left"}, .choices = kWide, .picked = &kEchoSide},
};
static_assert(layout_ok(kPickedRows, 1) && choices_fit(kPickedRows));
// The picking row must come first.
constexpr FieldDesc kPickedTooEarly[] = {kPickedRows[1], kPickedRows[0]};
static_assert(!layout_ok(kPickedTooEarly, 1));

TEST(FieldLayout, PickedLabelsFollowTheOtherRow) {
  struct Case { uint8_t byte; const char* shown; };  // fields 1, 2, 3
  for (const Case& c : {Case{0x00, "left a left"}, Case{0x05, "right z right"}, Case{0x0B, "right y up"}}) {
    FieldList out;
    unpack(kPickedRows, &c.byte, 1, kMobile1, out);
    EXPECT_EQ(out.text(1) + " " + out.text(2) + " " + out.text(3), c.shown);
    uint8_t packed = 0;
    pack(kPickedRows, out, kMobile1, &packed, 1);
    EXPECT_EQ(packed, (c.byte & ~0x18) | (out.text(3) == "up" ? 0x08 : 0));
  }
  const uint8_t unknown = 0x06;  // field 2's code 3 on the left table
  FieldList out;
  EXPECT_EQ(error_of([&] { unpack(kPickedRows, &unknown, 1, kMobile1, out); }), kNoChoice);

  // Alone a text passes when any table has it; in an entry only the picked table counts; a set
  // that would break the pair changes nothing.
  EXPECT_EQ(error_of([&] { check(kPickedRows, {2, "z", 1}, kMobile1); }), 0);
  FieldList entry = defaults(kPickedRows, kMobile1);
  entry.set_text(2, "z");
  EXPECT_EQ(error_of([&] { check_entry(kPickedRows, entry, kMobile1); }), kNoChoice);
  entry.set_text(1, "right");

  EXPECT_EQ(error_of([&] { set_field(kPickedRows, entry, {1, "left", 1}, kMobile1); }), kNoChoice);
  EXPECT_EQ(entry.text(1), "right");
  EXPECT_EQ(error_of([&] { set_field(kPickedRows, entry, {2, "b", 1}, kMobile1); }), kNoChoice);
  EXPECT_EQ(entry.text(2), "z");
}

// A Cut row keeps the low bits of a value wider than its bits, as set bits does; only a value
// that is no number, or a negative one, is refused.
// A stored whole number or choice is judged on unpacking as its text is judged when it is set:
// every value of each such row (a wide one's low values and its highest), in an otherwise valid
// entry, unpacks to text_of's text exactly when check_entry() takes the entry with that text,
// and fails with check_entry()'s code otherwise. Returns how many values were refused.
bool first_is_set(const FieldList& entry) { return entry.contains(55) && entry.text(55) == "1"; }

size_t judge_every_value(Layout rows, std::vector<uint8_t> valid, const BlockBase& base) {
  FieldList out;
  unpack(rows, valid.data(), valid.size(), base, out);
  size_t refused = 0;
  for (const FieldDesc& row : rows) {
    const bool plain = row.codec == Codec::Unsigned || row.codec == Codec::Capped || row.codec == Codec::Cut ||
                       row.codec == Codec::Signed || row.codec == Codec::Choice;
    if (!plain || find(rows, row.id, base) != &row) continue;
    const uint64_t most = (uint64_t{1} << (row.width == 1 ? std::popcount(row.mask) : 8 * row.width)) - 1;
    std::vector<uint64_t> raws;
    for (uint64_t raw = 0; raw <= std::min<uint64_t>(most, 0x3FF); ++raw) raws.push_back(raw);
    raws.push_back(most);
    for (const uint64_t raw : raws) {
      std::vector<uint8_t> bytes = valid;
      if (row.width == 1)
        set_bits(row.mask, static_cast<uint32_t>(raw), bytes[row.offset]);
      else
        write_be(static_cast<uint32_t>(raw), bytes.data() + row.offset, row.width);
      std::string text;
      int32_t expected = error_of([&] { text = text_of(row, static_cast<uint32_t>(raw)); });
      FieldList entry = out;
      if (expected == 0) expected = error_of([&] {
        entry.set_text(row.id, text);
        check_entry(rows, entry, base);
      });
      FieldList fields;
      EXPECT_EQ(error_of([&] { unpack(rows, bytes.data(), bytes.size(), base, fields); }), expected)
          << "field " << row.id << " raw " << raw;
      if (expected == 0) {
        EXPECT_EQ(fields.text(row.id), text) << "field " << row.id << " raw " << raw;
      }
      refused += expected != 0;
    }
  }
  return refused;
}

TEST(FieldLayout, UnpackJudgesEveryStoredValueAsItsTextIsJudged) {
  EXPECT_GT(judge_every_value(kRows, {kGoldenBytes.begin(), kGoldenBytes.end()}, kMobile1), 0u);
  // A signed row is held to its range row as the signed value it stores.
  constexpr FieldDesc kSignedRanged[] = {{.id = 54, .codec = Codec::Signed, .ranges = &kGen1Ranges}};  // 1 to 255
  EXPECT_GT(judge_every_value(kSignedRanged, {17}, kMobile1), 0u);
  // A row held to its range row only in some entries, as the fields before it say.
  constexpr FieldDesc kTested[] = {{.id = 55, .mask = 0x01, .ranges = &kGen1Ranges},
                                   {.id = 54, .offset = 1, .ranges = &kGen1Ranges, .tested_when = first_is_set}};
  EXPECT_GT(judge_every_value(kTested, {1, 17}, kMobile1), 0u);
  EXPECT_EQ(judge_every_value(kTested, {0, 17}, kMobile1), 0u);
}

TEST(FieldLayout, CutRowsKeepTheLowBits) {
  constexpr FieldDesc kCut[] = {
      {.id = 1, .offset = 0, .mask = 0x01, .codec = Codec::Cut},
      {.id = 2, .offset = 0, .mask = 0xF0, .codec = Codec::Cut},
      {.id = 3, .offset = 1, .width = 2, .codec = Codec::Cut},
  };
  static_assert(layout_ok(kCut, 3));
  struct Case { const char* flag; const char* nibble; const char* word; std::array<uint8_t, 3> bytes; };
  for (const Case& c : {Case{"1", "15", "65535", {0xF1, 0xFF, 0xFF}}, Case{"3", "17", "70000", {0x11, 0x11, 0x70}}}) {
    FieldList in;
    in.add(1, c.flag, 2);
    in.add(2, c.nibble, 2);
    in.add(3, c.word, 2);
    std::array<uint8_t, 3> bytes{};
    pack(kCut, in, BlockBase{}, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, c.bytes) << c.word;
  }
  for (const char* bad : {"-1", "x"})
    EXPECT_EQ(error_of([&] { check(kCut, {3, bad, 2}, BlockBase{}); }), kBad) << bad;
}

}  // namespace
}  // namespace cps::layout
