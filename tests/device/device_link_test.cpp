// The radio link: the version text check, the radio types, and what each control command sends
// and takes back. (The version query's answers are covered through the flows.)
#include "device/device_link.h"

#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

constexpr HRESULT kLinkDown = static_cast<HRESULT>(0x8007001F);

TEST(DeviceLink, VersionText) {
  const std::pair<const char*, const char*> shown[] = {
      {"0720", "07.20"}, {"0799", "07.99"}, {"0000", "00.00"}};
  for (const auto& [digits, text] : shown) EXPECT_EQ(check_version_text(digits), text);
  const std::pair<const char*, int> refused[] = {
      {"0800", 133}, {"9999", 133}, {"07A0", 132}, {"072", 132},  {"07200", 132},
      {"", 132},     {"07.2", 132}, {" 720", 132}, {"0/20", 132}, {"07:0", 132}};
  for (const auto& [digits, error] : refused)
    EXPECT_EQ(test::error_of([&] { check_version_text(digits); }), error) << digits;
}

TEST(DeviceLink, RadioTypeByUuidInAnyLetterCase) {
  const std::pair<const char*, uint8_t> answers[] = {{"b2a70a04902f11d6bfa600c04f6b8c5d", 1},
                                                     {"B2A70A04902F11D6BFA600C04F6B8C5D", 1},
                                                     {"485f2b48fba745afb278dd8e6b17f3bc", 1},
                                                     {"B6467Cc6902f11D6bfa600c04f6b8c5D", 2},
                                                     {"b6467cc6902f11d6bfa600c04f6b8c5", 0},
                                                     {"b6467cc6902f11d6bfa600c04f6b8c5d ", 0},
                                                     {"", 0}};
  sim::SimulatedRadio radio;
  DeviceLink link(radio.as_unknown(), 1, nullptr);
  for (const auto& [uuid, expected] : answers) {
    radio.identity.uuid = uuid;
    uint8_t family = 7;
    EXPECT_EQ(test::error_of([&] { link.identify(family); }), expected ? 0 : 112) << uuid;
    EXPECT_EQ(family, expected) << uuid;
  }
  radio.failures.push_back(
      {.call = sim::Call::IoControl, .command = "", .nth = 8, .hr = kLinkDown});
  uint8_t family = 2;
  EXPECT_EQ(link.identify(family), kLinkDown);
  EXPECT_EQ(family, 2);  // a failed query keeps the family
}

// A device that notes how each command's data arrives and answers a copy of `reply` with `result`.
class ScriptedDevice final : public IORBEXServicesDLL {
 public:
  std::vector<std::pair<std::string, VARTYPE>> seen;
  bool all_zeroed = true;
  HRESULT result = S_OK;
  ScopedVariant reply;

  HRESULT ReadDeviceVirtualAddress(ULONG, USHORT, USHORT, BYTE*, ULONG) override {
    return E_NOTIMPL;
  }
  HRESULT WriteDeviceVirtualAddress(ULONG, USHORT, USHORT, BYTE*) override { return E_NOTIMPL; }
  HRESULT IoControl(ULONG, BSTR command, VARIANT* data) override {
    seen.emplace_back(narrow_from_bstr(command), data->vt);
    all_zeroed = all_zeroed && data->llVal == 0;
    if (SUCCEEDED(result)) VariantCopy(data, reply.get());
    return result;
  }
  IUnknown* as_unknown() {
    return reinterpret_cast<IUnknown*>(static_cast<IORBEXServicesDLL*>(this));
  }
};

TEST(DeviceLink, CommandsTheirDataAndTheirAnswers) {
  ScriptedDevice device;
  DeviceLink link(device.as_unknown(), 1, nullptr);
  device.reply->vt = VT_BSTR;
  device.reply->bstrVal = bstr_from_narrow("R01.02 \xE9");
  std::string version, software, serial, model;
  bool low = true;
  uint8_t family = 0;
  test::error_of([&] { link.identify(family); });
  link.codeplug_version(version);
  EXPECT_EQ(link.software_version(software), S_OK);
  device.result = S_FALSE;
  VariantClear(device.reply.get());
  device.reply->vt = VT_I4;  // not text: read as an empty one
  device.reply->lVal = 42;
  EXPECT_EQ(link.serial_number(serial = "old"), S_FALSE);
  device.result = kLinkDown;
  EXPECT_EQ(link.model_number(model = "old"), kLinkDown);
  EXPECT_EQ(link.low_battery(low), kLinkDown);
  EXPECT_EQ(link.reset(), kLinkDown);

  EXPECT_EQ(software, "R01.02 \xE9");
  EXPECT_EQ(serial, "");
  EXPECT_EQ(model, "old");
  EXPECT_TRUE(low);
  const std::vector<std::pair<std::string, VARTYPE>> expected = {
      {"QUERYRADIOUUID", VT_BSTR},
      {"QUERYRADIOCODEPLUGVERSION", VT_BSTR},
      {"QUERYRADIOSOFTWAREVERSION", VT_BSTR},
      {"QUERYRADIOSERIALNUMBER", VT_BSTR},
      {"QUERYRADIOMODELNUMBER", VT_BSTR},
      {"QUERYRADIOLOWBATTERY", VT_BOOL},
      {"RESETRADIO", VT_EMPTY}};
  EXPECT_EQ(device.seen, expected);
  EXPECT_TRUE(device.all_zeroed);

  device.result = S_OK;
  device.reply->vt = VT_BOOL;
  device.reply->boolVal = VARIANT_TRUE;
  EXPECT_EQ(link.low_battery(low = false), S_OK);
  EXPECT_TRUE(low);
}

// Without a device object every operation fails with E_POINTER.
TEST(DeviceLink, NoDevice) {
  DeviceLink link(nullptr, 0, nullptr);
  std::string text = "kept";
  bool low = false;
  uint8_t family = 1, byte = 0;
  for (HRESULT status :
       {link.identify(family), link.codeplug_version(text), link.software_version(text),
        link.serial_number(text), link.model_number(text), link.low_battery(low), link.reset(),
        link.read(0x300, 1, &byte), link.write(0x300, 1, &byte)})
    EXPECT_EQ(status, E_POINTER);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(family, 1);
}

}  // namespace
}  // namespace cps
