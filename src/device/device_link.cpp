#include "device/device_link.h"

#include "platform/errors.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"

#include <array>
#include <string_view>

namespace cps {

namespace {

// The radio types, by the identifier the radio answers to "QUERYRADIOUUID" (any letter case).
struct RadioType {
  std::string_view uuid;
  uint8_t family;
};
constexpr std::array<RadioType, 3> kRadioTypes{{
    {"b2a70a04902f11d6bfa600c04f6b8c5d", 1},
    {"485F2B48FBA745AFB278DD8E6B17F3BC", 1},
    {"b6467cc6902f11d6bfa600c04f6b8c5d", 2},
}};

constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The newest codeplug layout a radio may carry, compared as text.
constexpr std::string_view kNewestVersion = "07.99";

// A device library that was never handed over fails every call.
constexpr HRESULT kNoDevice = E_POINTER;

constexpr size_t kModelWidth = 16;  // a radio answers its model number padded to this width

}  // namespace

DeviceLink::DeviceLink(IUnknown* device, ULONG handle, IUnknown* progress)
    : device_(reinterpret_cast<IORBEXServicesDLL*>(device)),
      handle_(handle),
      progress_(reinterpret_cast<ICPDProgressDlg*>(progress)) {}

// ---- Progress -------------------------------------------------------------------------------

void DeviceLink::start_progress(int steps) {
  if (!progress_) return;
  progress_->SetRange(0, steps);
  progress_->SetStep(1);
}

void DeviceLink::step() {
  if (progress_) progress_->StepIt();
}

// ---- Control commands -----------------------------------------------------------------------

namespace {

// Runs one control command. The data VARIANT gets its type with a zeroed payload before the
// call, so that clearing it afterwards frees only what the radio put there.
template <class Prepare>
HRESULT run_command(IORBEXServicesDLL* device, ULONG handle, const wchar_t* command,
                    ScopedVariant& data, Prepare prepare) {
  if (!device) return kNoDevice;
  ScopedBstr word(SysAllocString(command));
  if (!word.get()) raise(err::kNoStorage);
  data->llVal = 0;
  prepare(*data.get());
  return device->IoControl(handle, word.get(), data.get());
}

}  // namespace

HRESULT DeviceLink::text_command(const wchar_t* command, std::string& text) {
  ScopedVariant data;
  const HRESULT hr = run_command(device_, handle_, command, data, [](VARIANT& v) {
    v.vt = VT_BSTR;  // bstrVal stays null
  });
  // An answer that is not text reads as an empty text.
  if (SUCCEEDED(hr)) text = data->vt == VT_BSTR ? narrow_from_bstr(data->bstrVal) : std::string();
  return hr;
}

HRESULT DeviceLink::identify(uint8_t& family) {
  std::string uuid;
  const HRESULT hr = text_command(L"QUERYRADIOUUID", uuid);
  if (FAILED(hr)) return hr;
  for (const RadioType& type : kRadioTypes)
    if (same_ignoring_case(uuid, type.uuid)) {
      family = type.family;
      return hr;
    }
  family = kNoFamily;
  raise(err::kProductFamily);
}

HRESULT DeviceLink::codeplug_version(std::string& version) {
  std::string digits;
  const HRESULT hr = text_command(L"QUERYRADIOCODEPLUGVERSION", digits);
  if (FAILED(hr)) return hr;
  // A radio whose answer is not a version text counts as failing the query; only a version
  // newer than this component knows ends the caller's flow.
  try {
    version = check_version_text(digits);
  } catch (const ErrorCode& e) {
    if (e.code == err::kVersionNotSupported) throw;
    return hresult_of(e.code);
  }
  return hr;
}

HRESULT DeviceLink::software_version(std::string& text) {
  return text_command(L"QUERYRADIOSOFTWAREVERSION", text);
}

HRESULT DeviceLink::serial_number(std::string& text) {
  return text_command(L"QUERYRADIOSERIALNUMBER", text);
}

HRESULT DeviceLink::model_number(std::string& text) {
  return text_command(L"QUERYRADIOMODELNUMBER", text);
}

HRESULT DeviceLink::low_battery(bool& low) {
  ScopedVariant data;
  const HRESULT hr = run_command(device_, handle_, L"QUERYRADIOLOWBATTERY", data, [](VARIANT& v) {
    v.vt = VT_BOOL;  // boolVal stays VARIANT_FALSE
  });
  if (SUCCEEDED(hr)) low = data->vt == VT_BOOL && data->boolVal == VARIANT_TRUE;
  return hr;
}

HRESULT DeviceLink::reset() {
  ScopedVariant data;  // VT_EMPTY: the command takes nothing and answers nothing
  return run_command(device_, handle_, L"RESETRADIO", data, [](VARIANT&) {});
}

HRESULT DeviceLink::transfer_size() {
  ScopedVariant data;
  return run_command(device_, handle_, L"QUERYMAXIMUMTRANSFERSIZE", data, [](VARIANT& v) {
    v.vt = VT_UI2;  // uiVal stays 0
  });
}

// ---- Memory ---------------------------------------------------------------------------------

HRESULT DeviceLink::read(uint16_t address, uint16_t length, uint8_t* buffer) {
  if (!device_) return kNoDevice;
  return device_->ReadDeviceVirtualAddress(handle_, length, address, buffer, 0);
}

HRESULT DeviceLink::write(uint16_t address, uint16_t length, const uint8_t* bytes) {
  if (!device_) return kNoDevice;
  // The library takes the bytes through a non-const pointer but only reads them.
  return device_->WriteDeviceVirtualAddress(handle_, length, address, const_cast<BYTE*>(bytes));
}

// ---- Version text ---------------------------------------------------------------------------

std::string check_version_text(const std::string& digits) {
  if (digits.size() != 4) raise(err::kCodeplugVersion);
  for (char c : digits)
    if (c < '0' || c > '9') raise(err::kCodeplugVersion);
  std::string version = digits.substr(0, 2);
  version += '.';
  version.append(digits, 2, 2);
  if (version > kNewestVersion) raise(err::kVersionNotSupported);
  return version;
}

// ---- What GetUpdInfo compares ---------------------------------------------------------------

std::string padded_model(std::string model) {
  if (model.size() < kModelWidth) model.resize(kModelWidth, ' ');
  return model;
}

uint8_t major_version(const std::string& version) {
  unsigned value = 0;
  for (size_t i = 0; i < version.size() && i < 2 && version[i] >= '0' && version[i] <= '9'; ++i)
    value = value * 10 + static_cast<unsigned>(version[i] - '0');
  return static_cast<uint8_t>(value);
}

void put_major_versions(VARIANT* versions, uint8_t codeplug_major, uint8_t radio_major) {
  SAFEARRAYBOUND bounds[2] = {{1, 0}, {2, 0}};
  ScopedArray array(SafeArrayCreate(VT_VARIANT, 2, bounds));
  if (!array.get()) raise(err::kNoStorage);
  const uint8_t majors[2] = {codeplug_major, radio_major};
  for (LONG column = 0; column < 2; ++column) {
    ScopedVariant element;
    element->vt = VT_UI1;
    element->bVal = majors[column];
    LONG at[2] = {0, column};
    if (FAILED(SafeArrayPutElement(array.get(), at, element.get()))) raise(err::kNoStorage);
  }
  VariantInit(versions);
  versions->vt = VT_ARRAY | VT_VARIANT;
  versions->parray = array.release();
}

}  // namespace cps
