// GetIDsOfNames and Invoke from the method table, for the builds without oleaut32: what
// ITypeInfo::GetIDsOfNames and ITypeInfo::Invoke do with the interface's type information.
#include "interface/dispatch.h"

#include "platform/variant_change.h"

#include <array>
#include <cstring>
#include <cwctype>

namespace cps {

namespace {

// The members ICPServices inherits, as the type information of a dual interface names them.
struct Inherited {
  const OLECHAR* name;
  DISPID id;
};
constexpr Inherited kInherited[] = {
    {L"QueryInterface", 0x60000000}, {L"AddRef", 0x60000001},       {L"Release", 0x60000002},
    {L"GetTypeInfoCount", 0x60010000}, {L"GetTypeInfo", 0x60010001},
    {L"GetIDsOfNames", 0x60010002},  {L"Invoke", 0x60010003},
};

constexpr DISPID kUnknownId = -1;  // DISPID_UNKNOWN

bool same_name(const OLECHAR* a, const OLECHAR* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  return *a == *b;
}

bool is_output(Param type) {
  return type == Param::TextOut || type == Param::DoubleOut || type == Param::ByteOut ||
         type == Param::VariantOut;
}

// One argument made ready for its parameter. `value` is what the method gets (see MethodDesc);
// `temporary` holds a converted input or the output of an argument passed by value.
struct Prepared {
  VARIANT value;
  VARIANT temporary;
  VARIANT* written_back = nullptr;  // an output passed by value: its argument
};

// The scalar type an input parameter is converted to.
VARTYPE input_type(Param type) {
  switch (type) {
    case Param::Long: return VT_I4;
    case Param::ULong: return VT_UI4;
    case Param::Byte: return VT_UI1;
    case Param::Text: return VT_BSTR;
    default: return VT_EMPTY;
  }
}

// The object an interface argument carries: a by-reference VARIANT counts as its value.
HRESULT object_of(const VARIANT& arg, IUnknown*& object) {
  const VARIANT& v = arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal ? *arg.pvarVal : arg;
  if (v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH) {
    object = v.punkVal;
    return S_OK;
  }
  if (v.vt == (VT_BYREF | VT_UNKNOWN) || v.vt == (VT_BYREF | VT_DISPATCH)) {
    object = v.ppunkVal ? *v.ppunkVal : nullptr;
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT prepare(Param type, VARIANT& arg, Prepared& p) {
  VariantInit(&p.value);
  VariantInit(&p.temporary);
  switch (type) {
    case Param::Long:
    case Param::ULong:
    case Param::Byte:
    case Param::Text: {
      const HRESULT hr = VariantChangeType(&p.temporary, &arg, 0, input_type(type));
      if (SUCCEEDED(hr)) p.value = p.temporary;
      return hr;
    }
    case Param::Unknown: {
      // The host's device-services and progress objects are not COM objects: the pointer is
      // passed on as it is.
      const HRESULT hr = object_of(arg, p.value.punkVal);
      p.value.vt = VT_UNKNOWN;
      return hr;
    }
    case Param::Services: {
      IUnknown* object = nullptr;
      HRESULT hr = object_of(arg, object);
      if (FAILED(hr) || !object) return hr;
      IUnknown* services = nullptr;
      hr = object->QueryInterface(IID_ICPServices, reinterpret_cast<void**>(&services));
      if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
      p.temporary.vt = VT_UNKNOWN;  // holds the reference until the call is over
      p.temporary.punkVal = services;
      p.value.byref = static_cast<ICPServices*>(static_cast<void*>(services));
      return S_OK;
    }
    case Param::Variant: p.value = arg; return S_OK;
    case Param::VariantIn:
    case Param::VariantOut:
      if (arg.vt == (VT_BYREF | VT_VARIANT)) {
        p.value.pvarVal = arg.pvarVal;
      } else if (type == Param::VariantIn) {
        p.temporary = arg;  // a view of the caller's value, not a copy to free
        p.value.pvarVal = &p.temporary;
      } else if (arg.vt & VT_BYREF) {
        return DISP_E_TYPEMISMATCH;
      } else {
        p.value.pvarVal = &p.temporary;
        p.written_back = &arg;
      }
      return S_OK;
    case Param::TextOut:
    case Param::DoubleOut:
    case Param::ByteOut: {
      const VARTYPE element = output_type(type);
      if (arg.vt == (VT_BYREF | element)) {
        p.value.byref = arg.byref;
        return S_OK;
      }
      if (arg.vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
      // By value: the method writes into a zero of its own type, which is then converted
      // back into the argument's type.
      p.temporary.vt = element;
      p.value.byref = &p.temporary.llVal;
      p.written_back = &arg;
      return S_OK;
    }
  }
  return DISP_E_TYPEMISMATCH;
}

// Frees what preparing made; a VariantIn view of the caller's value is not ours.
void release(Param type, Prepared& p) {
  if (type == Param::VariantIn && p.value.pvarVal == &p.temporary) return;
  VariantClear(&p.temporary);
}

}  // namespace

HRESULT dispatch_type_info_count(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;  // as the Windows build answers
  *pctinfo = 0;  // no ITypeInfo here: late binding is served from the table
  return S_OK;
}

HRESULT dispatch_type_info(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

/* The DISPID of a method (names compared without regard to case), then of each named parameter:
 * its position. DISP_E_UNKNOWNNAME when a name is not known, its DISPID set to DISPID_UNKNOWN and
 * the other names still looked up; an unknown method makes every DISPID unknown. */
HRESULT dispatch_ids_of_names(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                              DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (!rgszNames || !rgDispId) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = kUnknownId;
  const MethodDesc* method = nullptr;
  for (DISPID id = 1; id <= 26 && !method; ++id) {
    const MethodDesc* m = find_method(id);
    if (m && same_name(m->name, rgszNames[0])) method = m;
  }
  if (!method) {
    for (const Inherited& member : kInherited)
      if (same_name(member.name, rgszNames[0])) {
        rgDispId[0] = member.id;
        return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    return DISP_E_UNKNOWNNAME;
  }
  rgDispId[0] = method->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < cNames; ++i) {
    for (uint8_t k = 0; k < method->count; ++k)
      if (same_name(method->params[k].name, rgszNames[i])) rgDispId[i] = k;
    if (rgDispId[i] == kUnknownId) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

/* Invokes a method of the table: DISPATCH_METHOD is required (DISP_E_MEMBERNOTFOUND otherwise
 * or for a DISPID not in the table). Parameter i takes the named argument whose DISPID is i, or
 * else the next positional one (rgvarg from its end); a parameter with no argument is
 * DISP_E_BADPARAMCOUNT, arguments beyond the parameters are not looked at. A conversion that
 * fails returns its HRESULT with *puArgErr the argument's index in rgvarg. The method's own
 * failure is DISP_E_EXCEPTION with EXCEPINFO cleared and scode set; its success is S_OK.
 * pVarResult is not touched: no method has a return value. */
HRESULT type_info_invoke(ICPServices* object, DISPID dispIdMember, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) {
  const MethodDesc* method = find_method(dispIdMember);
  if (!method || !(wFlags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (!pDispParams || (pDispParams->cArgs && !pDispParams->rgvarg) ||
      (pDispParams->cNamedArgs && !pDispParams->rgdispidNamedArgs) ||
      pDispParams->cNamedArgs > pDispParams->cArgs)
    return E_INVALIDARG;

  std::array<Prepared, 5> prepared{};
  uint8_t ready = 0;
  UINT positional = 0;
  HRESULT hr = S_OK;
  for (; ready < method->count; ++ready) {
    VARIANT* arg = nullptr;
    for (UINT j = 0; j < pDispParams->cNamedArgs && !arg; ++j)
      if (pDispParams->rgdispidNamedArgs[j] == ready) arg = &pDispParams->rgvarg[j];
    if (!arg && positional < pDispParams->cArgs - pDispParams->cNamedArgs)
      arg = &pDispParams->rgvarg[pDispParams->cArgs - 1 - positional++];
    if (!arg) {
      hr = DISP_E_BADPARAMCOUNT;
      break;
    }
    hr = prepare(method->params[ready].type, *arg, prepared[ready]);
    if (FAILED(hr)) {
      if (puArgErr) *puArgErr = static_cast<UINT>(arg - pDispParams->rgvarg);
      release(method->params[ready].type, prepared[ready]);
      break;
    }
  }

  if (SUCCEEDED(hr)) {
    std::array<VARIANT, 5> values{};
    for (uint8_t i = 0; i < method->count; ++i) values[i] = prepared[i].value;
    const HRESULT result = method->call(object, values.data());
    // Outputs passed by value go back into their arguments, in their arguments' types.
    for (uint8_t i = 0; i < method->count && SUCCEEDED(hr); ++i) {
      Prepared& p = prepared[i];
      if (!p.written_back || !is_output(method->params[i].type)) continue;
      hr = VariantChangeType(p.written_back, &p.temporary, 0, p.written_back->vt);
    }
    if (FAILED(result)) {
      hr = DISP_E_EXCEPTION;
      if (pExcepInfo) {
        std::memset(pExcepInfo, 0, sizeof *pExcepInfo);
        pExcepInfo->scode = result;
      }
    }
  }
  for (uint8_t i = 0; i < ready; ++i) release(method->params[i].type, prepared[i]);
  return hr;
}

}  // namespace cps
