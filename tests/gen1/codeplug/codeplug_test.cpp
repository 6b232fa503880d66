#include "gen1/codeplug/codeplug.h"

#include "gen1/block_table.h"
#include "gen1/block_test_support.h"
#include "gen1/blocks/availability_flags.h"
#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <numeric>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

struct Radio {
  RadioInfo info;
  RadioIdentity identity;
};

uint8_t byte_sum(const Image& image) {
  return static_cast<uint8_t>(std::accumulate(image.begin(), image.end(), 0u));
}

// Rewrites a 16-bit field of an image and its checksum.
Image patched(const Image& image, size_t at, uint16_t value) {
  return test::patched(image, {{at, static_cast<uint8_t>(value >> 8)}, {at + 1, static_cast<uint8_t>(value)}});
}

TEST(Codeplug, PackLaysOutHeaderBlocksAndChecksum) {
  for (int32_t market_class : {0, 1}) {
    Radio radio;
    Codeplug codeplug;
    codeplug.set_market_class(market_class);
    const Image image = codeplug.pack_image(radio.identity, radio.info, false);
    EXPECT_EQ(byte_sum(image), 0x5A);
    EXPECT_EQ(read_be(image.data() + 2, 2), image.size() - 1);
    // Block 4 comes first, then 453 and 454 close the image before its checksum.
    const size_t flags = read_be(image.data() + 4, 2) - 0x300, table = read_be(image.data() + 6, 2) - 0x300;
    EXPECT_EQ(codeplug.addresses().address_of(4), 0x308);
    EXPECT_EQ(table - flags, market_class == 0 ? 10u : 12u);
    EXPECT_EQ(image.size() - 1 - table, market_class == 0 ? 115u : 147u);
    EXPECT_EQ(codeplug.addresses().address_of(41), 0);  // not enabled (block 2 field 60), no address

    Codeplug back;
    back.set_market_class(market_class);
    back.unpack_image(image.data(), image.size(), radio.identity, radio.info);
    EXPECT_EQ(back.flags().fields(), codeplug.flags().fields());
    EXPECT_EQ(back.pack_image(radio.identity, radio.info, false), image);
  }
}

// A failed unpack keeps the header once parsed, 453 and 454 once the checksum passed, and every
// block before the failing one.
TEST(Codeplug, FailedUnpackKeepsWhatWasUnpacked) {
  Radio radio;
  Codeplug source;
  source.programming_record().set_field(0, {104, "Tuner", 0});
  source.flags().set_enabled(20, false);  // the image's flags differ from a new codeplug's
  const Image image = source.pack_image(radio.identity, radio.info, false);

  Image off_by_one = patched(image, 2, static_cast<uint16_t>(image.size() - 1));
  off_by_one[image.size() - 1] ^= 0x01;
  Image flags_too_low = patched(image, 4, 0x2FF);
  // Block 16 (after block 4) with a broken checksum.
  const Image bad_block =
      test::patched(image, {{source.addresses().address_of(16) - 0x300u, 0x01}});
  struct Case { const char* what; const Image& image; size_t length; int code; bool header, flags, block4; } cases[] = {
      {"image checksum", off_by_one, off_by_one.size(), err::kChecksum, true, false, false},
      {"block 453 below 0x300", flags_too_low, flags_too_low.size(), err::kInvalidData, true, false, false},
      {"a later block's checksum", bad_block, bad_block.size(), err::kChecksum, true, true, true},
      {"no header", image, 5, err::kShortImage, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Codeplug codeplug;
    const FieldList header = codeplug.fields(), flags = codeplug.flags().fields();
    const BlockRecord record = codeplug.programming_record().block();
    EXPECT_EQ(error_of([&] { codeplug.unpack_image(c.image.data(), c.length, radio.identity, radio.info); }), c.code);
    Codeplug parsed;
    parsed.parse_header(c.image.data(), c.image.size());
    EXPECT_EQ(codeplug.fields(), c.header ? parsed.fields() : header);
    EXPECT_EQ(codeplug.flags().is_enabled(20), !c.flags);
    if (!c.flags) {
      EXPECT_EQ(codeplug.flags().fields(), flags);
    }
    EXPECT_EQ(codeplug.programming_record().block(), c.block4 ? source.programming_record().block() : record);
  }
}

TEST(Codeplug, DisabledBlocksKeepTheirContent) {
  Radio radio;
  Codeplug source;
  source.flags().set_enabled(4, false);
  const Image image = source.pack_image(radio.identity, radio.info, false);
  EXPECT_EQ(source.addresses().address_of(4), 0);

  Codeplug codeplug;
  codeplug.programming_record().set_field(0, {104, "Tuner", 0});
  codeplug.unpack_image(image.data(), image.size(), radio.identity, radio.info);
  EXPECT_FALSE(codeplug.enabled(4));
  EXPECT_EQ(codeplug.programming_record().block().get_entry_field(0, 104).value, "Tuner");
}

TEST(Codeplug, CapabilityBlocksFollowBlock2OrTheDestination) {
  Radio radio;
  Codeplug codeplug;
  codeplug.flags().set_enabled(41, true);
  radio.info.set_field(0, {60, "0", 0});
  codeplug.pack_image(radio.identity, radio.info, false);
  // Not supported by block 2: both flags of the row go off.
  EXPECT_FALSE(codeplug.enabled(41));
  EXPECT_FALSE(codeplug.enabled(466));

  // With the destination's flags, block 2 does not decide.
  radio.info.set_field(0, {61, "0", 0});
  Codeplug destination;
  const Image theirs = destination.pack_image(radio.identity, radio.info, false);
  codeplug.parse_header(theirs.data(), theirs.size());
  codeplug.read_destination_flags(theirs.data(), theirs.size());
  radio.info.set_field(0, {61, "1", 0});
  const Image ours = codeplug.pack_image(radio.identity, radio.info, true);
  EXPECT_EQ(radio.info.text(61), "0");
  EXPECT_EQ(ours[0], 4);  // field 45 of the header parsed from the destination
}

// A copy reads its own context; an assignment keeps the one blocks 2 and 3 share.
TEST(Codeplug, HandlersShareOneContext) {
  Codeplug codeplug, other;
  const std::shared_ptr<RadioContext> shared = codeplug.context();
  other.set_market_class(1);
  other.set_version_pair(3, 2);
  const Codeplug copy = other;
  codeplug = other;
  other.set_market_class(0);
  for (const Codeplug* c : {static_cast<const Codeplug*>(&codeplug), &copy}) {
    EXPECT_EQ(c->programming_record().base.market_class(), 1);
    EXPECT_EQ(c->handler(38)->base.target_major(), 2);
  }
  EXPECT_EQ(codeplug.context(), shared);
  EXPECT_EQ(other.handler(38)->base.market_class(), 0);
}

// A radio resets its codeplug once, after giving it the version and radio kind, and reads block 4
// and the facts before that: every block as its constructor made it holds what a reset gives
// for the default version and radio kind. The block enables (453) are the reset's own.
TEST(Codeplug, HandlersAsMadeHoldWhatAResetGives) {
  const Codeplug made(Codeplug::Unreset{});
  const Codeplug reset;
  for (const int32_t id : gen1_order()) {
    if (id == AvailabilityFlags::kBlockId || !reset.handler(id)) continue;
    ASSERT_NE(made.handler(id), nullptr) << id;
    EXPECT_TRUE(test::same_record(*made.handler(id), *reset.handler(id))) << "block " << id;
  }
}

}  // namespace
}  // namespace cps
