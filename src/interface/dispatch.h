// Late binding of ICPServices: the IDispatch half of the dual interface, shared by both classes.
//
// One table describes the interface's methods as the type library does: names, DISPIDs (22 is
// not used), parameters in order with their names, types and which are outputs. On Windows
// GetIDsOfNames and Invoke are oleaut32's, over the type library the library carries
// (ITypeInfo::Invoke); in the portable build they are served from the table with the same
// conventions: arguments in reverse order in rgvarg, named arguments by parameter index,
// coercion to the parameter types as VariantChangeType does it, outputs by reference (an output
// passed by value is written back into its argument), and a method's failing HRESULT reported
// as DISP_E_EXCEPTION with EXCEPINFO.scode set to it.
//
// On both, Invoke first adapts what script hosts send: a script passes its variables as
// VT_BYREF | VT_VARIANT, which oleaut32 refuses for a typed output (BSTR*, double*, unsigned
// char*) with DISP_E_TYPEMISMATCH. Such an argument is handed over as a reference of the
// parameter's own type, and after a successful call the script's variable receives the value.
#pragma once

#include <cpservices/cpservices.h>

#include <array>
#include <cstdint>

namespace cps {

// What one parameter is, as the type library declares it.
enum class Param : uint8_t {
  Long,        // [in] long
  ULong,       // [in] unsigned long
  Byte,        // [in] unsigned char
  Text,        // [in] BSTR
  Unknown,     // [in] IUnknown* (the host's objects: never AddRef'd, never queried)
  Services,    // [in] ICPServices*
  Variant,     // [in] VARIANT
  VariantIn,   // [in] VARIANT*
  TextOut,     // [out] BSTR*
  DoubleOut,   // [out] double*
  ByteOut,     // [out] unsigned char*
  VariantOut,  // [out] VARIANT*
};

struct ParamDesc {
  const OLECHAR* name;
  Param type;
};

struct MethodDesc {
  const OLECHAR* name;
  DISPID id;
  uint8_t count;
  std::array<ParamDesc, 5> params;
  // Calls the method with the arguments prepared for its parameters, in order: the value of
  // an input in the member of its type (lVal, ulVal, bVal, bstrVal, punkVal; byref for an
  // ICPServices*), a VARIANT as it is, and a pointer (byref) for every pointer parameter.
  HRESULT (*call)(ICPServices* object, const VARIANT* args);
};

// The element type of a typed output (BSTR*, double*, unsigned char*); VT_EMPTY for any other
// parameter.
VARTYPE output_type(Param type);

// The method with this DISPID, or nullptr.
const MethodDesc* find_method(DISPID id);

HRESULT dispatch_type_info_count(UINT* pctinfo);
HRESULT dispatch_type_info(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
HRESULT dispatch_ids_of_names(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                              DISPID* rgDispId);
HRESULT dispatch_invoke(ICPServices* object, DISPID dispIdMember, REFIID riid, LCID lcid,
                        WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr);

// The invocation proper, after the script adaptation: ITypeInfo::Invoke on Windows, the table
// elsewhere.
HRESULT type_info_invoke(ICPServices* object, DISPID dispIdMember, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr);

}  // namespace cps
