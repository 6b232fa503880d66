// The Windows side of the library: the module it is loaded as, the type library behind
// IDispatch, and the messages of the string table.
#include "win/library.h"

#include "interface/dispatch.h"
#include "platform/errors.h"

#include <atomic>

namespace cps::win {

namespace {

// The interface's type information, loaded once and kept for the life of the process.
std::atomic<ITypeInfo*> g_interface_info{nullptr};

}  // namespace

HRESULT interface_type_info(ITypeInfo** info) {
  if (ITypeInfo* known = g_interface_info.load()) {
    *info = known;
    return S_OK;
  }
  ITypeLib* library = nullptr;
  HRESULT hr = load_type_library(&library);
  if (FAILED(hr)) return hr;
  ITypeInfo* loaded = nullptr;
  hr = library->GetTypeInfoOfGuid(IID_ICPServices, &loaded);
  library->Release();
  if (FAILED(hr)) return hr;
  ITypeInfo* expected = nullptr;
  if (!g_interface_info.compare_exchange_strong(expected, loaded)) {
    loaded->Release();  // another thread was first
    loaded = expected;
  }
  *info = loaded;
  return S_OK;
}

HMODULE this_module() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&this_module), &module);
  return module;
}

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(this_module(), path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

HRESULT load_type_library(ITypeLib** library) {
  *library = nullptr;
  if (SUCCEEDED(LoadRegTypeLib(LIBID_VARNOCPSERVICESLib, 1, 0, LOCALE_NEUTRAL, library)))
    return S_OK;
  return LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, library);
}

bool load_message(int32_t id, BSTR* text) {
  if (id < 0 || id > 0xFFFF) return false;
  // With a zero buffer size LoadStringW hands out the resource's own read-only text.
  const wchar_t* resource = nullptr;
  const int length = LoadStringW(this_module(), static_cast<UINT>(id),
                                 reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || !resource) return false;
  BSTR copy = SysAllocStringLen(resource, static_cast<UINT>(length));
  if (!copy) raise(err::kNoStorage);
  *text = copy;
  return true;
}

}  // namespace cps::win

namespace cps {

// ---- IDispatch from the type library ---------------------------------------------------------

HRESULT dispatch_type_info_count(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT dispatch_type_info(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  ITypeInfo* info = nullptr;
  const HRESULT hr = win::interface_type_info(&info);
  if (FAILED(hr)) return hr;
  info->AddRef();
  *ppTInfo = info;
  return S_OK;
}

HRESULT dispatch_ids_of_names(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                              DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  const HRESULT hr = win::interface_type_info(&info);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(info, rgszNames, cNames, rgDispId);
}

HRESULT type_info_invoke(ICPServices* object, DISPID dispIdMember, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = win::interface_type_info(&info);
  if (FAILED(hr)) return hr;
  return info->Invoke(object, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                      puArgErr);
}

}  // namespace cps
