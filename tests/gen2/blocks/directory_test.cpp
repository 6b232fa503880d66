#include "gen2/blocks/directory.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <vector>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

std::vector<int32_t> ids(const FieldList& fields) {
  std::vector<int32_t> out;
  for (size_t i = 0; i < fields.count(); ++i) out.push_back(fields.id_at(i));
  return out;
}

template <class Block>
Block unpacked(const Image& image) {
  Block block;
  block.unpack(image.data(), image.size());
  return block;
}

// 2040 = 0xA, flags 0 1 0 1, byte 1 whole, length 0x1234, tables at 0x3D1F and 0x3D26.
const Image kHeader = {0xA5, 0x3C, 0x12, 0x34, 0x3D, 0x1F, 0x3D, 0x26};

TEST(Gen2Directory, HeaderGoldenImage) {
  CodeplugHeader header = unpacked<CodeplugHeader>(kHeader);
  const FieldList record = header.get_record();
  EXPECT_EQ(ids(record), (std::vector<int32_t>{2040, 2041, 2042, 2043, 2044, 2045, 2046, 2047, 2048}));
  const char* texts[] = {"10", "0", "1", "0", "1", "60", "4660", "15647", "15654"};
  for (size_t i = 0; i < record.count(); ++i) {
    EXPECT_EQ(record.text_at(i), texts[i]) << record.id_at(i);
    EXPECT_EQ(record.attribute_at(i), 2) << record.id_at(i);
  }
  EXPECT_EQ(header.pack(), kHeader);

  // Stored unchecked, cut to their bits when packed.
  header.set_field({2040, "17", 2});
  header.set_field({2044, "2", 2});
  EXPECT_EQ(header.pack(), test::Image({0x14, 0x3C, 0x12, 0x34, 0x3D, 0x1F, 0x3D, 0x26}));

  CodeplugHeader kept = unpacked<CodeplugHeader>(kHeader);
  EXPECT_EQ(error_of([&] { kept.unpack(kHeader.data(), 7); }), err::kShortImage);
  EXPECT_EQ(kept.get_record(), record);
}

// Byte 2 = 0x81: blocks 2010 and 2003; byte 3: 2017, 2015, 2014, 2012; byte 4: 2867, 2868, 2019;
// byte 5: 2026 and 2025.
const Image kPresence = {0x00, 0x07, 0x81, 0x5A, 0x0D, 0x81, 0xEA};

TEST(Gen2Directory, PresenceTableGoldenImage) {
  PresenceTable table = unpacked<PresenceTable>(kPresence);
  const FieldList record = table.get_record();
  EXPECT_EQ(ids(record), (std::vector<int32_t>{2833, 2010, 2009, 2008, 2007, 2006, 2005, 2004, 2003, 2018, 2017,
                                               2016, 2015, 2014, 2013, 2012, 2011, 2024, 2023, 2022, 2021, 2867,
                                               2868, 2869, 2870, 2871, 2872, 2873, 2874, 2020, 2019, 2026, 2025}));
  EXPECT_EQ(record.text(2833), "7");
  for (int32_t on : {2010, 2003, 2017, 2012, 2867, 2019, 2025}) {
    EXPECT_EQ(record.text(on), "1") << on;
    EXPECT_TRUE(table.present(on)) << on;
  }
  for (int32_t off : {2004, 2018, 2020, 2874}) {
    EXPECT_EQ(record.text(off), "0") << off;
    EXPECT_FALSE(table.present(off)) << off;
  }
  EXPECT_FALSE(table.present(2002));
  EXPECT_EQ(table.pack(), kPresence);

  // A wrong checksum is not verified on unpack and is made right on pack.
  Image stale = kPresence;
  stale.back() = 0;
  EXPECT_EQ(unpacked<PresenceTable>(stale).pack(), kPresence);

  // Only the lowest bit of a value counts; without field 2867 its bit stays clear.
  FieldList edited;
  for (size_t i = 0; i < record.count(); ++i)
    if (record.id_at(i) != 2867) edited.add(record.at(i));
  edited.set_text(2003, "2");
  edited.set_text(2004, "3");
  table.set_record(edited);
  EXPECT_EQ(table.pack(), test::patched(kPresence, {{2, 0x82}, {4, 0x05}}));

}

TEST(Gen2Directory, AddressTableGoldenImage) {
  Image image(AddressTable::kLength, 0);
  image[1] = 67;
  image[2] = 0x02, image[3] = 0x8B;    // 2835: block 2003 at 651
  image[38] = 0x3C, image[39] = 0x10;  // 2853: the retained radio block
  image[64] = 0x3D, image[65] = 0x00;  // 2866: block 2026
  image = test::resealed(image);
  AddressTable table = unpacked<AddressTable>(image);
  const FieldList record = table.get_record();
  ASSERT_EQ(record.count(), 33u);
  EXPECT_EQ(record.id_at(0), 2834);
  for (size_t k = 0; k < 32; ++k) EXPECT_EQ(record.id_at(k + 1), 2835 + static_cast<int32_t>(k));
  EXPECT_EQ(record.text(2834), "67");
  EXPECT_EQ(record.text(2835), "651");
  EXPECT_EQ(record.text(address_field(2867)), "15376");
  EXPECT_EQ(table.pack(), image);

  EXPECT_EQ(error_of([&] { table.unpack(image.data(), 66); }), err::kShortImage);
  EXPECT_EQ(table.get_record(), record);
}

TEST(Gen2Directory, AddressFieldOfEachBlock) {
  struct Case { int32_t block; int32_t field; };
  for (const Case& c : {Case{2003, 2835}, Case{2020, 2852}, Case{2867, 2853}, Case{2021, 2855}, Case{2026, 2866},
                        Case{2002, 0}, Case{2027, 0}})
    EXPECT_EQ(address_field(c.block), c.field) << c.block;
}

}  // namespace
}  // namespace cps::gen2
