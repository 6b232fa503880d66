// Block 453: both forms against hand-made images, the flags a form lacks, and refusals that
// leave the block as it was.
#include "gen1/blocks/availability_flags.h"
#include "gen1/values/radio_context.h"

#include "support/error_code.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bytes = std::vector<uint8_t>;

AvailabilityFlags flags_for(int32_t market_class, const Bytes& image = {}) {
  AvailabilityFlags flags;
  own_context(flags.base).market_class = market_class;
  flags.build_default();
  if (!image.empty()) flags.unpack(453, image.data(), image.size());
  return flags;
}

// Class 0: two flags in each flag byte, 0x5A - 0x02 = 0x58. Class 1: 3, 760, 762, 0x5A - 0x17.
const Bytes kShort = {0x00, 0x0A, 0x02, 0x81, 0x0A, 0x88, 0x21, 0x81, 0x41, 0x58};
const Bytes kLong = {0x00, 0x0C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x43};
const std::set<int32_t> kOn[] = {{2, 4, 11, 13, 15, 468, 658, 23, 28, 741, 742, 38, 44},
                                 {3, 760, 762}};

TEST(AvailabilityFlagsTest, GoldenImagesAndForms) {
  for (int32_t market_class : {0, 1}) {
    const Bytes& image = market_class == 0 ? kShort : kLong;
    AvailabilityFlags flags = flags_for(market_class, image);
    const FieldList list = flags.fields();
    EXPECT_EQ(list.count(), market_class == 0 ? 49u : 53u);
    EXPECT_EQ(list.at(3).id, market_class == 0 ? 4 : 761);  // after 52, 3, 2
    std::set<int32_t> on;
    for (size_t i = 1; i < list.count(); ++i)
      if (flags.is_enabled(list.at(i).id)) on.insert(list.at(i).id);
    EXPECT_EQ(on, kOn[market_class]);
    EXPECT_EQ(flags.pack(453), image);
    // The short form has no flag for 759; field 52 is no flag.
    EXPECT_EQ(error_of([&] { flags.is_enabled(759); }), market_class == 0 ? err::kFieldNotFound : 0);
    EXPECT_EQ(error_of([&] { flags.set_enabled(52, true); }), err::kFieldNotFound);
  }
}

// Set stores the list it is given: any order, any value ("2" counts as enabled and packs as the
// flag's bit), fields beyond the form's flags kept. It needs 52 and every flag of the form.
TEST(AvailabilityFlagsTest, SetKeepsTheGivenList) {
  const FieldList good = flags_for(1, kLong).fields();
  FieldList reversed;
  for (size_t i = good.count(); i-- > 0;) reversed.add(good.at(i));
  FieldList two = reversed;
  two.set_text(3, "2");
  two.set_text(762, "0");
  FieldList with_extra = flags_for(0, kShort).fields();
  for (int32_t id : {759, 760}) with_extra.add(id, "1", 2);
  FieldList without_52;
  for (size_t i = 1; i < good.count(); ++i) without_52.add(good.at(i));

  struct Case { int32_t market_class; FieldList set; int code; Bytes packed; } cases[] = {
      {1, reversed, 0, kLong},
      {1, two, 0, {0x00, 0x0C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x4B}},
      {0, with_extra, 0, kShort},  // 759, 760 are kept but are no flags of the short form
      {1, flags_for(0, kShort).fields(), err::kFieldNotFound, {}},  // lacks 759..762
      {1, without_52, err::kFieldNotFound, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    AvailabilityFlags flags = flags_for(c.market_class);
    const FieldList before = flags.fields();
    EXPECT_EQ(error_of([&] { flags.set_fields(c.set); }), c.code);
    EXPECT_EQ(flags.fields(), c.code ? before : c.set);
    if (c.code) continue;
    EXPECT_EQ(flags.pack(453), c.packed);
    EXPECT_EQ(flags.is_enabled(3), c.set.text(3) != "0");
    EXPECT_EQ(flags.has_flag(759), c.market_class != 0);
  }
}

TEST(AvailabilityFlagsTest, BadImagesChangeNothing) {
  Bytes bad_sum = kLong, claims_13 = kLong;
  bad_sum.back() ^= 1;
  claims_13[1] = 13;  // more than the bytes given
  const FieldList before = flags_for(1).fields();
  struct Case { Bytes image; int code; } cases[] = {
      {kShort, err::kInvalidData},
      {claims_13, err::kInvalidData}, {bad_sum, err::kChecksum},
  };
  for (const Case& c : cases) {
    AvailabilityFlags flags = flags_for(1);
    EXPECT_EQ(error_of([&] { flags.unpack(453, c.image.data(), c.image.size()); }), c.code);
    EXPECT_EQ(flags.fields(), before);
  }
}

}  // namespace
}  // namespace cps
