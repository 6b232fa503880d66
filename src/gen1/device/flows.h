// The first generation's transfer flows. Each runs inside the guard of its interface method:
// failures are thrown (error codes, or DeviceFailure carrying the device's own status), and the
// returned HRESULT is the flow's success value.
#pragma once

#include <cpservices/cpservices.h>

#include <string>

namespace cps {

class CPServices;

HRESULT read_device(CPServices& object, IUnknown* device, ULONG handle, IUnknown* progress);
HRESULT write_device(CPServices& object, IUnknown* device, ULONG handle, IUnknown* progress,
                     ICPServices* destination);
HRESULT clone_device(CPServices& object, IUnknown* device, ULONG handle, IUnknown* progress);
HRESULT reset_device(IUnknown* device, ULONG handle);
HRESULT get_upd_info(CPServices& object, IUnknown* device, ULONG handle, BYTE* same_serial,
                     BYTE* same_model, VARIANT* versions);
HRESULT copy_from(CPServices& object, ICPServices* source);
HRESULT import_obd(CPServices& object, const std::string& path);

}  // namespace cps
