// A Windows host of the registered component: creates both classes with CoCreateInstance, reads
// a simulated radio of each generation, edits a field, writes the radio and reads it back; checks the type library
// the objects serve IDispatch from, the messages of the string table, marshalling to another
// apartment and the library's unload rule. Prints one line per check and exits non-zero on any failure.
#include "sim/simulated_radio.h"

#include <cpservices/cpservices.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_failures = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok) ++g_failures;
}

std::string narrow(const OLECHAR* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

class Progress final : public ICPDProgressDlg {
 public:
  void SetRange(int, int) override { ++ranges; }
  void SetStep(int) override {}
  void StepIt() override { ++steps; }
  IUnknown* as_unknown() { return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this)); }
  int ranges = 0;
  int steps = 0;
};

ICPServices* create(REFCLSID clsid, const char* name) {
  ICPServices* object = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICPServices,
                                      reinterpret_cast<void**>(&object));
  check(SUCCEEDED(hr) && object, std::string("CoCreateInstance ") + name + " " + hex(hr));
  return SUCCEEDED(hr) ? object : nullptr;
}

std::string field_text(ICPServices* object, LONG block, LONG field_id) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(object->GetFieldAt(block, field_id, 0, &v))) return "(failed)";
  LONG at[2] = {0, 1};
  VARIANT cell;
  VariantInit(&cell);
  SafeArrayGetElement(v.parray, at, &cell);
  std::string text = cell.vt == VT_BSTR ? narrow(cell.bstrVal) : "(not text)";
  VariantClear(&cell);
  VariantClear(&v);
  return text;
}

HRESULT set_field(ICPServices* object, LONG block, LONG field_id, const wchar_t* text) {
  SAFEARRAYBOUND bounds[2] = {{1, 0}, {3, 0}};
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_VARIANT;
  v.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
  VARIANT cells[3];
  for (VARIANT& c : cells) VariantInit(&c);
  cells[0].vt = VT_I4;
  cells[0].lVal = field_id;
  cells[1].vt = VT_BSTR;
  cells[1].bstrVal = SysAllocString(text);
  cells[2].vt = VT_UI1;
  for (LONG k = 0; k < 3; ++k) {
    LONG at[2] = {0, k};
    SafeArrayPutElement(v.parray, at, &cells[k]);
    VariantClear(&cells[k]);
  }
  const HRESULT hr = object->SetFieldAt(block, 0, v);
  VariantClear(&v);
  return hr;
}

// The type information behind IDispatch: the dual interface with its 25 methods (help strings
// "method <name>"), and the library with its two classes.
void type_library(ICPServices* object) {
  UINT count = 0;
  ITypeInfo* info = nullptr;
  if (object->GetTypeInfoCount(&count) != S_OK || count != 1 || FAILED(object->GetTypeInfo(0, 0, &info))) {
    check(false, "GetTypeInfoCount and GetTypeInfo");
    return;
  }
  TYPEATTR* attributes = nullptr;
  info->GetTypeAttr(&attributes);
  check(IsEqualIID(attributes->guid, IID_ICPServices) && (attributes->wTypeFlags & TYPEFLAG_FDUAL),
        "type information of the dual interface ICPServices");
  int methods = 0, described = 0;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* function = nullptr;
    info->GetFuncDesc(i, &function);
    BSTR name = nullptr, help = nullptr;
    info->GetDocumentation(function->memid, &name, &help, nullptr, nullptr);
    if (function->memid < 0x60000000) {
      ++methods;
      described += narrow(help) == "method " + narrow(name);
    }
    SysFreeString(name);
    SysFreeString(help);
    info->ReleaseFuncDesc(function);
  }
  check(methods == 25 && described == 25, "25 methods, each with its help string");
  info->ReleaseTypeAttr(attributes);

  ITypeLib* library = nullptr;
  UINT index = 0;
  info->GetContainingTypeLib(&library, &index);
  TLIBATTR* lib = nullptr;
  library->GetLibAttr(&lib);
  check(IsEqualGUID(lib->guid, LIBID_VARNOCPSERVICESLib) && lib->wMajorVerNum == 1 && lib->wMinorVerNum == 0,
        "LIBID and version 1.0");
  library->ReleaseTLibAttr(lib);
  struct Documented {
    const GUID* guid;  // nullptr: the library itself
    const char* name;
    const char* help;
  };
  for (const Documented& d : {Documented{nullptr, "VARNOCPSERVICESLib", "varnocpservices 1.0 Type Library"},
                              Documented{&IID_ICPServices, "ICPServices", "ICPServices Interface"},
                              Documented{&CLSID_CPServices, "CPServices", "CPServices Class"},
                              Documented{&CLSID_R9CPServices, "R9CPServices", "R9CPServices Class"}}) {
    BSTR name = nullptr, help = nullptr;
    ITypeInfo* type = nullptr;
    if (!d.guid) library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    else if (SUCCEEDED(library->GetTypeInfoOfGuid(*d.guid, &type))) type->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    check(narrow(name) == d.name && narrow(help) == d.help, std::string(d.name) + " \"" + narrow(help) + "\"");
    SysFreeString(name);
    SysFreeString(help);
    if (type) type->Release();
  }
  library->Release();
  info->Release();
}

// Read, edit, write and read back through the registered component.
void round_trip() {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio();
  Progress progress;
  ICPServices* source = create(CLSID_CPServices, "CPServices");
  ICPServices* destination = create(CLSID_CPServices, "CPServices (destination)");
  ICPServices* check_back = create(CLSID_CPServices, "CPServices (read back)");
  if (!source || !destination || !check_back) return;

  HRESULT hr = source->ReadDevice(radio.as_unknown(), 1, progress.as_unknown());
  check(SUCCEEDED(hr) && progress.steps > 0, "ReadDevice " + hex(hr) + ", " + std::to_string(progress.steps) + " steps");
  const std::string before = field_text(source, 4, 104);
  const wchar_t* wanted = before == "Depot Tool" ? L"Tuner" : L"Depot Tool";
  hr = set_field(source, 4, 104, wanted);
  check(hr == S_OK, "SetFieldAt block 4 field 104 " + hex(hr));
  check(set_field(source, 4, 104, L"Lab") == static_cast<HRESULT>(0x8004096C), "SetFieldAt refuses an unknown choice");

  hr = destination->ReadDevice(radio.as_unknown(), 1, nullptr);
  check(SUCCEEDED(hr), "ReadDevice of the destination " + hex(hr));
  const size_t writes_before = radio.writes();
  hr = source->WriteDevice(radio.as_unknown(), 1, progress.as_unknown(), destination);
  check(SUCCEEDED(hr) && radio.writes() > writes_before, "WriteDevice " + hex(hr));

  hr = check_back->ReadDevice(radio.as_unknown(), 1, nullptr);
  check(SUCCEEDED(hr) && field_text(check_back, 4, 104) == narrow(wanted),
        "read back: field 104 is " + field_text(check_back, 4, 104));

  BSTR message = nullptr;
  hr = source->GetErrorMsg(static_cast<HRESULT>(0x80040982), &message);
  check(hr == S_OK && narrow(message) == " Unpack failure.", "GetErrorMsg from the string table: \"" + narrow(message) + "\"");
  SysFreeString(message);
  message = nullptr;
  check(source->GetErrorMsg(static_cast<HRESULT>(0x80040971), &message) == S_FALSE && !message,
        "GetErrorMsg without a message: S_FALSE");

  ISupportErrorInfo* errors = nullptr;
  hr = source->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errors));
  check(SUCCEEDED(hr) && errors->InterfaceSupportsErrorInfo(IID_ICPServices) == S_OK &&
            errors->InterfaceSupportsErrorInfo(IID_IDispatch) == S_FALSE,
        "ISupportErrorInfo");
  if (errors) errors->Release();

  type_library(source);
  check_back->Release();
  destination->Release();
  source->Release();
}

// The same through R9CPServices on a second-generation radio: the power of channel 0 (block 2018
// field 2505) changed, written and read back.
void r9_round_trip() {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen2_radio();
  ICPServices* source = create(CLSID_R9CPServices, "R9CPServices");
  ICPServices* destination = create(CLSID_R9CPServices, "R9CPServices (destination)");
  ICPServices* check_back = create(CLSID_R9CPServices, "R9CPServices (read back)");
  if (source && destination && check_back) {
    HRESULT hr = source->ReadDevice(radio.as_unknown(), 1, nullptr);
    check(hr == S_OK, "R9 ReadDevice " + hex(hr));
    const wchar_t* wanted = field_text(source, 2018, 2505) == "High" ? L"Low" : L"High";
    check(set_field(source, 2018, 2505, wanted) == S_OK, "R9 SetFieldAt block 2018 field 2505");
    check(set_field(source, 2018, 2505, L"Medium") == static_cast<HRESULT>(0x8004096C),
          "R9 SetFieldAt refuses an unknown choice");
    hr = destination->ReadDevice(radio.as_unknown(), 1, nullptr);
    check(hr == S_OK, "R9 ReadDevice of the destination " + hex(hr));
    hr = source->WriteDevice(radio.as_unknown(), 1, nullptr, destination);
    check(hr == S_OK, "R9 WriteDevice " + hex(hr));
    hr = check_back->ReadDevice(radio.as_unknown(), 1, nullptr);
    check(hr == S_OK && field_text(check_back, 2018, 2505) == narrow(wanted),
          "R9 read back: field 2505 is " + field_text(check_back, 2018, 2505));
  }
  for (ICPServices* object : {check_back, destination, source})
    if (object) object->Release();
}

// The factory second-generation codeplug image (from address 643, its length in header bytes 2
// and 3) as decimal numbers separated by commas, for the script that loads it with
// SetBlockData(2029).
int write_r9_image(const char* path) {
  const cps::sim::SimulatedRadio radio = cps::sim::make_gen2_radio();
  const std::vector<uint8_t> head = radio.read(643, 4);
  const std::vector<uint8_t> image = radio.read(643, static_cast<size_t>(head[2] << 8 | head[3]));
  FILE* file = std::fopen(path, "w");
  if (!file) return 1;
  for (size_t i = 0; i < image.size(); ++i) std::fprintf(file, i == 0 ? "%u" : ",%u", image[i]);
  return std::fclose(file) == 0 ? 0 : 1;
}

// R9CPServices is apartment-threaded: from a multithreaded apartment COM hands out a proxy,
// marshalled through the registered type library.
DWORD WINAPI from_another_apartment(void*) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ICPServices* r9 = create(CLSID_R9CPServices, "R9CPServices from a multithreaded apartment");
  if (r9) {
    BSTR message = nullptr;
    const HRESULT hr = r9->GetErrorMsg(static_cast<HRESULT>(0x8004096E), &message);
    check(hr == S_OK && narrow(message) == "Block not supported.", "GetErrorMsg through the proxy " + hex(hr));
    SysFreeString(message);
    r9->Release();
  }
  CoUninitialize();
  return 0;
}

void unload_rule() {
  HMODULE library = GetModuleHandleW(L"cpservices.dll");
  check(library != nullptr, "cpservices.dll is loaded");
  if (!library) return;
  auto can_unload = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  check(can_unload() == S_OK, "DllCanUnloadNow with no object left");
  IClassFactory* factory = nullptr;
  CoGetClassObject(CLSID_CPServices, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                   reinterpret_cast<void**>(&factory));
  factory->LockServer(TRUE);
  check(can_unload() == S_FALSE, "DllCanUnloadNow while the server is locked");
  factory->LockServer(FALSE);
  check(can_unload() == S_OK, "DllCanUnloadNow after the lock is gone");
  factory->Release();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--r9-image") == 0) return write_r9_image(argv[2]);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  round_trip();
  r9_round_trip();
  ICPServices* r9 = create(CLSID_R9CPServices, "R9CPServices");
  if (r9) {
    BSTR message = nullptr;
    const HRESULT hr = r9->GetErrorMsg(static_cast<HRESULT>(0x80040967), &message);
    check(hr == S_OK && narrow(message) == "Checksum failure.", "R9CPServices GetErrorMsg " + hex(hr));
    SysFreeString(message);
    r9->Release();
  }
  HANDLE thread = CreateThread(nullptr, 0, from_another_apartment, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  unload_rule();
  CoUninitialize();
  std::printf("%d failure(s)\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
