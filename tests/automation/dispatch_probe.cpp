// Late binding of ICPServices, case by case: GetIDsOfNames and IDispatch::Invoke with the
// argument types, counts, flags and by-reference outputs that hosts and script engines send.
// Built natively it runs the component's own dispatch table; built for Windows it loads
// cpservices.dll, whose IDispatch is oleaut32's ITypeInfo::Invoke over the type library.
// tests/wine compares the two outputs line by line.
#include "probe_output.h"

#include <cpservices/cpservices.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

using probe::hex;
using probe::line;

namespace {

ICPServices* create(REFCLSID clsid) {
#if defined(_WIN32)
  // The library itself, as a host loads it; no registration needed.
  static HMODULE library = LoadLibraryW(L"cpservices.dll");
  if (!library) return nullptr;
  auto get = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
#else
  auto get = &DllGetClassObject;
#endif
  IClassFactory* factory = nullptr;
  if (FAILED(get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
  ICPServices* object = nullptr;
  factory->CreateInstance(nullptr, IID_ICPServices, reinterpret_cast<void**>(&object));
  factory->Release();
  return object;
}

// ---- Arguments -----------------------------------------------------------------------------

using probe::variant;
VARIANT i4(LONG value) { return variant(VT_I4, value); }
VARIANT i2(SHORT value) { return variant(VT_I2, value); }
VARIANT r8(double value) { VARIANT v = variant(VT_R8); v.dblVal = value; return v; }
VARIANT text(const wchar_t* value) { VARIANT v = variant(VT_BSTR); v.bstrVal = SysAllocString(value); return v; }

// Targets of by-reference arguments, each held in a VARIANT of its type; they live until the
// end of the program, when they are cleared.
std::deque<VARIANT> g_targets;

// A reference to a new target of type `vt` holding `initial` (for VT_VARIANT: the VARIANT itself).
VARIANT ref(VARTYPE vt, VARIANT initial = variant(VT_EMPTY)) {
  if (vt != VT_VARIANT) initial.vt = vt;
  g_targets.push_back(initial);
  VARIANT v = variant(VT_BYREF | vt);
  v.byref = vt == VT_VARIANT ? static_cast<void*>(&g_targets.back()) : static_cast<void*>(&g_targets.back().llVal);
  return v;
}
VARIANT out_double() { return ref(VT_R8, r8(-1)); }

// One field (encoding 1): a 1 x 3 array of VARIANT, ID, text and attribute.
VARIANT field(LONG id, const wchar_t* value) {
  SAFEARRAYBOUND bounds[2] = {{1, 0}, {3, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  VARIANT cells[3] = {i4(id), text(value), variant(VT_UI1)};
  for (LONG k = 0; k < 3; ++k) {
    LONG at[2] = {0, k};
    SafeArrayPutElement(array, at, &cells[k]);
    VariantClear(&cells[k]);
  }
  VARIANT v = variant(VT_ARRAY | VT_VARIANT);
  v.parray = array;
  return v;
}

// ---- Describing results ----------------------------------------------------------------------

std::string describe(const VARIANT& v);

std::string describe_array(SAFEARRAY* array) {
  const UINT dims = SafeArrayGetDim(array);
  std::string out = "array";
  LONG lower[2] = {0, 0}, upper[2] = {-1, -1};
  for (UINT d = 1; d <= dims && d <= 2; ++d) {
    SafeArrayGetLBound(array, d, &lower[d - 1]);
    SafeArrayGetUBound(array, d, &upper[d - 1]);
    out.append(" [").append(std::to_string(lower[d - 1])).append("..").append(std::to_string(upper[d - 1])).append("]");
  }
  // The first row (or the first few elements of a vector).
  VARTYPE vt = VT_EMPTY;
  SafeArrayGetVartype(array, &vt);
  out += " {";
  const LONG last = dims == 2 ? upper[1] : std::min(upper[0], lower[0] + 3);
  for (LONG k = dims == 2 ? lower[1] : lower[0]; k <= last; ++k) {
    LONG at[2] = {dims == 2 ? lower[0] : k, k};
    VARIANT cell = variant(VT_EMPTY);
    if (vt == VT_VARIANT) SafeArrayGetElement(array, at, &cell);
    else if (vt == VT_UI1 && SUCCEEDED(SafeArrayGetElement(array, at, &cell.bVal))) cell.vt = VT_UI1;
    out.append(out.back() == '{' ? "" : ", ").append(describe(cell));
    VariantClear(&cell);
  }
  return out + "}";
}

std::string describe(const VARIANT& v) {
  char number[64];
  if ((v.vt & VT_BYREF) && !(v.vt & VT_ARRAY)) {
    if (v.vt == (VT_BYREF | VT_VARIANT)) return std::string("&").append(describe(*v.pvarVal));
    VARIANT value = variant(static_cast<VARTYPE>(v.vt & ~VT_BYREF));
    const VARTYPE base = value.vt;
    std::memcpy(&value.llVal, v.byref, base == VT_UI1 ? 1 : base == VT_I2 ? 2 : base == VT_I4 || base == VT_R4 ? 4 : 8);
    return std::string("&").append(describe(value));
  }
  switch (v.vt) {
    case VT_EMPTY: return "empty";
    case VT_NULL: return "null";
    case VT_I1: return "I1 " + std::to_string(v.cVal);
    case VT_I2: return "I2 " + std::to_string(v.iVal);
    case VT_I4: return "I4 " + std::to_string(v.lVal);
    case VT_UI1: return "UI1 " + std::to_string(v.bVal);
    case VT_UI4: return "UI4 " + std::to_string(v.ulVal);
    case VT_BOOL: return "BOOL " + std::to_string(v.boolVal);
    case VT_ERROR: return "ERROR " + hex(v.scode);
    case VT_R4: std::snprintf(number, sizeof number, "R4 %g", v.fltVal); return number;
    case VT_R8: std::snprintf(number, sizeof number, "R8 %g", v.dblVal); return number;
    case VT_BSTR: return "BSTR " + (v.bstrVal ? probe::bstr_text(v.bstrVal) : std::string("(null)"));
    case VT_UNKNOWN: return v.punkVal ? "UNKNOWN" : "UNKNOWN null";
    case VT_DISPATCH: return v.pdispVal ? "DISPATCH" : "DISPATCH null";
    default:
      if (v.vt & VT_ARRAY) return describe_array((v.vt & VT_BYREF) ? *v.pparray : v.parray);
      return "vt " + std::to_string(v.vt);
  }
}

// ---- Cases ---------------------------------------------------------------------------------

struct Invocation {
  DISPID id;
  std::vector<VARIANT> args;  // in the method's order; rgvarg gets them reversed
  WORD flags = DISPATCH_METHOD;
  std::vector<DISPID> named = {};
  bool with_excepinfo = true;
  const IID* riid = &IID_NULL;
};

void invoke(IDispatch* object, const char* label, Invocation call) {
  std::vector<VARIANT> rgvarg(call.args.rbegin(), call.args.rend());
  DISPPARAMS params = {rgvarg.empty() ? nullptr : rgvarg.data(), call.named.empty() ? nullptr : call.named.data(),
                       static_cast<UINT>(rgvarg.size()), static_cast<UINT>(call.named.size())};
  VARIANT result = i2(77);
  EXCEPINFO excep;
  std::memset(&excep, 0, sizeof excep);
  UINT arg_err = 999;
  const HRESULT hr = object->Invoke(call.id, *call.riid, 0, call.flags, &params, &result,
                                    call.with_excepinfo ? &excep : nullptr, &arg_err);
  // The arguments as Invoke left them (an output passed by value is written back into its
  // argument), in the method's order. Wine's ITypeInfo::Invoke leaves puArgErr as it was, so
  // it is not compared.
  std::string args;
  for (auto v = rgvarg.rbegin(); v != rgvarg.rend(); ++v) args.append(args.empty() ? "" : " | ").append(describe(*v));
  line(label, "%s excep %u %s source %s description %s result %s args %s", hex(hr).c_str(), excep.wCode,
       hex(excep.scode).c_str(), excep.bstrSource ? "set" : "none", excep.bstrDescription ? "set" : "none",
       describe(result).c_str(), args.c_str());
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  VariantClear(&result);
  for (VARIANT& v : rgvarg) VariantClear(&v);
}

void names(IDispatch* object) {
  const std::vector<std::vector<const wchar_t*>> lists = {
      {L"ReadDevice"}, {L"WriteDevice"}, {L"GetErrorMsg"}, {L"GetValidAliasCharSet"}, {L"ValidateAlias"},
      {L"GetRangeInfo"}, {L"GetBlockData"}, {L"SetBlockData"}, {L"GetCurrentListQuantity"}, {L"AddList"},
      {L"DeleteList"}, {L"GetCurrentListMemberQuantity"}, {L"AddListMember"}, {L"DeleteListMember"},
      {L"GetFieldAt"}, {L"SetFieldAt"}, {L"GetSubFieldAt"}, {L"SetSubFieldAt"}, {L"MoveList"},
      {L"MoveListMember"}, {L"CloneDevice"}, {L"ImportOBD"}, {L"GetUpdInfo"}, {L"Copy"}, {L"ResetDevice"},
      {L"geterrormsg"}, {L"GETRANGEINFO"}, {L"Nope"}, {L""}, {L"QueryInterface"}, {L"Invoke"},
      {L"GetIDsOfNames"}, {L"AddRef"},
      {L"GetRangeInfo", L"pdMax", L"lFieldID", L"PDSTEP"}, {L"GetRangeInfo", L"nope", L"pdMin"},
      {L"Nope", L"lFieldID"}, {L"SetFieldAt", L"varFieldData", L"bIndex", L"lBlockID"}};
  for (const auto& list : lists) {
    std::vector<DISPID> ids(list.size(), 12345);
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(list.data()),
                                             static_cast<UINT>(list.size()), 0, ids.data());
    std::string label = "names", found;
    for (const wchar_t* name : list) label.append(" ").append(probe::wide_text(name, static_cast<UINT>(std::wcslen(name))));
    for (DISPID id : ids) found.append(" ").append(std::to_string(id));
    line(label.c_str(), "%s%s", hex(hr).c_str(), found.c_str());
  }
  DISPID id = 12345;
  LPOLESTR name[] = {const_cast<LPOLESTR>(L"GetErrorMsg")};
  line("names for another interface", "%s %ld", hex(object->GetIDsOfNames(IID_IDispatch, name, 1, 0, &id)).c_str(),
       static_cast<long>(id));
}

void invocations(ICPServices* services, ICPServices* other) {
  IDispatch* object = services;
  const LONG checksum = static_cast<LONG>(0x80040967), no_message = static_cast<LONG>(0x80040971);
  const VARIANT empty = variant(VT_EMPTY), null = variant(VT_NULL);

  // GetErrorMsg (3): an HRESULT in, a BSTR out by reference.
  invoke(object, "GetErrorMsg I4, &BSTR", {3, {i4(checksum), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg I4, &VARIANT", {3, {i4(checksum), ref(VT_VARIANT)}});
  invoke(object, "GetErrorMsg I4, &VARIANT BSTR", {3, {i4(checksum), ref(VT_VARIANT, text(L"old"))}});
  invoke(object, "GetErrorMsg I4, &VARIANT NULL", {3, {i4(checksum), ref(VT_VARIANT, null)}});
  invoke(object, "GetErrorMsg I4, &VARIANT array", {3, {i4(checksum), ref(VT_VARIANT, field(1, L"x"))}});
  invoke(object, "GetErrorMsg no message, &VARIANT", {3, {i4(no_message), ref(VT_VARIANT, i2(5))}});
  invoke(object, "GetErrorMsg no message, &BSTR", {3, {i4(no_message), ref(VT_BSTR, text(L"kept"))}});
  invoke(object, "GetErrorMsg UI4", {3, {variant(VT_UI4, checksum), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg I2", {3, {i2(0x96E), ref(VT_VARIANT)}});
  invoke(object, "GetErrorMsg ERROR", {3, {variant(VT_ERROR, checksum), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg R8", {3, {r8(2414.0), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg BSTR", {3, {text(L"2414"), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg BSTR hex", {3, {text(L"&H96E"), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg &VARIANT in", {3, {ref(VT_VARIANT, i4(checksum)), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg &I4 in", {3, {ref(VT_I4, i4(checksum)), ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg NULL", {3, {null, ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg EMPTY", {3, {empty, ref(VT_BSTR)}});
  invoke(object, "GetErrorMsg BSTR out by value", {3, {i4(checksum), text(L"v")}});
  invoke(object, "GetErrorMsg I4 out by value", {3, {i4(checksum), i4(5)}});
  invoke(object, "GetErrorMsg no message, out by value", {3, {i4(no_message), text(L"kept")}});
  invoke(object, "GetErrorMsg &I4 out", {3, {i4(checksum), ref(VT_I4, i4(-7))}});
  invoke(object, "GetErrorMsg one argument", {3, {i4(checksum)}});
  invoke(object, "GetErrorMsg three arguments", {3, {i4(checksum), ref(VT_BSTR), i4(1)}});
  invoke(object, "GetErrorMsg no arguments", {3, {}});
  invoke(object, "GetErrorMsg method|get", {3, {i4(checksum), ref(VT_BSTR)}, DISPATCH_METHOD | DISPATCH_PROPERTYGET});
  invoke(object, "GetErrorMsg get", {3, {i4(checksum), ref(VT_BSTR)}, DISPATCH_PROPERTYGET});
  invoke(object, "GetErrorMsg put", {3, {i4(checksum), ref(VT_BSTR)}, DISPATCH_PROPERTYPUT});
  invoke(object, "GetErrorMsg no flags", {3, {i4(checksum), ref(VT_BSTR)}, 0});
  invoke(object, "GetErrorMsg named", {3, {i4(checksum), ref(VT_BSTR)}, DISPATCH_METHOD, {0}});
  invoke(object, "GetErrorMsg other interface", {3, {i4(checksum), ref(VT_BSTR)}, DISPATCH_METHOD, {}, true, &IID_IDispatch});

  // ValidateAlias (5): a BSTR in; a refused alias comes back as an exception with its HRESULT.
  invoke(object, "ValidateAlias good", {5, {text(L"CH 1")}});
  invoke(object, "ValidateAlias bad", {5, {text(L"bad\x01")}});
  invoke(object, "ValidateAlias bad without excepinfo", {5, {text(L"bad\x01")}, DISPATCH_METHOD, {}, false});
  invoke(object, "ValidateAlias I4", {5, {i4(123)}});
  invoke(object, "ValidateAlias BOOL", {5, {variant(VT_BOOL, -1)}});
  invoke(object, "ValidateAlias EMPTY", {5, {empty}});
  invoke(object, "ValidateAlias NULL", {5, {null}});
  invoke(object, "ValidateAlias &VARIANT", {5, {ref(VT_VARIANT, text(L"OK"))}});
  invoke(object, "ValidateAlias &BSTR", {5, {ref(VT_BSTR, text(L"OK"))}});

  // GetRangeInfo (6): a long in, three doubles out.
  const struct { const char* label; VARIANT field; } fields[] = {
      {"I4", i4(424)}, {"I2", i2(424)}, {"UI1", variant(VT_UI1, 200)}, {"BSTR", text(L"424")},
      {"BSTR not a number", text(L"abc")}, {"R8 rounds", r8(423.5)}, {"R8 rounds to even", r8(424.5)},
      {"R8 too large", r8(3e10)}, {"BOOL", variant(VT_BOOL, -1)}, {"EMPTY", empty}, {"NULL", null},
      {"&VARIANT", ref(VT_VARIANT, i2(424))}, {"&I2", ref(VT_I2, i2(424))}, {"no such field", i4(99999)}};
  for (const auto& f : fields)
    invoke(object, (std::string("GetRangeInfo ") + f.label).c_str(), {6, {f.field, out_double(), out_double(), out_double()}});
  invoke(object, "GetRangeInfo &VARIANT out", {6, {i4(424), ref(VT_VARIANT), ref(VT_VARIANT, i2(1)), ref(VT_VARIANT, text(L"x"))}});
  invoke(object, "GetRangeInfo &R4 out", {6, {i4(424), out_double(), ref(VT_R4), out_double()}});
  invoke(object, "GetRangeInfo out by value", {6, {i4(424), i4(3), text(L"x"), r8(0)}});
  invoke(object, "GetRangeInfo failing, out by value", {6, {i4(99999), r8(5), out_double(), out_double()}});
  invoke(object, "GetRangeInfo three arguments", {6, {i4(424), out_double(), out_double()}});

  // Blocks and fields: VARIANT out by reference, VARIANT in by value, bytes in.
  invoke(object, "GetBlockData 4", {7, {i4(4), ref(VT_VARIANT)}});
  invoke(object, "GetBlockData 4 into I4", {7, {i4(4), ref(VT_VARIANT, i4(3))}});
  invoke(object, "GetBlockData out by value", {7, {i4(4), i4(3)}});
  invoke(object, "GetBlockData 9999", {7, {i4(9999), ref(VT_VARIANT)}});
  invoke(object, "SetFieldAt 104", {16, {i4(4), variant(VT_UI1), field(104, L"Depot Tool")}});
  invoke(object, "GetFieldAt 104", {15, {i4(4), i4(104), variant(VT_UI1), ref(VT_VARIANT)}});
  invoke(object, "SetFieldAt &VARIANT", {16, {ref(VT_VARIANT, i2(4)), ref(VT_VARIANT, i2(0)), ref(VT_VARIANT, field(104, L"Tuner"))}});
  invoke(object, "SetFieldAt bad choice", {16, {i4(4), i2(0), field(104, L"Lab")}});
  invoke(object, "SetFieldAt index 300", {16, {i4(4), i4(300), field(104, L"CPS")}});
  invoke(object, "SetFieldAt index -1", {16, {i4(4), i4(-1), field(104, L"CPS")}});
  invoke(object, "SetFieldAt index 1.0", {16, {i4(4), r8(1.0), field(104, L"CPS")}});
  invoke(object, "SetFieldAt text for a field", {16, {i4(4), variant(VT_UI1), text(L"104")}});
  invoke(object, "GetFieldAt 104 again", {15, {i4(4), i4(104), variant(VT_UI1), ref(VT_VARIANT)}});
  invoke(object, "GetCurrentListQuantity &UI1", {9, {i4(4), ref(VT_UI1, variant(VT_UI1, 0xEE))}});
  invoke(object, "GetCurrentListQuantity &I4", {9, {i4(4), ref(VT_I4, i4(-7))}});
  invoke(object, "GetCurrentListQuantity out by value", {9, {i4(9999), i2(3)}});
  const struct { const char* label; VARIANT index; } indexes[] = {
      {"BOOL", variant(VT_BOOL, -1)}, {"I1 -3", variant(VT_I1, -3)}, {"R8 255.5", r8(255.5)}, {"R8 -0.5", r8(-0.5)},
      {"BSTR", text(L" 2 ")}, {"BSTR -1", text(L"-1")}, {"ERROR", variant(VT_ERROR, 5)}};
  for (const auto& i : indexes) invoke(object, (std::string("DeleteList index ") + i.label).c_str(), {11, {i4(9999), i.index}});
  invoke(object, "GetValidAliasCharSet", {4, {ref(VT_VARIANT)}});
  VARIANT block = variant(VT_EMPTY), block_copy = variant(VT_EMPTY);
  services->GetBlockData(4, &block);
  VariantCopy(&block_copy, &block);
  invoke(object, "SetBlockData by value", {8, {i4(4), block}});
  invoke(object, "SetBlockData &VARIANT", {8, {i4(4), ref(VT_VARIANT, block_copy)}});
  invoke(object, "SetBlockData I4", {8, {i4(4), i4(1)}});

  // Object arguments. The device arguments are pointers the component does not treat as COM
  // objects, so only null ones are passed here.
  VARIANT services_arg = variant(VT_DISPATCH);
  services_arg.pdispVal = other;
  other->AddRef();
  invoke(object, "Copy DISPATCH", {25, {services_arg}});
  invoke(object, "Copy I4", {25, {i4(1)}});
  invoke(object, "Copy EMPTY", {25, {empty}});
  const struct { const char* label; VARIANT device, handle; } devices[] = {
      {"UNKNOWN null", variant(VT_UNKNOWN), i4(0)}, {"DISPATCH null", variant(VT_DISPATCH), i4(0)},
      {"NULL", null, i4(0)}, {"EMPTY", empty, i4(0)}, {"handle I4 -5", variant(VT_UNKNOWN), i4(-5)},
      {"handle I2 -5", variant(VT_UNKNOWN), i2(-5)}, {"handle BSTR -1", variant(VT_UNKNOWN), text(L"-1")}};
  for (const auto& d : devices)
    invoke(object, (std::string("ReadDevice ") + d.label).c_str(), {1, {d.device, d.handle, variant(VT_UNKNOWN)}});

  // Members that do not exist.
  for (DISPID id : {0, 22, 27, -1, 0x60000000}) invoke(object, ("DISPID " + std::to_string(id)).c_str(), {id, {}});
}

}  // namespace

int main() {
#if defined(_WIN32)
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
  ICPServices* services = create(CLSID_CPServices);
  ICPServices* other = create(CLSID_CPServices);
  ICPServices* r9 = create(CLSID_R9CPServices);
  if (!services || !other || !r9) {
    line("create", "failed");
    return 1;
  }
  names(services);
  invocations(services, other);
  invoke(r9, "R9 GetErrorMsg", {3, {i4(static_cast<LONG>(0x8004096E)), ref(VT_BSTR)}});
  invoke(r9, "R9 GetBlockData", {7, {i4(4), ref(VT_VARIANT)}});
  r9->Release();
  other->Release();
  services->Release();
  for (VARIANT& v : g_targets) VariantClear(&v);
  return 0;
}
