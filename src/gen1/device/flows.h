// The first generation's transfer flows. Each runs inside the guard of its interface method:
// failures are thrown (error codes, or DeviceFailure carrying the device's own status), and the
// returned HRESULT is the flow's success value.
#pragma once

#include <cpservices/cpservices.h>

#include <string>

namespace cps {

class Gen1Radio;

HRESULT read_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress);
// `destination` is another service object holding what was read from the destination radio.
HRESULT write_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress,
                     ICPServices* destination);
HRESULT clone_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress);
HRESULT reset_device(IUnknown* device, ULONG handle);
HRESULT get_upd_info(Gen1Radio& radio, IUnknown* device, ULONG handle, BYTE* same_serial,
                     BYTE* same_model, VARIANT* versions);
// Moves every block from `source` into `target` through the interface, as a host would.
HRESULT copy_from(ICPServices& target, ICPServices* source);
HRESULT import_obd(Gen1Radio& radio, const std::string& path);

}  // namespace cps
