// The channel list (blocks 38 and 39): images of every form, the rules of its fields, the limit
// of block 2 and the conversions between entry layouts.
#include "gen1/blocks/channel_list.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"
#include "support/images.h"
#include "gen1/values/alias_table.h"

#include <gtest/gtest.h>


namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

ChannelList make(const std::string& version, int32_t market_class = 0, uint8_t mobile = 1) {
  ChannelList list;
  list.base.version = version;
  own_context(list.base).market_class = market_class;
  list.base.mobile = mobile;
  own_context(list.base).radio.max_channels = 16;
  list.build_default();
  return list;
}

TEST(ChannelList, ChannelBytes) {
  ChannelList list = make("07");
  for (const FieldValue& f : std::vector<FieldValue>{{455, "148.512500", 1}, {386, "12.5", 1}, {396, "TXQ", 1},
                                                     {391, "131.8", 1}, {397, "DXQ", 1}, {392, "123", 1},
                                                     {423, "256", 1}, {469, "0", 1}, {664, "On Correct XQ", 1}})
    list.set_field(0, f);
  const Image image = list.pack(38);
  const uint8_t* e = image.data() + 3;
  EXPECT_EQ(e[0] & 0x0C, 3 << 2);           // 6.25 kHz steps
  EXPECT_EQ(e[3] << 8 | e[4], 2002);        // 148.5125 = 136 + 2002 x 6.25 kHz
  EXPECT_EQ(e[5] & 0x03, 1);                // 12.5 kHz
  EXPECT_EQ(e[6] << 8 | e[7], 1318);        // tone 131.8 Hz
  EXPECT_EQ(e[8] << 8 | e[9], 2048 + 83);   // digital 123
  EXPECT_EQ(e[11] & 0x08, 0x08);            // field 400, since 396 is not digital
  EXPECT_EQ(e[23], 0xFF);                   // 256
  EXPECT_EQ(e[25] >> 5, 4);                 // On Correct XQ
  ChannelList back = make("07");
  back.unpack(38, image.data(), image.size());
  EXPECT_EQ(back.block().entry(0).text(423), "255");  // 0xFF reads back as 255
  EXPECT_EQ(back.block().entry(0).text(393), "Disabled");
}

TEST(ChannelList, BrokenImagesAreRefusedAndChangeNothing) {
  ChannelList list = make("07");
  const Image good = list.pack(38);
  const BlockRecord before = list.block();
  auto with = [&](size_t at, uint8_t value) {
    Image image = good;
    image[at] = value;
    image[3 + 27] = checksum(image.data() + 3, 27);
    return test::resealed(image);
  };
  for (const auto& [image, code] : {std::pair{with(3 + 3, 0xFF), err::kInvalidData},           // above the band
                                    {with(3 + 14, 0x04), err::kChoiceNotFound}}) {    // signalling code 4
    EXPECT_EQ(error_of([&] { list.unpack(38, image.data(), image.size()); }), code);
    EXPECT_EQ(list.block(), before);
  }
}

// A record the caller gives up is taken exactly as a record it keeps, on a mobile and on a
// portable radio: with fields beyond the table, with an old lockout label, and refused.
TEST(ChannelList, GivenUpRecordsAreTakenAsKeptOnes) {
  for (uint8_t mobile : {uint8_t{0}, uint8_t{1}}) {
    ChannelList fresh = make("07", 0, mobile);
    fresh.add_list();
    BlockRecord beyond = fresh.block(), old_label = fresh.block(), refused = fresh.block();
    beyond.entry(1).add(745, "3", 1);  // kept on a mobile
    old_label.entry(1).set_text(393, "On Busy Channel");
    refused.set_header_field({48, "3", 2});
    for (const BlockRecord* record : {&beyond, &old_label, &refused}) {
      SCOPED_TRACE(testing::Message() << "mobile " << int(mobile) << ", record " << record->entry_count());
      ChannelList kept = fresh, given_up = fresh;
      const int code = error_of([&] { kept.set_block(*record); });
      EXPECT_EQ(error_of([&] { given_up.set_block_from(BlockRecord(*record)); }), code);
      EXPECT_EQ(given_up.block(), kept.block());
      if (code != 0) {
        EXPECT_EQ(kept.block(), fresh.block());
      }
    }
  }
}

TEST(ChannelList, FieldRules) {
  ChannelList list = make("07");
  list.set_field(0, {386, "12.5", 1});
  EXPECT_EQ(list.block().entry(0).text(387), "2.5");
  list.set_field(0, {387, "1.25", 1});  // never taken from the host
  EXPECT_EQ(list.block().entry(0).text(387), "2.5");
  list.set_field(0, {664, "On Correct XQ", 1});
  EXPECT_EQ(list.block().entry(0).text(393), "Disabled");
  list.set_field(0, {664, "On Wrong XQ", 1});
  EXPECT_EQ(list.block().entry(0).text(393), "On Wrong XQ");
  list.set_field(0, {393, "On Busy Channel", 1});
  EXPECT_EQ(list.block().entry(0).text(393), "On Carrier");
  EXPECT_EQ(list.block().entry(0).text(664), "On Carrier");

  struct Case { FieldValue field; int error; };
  const Case cases[] = {
      {{391, "250.0", 1}, 0},                     // a carrier squelch takes any code
      {{396, "TXQ", 1}, 0},
      {{391, "66.9", 1}, err::kInvalidData},      // now a tone
      {{415, "ATIS", 1}, err::kChoiceNotFound},   // market class 0 has no ATIS
      {{744, "LS Trunking", 1}, err::kFieldNotFound},  // a mobile has no 744
  };
  for (const Case& c : cases) {
    const BlockRecord before = list.block();
    EXPECT_EQ(error_of([&] { list.set_field(0, c.field); }), c.error) << c.field.id << " " << c.field.value;
    if (c.error != 0) {
      EXPECT_EQ(list.block(), before);
    }
  }

  // The channel kind follows block 2's switches; a label it does not know is 107 too, through a
  // field or a whole record.
  ChannelList portable = make("07", 0, 0);
  EXPECT_EQ(error_of([&] { portable.set_field(0, {744, "LS Trunking", 1}); }), err::kInvalidData);
  BlockRecord unknown_kind = portable.block();
  unknown_kind.entry(0).set_text(744, "Trunked");
  EXPECT_EQ(error_of([&] { portable.set_block(unknown_kind); }), err::kInvalidData);
  own_context(portable.base).radio.trunking = true;
  EXPECT_EQ(error_of([&] { portable.set_field(0, {744, "LS Trunking", 1}); }), 0);
  EXPECT_EQ(portable.pack(38)[3 + 21] & 0x1C, 0x04);
}

TEST(ChannelList, SetRecordChecksTheWholeList) {
  ChannelList list = make("07");
  BlockRecord given = list.block();
  given.entry(0).set_text(387, "1.25");
  given.entry(0).set_text(393, "On Busy Channel With Wrong XQ Code");
  list.set_block(given);
  EXPECT_EQ(list.block().entry(0).text(387), "5.0");  // recomputed from 25 kHz
  EXPECT_EQ(list.block().entry(0).text(393), "On Wrong XQ");
  given = list.block();
  given.entry(0) = FieldList();
  for (size_t i = 0; i < list.block().entry(0).count(); ++i)
    if (list.block().entry(0).at(i).id != 387) given.entry(0).add(list.block().entry(0).at(i));
  list.set_block(given);  // a record without the deviation is whole
  EXPECT_EQ(list.block().entry(0).get(387), (FieldValue{387, "5.0", 2}));

  BlockRecord broken = list.block();
  broken.entry(0).set_text(397, "DXQ");
  broken.entry(0).set_text(392, "018");
  const BlockRecord before = list.block();
  EXPECT_EQ(error_of([&] { list.set_block(broken); }), err::kInvalidData);
  EXPECT_EQ(list.block(), before);
  // Field 48 may not pass block 2's maximum.
  list.add_list();
  own_context(list.base).radio.max_channels = 1;
  EXPECT_EQ(error_of([&] { list.set_block(list.block()); }), err::kInvalidData);
}

// A new channel starts at the band's lower edge, as the radio kind has it; block 2 sets the most.
TEST(ChannelList, AddKeepsTheLimit) {
  ChannelList list = make("02", 0, 0);
  own_context(list.base).radio.max_channels = 2;
  own_context(list.base).radio.band_lower = "140.000000";
  EXPECT_EQ(list.add_list(), 1u);
  const FieldList added = list.block().entry(1);
  EXPECT_EQ(added.text(455), "140.000000");
  EXPECT_EQ(added.text(389), "1");  // a portable
  EXPECT_EQ(error_of([&] { list.add_list(); }), err::kAboveMaximum);
}

TEST(ChannelList, DefaultsFollowTheRadio) {
  ChannelList list = make("07", 1, 1);
  own_context(list.base).radio.field_55 = true;
  own_context(list.base).radio.kani = true;
  const FieldList channel = list.default_channel();
  EXPECT_EQ(channel.text(415), "ATIS");
  EXPECT_EQ(channel.text(389), "0");  // a mobile

  // A fixed-spacing model shows and stores 12.5 kHz whatever the record says.
  own_context(list.base).radio.fixed_spacing = true;
  const Image image = list.pack(38);
  EXPECT_EQ(image[3 + 5] & 0x03, 1);
  ChannelList back = make("07", 1, 1);
  own_context(back.base).radio.fixed_spacing = true;
  back.unpack(38, image.data(), image.size());
  EXPECT_EQ(back.block().entry(0).text(386), "12.5");
}

TEST(ChannelList, PackingConvertsBetweenMajorVersions) {
  // Data of version 1 written to a version-2 portable: 27-byte entries, the added fields, 8-character aliases.
  ChannelList list = make("01", 0, 0);
  list.set_field(0, {424, "LONGALIAS12", 1});
  list.base.version = "02";
  own_context(list.base).data_major = 1;
  own_context(list.base).target_major = 2;
  const Image channels = list.pack(38), aliases = list.pack(39);
  EXPECT_EQ(channels[1], 27);
  EXPECT_EQ(aliases[1], 8);
  for (int32_t id : {668, 669, 661, 665, 663, 664}) EXPECT_TRUE(list.block().entry(0).contains(id)) << id;
  ChannelList back = make("02", 0, 0);
  back.unpack(38, channels.data(), channels.size());
  back.unpack(39, aliases.data(), aliases.size());
  EXPECT_EQ(back.block().entry(0).text(424), "LONGALIA");

  // And back to a version-1 radio: 24-byte entries, 14-character aliases.
  back.base.version = "01";
  own_context(back.base).data_major = 2;
  own_context(back.base).target_major = 1;
  EXPECT_EQ(back.pack(38)[1], 24);
  EXPECT_EQ(back.pack(39)[1], 14);

  // Version 2 to 3 turns 668/669 into the channel kind and 745.
  ChannelList v2 = make("02", 0, 0);
  v2.set_field(0, {669, "17", 1});
  v2.base.version = "03";
  own_context(v2.base).data_major = 2;
  own_context(v2.base).target_major = 3;
  v2.pack(38);
  EXPECT_EQ(v2.block().entry(0).text(744), "Conventional");
  EXPECT_EQ(v2.block().entry(0).text(745), "17");
}

}  // namespace
}  // namespace cps
