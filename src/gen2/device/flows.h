// The second generation's transfer flows, over an R9 radio: its codeplug, the radio type the
// object learned from a model number, and the model table that gives it. Each runs inside the
// guard of its interface method: failures are thrown (error codes, or DeviceFailure carrying
// the device's own status), and the returned HRESULT is the flow's success value. A failed flow
// leaves the blocks as far as it brought them; only the stamp fields 2054 and 2055 are put back
// after a failed image write.
#pragma once

#include "gen2/codeplug.h"

#include <cpservices/cpservices.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace cps::gen2 {

// The model table's answer for a model number (trailing blanks removed by the table): radio
// type 1 or 2, or 0 for a model that is not a second-generation model or not in the table.
using RadioTypeOf = std::function<uint8_t(const std::string& model)>;

struct R9Radio {
  R9Codeplug codeplug;
  uint8_t radio_type = 0;  // 0 (none), 1 or 2
  RadioTypeOf radio_type_of;

  // The radio type of a model number (112 when it has none), set here and in every block.
  void take_model(const std::string& model);
};

// The radio's codeplug version text checked: five characters, each a digit or "." (else 132),
// not above "04.99" compared as text (else 133).
void check_r9_version(const std::string& version);

// Field 2049's 20 hexadecimal digits read as 10 bytes of text, as far as the first zero byte; a
// pair that is not two hexadecimal digits reads as a byte that no radio answers (0xFF).
std::string serial_text(const std::string& hex_digits);

// The programming stamp of fields 2054 ("07-04-2009") and 2055 ("09:05") for a local time.
std::pair<std::string, std::string> stamp_texts(const std::tm& local);

HRESULT r9_read_device(R9Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress);
// WriteDevice and CloneDevice: a clone refuses a radio with the codeplug's serial number (121),
// a write one without it (123).
HRESULT r9_write_device(R9Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress, bool clone);
HRESULT r9_reset_device(IUnknown* device, ULONG handle);
HRESULT r9_get_upd_info(R9Radio& radio, IUnknown* device, ULONG handle, BYTE* same_serial,
                        BYTE* same_model, VARIANT* versions);
// SetBlockData(2029): a whole codeplug image starting at address 643.
void r9_load_image(R9Radio& radio, const std::vector<uint8_t>& image);
HRESULT r9_import_obd(R9Radio& radio, const std::string& path);
// Copy: 2002, 2027 and 2028, then every data block the copied presence table marks present,
// through the interface. A block that `source_radio` (the source, when it is an R9 object of
// this component) carries as opaque bytes comes along as those bytes.
HRESULT r9_copy_from(ICPServices& target, R9Radio& radio, ICPServices* source, const R9Radio* source_radio);

}  // namespace cps::gen2
