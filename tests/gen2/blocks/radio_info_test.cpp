#include "gen2/blocks/radio_info.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

std::tm moment(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute;
  return t;
}
std::tm july_4_2009() { return moment(2009, 7, 4, 9, 5); }
std::tm new_year_eve() { return moment(2010, 12, 31, 23, 59); }

Image ascii(const std::string& text) { return Image(text.begin(), text.end()); }

// One entry of 67 bytes, programmed on 4 July 2009 at 9.05.
Image golden() {
  Image image = {0x81, 0x00, 0x43, 0x01};
  const Image serial = {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30};
  image.insert(image.end(), serial.begin(), serial.end());
  const Image model = ascii("H12ABC3456      ");
  image.insert(image.end(), model.begin(), model.end());
  image.insert(image.end(), {4, 1, 7});  // version 04.01, "Radio cloning"
  const Image stamp = ascii("200907040905");
  image.insert(image.end(), stamp.begin(), stamp.end());
  image.insert(image.end(), {0x08, 0x0C});  // 2060
  const Image text = ascii("ABCDEFGHIJ");
  image.insert(image.end(), text.begin(), text.end());
  image.insert(image.end(), {0x12, 0x34, 3, 0x01, 0x02, 0xFF, 0xFF, 200, 0xA3, 0x00, 0x01, 9, 100, 255, 0x00});
  return test::resealed(image);
}
constexpr size_t kEntry = 4;  // block byte of entry byte 0

RadioInfo unpacked(const Image& image) {
  RadioInfo block;
  block.set_clock(&july_4_2009);
  block.unpack(image.data(), image.size());
  return block;
}

TEST(Gen2RadioInfo, GoldenImageBothWays) {
  const Image image = golden();
  ASSERT_EQ(image.size(), 72u);
  RadioInfo block = unpacked(image);
  const BlockRecord& record = block.record();
  ASSERT_EQ(record.entry_count(), 1u);
  EXPECT_EQ(record.header().text(2034), "67");
  const FieldList& entry = record.entry(0);
  struct Expect { int32_t id; const char* text; };
  const Expect fields[] = {
      {2049, "31323334353637383930"}, {2050, "H12ABC3456      "}, {2051, "4"}, {2052, "1"}, {2053, "Radio cloning"},
      {2054, "07-04-2009"}, {2055, "09:05"}, {2056, "2060"}, {2057, "ABCDEFGHIJ"}, {2058, "4660"}, {2059, "EMEA"},
      {2060, "258"}, {2061, "65535"}, {2062, "200"}, {2063, "3"}, {2065, "10"}, {2066, "1"}, {2067, "9"},
      {2068, "14.9"}, {2069, "96.9"}, {2070, ""}};
  ASSERT_EQ(entry.count(), std::size(fields));
  for (size_t i = 0; i < entry.count(); ++i) {
    EXPECT_EQ(entry.id_at(i), fields[i].id);
    EXPECT_EQ(entry.text_at(i), fields[i].text) << fields[i].id;
    EXPECT_EQ(entry.attribute_at(i), fields[i].id == 2070 ? 0 : 1) << fields[i].id;
  }
  EXPECT_EQ(block.model_number(), "H12ABC3456");
  EXPECT_EQ(block.pack(), image);

}

// Every pack records the moment of packing, in the fields and in bytes 29-40.
TEST(Gen2RadioInfo, PackStampsTheMoment) {
  RadioInfo block = unpacked(golden());
  block.set_clock(&new_year_eve);
  const Image packed = block.pack();
  EXPECT_EQ(Image(packed.begin() + kEntry + 29, packed.begin() + kEntry + 41), ascii("201012312359"));
  EXPECT_EQ(block.record().entry(0).text(2054), "12-31-2010");
  EXPECT_EQ(block.record().entry(0).text(2055), "23:59");

  // No stamp stored (first year or hour byte 0): empty texts, and packing writes one anyway.
  Image unstamped = golden();
  for (size_t b = 29; b <= 40; ++b) unstamped[kEntry + b] = 0;
  RadioInfo fresh = unpacked(test::resealed(unstamped));
  EXPECT_EQ(fresh.record().entry(0).text(2054), "");
  EXPECT_EQ(fresh.record().entry(0).text(2055), "");
  EXPECT_EQ(fresh.pack(), golden());
}

// A level byte shows as (b / 25.9) squared with one decimal; from 30 on the text packs back to
// the same byte (below, one decimal cannot tell neighbouring bytes apart).
TEST(Gen2RadioInfo, LevelsRoundTrip) {
  for (int b = 30; b <= 255; ++b) {
    RadioInfo block = unpacked(test::patched(golden(), {{kEntry + 65, static_cast<uint8_t>(b)}}));
    const std::string text = block.record().entry(0).text(2068);
    block.set_field(0, {2068, text, 1});
    EXPECT_EQ(block.pack()[kEntry + 65], b) << text;
  }
}

TEST(Gen2RadioInfo, SetFieldChecksByFieldId) {
  struct Case { FieldValue field; int code; };
  const Case cases[] = {
      {{2051, "255", 1}, 0},          {{2051, "256", 1}, err::kInvalidData},
      {{2059, "Emea", 1}, err::kChoiceNotFound}, {{2056, "401", 1}, err::kChoiceNotFound},
      {{2035, "2", 2}, err::kInvalidData},
      {{2068, "97.3", 1}, 0},         {{2068, "97.4", 1}, err::kInvalidData},
      {{2049, "not hex", 1}, 0},      {{2064, "0", 1}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    RadioInfo block = unpacked(golden());
    const BlockRecord before = block.record();
    EXPECT_EQ(error_of([&] { block.set_field(0, c.field); }), c.code) << c.field.id << " " << c.field.value;
    if (c.code != 0) {
      EXPECT_EQ(block.record(), before) << c.field.id;
    }
  }
  RadioInfo block = unpacked(golden());
  EXPECT_EQ(error_of([&] { block.set_field(1, {2051, "3", 1}); }), err::kBadIndex);

  // Texts are taken as they come and packed as they are laid out: the serial's digits in pairs
  // (anything else counts as 0), the model and the 10-character text cut and zero-filled.
  block.set_field(0, {2049, "0A1b2", 1});
  block.set_field(0, {2050, "SHORT", 1});
  block.set_field(0, {2057, "ELEVEN CHARS", 1});
  const Image packed = block.pack();
  EXPECT_EQ(Image(packed.begin() + kEntry, packed.begin() + kEntry + 4), (Image{0x0A, 0x1B, 0x20, 0x00}));
  EXPECT_EQ(Image(packed.begin() + kEntry + 10, packed.begin() + kEntry + 16), (Image{'S', 'H', 'O', 'R', 'T', 0}));
  EXPECT_EQ(Image(packed.begin() + kEntry + 43, packed.begin() + kEntry + 53), ascii("ELEVEN CHA"));
}

TEST(Gen2RadioInfo, OneEntryAlways) {
  RadioInfo block = unpacked(golden());
  EXPECT_EQ(block.add_entry(), 0u);
  block.delete_entry(0);
  EXPECT_EQ(block.record().entry_count(), 1u);

  BlockRecord two = block.get_record();
  two.add_entry(two.entry(0));
  two.header().set_text(2035, "2");
  EXPECT_EQ(error_of([&] { block.set_record(two); }), err::kInvalidData);
}

TEST(Gen2RadioInfo, UnpackFailuresChangeNothing) {
  RadioInfo block = unpacked(golden());
  const BlockRecord before = block.record();
  const Image image = golden();
  const Image short_record = test::patched(Image(image.begin(), image.end() - 1), {{2, 66}});
  struct Case { const char* what; Image image; int code; };
  const Case cases[] = {
      {"source code 8", test::patched(golden(), {{kEntry + 28, 8}}), err::kChoiceNotFound},
      {"record of 66 bytes", short_record, err::kShortImage},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(error_of([&] { block.unpack(c.image.data(), c.image.size()); }), c.code) << c.what;
    EXPECT_EQ(block.record(), before) << c.what;
  }
}

}  // namespace
}  // namespace cps::gen2
