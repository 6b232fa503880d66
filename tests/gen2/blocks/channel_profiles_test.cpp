#include "gen2/blocks/channel_profiles.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

// Record size 20 (bytes 18-19 carry nothing), two profiles.
const Image kGolden = test::resealed({
    0x80, 0x00, 0x14, 0x02,
    0xB6, 0x53, 0x6A, 0x82, 0x8C, 12, 0x5F, 0x81, 0x82, 0x43, 0x04, 0x85, 0x86, 0x07, 0xA5, 0x3C, 0xFE, 0x48,
    0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x10, 255, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00,
    0x00,
});

ChannelProfiles unpacked(const Image& image) {
  ChannelProfiles block;
  block.unpack(image.data(), image.size());
  return block;
}

TEST(Gen2ChannelProfiles, GoldenImageBothWays) {
  ChannelProfiles block = unpacked(kGolden);
  const BlockRecord& record = block.record();
  ASSERT_EQ(record.entry_count(), 2u);
  const FieldList& first = record.entry(0);
  ASSERT_EQ(first.count(), 65u);
  EXPECT_EQ(first.id_at(0), 2424);
  EXPECT_EQ(first.id_at(64), 2499);
  // One field of each byte, the choices by their labels.
  struct Expect { int32_t id; const char* text; };
  const Expect fields[] = {
      {2424, "1"}, {2428, "Only if Channel Busy"}, {2429, "Carrier Independent"}, {2433, "High"},
      {2436, "Tone"}, {2437, "TXQ/DXQ"}, {2449, "Override XQ squelch when auto-reset timer is active"},
      {2451, "Channel Free or No TXQ/DXQ but Past TXQ/DXQ"}, {2453, "Cumulative"}, {2455, "120"},
      {2456, "Address Send"}, {2458, "31"}, {2468, "Disabled"}, {2471, "Telegram"}, {2479, "7"},
      {2480, "1"}, {2488, "0"}, {2494, "0"}, {2496, "254"}, {2499, "8"}};
  for (const Expect& f : fields) EXPECT_EQ(first.text(f.id), f.text) << f.id;
  for (size_t i = 0; i < first.count(); ++i) EXPECT_EQ(first.attribute_at(i), 1) << first.id_at(i);
  EXPECT_EQ(record.entry(1).text(2455), "2550");
  EXPECT_EQ(block.pack(), kGolden);

  // Bits no field owns are written as 0.
  EXPECT_EQ(unpacked(test::patched(kGolden, {{5, 0x5B}, {10, 0x7F}, {11, 0xFF}})).pack(),
            test::patched(kGolden, {{11, 0x9F}}));
}

TEST(Gen2ChannelProfiles, AddFramesAnEmptyBlockAfresh) {
  ChannelProfiles block;
  EXPECT_EQ(block.add_entry(), 0u);
  // 2424 set, 2431 set on radio type 1, squelch mode "CSQ", "Always Allowed", timer 100.
  Image expected(31, 0);
  expected[0] = 0x81, expected[2] = 26, expected[3] = 1;
  expected[4] = 0x80, expected[5] = 0x40, expected[6] = 0xC0, expected[8] = 0x10, expected[9] = 10;
  EXPECT_EQ(block.pack(), test::resealed(expected));

  ChannelProfiles type2;  // 2431 is set on radio type 1 only
  type2.set_radio_type(2);
  type2.add_entry();
  EXPECT_EQ(type2.record().entry(0).text(2431), "0");

  // A block emptied by deletion is framed afresh too; the radio's record size 20 gives way to 26.
  ChannelProfiles radio = unpacked(kGolden);
  radio.delete_entry(1);
  radio.delete_entry(0);
  radio.add_entry();
  EXPECT_EQ(radio.record().header().text(2034), "26");
  EXPECT_EQ(radio.record().header().text(2033), "1");  // the radio had 0
}

TEST(Gen2ChannelProfiles, ChecksEveryValueOnTheWayIn) {
  struct Case { FieldValue field; int code; };
  const Case cases[] = {
      {{2433, "Medium", 1}, err::kChoiceNotFound}, {{2455, "2550", 1}, 0},
      {{2455, "125", 1}, err::kInvalidData},       {{2434, "0", 1}, err::kFieldNotFound},
  };
  for (const Case& c : cases) {
    ChannelProfiles block = unpacked(kGolden);
    const BlockRecord before = block.record();
    EXPECT_EQ(error_of([&] { block.set_field(1, c.field); }), c.code) << c.field.id << " " << c.field.value;
    if (c.code != 0) {
      EXPECT_EQ(block.record(), before);
    }
  }

  ChannelProfiles block = unpacked(kGolden);
  const BlockRecord before = block.record();
  EXPECT_EQ(error_of([&] { block.unpack(test::patched(kGolden, {{28, 0x90}}).data(), kGolden.size()); }),
            err::kChoiceNotFound);  // transmit permission code 9
  EXPECT_EQ(block.record(), before);
}

}  // namespace
}  // namespace cps::gen2
