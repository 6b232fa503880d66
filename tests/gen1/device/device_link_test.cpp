// The radio link: the version text check, the radio types, and each control command's answer.
#include "device/device_link.h"

#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

namespace cps {
namespace {

constexpr HRESULT kLinkDown = static_cast<HRESULT>(0x8007001F);

TEST(DeviceLink, VersionText) {
  EXPECT_EQ(check_version_text("0799"), "07.99");
  const std::pair<const char*, int> refused[] = {
      {"0800", 133}, {"07A0", 132}, {"072", 132}, {"07.2", 132}};
  for (const auto& [digits, error] : refused)
    EXPECT_EQ(test::error_of([&] { check_version_text(digits); }), error) << digits;
}

// An unknown radio type is refused with 112; a failed query keeps the family.
TEST(DeviceLink, RadioTypeByUuidInAnyLetterCase) {
  const std::pair<const char*, uint8_t> answers[] = {{"B2A70A04902F11D6BFA600C04F6B8C5D", 1},
                                                     {"485f2b48fba745afb278dd8e6b17f3bc", 1},
                                                     {"B6467Cc6902f11D6bfa600c04f6b8c5D", 2},
                                                     {"b6467cc6902f11d6bfa600c04f6b8c5", 0}};
  sim::SimulatedRadio radio;
  DeviceLink link(radio.as_unknown(), 1, nullptr);
  for (const auto& [uuid, expected] : answers) {
    radio.identity.uuid = uuid;
    uint8_t family = 7;
    EXPECT_EQ(test::error_of([&] { link.identify(family); }), expected ? 0 : 112) << uuid;
    EXPECT_EQ(family, expected) << uuid;
  }
  radio.failures.push_back({sim::Call::IoControl, "", 5, kLinkDown});
  uint8_t family = 2;
  EXPECT_EQ(link.identify(family), kLinkDown);
  EXPECT_EQ(family, 2);
}

// A succeeding status other than S_OK is returned with an empty text; a failure keeps the value.
TEST(DeviceLink, CommandsTheirDataAndTheirAnswers) {
  sim::SimulatedRadio radio;
  radio.identity.software_version = "R01.02 \xE9";
  radio.identity.low_battery = true;
  radio.failures = {{sim::Call::IoControl, "QUERYRADIOSERIALNUMBER", 1, S_FALSE},
                    {sim::Call::IoControl, "QUERYRADIOMODELNUMBER", 1, kLinkDown}};
  DeviceLink link(radio.as_unknown(), 1, nullptr);
  std::string software, serial = "old", model = "old";
  bool low = false;
  EXPECT_EQ(link.software_version(software), S_OK);
  EXPECT_EQ(link.serial_number(serial), S_FALSE);
  EXPECT_EQ(link.model_number(model), kLinkDown);
  EXPECT_EQ(link.low_battery(low), S_OK);
  EXPECT_EQ(link.reset(), S_OK);
  EXPECT_EQ(std::tuple(software, serial, model, low, radio.reset_count),
            std::tuple(std::string("R01.02 \xE9"), std::string(), std::string("old"), true, 1));
}

// Without a device object every operation fails with E_POINTER.
TEST(DeviceLink, NoDevice) {
  DeviceLink link(nullptr, 0, nullptr);
  std::string text = "kept";
  bool low = false;
  uint8_t family = 1, byte = 0;
  for (HRESULT status : {link.identify(family), link.serial_number(text), link.low_battery(low), link.reset(),
                         link.read(0x300, 1, &byte), link.write(0x300, 1, &byte)})
    EXPECT_EQ(status, E_POINTER);
  EXPECT_EQ(text, "kept");
}

}  // namespace
}  // namespace cps
