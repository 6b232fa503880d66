// The component's side of the radio link, shared by both generations: the host's device-services
// object (memory reads and writes by 16-bit address, named control commands) and its progress
// dialog, both borrowed for one call. Every operation returns the device's status; a flow stops
// at the first negative one. identify() and codeplug_version() apply the first generation's
// radio types and version texts; the second generation checks the plain answers itself.
#pragma once

#include <cpservices/cpservices.h>

#include <cstdint>
#include <string>

namespace cps {

// The radio types the identity query knows.
inline constexpr uint8_t kNoFamily = 0;

class DeviceLink {
 public:
  // `device` and `progress` are what the host passed as IUnknown*; `progress` may be null.
  DeviceLink(IUnknown* device, ULONG handle, IUnknown* progress);

  // Progress: range (0, steps) and step 1; then one step per stage. Nothing without a dialog.
  void start_progress(int steps);
  void step();

  // "QUERYRADIOUUID": on success sets `family` (1 or 2) or raises 112 after setting it to 0;
  // a negative status is returned with `family` left as it was.
  HRESULT identify(uint8_t& family);
  // "QUERYRADIOCODEPLUGVERSION": the answer checked as a version text into `version` ("07.20").
  // 133 is raised; 132 and device failures come back as a negative status.
  HRESULT codeplug_version(std::string& version);
  HRESULT software_version(std::string& text);  // "QUERYRADIOSOFTWAREVERSION"
  HRESULT serial_number(std::string& text);     // "QUERYRADIOSERIALNUMBER"
  HRESULT model_number(std::string& text);      // "QUERYRADIOMODELNUMBER"
  HRESULT low_battery(bool& low);               // "QUERYRADIOLOWBATTERY"
  HRESULT reset();                              // "RESETRADIO"
  // "QUERYMAXIMUMTRANSFERSIZE" (second generation): only the status counts, the size is not used.
  HRESULT transfer_size();
  // Any command that answers a text ("" for an answer that is not one).
  HRESULT text_command(const wchar_t* command, std::string& text);

  HRESULT read(uint16_t address, uint16_t length, uint8_t* buffer);
  HRESULT write(uint16_t address, uint16_t length, const uint8_t* bytes);

 private:
  IORBEXServicesDLL* device_;
  ULONG handle_;
  ICPDProgressDlg* progress_;
};

// The version text check: four characters, each a digit (else 132), shown as "07.20", not
// above "07.99" (else 133).
std::string check_version_text(const std::string& digits);

// The codeplug's model number as a radio answers it: blanks added up to 16 characters (a longer
// one stays whole).
std::string padded_model(std::string model);

// The major version of a version text ("07.20" -> 7): its first two characters read as a decimal
// number, as far as they are digits.
uint8_t major_version(const std::string& version);

// GetUpdInfo's versions: a 1 x 2 array of VT_UI1 variants, the codeplug's major version then the
// radio's, handed to `versions` as VT_ARRAY | VT_VARIANT. 106 when memory runs out, `versions`
// untouched.
void put_major_versions(VARIANT* versions, uint8_t codeplug_major, uint8_t radio_major);

}  // namespace cps
