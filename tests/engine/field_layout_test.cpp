// The field-descriptor engine on a small layout that holds every codec kind and two forms; its
// ranged rows take their ranges from the first generation's table.
#include "engine/field_layout.h"

#include "gen1/values/range_table.h"
#include "platform/errors.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
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

// Field IDs from 900 have no range row. Bits 0x60 of byte 0, 0x3E of byte 1 and the high nibble
// of byte 25 belong to no row; a virtual row may lie past the entry.
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
static_assert(!ok({{.id = 1, .codec = Codec::Choice}}));                        // no choice table
static_assert(!ok({{.id = 1}, {.id = 1, .offset = 1, .when = mobile_radio}}));  // ID twice
static_assert(!ok({{.id = 1, .width = 2}, {.id = 2, .offset = 1, .mask = 1}}));  // shared bit
static_assert(!ok({{.id = 1, .codec = Codec::Scaled, .scale = 0.1}}));          // "%d" of 0.1
static_assert(!ok({{.id = 1, .codec = Codec::Bcd, .format = "0.2"}}));  // nibble 2 of one byte
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
// The fields without `id`, plus `id` = `text` unless that is nullptr.
FieldList with(const FieldList& from, int32_t id, const char* text) {
  FieldList out;
  for (size_t i = 0; i < from.count(); ++i)
    if (from.at(i).id != id) out.add(from.at(i));
  if (text != nullptr) out.add(id, text, 1);
  return out;
}

// Every field off its default but the virtual 424 (mobile, market class 1), and its bytes.
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

// One field changed in the golden entry: its bytes show as the text, the text packs to them.
TEST(FieldLayout, OneFieldBytesAndText) {
  enum Way { kBoth, kShows, kPacks };
  struct Case { int32_t id; const char* text; size_t at; std::vector<uint8_t> bytes; Way way; };
  const Case cases[] = {
      {903, "3", 0, {0x8E}, kBoth}, {903, "-4", 0, {0x92}, kBoth},  // 0b011, 0b100
      {902, "-32768", 6, {0x80, 0x00}, kBoth}, {902, "32767", 6, {0x7F, 0xFF}, kBoth},
      {904, "4294967295", 26, {0xFF, 0xFF, 0xFF, 0xFF}, kBoth}, {327, "25.0", 2, {0x01}, kPacks},
      {332, "17.0", 3, {0xAA}, kBoth}, {332, "0.3", 3, {0x03}, kPacks},  // raw 2.9999999999999996
      {901, "10", 4, {0x90}, kBoth}, {901, "160.0000001", 4, {0x9F}, kPacks},
      {905, "A B", 8, {'A', ' ', 'B', ' ', ' ', '\t'}, kShows},
      {905, "ABCDEFGH", 8, {'A', 'B', 'C', 'D', 'E', 'F'}, kPacks},  // cut to the field
      {906, "wxyz", 14, {'w', 'x', 'y', 'z'}, kBoth}, {906, "x ", 14, {'x', ' ', 0, 'z'}, kShows},
      {103, "07.99", 18, {0x07, 0x99}, kBoth}, {103, "7", 18, {0x70, 0x00}, kPacks},
      {105, "12-31-2008", 21, {0x20, 0x08, 0x12, 0x31}, kBoth}, {96, "39.5", 20, {79}, kBoth},
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

// A new entry of each form passes check_entry, survives pack -> unpack -> pack, and packed over
// an entry of all ones changes exactly the bits that the form's rows own.
TEST(FieldLayout, DefaultsInEveryForm) {
  struct Case { BlockBase base; uint8_t owned1, owned4, byte2; };  // byte2: 327's default
  for (const Case& c : {Case{kMobile1, 0xC1, 0xFF, 20}, Case{kPortable0, 0xC0, 0x3F, 12}}) {
    const FieldList fresh = defaults(kRows, c.base);
    EXPECT_EQ(error_of([&] { check_entry(kRows, fresh, c.base); }), 0);
    const Bytes zeros = packed(fresh, c.base), ones = packed(fresh, c.base, 0xFF);
    EXPECT_EQ(unpacked(zeros, c.base), fresh) << int{c.base.mobile} << c.base.market_class();
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
      {1234, "0", kNoField}, {751, "0", kNoField, kPortable0}, {55, "2", kBad}, {343, "1", kBad},
      {343, "18", kBad}, {904, "4294967295", 0}, {904, "4294967296", kBad}, {903, "-4", 0},
      {903, "4", kBad}, {903, "-5", kBad}, {902, "-32768", 0}, {902, "32768", kBad},
      {902, "-32769", kBad}, {327, "510", kBad}, {327, "4525", kBad}, {316, "pre only", kNoChoice},
      {901, "160.001", kBad}, {901, "15", kBad},  // raw 15.0001 and 0.5: not whole
      {901, "0", kBad}, {901, "170", kBad},       // raw -1 and 16: outside the bits
      {326, "Bogus", kNoChoice}, {907, "12", 0}, {907, "Call Alert", kBad},  // one ID, two rows
      {907, "Call Alert", 0, kPortable0}, {907, "12", kNoChoice, kPortable0},
      {905, "longer than six", 0}, {105, "whenever", 0}, {424, "any", 0},  // no checks of their own
      {103, "07.99", 0}, {103, "08.00", err::kVersionNotSupported},  // an extra check
      {96, "100", kBad}, {96, "0.0", kBad}, {96, "10.3", kBad},   // own check, range, step
  };
  for (const Case& c : cases)
    EXPECT_EQ(error_of([&] { check(kRows, FieldValue{c.id, c.text, 1}, c.base); }), c.code)
        << "field " << c.id << " = \"" << c.text << "\"";
}

// A stored value its row refuses (327 = 4525, 326 = 3, 103 = 08.20) or an entry too short for
// the rows (exactly `size` bytes, for ASan) fails the unpack and leaves the output as it was.
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

// One field dropped (nullptr), changed or added: pack needs only the stored rows that exist,
// check_entry every existing row and nothing else; a failed pack leaves the entry untouched.
TEST(FieldLayout, PackAndCheckEntryOnIncompleteOrWrongFields) {
  struct Case { int32_t id; const char* text; int32_t pack, entry; BlockBase base = kMobile1; };
  const Case cases[] = {
      {904, nullptr, kNoField, kNoField}, {751, nullptr, kNoField, kNoField},
      {751, nullptr, 0, 0, kPortable0}, {424, nullptr, 0, kNoField},
      {1234, "0", 0, kNoField}, {751, "0", 0, kNoField, kPortable0},  // no row of that ID
      {316, "Bogus", kNoChoice, kNoChoice}, {903, "4", kBad, kBad}, {901, "15", kBad, kBad},
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

// A set takes every row's field from the host's entry, in table order, whatever order the host
// sends them in: the first field of an ID counts, fields no row declares are left out.
TEST(FieldLayout, TakeFollowsTheTableWhateverTheOrder) {
  const FieldList table = defaults(kRows, kMobile1);
  auto reordered = [&](auto arrange) {
    FieldList out;
    arrange(out);
    return out;
  };
  struct Case { const char* what; FieldList given; int code; FieldList want; } cases[] = {
      {"in table order", table, 0, table},
      {"reversed", reordered([&](FieldList& out) { for (size_t i = table.count(); i-- > 0;) out.add(table.at(i)); }),
       0, table},
      {"an unknown field first", reordered([&](FieldList& out) { out.add(4242, "x", 0); for (size_t i = 0; i < table.count(); ++i) out.add(table.at(i)); }),
       0, table},
      {"a second 903 earlier", reordered([&](FieldList& out) { out.add(903, "-2", 1); for (size_t i = 0; i < table.count(); ++i) out.add(table.at(i)); }),
       0, with(table, 903, "-2")},
      {"a second 55 later", reordered([&](FieldList& out) { for (size_t i = 0; i < table.count(); ++i) out.add(table.at(i)); out.add(55, "1", 1); }),
       0, table},
      {"903 missing", with(table, 903, nullptr), err::kFieldNotFound, {}},
      {"903 out of its bits", with(table, 903, "9"), err::kInvalidData, {}},
  };
  for (Case& c : cases) {
    FieldList taken, moved;
    EXPECT_EQ(error_of([&] { taken = take(kRows, c.given, kMobile1); }), c.code) << c.what;
    EXPECT_EQ(error_of([&] { moved = take(kRows, FieldList(c.given), kMobile1); }), c.code) << c.what << ", moved";
    EXPECT_EQ(moved, taken) << c.what;
    if (c.code != 0) continue;
    // `with` moves the changed field to the end; the taken entry has it at its row.
    for (size_t i = 0; i < table.count(); ++i) {
      EXPECT_EQ(taken.at(i).id, table.at(i).id) << c.what;
      EXPECT_EQ(taken.at(i), c.want.get(table.at(i).id)) << c.what;
    }
    EXPECT_EQ(taken.count(), table.count()) << c.what;
  }
}

TEST(FieldLayout, RawValuesConvertOnlyWhereTheRowHasThem) {
  struct Case { const FieldDesc& row; uint32_t raw; const char* text; };
  for (const Case& c : {Case{kRows[2], 7, "-1"}, Case{kRows[7], 1, "20"},  // 903, 901, 103
                        Case{kRows[14], 0x0102, "01.02"}, Case{kChoiceTooWide[1], 1, "Pre Only"}}) {
    EXPECT_EQ(text_of(c.row, c.raw), c.text);
    EXPECT_EQ(raw_of(c.row, c.text), c.raw);
  }
  EXPECT_EQ(error_of([] { text_of(kRows[2], 8); }), kBad);  // 903: beyond three bits
  EXPECT_EQ(error_of([] { raw_of(kChoiceTooWide[1], "Pre and Post"); }), kBad);  // 3 in one bit
  EXPECT_EQ(error_of([] { text_of(kRows[12], 0); }), err::kUnexpected);  // 905, a text
  EXPECT_EQ(error_of([] { raw_of(kRows[12], "A"); }), err::kUnexpected);
}

// Setting one field through its row: the rule may change the value and other fields, or refuse;
// a row the host does not set is 104; nothing changes unless the rule and the check pass.
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
      {{3, "6", 1}, 0, "0 0 6"}, {{3, "8", 1}, kBad, "0 0 0"}, {{4, "0", 1}, err::kFieldNotFound, "0 0 0"},
  };
  for (const Case& c : cases) {
    FieldList entry = defaults(kSetRows, kMobile1);
    EXPECT_EQ(error_of([&] { set_field(kSetRows, entry, c.field, kMobile1); }), c.code) << c.field.id << c.field.value;
    EXPECT_EQ(entry.text(1) + " " + entry.text(2) + " " + entry.text(3), c.after) << c.field.id << c.field.value;
  }
}

// A view shows the bits another row packs: it unpacks through its own labels, a record may leave
// it out, and what it holds never reaches the bytes.
constexpr Choice kCodes[] = {{0, "zero"}, {1, "one"}, {2, "two"}, {3, "three"}, kChoiceEnd};
constexpr Choice kViews[] = {{0, "0.0"}, {1, "1.5"}, {2, "3.0"}, {3, "4.5"}, kChoiceEnd};
constexpr FieldDesc kViewRows[] = {
    {.id = 1, .offset = 0, .mask = 0x03, .codec = Codec::Choice, .dflt = {"zero"}, .choices = kCodes},
    {.id = 2, .offset = 0, .mask = 0x03, .codec = Codec::Choice, .dflt = {"0.0"}, .choices = kViews, .view = true},
};
static_assert(layout_ok(kViewRows, 1));

TEST(FieldLayout, AViewIsDecodedButNeverPacked) {
  const uint8_t bytes[] = {0x02};
  FieldList out;
  unpack(kViewRows, bytes, 1, kMobile1, out);
  EXPECT_EQ(out.text(1) + " " + out.text(2), "two 3.0");
  FieldList in;
  in.add(1, "three", 1);  // no field 2
  uint8_t packed[] = {0};
  pack(kViewRows, in, kMobile1, packed, 1);
  EXPECT_EQ(packed[0], 3);
  in.add(2, "0.0", 2);  // a view's own text changes nothing
  pack(kViewRows, in, kMobile1, packed, 1);
  EXPECT_EQ(packed[0], 3);
}

// Labels that follow another row's bits: field 2's table is picked by field 1's bit; field 3's
// code 0 shows field 1's label, its other codes its own.
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
  for (const Case& c : {Case{0x00, "left a left"}, Case{0x01, "right x right"}, Case{0x05, "right z right"},
                        Case{0x0B, "right y up"}}) {
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

  // Alone a text passes when any table has it; in an entry only the picked table counts.
  EXPECT_EQ(error_of([&] { check(kPickedRows, {2, "z", 1}, kMobile1); }), 0);
  EXPECT_EQ(error_of([&] { check(kPickedRows, {2, "w", 1}, kMobile1); }), kNoChoice);
  FieldList entry = defaults(kPickedRows, kMobile1);
  entry.set_text(2, "z");
  EXPECT_EQ(error_of([&] { check_entry(kPickedRows, entry, kMobile1); }), kNoChoice);
  EXPECT_EQ(error_of([&] { take(kPickedRows, entry, kMobile1); }), kNoChoice);
  entry.set_text(1, "right");
  EXPECT_EQ(error_of([&] { take(kPickedRows, FieldList(entry), kMobile1); }), 0);

  // Setting either field alone keeps the pair consistent, or changes nothing.
  EXPECT_EQ(error_of([&] { set_field(kPickedRows, entry, {1, "left", 1}, kMobile1); }), kNoChoice);
  EXPECT_EQ(entry.text(1), "right");
  EXPECT_EQ(error_of([&] { set_field(kPickedRows, entry, {2, "y", 1}, kMobile1); }), 0);
  EXPECT_EQ(error_of([&] { set_field(kPickedRows, entry, {2, "b", 1}, kMobile1); }), kNoChoice);
  EXPECT_EQ(entry.text(2), "y");
}

// A range tested only where the entry's other fields say so: by the fields before it while an
// entry is unpacked or taken, by the whole entry when one field is set, always when no entry is
// given. Untested, a value must still fit its bits.
constexpr Choice kToneUse[] = {{0, "used"}, {1, "unused"}, kChoiceEnd};
bool tone_used(const FieldList& entry) { return !entry.contains(1) || entry.text(1) == "used"; }
constexpr FieldDesc kTestedRows[] = {
    {.id = 1, .codec = Codec::Choice, .dflt = {"used"}, .choices = kToneUse},
    {.id = 372, .offset = 1, .width = 2, .codec = Codec::Scaled, .dflt = {"288.5"}, .ranges = &kGen1Ranges,
     .scale = 0.1, .format = "%.1f", .tested_when = tone_used},
};
static_assert(layout_ok(kTestedRows, 3));

TEST(FieldLayout, RangeTestedOnlyWhereTheEntrySays) {
  const BlockBase& base = kPortable0;
  for (auto [use, error] : {std::pair<uint8_t, int>{0, kBad}, {1, 0}}) {
    const uint8_t bytes[3] = {use, 0, 0};  // a tone of 0.0
    FieldList out;
    EXPECT_EQ(error_of([&] { unpack(kTestedRows, bytes, 3, base, out); }), error) << int{use};
  }
  FieldList given;
  given.add(372, "0.0", 1);
  given.add(1, "unused", 1);
  EXPECT_EQ(error_of([&] { take(kTestedRows, given, base); }), 0);
  EXPECT_EQ(error_of([&] { check(kTestedRows, {372, "0.0", 1}, base); }), kBad);
  FieldList entry = defaults(kTestedRows, base);
  EXPECT_EQ(error_of([&] { set_field(kTestedRows, entry, {372, "0.0", 1}, base); }), kBad);
  set_field(kTestedRows, entry, {1, "unused", 1}, base);
  EXPECT_EQ(error_of([&] { set_field(kTestedRows, entry, {372, "0.0", 1}, base); }), 0);
  EXPECT_EQ(error_of([&] { set_field(kTestedRows, entry, {372, "6553.6", 1}, base); }), kBad);
  EXPECT_EQ(error_of([&] { check_entry(kTestedRows, entry, base); }), 0);
}

// A Cut row keeps the low bits of a value wider than its bits, as set bits does; only a value
// that is no number, or a negative one, is refused.
TEST(FieldLayout, CutRowsKeepTheLowBits) {
  constexpr FieldDesc kCut[] = {
      {.id = 1, .offset = 0, .mask = 0x01, .codec = Codec::Cut},
      {.id = 2, .offset = 0, .mask = 0xF0, .codec = Codec::Cut},
      {.id = 3, .offset = 1, .width = 2, .codec = Codec::Cut},
  };
  static_assert(layout_ok(kCut, 3));
  struct Case { const char* flag; const char* nibble; const char* word; std::array<uint8_t, 3> bytes; };
  for (const Case& c : {Case{"1", "15", "65535", {0xF1, 0xFF, 0xFF}}, Case{"2", "16", "65536", {0x00, 0x00, 0x00}},
                        Case{"3", "17", "70000", {0x11, 0x11, 0x70}}}) {
    FieldList in;
    in.add(1, c.flag, 2);
    in.add(2, c.nibble, 2);
    in.add(3, c.word, 2);
    std::array<uint8_t, 3> bytes{};
    pack(kCut, in, BlockBase{}, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, c.bytes) << c.word;
  }
  FieldList out;
  const std::array<uint8_t, 3> bytes{0x51, 0x12, 0x34};
  unpack(kCut, bytes.data(), bytes.size(), BlockBase{}, out);
  EXPECT_EQ(out.text(1), "1");
  EXPECT_EQ(out.text(2), "5");
  EXPECT_EQ(out.text(3), "4660");
  for (const char* bad : {"-1", "x", "", "4294967296"})
    EXPECT_EQ(error_of([&] { check(kCut, {3, bad, 2}, BlockBase{}); }), kBad) << bad;
}

}  // namespace
}  // namespace cps::layout
