// The dialling digit list (blocks 9/10): digit and alias images both ways, the pause of radios
// without one, refused images, values and records (each changing nothing), and the two IDs
// through the interface and on factory radios.
#include "gen1/blocks/dialling_digits.h"

#include "engine/variant_codec.h"
#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
#include "support/error_code.h"
#include "gen1/block_test_support.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

using test::error_of;
using Image = std::vector<uint8_t>;

const Image kEmpty(8, 0xFF);
const Image kAllDigits = {0x12, 0x3A, 0xBC, 0xDE, 0xFF, 0xFF, 0xFF, 0xFF};  // 1230*#-P

Image digits(const std::vector<Image>& entries, uint8_t byte0 = 128, uint8_t byte3 = 0, uint8_t size = 8) {
  Image image = {byte0, size, static_cast<uint8_t>(entries.size()), byte3, 4, 16};
  for (const Image& e : entries) image.insert(image.end(), e.begin(), e.end());
  image.push_back(0);
  return test::resealed(image);
}

// Two aliases of length 8: "HOME", and none (0xFF).
const Image kAliases = test::resealed({132, 8, 2, 0, 1, 8, 'H', 'O', 'M', 'E', 0, 0, 0, 0,
                                       0xFF, 0, 0, 0, 0, 0, 0, 0, 0});

TEST(DiallingDigits, ImagesBothWays) {
  DiallingDigits block;
  EXPECT_EQ(block.pack(9), digits(std::vector<Image>(26, kEmpty)));
  // An entry whose first byte holds no digit is empty, whatever follows.
  const Image image = digits({kAllDigits, {0xFF, 0x00, 0x12, 0, 0, 0, 0, 0}}, 130, 7);
  block.unpack(9, image.data(), image.size());
  block.unpack(10, kAliases.data(), kAliases.size());
  EXPECT_EQ(block.block().entry(0).text(579), "1230*#-P");
  EXPECT_EQ(block.block().entry(0).text(424), "HOME");
  EXPECT_EQ(block.block().entry(1).text(579), "");
  // Byte 0 of the digit image is field 656 both ways; 49 is the alias image's.
  EXPECT_EQ(block.block().header().text(656), "130");
  EXPECT_EQ(block.block().header().text(49), "132");
  EXPECT_EQ(block.pack(9), digits({kAllDigits, kEmpty}, 130, 7));
}

TEST(DiallingDigits, RadiosWithoutAPauseStoreASeparator) {
  for (auto [version, stored] : {std::pair{"02", "12-3"}, std::pair{"05", "12P3"}}) {
    DiallingDigits block;
    block.base.version = version;
    block.set_field(4, {579, "12P3", 1});
    EXPECT_EQ(block.block().entry(4).text(579), stored) << version;
  }
  // A number set for a later radio packs for an older one with "-", and keeps it.
  DiallingDigits block;
  block.base.version = "05";
  block.set_field(0, {579, "P1", 1});
  block.base.version = "02";
  EXPECT_EQ(block.pack(9)[6], 0xD1);
  EXPECT_EQ(block.block().entry(0).text(579), "-1");
}

TEST(DiallingDigits, RefusalsChangeNothing) {
  const Image good = digits({kAllDigits, kEmpty});
  DiallingDigits block;
  block.unpack(9, good.data(), good.size());
  for (const auto& [image, error] : {std::pair{Image(good.begin(), good.begin() + 6), err::kShortImage},
                                     std::pair{digits(std::vector<Image>(27, kEmpty)), err::kInvalidData},
                                     std::pair{digits({{0x12, 0xF0, 0xFF, 0xFF, 0, 0, 0, 0}}), err::kChoiceNotFound}})
    EXPECT_EQ(test::refused(block, [&] { block.unpack(9, image.data(), image.size()); }), error);
  for (const auto& [field, error] : {std::pair{FieldValue{579, "12A", 1}, err::kChoiceNotFound},
                                     std::pair{FieldValue{579, "12345678901234567", 1}, err::kInvalidData},
                                     std::pair{FieldValue{47, "4", 2}, err::kFieldNotFound}})
    EXPECT_EQ(test::refused(block, [&] { block.set_field(1, field); }), error) << field.id << " " << field.value;
  // The alias image follows the digit image.
  DiallingDigits fresh;
  EXPECT_EQ(error_of([&] { fresh.unpack(10, kAliases.data(), kAliases.size()); }), err::kUnpackFailure);
}

// IDs 9 and 10 are one list, on every factory radio, served for get, set, quantity and move.
TEST(DiallingDigits, BothIdsThroughTheInterface) {
  sim::SimulatedRadio radio = sim::make_gen1_radio({.version = "0120"});
  CPServices object(nullptr);
  ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
  ScopedVariant v;
  encode_field({579, "5551234", 1}, v.get());
  ASSERT_EQ(object.SetFieldAt(10, 0, *v), S_OK);
  ASSERT_EQ(object.MoveList(9, 0, 2), S_OK);
  ScopedVariant field;
  ASSERT_EQ(object.GetFieldAt(9, 579, 2, field.get()), S_OK);
  EXPECT_EQ(decode_field(*field).value, "5551234");
  EXPECT_EQ(object.DeleteList(10, 0), hresult_of(err::kBlockNotSupported));
}

}  // namespace
}  // namespace cps
