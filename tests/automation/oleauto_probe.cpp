// The automation layer's behaviour, case by case: BSTR, VARIANT and SAFEARRAY (dimension order,
// bounds, copies, clears, errors), VariantChangeType, and the Windows-1252 conversions of the
// component's codepage functions. Built natively it runs the portable layer; built for Windows
// it runs oleaut32 and the system's code page. tests/wine compares the two outputs line by
// line; any difference is a fault of the portable layer.
#include "platform/codepage.h"
#include "platform/variant_change.h"
#include "probe_output.h"

#include <cpservices/oleauto.h>

#include <cstring>
#include <string>
#include <vector>

using probe::hex;
using probe::line;

namespace {

// An object that only counts its references, to see who AddRefs and Releases.
struct Counted final : IUnknown {
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

using probe::variant;

std::string text(BSTR b) { return b ? probe::bstr_text(b) : "(null)"; }

void bstrs() {
  BSTR plain = SysAllocString(L"abc");
  line("SysAllocString", "%s len %u terminated %d", text(plain).c_str(), SysStringLen(plain), plain[3] == 0);
  SysFreeString(plain);
  line("SysAllocString null", "%s", text(SysAllocString(nullptr)).c_str());
  const OLECHAR embedded[] = {L'a', L'b', 0, L'c', L'd'};
  BSTR zeros = SysAllocStringLen(embedded, 5);
  line("SysAllocStringLen embedded zero", "%s len %u", text(zeros).c_str(), SysStringLen(zeros));
  SysFreeString(zeros);
  BSTR blank = SysAllocStringLen(nullptr, 4);
  line("SysAllocStringLen null source", "len %u terminated %d", SysStringLen(blank), blank[4] == 0);
  SysFreeString(blank);
  BSTR empty = SysAllocStringLen(L"xyz", 0);
  line("SysAllocStringLen 0", "%s", text(empty).c_str());
  SysFreeString(empty);
  line("SysStringLen null", "%u", SysStringLen(nullptr));
}

// VariantClear and VariantCopy for every kind of type word, valid or not.
void variant_types() {
  const VARTYPE kinds[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8, VT_ERROR, VT_BOOL, VT_I1, VT_UI1,
                           VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT, VT_DECIMAL, VT_CY,
                           15, 24, 25, 30, 37, 72, 0x7FFF, VT_I4 | 0x1000, VT_I4 | VT_RESERVED,
                           VT_EMPTY | VT_BYREF, VT_NULL | VT_BYREF, VT_NULL | VT_ARRAY,
                           VT_I4 | VT_BYREF, VT_BSTR | VT_BYREF, VT_I2 | VT_ARRAY | VT_BYREF,
                           72 | VT_BYREF};
  for (VARTYPE vt : kinds) {
    VARIANT v = variant(vt, 7), source = variant(vt, 7), dest = variant(VT_I2, 5);
    const HRESULT cleared = VariantClear(&v);
    const HRESULT copied = VariantCopy(&dest, &source);
    char label[48];
    std::snprintf(label, sizeof label, "vt 0x%04X", vt);
    line(label, "clear %s vt 0x%04X, copy %s vt 0x%04X", hex(cleared).c_str(), v.vt,
         hex(copied).c_str(), dest.vt);
  }
}

void variants() {
  VARIANT v;
  std::memset(&v, 0xAB, sizeof v);
  VariantInit(&v);
  line("VariantInit", "vt 0x%04X", v.vt);
  v = variant(VT_I4, 42);
  HRESULT hr = VariantClear(&v);
  line("VariantClear I4", "%s vt 0x%04X payload %ld", hex(hr).c_str(), v.vt, static_cast<long>(v.lVal));

  VARIANT str = variant(VT_BSTR), copy = variant(VT_EMPTY);
  str.bstrVal = SysAllocString(L"copy me");
  hr = VariantCopy(&copy, &str);
  line("VariantCopy BSTR", "%s %s new string %d", hex(hr).c_str(), text(copy.bstrVal).c_str(),
       copy.bstrVal != str.bstrVal);
  hr = VariantCopy(&str, &str);
  line("VariantCopy onto itself", "%s %s", hex(hr).c_str(), text(str.bstrVal).c_str());
  hr = VariantCopy(&copy, &str);  // the destination's old string is freed first
  line("VariantCopy over BSTR", "%s %s", hex(hr).c_str(), text(copy.bstrVal).c_str());
  VariantClear(&copy);
  VARIANT no_text = variant(VT_BSTR);
  hr = VariantCopy(&copy, &no_text);
  line("VariantCopy null BSTR", "%s %s", hex(hr).c_str(), text(copy.bstrVal).c_str());
  VariantClear(&copy);

  LONG target = 5;
  VARIANT ref = variant(VT_I4 | VT_BYREF);
  ref.plVal = &target;
  hr = VariantCopy(&copy, &ref);
  line("VariantCopy BYREF", "%s vt 0x%04X same pointer %d", hex(hr).c_str(), copy.vt, copy.plVal == &target);
  hr = VariantClear(&copy);
  line("VariantClear BYREF", "%s vt 0x%04X target %ld", hex(hr).c_str(), copy.vt, static_cast<long>(target));

  VARIANT bad = variant(15);  // a destination that cannot be cleared stops the copy
  hr = VariantCopy(&bad, &str);
  line("VariantCopy into bad vt", "%s vt 0x%04X", hex(hr).c_str(), bad.vt);
  VariantClear(&str);

  Counted object;
  VARIANT unknown = variant(VT_UNKNOWN);
  unknown.punkVal = &object;
  object.AddRef();
  hr = VariantCopy(&copy, &unknown);
  line("VariantCopy UNKNOWN", "%s refs %lu", hex(hr).c_str(), static_cast<unsigned long>(object.refs));
  VariantClear(&copy);
  VariantClear(&unknown);
  line("VariantClear UNKNOWN", "refs %lu", static_cast<unsigned long>(object.refs));
  VARIANT no_object = variant(VT_DISPATCH);
  no_object.pdispVal = nullptr;
  hr = VariantCopy(&copy, &no_object);
  line("VariantCopy DISPATCH null", "%s vt 0x%04X", hex(hr).c_str(), copy.vt);
}

void describe(const char* name, SAFEARRAY* array) {
  if (!array) return line(name, "null");
  VARTYPE vt = 0;
  const HRESULT hr = SafeArrayGetVartype(array, &vt);
  line(name, "dims %u features 0x%04X element size %lu locks %lu vartype %s 0x%04X",
       SafeArrayGetDim(array), array->fFeatures, static_cast<unsigned long>(array->cbElements),
       static_cast<unsigned long>(array->cLocks), hex(hr).c_str(), vt);
  for (UINT dim = 0; dim <= SafeArrayGetDim(array) + 1; ++dim) {
    LONG lower = -99, upper = -99;
    const HRESULT hl = SafeArrayGetLBound(array, dim, &lower);
    const HRESULT hu = SafeArrayGetUBound(array, dim, &upper);
    line((std::string(name) + " dimension " + std::to_string(dim)).c_str(), "%s %ld %s %ld",
         hex(hl).c_str(), static_cast<long>(lower), hex(hu).c_str(), static_cast<long>(upper));
  }
}

std::string storage_of(SAFEARRAY* array, int count) {
  void* data = nullptr;
  std::string out = hex(SafeArrayAccessData(array, &data));
  for (int k = 0; k < count; ++k) out.append(" ").append(std::to_string(static_cast<LONG*>(data)[k]));
  out.append(" locks ").append(std::to_string(array->cLocks));
  SafeArrayUnaccessData(array);
  return out;
}

// Dimension 1 is rgsabound[0] given to SafeArrayCreate and the first index, and varies fastest.
void dimension_order() {
  SAFEARRAYBOUND given[2] = {{2, 1}, {3, -1}};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, given);
  describe("2 x 3 I4", array);
  line("2 x 3 I4 stored bounds", "[0] %lu from %ld, [1] %lu from %ld",
       static_cast<unsigned long>(array->rgsabound[0].cElements), static_cast<long>(array->rgsabound[0].lLbound),
       static_cast<unsigned long>(array->rgsabound[1].cElements), static_cast<long>(array->rgsabound[1].lLbound));
  for (LONG i = 1; i <= 2; ++i)
    for (LONG j = -1; j <= 1; ++j) {
      LONG at[2] = {i, j}, value = i * 10 + j;
      SafeArrayPutElement(array, at, &value);
    }
  line("2 x 3 I4 storage", "%s", storage_of(array, 6).c_str());
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  line("destroy while accessed", "%s", hex(SafeArrayDestroy(array)).c_str());
  line("unaccess", "%s", hex(SafeArrayUnaccessData(array)).c_str());
  line("unaccess again", "%s", hex(SafeArrayUnaccessData(array)).c_str());
  const LONG probes[][2] = {{1, -1}, {2, 1}, {0, 0}, {3, 0}, {1, -2}, {1, 2}, {2, -1}};
  for (const auto& p : probes) {
    LONG at[2] = {p[0], p[1]}, value = -1;
    const HRESULT hr = SafeArrayGetElement(array, at, &value);
    line(("get " + std::to_string(p[0]) + "," + std::to_string(p[1])).c_str(), "%s %ld", hex(hr).c_str(),
         static_cast<long>(value));
  }
  void* cell = nullptr;
  LONG at[2] = {2, 0};
  HRESULT hr = SafeArrayPtrOfIndex(array, at, &cell);
  line("pointer of (2, 0)", "%s value %ld", hex(hr).c_str(), static_cast<long>(*static_cast<LONG*>(cell)));
  SafeArrayLock(array);
  SAFEARRAY* copy = nullptr;
  hr = SafeArrayCopy(array, &copy);  // a copy of a locked array is not locked
  line("copy", "%s", hex(hr).c_str());
  describe("copy of 2 x 3 I4", copy);
  line("copy storage", "%s", storage_of(copy, 6).c_str());
  SafeArrayUnlock(array);
  line("destroy copy", "%s", hex(SafeArrayDestroy(copy)).c_str());
  line("destroy", "%s", hex(SafeArrayDestroy(array)).c_str());
}

void creation() {
  const VARTYPE types[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_R4,
                           VT_R8, VT_CY, VT_DATE, VT_BOOL, VT_ERROR, VT_BSTR, VT_VARIANT,
                           VT_UNKNOWN, VT_DISPATCH, VT_I8, VT_UI8, VT_DECIMAL, VT_EMPTY, VT_NULL,
                           15, 24, 25, 72};
  for (VARTYPE vt : types) {
    SAFEARRAYBOUND bound = {3, 0};
    SAFEARRAY* array = SafeArrayCreate(vt, 1, &bound);
    SAFEARRAY* vector = SafeArrayCreateVector(vt, 5, 3);
    line(("create vt " + std::to_string(vt)).c_str(), "features 0x%04X size %lu, vector 0x%04X size %lu",
         array ? array->fFeatures : 0xFFFF, array ? static_cast<unsigned long>(array->cbElements) : 0ul,
         vector ? vector->fFeatures : 0xFFFF, vector ? static_cast<unsigned long>(vector->cbElements) : 0ul);
    SafeArrayDestroy(array);
    SafeArrayDestroy(vector);
  }
  SAFEARRAYBOUND bound = {3, 0};
  line("create no dimensions", "%s", SafeArrayCreate(VT_I4, 0, &bound) ? "array" : "null");
  line("create no bounds", "%s", SafeArrayCreate(VT_I4, 1, nullptr) ? "array" : "null");

  SAFEARRAYBOUND empty[2] = {{0, 5}, {2, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_I2, 2, empty);
  describe("empty dimension", array);
  SAFEARRAY* copy = nullptr;
  line("copy of empty", "%s", hex(SafeArrayCopy(array, &copy)).c_str());
  SafeArrayDestroy(copy);
  SafeArrayDestroy(array);
  SAFEARRAYBOUND top[1] = {{2, 0x7FFFFFFF}};
  array = SafeArrayCreate(VT_UI1, 1, top);
  describe("bounds at the top", array);
  SafeArrayDestroy(array);

  SAFEARRAY* vector = SafeArrayCreateVector(VT_UI1, 32, 219);
  describe("vector", vector);
  line("vector data follows its descriptor", "%d", static_cast<char*>(vector->pvData) == reinterpret_cast<char*>(vector + 1));
  SafeArrayCopy(vector, &copy);
  describe("copy of vector", copy);
  SafeArrayDestroy(copy);
  SafeArrayDestroy(vector);
  describe("vector of no elements", vector = SafeArrayCreateVector(VT_I4, 7, 0));
  SafeArrayDestroy(vector);

  copy = reinterpret_cast<SAFEARRAY*>(&bound);
  HRESULT hr = SafeArrayCopy(nullptr, &copy);
  line("copy of null", "%s %s", hex(hr).c_str(), copy ? "array" : "null");
  LONG lower = 0;
  line("null array", "destroy %s dims %u bound %s lock %s", hex(SafeArrayDestroy(nullptr)).c_str(),
       SafeArrayGetDim(nullptr), hex(SafeArrayGetLBound(nullptr, 1, &lower)).c_str(),
       hex(SafeArrayLock(nullptr)).c_str());
  SAFEARRAY* locked = SafeArrayCreateVector(VT_I4, 0, 2);
  LONG locks = 0;
  while (SUCCEEDED(SafeArrayLock(locked))) ++locks;
  VARIANT holder = variant(VT_ARRAY | VT_I4);
  holder.parray = locked;
  hr = VariantClear(&holder);
  line("locks before failure", "%ld; VariantClear %s vt 0x%04X", static_cast<long>(locks), hex(hr).c_str(), holder.vt);
  while (SUCCEEDED(SafeArrayUnlock(locked))) {
  }
  line("destroy after unlocking", "%s", hex(SafeArrayDestroy(locked)).c_str());
  SAFEARRAY* one = SafeArrayCreateVector(VT_I4, 0, 1);
  line("access with no pointer", "%s", hex(SafeArrayAccessData(one, nullptr)).c_str());
  SafeArrayDestroy(one);
}

void string_elements() {
  SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 3);
  BSTR* cells = static_cast<BSTR*>(array->pvData);
  const OLECHAR zeros[] = {L'x', 0, L'y'};
  BSTR value = SysAllocStringLen(zeros, 3);
  LONG at = 0;
  HRESULT hr = SafeArrayPutElement(array, &at, value);
  line("put BSTR", "%s stored %s copy %d", hex(hr).c_str(), text(cells[0]).c_str(), cells[0] != value);
  SysFreeString(value);
  at = 1;
  hr = SafeArrayPutElement(array, &at, nullptr);
  line("put null BSTR", "%s stored %s", hex(hr).c_str(), text(cells[1]).c_str());
  BSTR out = nullptr;
  at = 0;
  hr = SafeArrayGetElement(array, &at, &out);
  line("get BSTR", "%s %s copy %d", hex(hr).c_str(), text(out).c_str(), out != cells[0]);
  SysFreeString(out);
  at = 2;
  hr = SafeArrayGetElement(array, &at, &out);
  line("get unset BSTR", "%s %s", hex(hr).c_str(), text(out).c_str());
  at = 3;
  line("get BSTR past the end", "%s", hex(SafeArrayGetElement(array, &at, &out)).c_str());
  SAFEARRAY* copy = nullptr;
  hr = SafeArrayCopy(array, &copy);
  BSTR* copied = static_cast<BSTR*>(copy->pvData);
  line("copy BSTR array", "%s %s copy %d second %s", hex(hr).c_str(), text(copied[0]).c_str(),
       copied[0] != cells[0], text(copied[1]).c_str());
  SafeArrayDestroy(copy);
  SafeArrayDestroy(array);
}

void variant_elements() {
  Counted object;
  SAFEARRAYBOUND bounds[2] = {{1, 0}, {3, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  VARIANT value = variant(VT_UNKNOWN), out = variant(VT_EMPTY);
  value.punkVal = &object;
  LONG at[2] = {0, 2};
  HRESULT hr = SafeArrayPutElement(array, at, &value);
  line("put VARIANT UNKNOWN", "%s refs %lu", hex(hr).c_str(), static_cast<unsigned long>(object.refs));
  hr = SafeArrayGetElement(array, at, &out);
  line("get VARIANT UNKNOWN", "%s vt 0x%04X refs %lu", hex(hr).c_str(), out.vt, static_cast<unsigned long>(object.refs));
  VariantClear(&out);
  value = variant(VT_BSTR);
  value.bstrVal = SysAllocString(L"text");
  at[1] = 1;
  SafeArrayPutElement(array, at, &value);
  hr = SafeArrayGetElement(array, at, &out);
  line("get VARIANT BSTR", "%s %s copy %d", hex(hr).c_str(), text(out.bstrVal).c_str(), out.bstrVal != value.bstrVal);
  VariantClear(&out);
  VariantClear(&value);
  value = variant(25);
  at[1] = 0;
  hr = SafeArrayPutElement(array, at, &value);
  line("put a bad element", "%s", hex(hr).c_str());
  static_cast<VARIANT*>(array->pvData)[0].vt = 15;  // as a careless host leaves one
  hr = SafeArrayGetElement(array, at, &out);
  line("get a bad element", "%s vt 0x%04X", hex(hr).c_str(), out.vt);
  at[0] = 1;
  line("get VARIANT (1, 2)", "%s", hex(SafeArrayGetElement(array, at, &out)).c_str());
  SAFEARRAY* copy = nullptr;
  hr = SafeArrayCopy(array, &copy);
  line("copy VARIANT array", "%s refs %lu bad element vt 0x%04X", hex(hr).c_str(),
       static_cast<unsigned long>(object.refs), static_cast<VARIANT*>(copy->pvData)[0].vt);
  SafeArrayDestroy(copy);
  static_cast<VARIANT*>(array->pvData)[0].vt = VT_EMPTY;

  // A VARIANT holding the array: copying copies it deep, clearing destroys it and its elements.
  VARIANT holder = variant(VT_ARRAY | VT_VARIANT), twin = variant(VT_EMPTY);
  holder.parray = array;
  hr = VariantCopy(&twin, &holder);
  line("VariantCopy array", "%s new array %d refs %lu", hex(hr).c_str(), twin.parray != array,
       static_cast<unsigned long>(object.refs));
  VariantClear(&twin);
  hr = VariantClear(&holder);
  line("VariantClear array", "%s refs %lu", hex(hr).c_str(), static_cast<unsigned long>(object.refs));

  SAFEARRAY* unknowns = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
  LONG k = 1;
  hr = SafeArrayPutElement(unknowns, &k, &object);
  IUnknown* got = nullptr;
  const HRESULT hg = SafeArrayGetElement(unknowns, &k, &got);
  line("UNKNOWN array", "put %s get %s same %d refs %lu", hex(hr).c_str(), hex(hg).c_str(), got == &object,
       static_cast<unsigned long>(object.refs));
  got->Release();
  SafeArrayDestroy(unknowns);
  line("destroy UNKNOWN array", "refs %lu", static_cast<unsigned long>(object.refs));
}

std::string value_text(const VARIANT& v) {
  char number[64];
  switch (v.vt) {
    case VT_I1: return std::to_string(v.cVal);
    case VT_UI1: return std::to_string(v.bVal);
    case VT_I2: return std::to_string(v.iVal);
    case VT_UI2: return std::to_string(v.uiVal);
    case VT_I4: return std::to_string(v.lVal);
    case VT_UI4: return std::to_string(v.ulVal);
    case VT_INT: return std::to_string(v.intVal);
    case VT_UINT: return std::to_string(v.uintVal);
    case VT_I8: return std::to_string(v.llVal);
    case VT_UI8: return std::to_string(v.ullVal);
    case VT_BOOL: return std::to_string(v.boolVal);
    case VT_R4: std::snprintf(number, sizeof number, "%.9g", v.fltVal); return number;
    case VT_R8: std::snprintf(number, sizeof number, "%.17g", v.dblVal); return number;
    case VT_CY: return std::to_string(v.cyVal.int64);
    case VT_BSTR: return text(v.bstrVal);
    case VT_UNKNOWN:
    case VT_DISPATCH: return v.punkVal ? "object" : "null";
    default: return "";
  }
}

// VariantChangeType from each source to each scalar type.
void conversions() {
  std::vector<VARIANT> sources = {variant(VT_EMPTY), variant(VT_NULL), variant(VT_ERROR, 5),
                                  variant(VT_UNKNOWN), variant(VT_DISPATCH)};
  const struct { VARTYPE vt; long long value; } integers[] = {
      {VT_I1, -3}, {VT_UI1, 200}, {VT_I2, -5}, {VT_I2, 300}, {VT_UI2, 65535}, {VT_I4, -5},
      {VT_I4, 70000}, {VT_UI4, 4000000000}, {VT_INT, -5}, {VT_UINT, 4000000000}, {VT_I8, -1},
      {VT_I8, 5000000000}, {VT_UI8, -1}, {VT_BOOL, -1}, {VT_BOOL, 0}, {VT_CY, -15000}, {VT_CY, 25000}};
  for (const auto& i : integers) {
    VARIANT v = variant(i.vt);
    v.llVal = i.value;  // the low bytes hold the narrower types (little-endian)
    sources.push_back(v);
  }
  for (float f : {2.5f, 1.1f, -0.5f}) {
    VARIANT v = variant(VT_R4);
    v.fltVal = f;
    sources.push_back(v);
  }
  for (double d : {-1.5, 2.5, 3.5, 255.5, 254.5, 1e-5, 123456.7, 0.5, -0.0, 1e20, 2147483647.5,
                   1.0 / 3, 1e300, 4294967295.4}) {
    VARIANT v = variant(VT_R8);
    v.dblVal = d;
    sources.push_back(v);
  }
  for (const wchar_t* t : {L"424", L" 424 ", L"+12", L"-12", L"1.5", L"2.5", L"1e3", L"&H10", L"&h10",
                           L"&O17", L"0x10", L"12abc", L"", L"  ", L"1,000", L"$5", L" $ 5", L"5$",
                           L"(5)", L"5-", L"1.2.3", L"4294967295", L"-1", L"256", L"1e", L".5", L"5.",
                           L"1E+2", L"True", L"false", L"#TRUE#", L"#5#", L"  -  3", L"+-5", L"--5",
                           L"5e-1", L"1,2,3", L",5", L"5,", L"1D2", L"&10", L"&B10", L"1e+", L"\t7\t",
                           L"x", L"1e400", L"0.0000001", L"&HFFFFFFFF", L"&H8000", L"&HFF",
                           L"&H1FFFFFFFF", L"1 2", L"-0"}) {
    VARIANT v = variant(VT_BSTR);
    v.bstrVal = SysAllocString(t);
    sources.push_back(v);
  }
  LONG target = 7;
  VARIANT by_ref = variant(VT_I4 | VT_BYREF), inner = variant(VT_I2, 9), variant_ref = variant(VT_VARIANT | VT_BYREF);
  by_ref.plVal = &target;
  variant_ref.pvarVal = &inner;
  sources.push_back(by_ref);
  sources.push_back(variant_ref);

  const VARTYPE targets[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8,
                             VT_UI8, VT_BOOL, VT_R4, VT_R8, VT_BSTR, VT_EMPTY, VT_NULL, VT_ERROR,
                             VT_UNKNOWN, VT_DISPATCH};
  for (VARIANT& source : sources) {
    std::string row;
    for (VARTYPE vt : targets) {
      VARIANT out = variant(VT_EMPTY);
      const HRESULT hr = VariantChangeType(&out, &source, 0, vt);
      row.append(" ").append(std::to_string(vt)).append("=");
      row.append(SUCCEEDED(hr) ? (out.vt == vt ? value_text(out) : "vt " + std::to_string(out.vt)) : hex(hr));
      VariantClear(&out);
    }
    const std::string label = "convert vt " + std::to_string(source.vt) + " " +
                              ((source.vt & VT_BYREF) ? std::string() : value_text(source));
    line(label.c_str(), "%s", row.c_str());
    VariantClear(&source);
  }
  VARIANT v = variant(VT_BSTR), nope = variant(VT_BSTR);
  v.bstrVal = SysAllocString(L" 42 ");
  HRESULT hr = VariantChangeType(&v, &v, 0, VT_I4);
  line("convert in place", "%s vt 0x%04X %s", hex(hr).c_str(), v.vt, value_text(v).c_str());
  nope.bstrVal = SysAllocString(L"nope");
  hr = VariantChangeType(&v, &nope, 0, VT_I4);
  line("a failed convert keeps the destination", "%s vt 0x%04X %s", hex(hr).c_str(), v.vt, value_text(v).c_str());
  VariantClear(&nope);
}

// The component's Windows-1252 conversions, both ways, for every byte from 128 up.
void code_page() {
  for (int row = 0x80; row < 0x100; row += 16) {
    std::string bytes, codes;
    for (int b = row; b < row + 16; ++b) bytes.push_back(static_cast<char>(b));
    const std::wstring wide = cps::wide_from_narrow(bytes);
    for (wchar_t c : wide) codes.append(" ").append(std::to_string(static_cast<unsigned>(c)));
    line(("1252 bytes " + std::to_string(row)).c_str(), "%s round trip %d", codes.c_str(),
         cps::narrow_from_wide(wide.data(), wide.size()) == bytes);
  }
  const wchar_t outside[] = {0x0100, 0x0141, 0x2260, 0x4E2D, 0xFFFD, 0xD800, 0x00A0,
                             0x20AC, 0x0081, 0x0080, 0x0090, 0x009F, 0x00FF, 0x0000};
  for (wchar_t c : outside) {
    const std::string narrow = cps::narrow_from_wide(&c, 1);
    line(("1252 from " + std::to_string(static_cast<unsigned>(c))).c_str(), "%u byte(s) %u",
         static_cast<unsigned>(narrow.size()), narrow.empty() ? 0u : static_cast<unsigned char>(narrow[0]));
  }
  BSTR converted = cps::bstr_from_narrow("Gr\xFC\xDF" "e \x80 \x9F\xFF");
  line("bstr_from_narrow", "%s round trip %d", text(converted).c_str(),
       cps::narrow_from_bstr(converted) == "Gr\xFC\xDF" "e \x80 \x9F\xFF");
  SysFreeString(converted);
  converted = cps::bstr_from_narrow("");
  line("bstr_from_narrow empty", "%s", text(converted).c_str());
  SysFreeString(converted);
}

}  // namespace

int main() {
#if defined(_WIN32)
  // The component's narrow text is the system code page; the comparison assumes Windows-1252.
  if (GetACP() != 1252) line("system code page", "%u, not 1252", GetACP());
#endif
  bstrs();
  variants();
  variant_types();
  dimension_order();
  creation();
  string_elements();
  variant_elements();
  conversions();
  code_page();
  return 0;
}
