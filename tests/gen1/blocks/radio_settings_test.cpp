// Block 5: a hand-made image both ways, the forms of the mobile flag, market class and version
// text, refused images and sets leaving the block as it was, and the signalling variant reaching
// the blocks that read it.
#include "gen1/blocks/radio_settings.h"
#include "gen1/values/radio_context.h"

#include "engine/variant_codec.h"
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;

RadioSettings make(uint8_t mobile = 0, const char* version = "07", int32_t market_class = 0) {
  RadioSettings block;
  block.base.mobile = mobile;
  block.base.version = version;
  own_context(block.base).market_class = market_class;
  block.build_default();
  return block;
}

// A portable, class 0, version 07 record of 57 bytes; byte k of the record is image byte k + 3.
const Bytes kRecord = {
    0x21, 0x92, 0x85, 0x82, 0x7F, 0x40, 0x7F, 0x86, 0x0A, 0x04,  // 0-9
    0x05, 0xA3, 0x09, 0xEC, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E,  // 10-19
    0xFF, 0x04, 0x01, 0xE0, 0x01, 0x06, 0xFF, 0x5A, 0x1F, 0x02,  // 20-29
    0xC3, 0x80, 0x38, 0x19, 0x01, 0x02, 0x24, 0x1B, 'Z',  'O',   // 30-39
    'N',  'E',  ' ',  'A',  ' ',  ' ',  0x11, 0x22, 0x33, 0x44,  // 40-49
    0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x07};                   // 50-56

Bytes image_of(const Bytes& record) {
  Bytes image = {0x80, static_cast<uint8_t>(record.size()), 0x01};
  image.insert(image.end(), record.begin(), record.end());
  image.push_back(0);
  return test::resealed(image);
}
// The golden image with record bytes changed.
Bytes with(const test::Patch& record_bytes) { return test::patched(image_of(kRecord), record_bytes, 3); }

TEST(RadioSettings, GoldenImageBothWays) {
  RadioSettings block = make();
  const Bytes golden = image_of(kRecord);
  block.unpack(5, golden.data(), golden.size());
  const FieldList& e = block.block().entry(0);
  const std::vector<std::pair<int32_t, const char*>> expected = {
      {107, "1"}, {108, "0"}, {117, "Open Squelch"}, {447, "Programmable-Menu/Numeric Mic"}, {132, "635"},
      {137, "Bypassed post-limiter 3kHz LP filter"}, {135, "3000"}, {141, "750"}, {148, "-20"}, {157, "480"},
      {159, "1.50"}, {160, "63.75"}, {161, "46.5"}, {164, "5.0"}, {746, "LS Trunking"}, {747, "2"},
      {174, "ZONE A  "}, {176, "Frequency XQ"}, {748, "Conventional"}, {749, "7"}};
  for (auto [id, text] : expected) EXPECT_EQ(e.text(id), text) << id;
  EXPECT_EQ(block.block().header().text(47), "57");
  // Bytes without a field (record byte 27, bytes 46-49 in class 0, bit 0x01 of byte 3) survive.
  EXPECT_EQ(block.pack(5), golden);
}

// The same bytes through every form: what a field shows, or the code the image fails with.
TEST(RadioSettings, FormsShowTheirOwnFields) {
  struct Case { uint8_t mobile; const char* version; int32_t market_class; test::Patch bytes; int32_t field;
                const char* text;  // nullptr: the form has no such field
                int code = 0; };
  const Case cases[] = {
      {0, "03", 1, {{34, 0x41}}, 754, "Kani"},
      {0, "02", 1, {{34, 0x41}}, 166, "66"},
      {1, "07", 0, {{1, 0x02}}, 114, "Programmable-Menu/Numeric"},
      {1, "07", 0, {}, 470, "3.0"},
      {0, "06", 0, {}, 882, "1"},
      {0, "07", 1, {}, 755, "287454020"},  // 0x11223344
      // Refused images.
      {0, "07", 0, {{13, 5}}, 148, nullptr, err::kChoiceNotFound},
      {0, "07", 0, {{7, 0x80}}, 135, nullptr, err::kInvalidData},  // 0 x 500 is below 500
      {1, "07", 0, {{29, 0}}, 470, nullptr, err::kInvalidData},  // held to 162's row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.field << " v" << c.version << " class " << c.market_class);
    RadioSettings block = make(c.mobile, c.version, c.market_class);
    const BlockRecord before = block.block();
    const Bytes image = with(c.bytes);
    EXPECT_EQ(error_of([&] { block.unpack(5, image.data(), image.size()); }), c.code);
    if (c.code != 0) {
      EXPECT_EQ(block.block(), before);
      continue;
    }
    const FieldList& e = block.block().entry(0);
    if (c.text == nullptr) {
      EXPECT_FALSE(e.contains(c.field));
    } else {
      EXPECT_EQ(e.text(c.field), c.text);
    }
    EXPECT_EQ(block.pack(5), image);
  }
}

TEST(RadioSettings, SetsCheckEveryValueFirst) {
  RadioSettings block = make();
  for (FieldValue f : {FieldValue{148, "+50", 1}, {135, "16000", 1}, {164, "25.0", 1}, {174, "ABC", 1}})
    block.set_field(0, f);
  const Bytes packed = block.pack(5);
  EXPECT_EQ(packed[3 + 13], 50);
  EXPECT_EQ(packed[3 + 7] & 0x3F, 32);
  EXPECT_EQ(packed[3 + 32], 125);  // (125 / 25)^2 = 25 W
  EXPECT_EQ(Bytes(packed.begin() + 3 + 38, packed.begin() + 3 + 46), (Bytes{'A', 'B', 'C', ' ', ' ', ' ', ' ', ' '}));

  const BlockRecord good = block.block();
  const struct { FieldValue field; int code; } refused[] = {
      {{148, "-15", 1}, err::kChoiceNotFound}, {{135, "750", 1}, err::kInvalidData},
      {{754, "Kani", 1}, err::kFieldNotFound},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(error_of([&] { block.set_field(0, r.field); }), r.code) << r.field.id;
    EXPECT_EQ(block.block(), good);
  }

  // "02": 659 stands for a type that form does not store and reads 0 only.
  RadioSettings v02 = make(0, "02");
  EXPECT_EQ(error_of([&] { v02.set_field(0, {659, "1", 1}); }), err::kInvalidData);
  v02.set_field(0, {659, "0", 1});
}

// Packed for another version (a write into an older or newer radio), the record is laid out in
// that version's form, fields it lacks taking their defaults; the record itself stays.
TEST(RadioSettings, PackingForAnotherVersion) {
  RadioSettings block = make(0, "07");
  block.set_field(0, {747, "3", 1});
  const BlockRecord kept = block.block();
  block.base.version = "02";
  const Bytes old = block.pack(5);
  ASSERT_EQ(old.size(), 57u + 4u);
  EXPECT_EQ(old[3 + 34], 0);  // 166 = 1
  EXPECT_EQ(block.block(), kept);
  RadioSettings reader = make(0, "02");
  reader.unpack(5, old.data(), old.size());
  EXPECT_EQ(reader.block().entry(0).text(166), "1");
}

HRESULT set_field(CPServices& o, LONG block, FieldValue field) {
  ScopedVariant v;
  encode_field(field, v.get());
  return o.SetFieldAt(block, 0, *v);
}
std::string field_of(CPServices& o, LONG block, LONG field, BYTE index) {
  ScopedVariant v;
  EXPECT_EQ(o.GetFieldAt(block, field, index, v.get()), S_OK);
  return decode_field(*v).value;
}

// The signalling variant set through the interface reaches the blocks that read it: a "Kani"
// radio with a data port gives new channels ATIS signalling, an "Ippan" radio switches field 821
// of new Sel Call systems on. Without block 5 neither happens.
TEST(RadioSettings, SignallingVariantReachesTheBlocksThatReadIt) {
  CPServices object(nullptr);
  BlockRecord identity = object.radio_identity().block();
  identity.entry(0).set_text(99, "Japan");
  ScopedVariant v;
  encode_block_record(identity, v.get());
  ASSERT_EQ(object.SetBlockData(3, v.get()), S_OK);
  ASSERT_EQ(object.market_class(), 2);
  ASSERT_EQ(set_field(object, 2, {55, "1", 0}), S_OK);
  ASSERT_TRUE(object.codeplug().enabled(5));
  object.codeplug().flags().set_enabled(759, true);

  BYTE channel = 0, system = 0;
  ASSERT_EQ(set_field(object, 5, {754, "Kani", 1}), S_OK);
  ASSERT_EQ(object.AddList(38, &channel), S_OK);
  EXPECT_EQ(field_of(object, 38, 415, channel), "ATIS");

  ASSERT_EQ(set_field(object, 5, {754, "Ippan", 1}), S_OK);
  ASSERT_EQ(object.AddList(38, &channel), S_OK);
  EXPECT_EQ(field_of(object, 38, 415, channel), "None");
  ASSERT_EQ(object.AddList(759, &system), S_OK);
  EXPECT_EQ(field_of(object, 759, 821, system), "1");

  // Block 5 disabled: no variant, whatever its record says.
  BlockRecord settings = object.codeplug().handler(5)->block();
  object.codeplug().flags().set_enabled(5, false);
  ScopedVariant again;
  encode_block_record(settings, again.get());
  ASSERT_EQ(object.SetBlockData(5, again.get()), S_OK);
  ASSERT_EQ(object.AddList(759, &system), S_OK);
  EXPECT_EQ(field_of(object, 759, 821, system), "0");
}

}  // namespace
}  // namespace cps
