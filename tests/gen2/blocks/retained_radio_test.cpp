#include "gen2/blocks/retained_radio.h"

#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

// Record size 6: switches 2875, 2884 (byte 1 bit 6) and 2906 on, then two bytes of its own.
const Image kRetained = test::resealed({0x81, 0x00, 0x06, 0x01, 0x80, 0x40, 0x00, 0x01, 0xBE, 0xEF, 0x00});

RetainedRadioBlock retained_from(const Image& image) {
  RetainedRadioBlock block;
  block.unpack(image.data(), image.size());
  return block;
}

TEST(Gen2RetainedRadio, GoldenImageBothWays) {
  RetainedRadioBlock block = retained_from(kRetained);
  const FieldList& entry = block.record().entry(0);
  ASSERT_EQ(entry.count(), 33u);
  for (int32_t id = 2875; id <= 2906; ++id) {
    EXPECT_EQ(entry.id_at(static_cast<size_t>(id - 2875)), id);
    EXPECT_EQ(entry.text(id), (id == 2875 || id == 2884 || id == 2906) ? "1" : "0") << id;
  }
  EXPECT_EQ(entry.text(2907), "BEEF");
  EXPECT_EQ(retained_option_word(block), 0x80400001u);
  EXPECT_EQ(block.pack(), kRetained);

  block.set_field(0, {2906, "0", 1});
  block.set_field(0, {2876, "1", 1});
  EXPECT_EQ(block.pack(), test::patched(kRetained, {{4, 0xC0}, {7, 0x00}}));
  EXPECT_EQ(error_of([&] { block.set_field(0, {2880, "2", 1}); }), err::kInvalidData);

  // The list is the radio's: add and delete change nothing.
  EXPECT_EQ(block.add_entry(), 0u);
  block.delete_entry(0);
  EXPECT_EQ(block.record().entry_count(), 1u);
  EXPECT_EQ(retained_option_word(RetainedRadioBlock{}), 0u);
}

}  // namespace
}  // namespace cps::gen2
