// Self-registration: DllRegisterServer and DllUnregisterServer.
//
// One table lists every key and value that the two classes put below HKEY_CLASSES_ROOT: the
// versioned and version-independent ProgIDs, and each class's key below CLSID with its
// ProgIDs, InprocServer32 (this library's path and the threading model) and, for
// R9CPServices, CurVer, Programmable and TypeLib. Registering writes the rows in order; a class
// key marked force-remove is first deleted whole, so nothing stale survives below it.
// Unregistering walks the rows backwards: a force-remove key goes whole, any other key once it
// has no subkeys left; the CLSID key itself is never removed. The type library is registered
// (and unregistered) through oleaut32 after the classes.
#include "win/library.h"

#include <iterator>
#include <string>
#include <string_view>

namespace {

#define CPS_CLSID_CP L"{5974E7BB-89E2-11D6-BFA5-00C04F6B8C5D}"
#define CPS_CLSID_R9 L"{D7A9F2B0-F27B-4F0B-A2FC-680CBE33BAA9}"
#define CPS_LIBID L"{FE5C1EB8-8912-11D6-BFA4-00C04F6B8C5D}"

// Stands for this library's full path in a row's data.
constexpr const wchar_t* kModulePath = L"%MODULE%";

struct Row {
  const wchar_t* key;         // below HKEY_CLASSES_ROOT
  const wchar_t* value_name;  // nullptr: the key's default value
  const wchar_t* data;        // nullptr: the key alone, no value
  bool force_remove;
};

constexpr Row kRows[] = {
    // CPServices, free-threaded and apartment ("both").
    {L"Varnocpservices.CPServices.1", nullptr, L"CPServices Class", false},
    {L"Varnocpservices.CPServices.1\\CLSID", nullptr, CPS_CLSID_CP, false},
    {L"Varnocpservices.CPServices", nullptr, L"CPServices Class", false},
    {L"Varnocpservices.CPServices\\CLSID", nullptr, CPS_CLSID_CP, false},
    {L"CLSID\\" CPS_CLSID_CP, nullptr, L"CPServices Class", true},
    {L"CLSID\\" CPS_CLSID_CP L"\\ProgID", nullptr, L"Varnocpservices.CPServices.1", false},
    {L"CLSID\\" CPS_CLSID_CP L"\\VersionIndependentProgID", nullptr,
     L"Varnocpservices.CPServices", false},
    {L"CLSID\\" CPS_CLSID_CP L"\\InprocServer32", nullptr, kModulePath, false},
    {L"CLSID\\" CPS_CLSID_CP L"\\InprocServer32", L"ThreadingModel", L"both", false},

    // R9CPServices, apartment-threaded, with its current version and the type library.
    {L"Varnocpservices.R9CPServices.1", nullptr, L"R9CPServices Class", false},
    {L"Varnocpservices.R9CPServices.1\\CLSID", nullptr, CPS_CLSID_R9, false},
    {L"Varnocpservices.R9CPServices", nullptr, L"R9CPServices Class", false},
    {L"Varnocpservices.R9CPServices\\CLSID", nullptr, CPS_CLSID_R9, false},
    {L"Varnocpservices.R9CPServices\\CurVer", nullptr, L"Varnocpservices.R9CPServices.1", false},
    {L"CLSID\\" CPS_CLSID_R9, nullptr, L"R9CPServices Class", true},
    {L"CLSID\\" CPS_CLSID_R9 L"\\ProgID", nullptr, L"Varnocpservices.R9CPServices.1", false},
    {L"CLSID\\" CPS_CLSID_R9 L"\\VersionIndependentProgID", nullptr,
     L"Varnocpservices.R9CPServices", false},
    {L"CLSID\\" CPS_CLSID_R9 L"\\Programmable", nullptr, nullptr, true},
    {L"CLSID\\" CPS_CLSID_R9 L"\\InprocServer32", nullptr, kModulePath, false},
    {L"CLSID\\" CPS_CLSID_R9 L"\\InprocServer32", L"ThreadingModel", L"Apartment", false},
    {L"CLSID\\" CPS_CLSID_R9 L"\\TypeLib", nullptr, CPS_LIBID, false},
};

HRESULT from_status(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

// Whether `row` is the first row of its key (a force-remove key is cleared only there).
bool first_of_key(const Row& row) {
  for (const Row& other : kRows) {
    if (&other == &row) return true;
    if (std::wstring_view(other.key) == row.key) return false;
  }
  return true;
}

HRESULT write_row(const Row& row, const std::wstring& module) {
  if (row.force_remove && first_of_key(row)) {
    const LSTATUS gone = RegDeleteTreeW(HKEY_CLASSES_ROOT, row.key);
    if (gone != ERROR_SUCCESS && gone != ERROR_FILE_NOT_FOUND) return from_status(gone);
  }
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return from_status(status);
  if (row.data) {
    const std::wstring data = row.data == kModulePath ? module : std::wstring(row.data);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key, row.value_name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), bytes);
  }
  RegCloseKey(key);
  return from_status(status);
}

// Removes what `row` added. A key or value that is already gone is not an error.
HRESULT remove_row(const Row& row) {
  LSTATUS status = ERROR_SUCCESS;
  if (row.force_remove) {
    status = RegDeleteTreeW(HKEY_CLASSES_ROOT, row.key);  // the key, its subkeys and values
  } else {
    HKEY key = nullptr;
    status = RegOpenKeyExW(HKEY_CLASSES_ROOT, row.key, 0, KEY_READ | KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) return status == ERROR_FILE_NOT_FOUND ? S_OK : from_status(status);
    if (row.value_name) RegDeleteValueW(key, row.value_name);
    DWORD subkeys = 0;
    status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && subkeys == 0) status = RegDeleteKeyW(HKEY_CLASSES_ROOT, row.key);
  }
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  return from_status(status);
}

// The registration of the library's type library: its attributes name what to unregister.
template <class Action>
HRESULT with_type_library(Action&& action) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(cps::win::module_path().c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = action(library);
  library->Release();
  return hr;
}

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllRegisterServer() {
  std::wstring module = cps::win::module_path();
  if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
  for (const Row& row : kRows) {
    const HRESULT hr = write_row(row, module);
    if (FAILED(hr)) return hr;
  }
  return with_type_library([&](ITypeLib* library) {
    return RegisterTypeLib(library, module.data(), nullptr);
  });
}

extern "C" HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
  HRESULT result = S_OK;
  for (size_t i = std::size(kRows); i-- > 0;) {
    const HRESULT hr = remove_row(kRows[i]);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  const HRESULT hr = with_type_library([](ITypeLib* library) {
    TLIBATTR* attributes = nullptr;
    HRESULT got = library->GetLibAttr(&attributes);
    if (FAILED(got)) return got;
    // A library that is not registered (any more) is what unregistering asks for.
    BSTR registered = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(attributes->guid, attributes->wMajorVerNum,
                                        attributes->wMinorVerNum, attributes->lcid, &registered))) {
      SysFreeString(registered);
      got = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                              attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
    }
    library->ReleaseTLibAttr(attributes);
    return got;
  });
  return FAILED(result) ? result : hr;
}
