// Block 453: both forms against hand-made images, the flags a form lacks, and refusals that
// leave the block as it was.
#include "blocks/availability_flags.h"

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
  flags.base.market_class = market_class;
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
    const Bytes fresh = flags_for(market_class).pack(453);
    EXPECT_EQ(flags_for(market_class, fresh).pack(453), fresh);
  }
}

TEST(AvailabilityFlagsTest, RefusalsChangeNothing) {
  FieldList good = flags_for(1, kLong).fields(), two = good;
  two.set_text(3, "2");  // would pack as bit 0
  Bytes bad_sum = kLong, claims_13 = kLong;
  bad_sum.back() ^= 1;
  claims_13[1] = 13;  // more than the bytes given
  const FieldList before = flags_for(1).fields();
  FieldList reversed;  // a set stores the block's own order
  for (size_t i = good.count(); i-- > 0;) reversed.add(good.at(i));
  struct Case { Bytes image; FieldList set; int code; } cases[] = {
      {Bytes(kLong.begin(), kLong.end() - 1), {}, err::kInvalidData}, {kShort, {}, err::kInvalidData},
      {claims_13, {}, err::kInvalidData}, {bad_sum, {}, err::kChecksum}, {{}, two, err::kInvalidData},
      {{}, reversed, 0}, {{}, flags_for(0, kShort).fields(), err::kFieldNotFound},  // lacks 759..762
  };
  for (const Case& c : cases) {
    AvailabilityFlags flags = flags_for(1);
    EXPECT_EQ(error_of([&] { c.image.empty() ? flags.set_fields(c.set) : flags.unpack(453, c.image.data(), c.image.size()); }),
              c.code);
    EXPECT_EQ(flags.fields(), c.code ? before : good);
  }
}

}  // namespace
}  // namespace cps
