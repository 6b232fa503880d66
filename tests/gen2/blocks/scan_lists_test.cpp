#include "gen2/blocks/scan_lists.h"

#include "gen2/blocks/retained_radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

namespace cps::gen2 {
namespace {

using test::error_of;
using test::Image;

// A retained block whose switches 2875, 2884 and 2906 are on: option word 0x80400001.
RetainedRadioBlock with_switches_on() {
  RetainedRadioBlock block;
  const Image image = test::resealed({0x81, 0x00, 0x06, 0x01, 0x80, 0x40, 0x00, 0x01, 0xBE, 0xEF, 0x00});
  block.unpack(image.data(), image.size());
  return block;
}

// Scan lists of record size 6: the option word, then two bytes of the list.
const Image kScan = test::resealed({0x81, 0x00, 0x06, 0x01, 0x00, 0x00, 0x00, 0x07, 0x12, 0x34, 0x00});

TEST(Gen2ScanLists, GoldenImageAndTheScanPath) {
  ScanLists scan;
  const RetainedRadioBlock retained = with_switches_on();
  scan.unpack_with(kScan.data(), kScan.size(), retained);
  EXPECT_EQ(scan.record().entry(0).text(ScanLists::kOptionWord), "7");
  EXPECT_EQ(scan.record().entry(0).text(ScanLists::kRawField), "1234");
  EXPECT_EQ(scan.pack(), kScan);

  // An entry added later takes the word learned from the radio's retained block.
  EXPECT_EQ(scan.add_entry(), 1u);
  EXPECT_EQ(scan.record().entry(1).text(ScanLists::kOptionWord), "2151677953");  // 0x80400001

  // Adding with a retained block takes its word afresh.
  RetainedRadioBlock other = with_switches_on();
  other.set_field(0, {2875, "0", 1});
  EXPECT_EQ(scan.add_entry_with(other), 2u);
  EXPECT_EQ(scan.record().entry(2).text(ScanLists::kOptionWord), "4194305");  // 0x00400001

  ScanLists fresh;
  EXPECT_EQ(fresh.add_entry(), 0u);
  EXPECT_EQ(fresh.pack(), test::resealed({0x81, 0x00, 0x08, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}));
  EXPECT_EQ(error_of([&] { fresh.delete_entry(0); }), err::kBelowMinimum);
  EXPECT_EQ(error_of([&] { fresh.set_field(0, {ScanLists::kOptionWord, "4294967296", 1}); }), err::kInvalidData);
}

TEST(Gen2ScanLists, RefusedAddKeepsTheWordAndTheList) {
  ScanLists scan;
  const RetainedRadioBlock retained = with_switches_on();
  scan.unpack(kScan.data(), kScan.size());
  for (int i = 1; i < 255; ++i) scan.add_entry();
  EXPECT_EQ(error_of([&] { scan.add_entry_with(retained); }), err::kAboveMaximum);
  EXPECT_EQ(scan.record().entry_count(), 255u);
  scan.delete_entry(0);
  scan.add_entry();
  EXPECT_EQ(scan.record().entry(254).text(ScanLists::kOptionWord), "0");
}

}  // namespace
}  // namespace cps::gen2
