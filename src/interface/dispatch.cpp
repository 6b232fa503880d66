// The interface's method table and the part of Invoke that both builds share: the adaptation of
// script variables passed for typed outputs (see dispatch.h).
#include "interface/dispatch.h"

#include "platform/variant_change.h"

#include <vector>

namespace cps {

namespace {

using P = Param;

constexpr MethodDesc kMethods[] = {
    {L"ReadDevice", 1, 3,
     {{{L"piorbexService", P::Unknown}, {L"ulORBEXHandle", P::ULong}, {L"picpdProgDlg", P::Unknown}}},
     [](ICPServices* o, const VARIANT* a) { return o->ReadDevice(a[0].punkVal, a[1].ulVal, a[2].punkVal); }},
    {L"WriteDevice", 2, 4,
     {{{L"piorbexService", P::Unknown}, {L"ulORBEXHandle", P::ULong}, {L"picpdProgDlg", P::Unknown},
       {L"pDestCP", P::Services}}},
     [](ICPServices* o, const VARIANT* a) {
       return o->WriteDevice(a[0].punkVal, a[1].ulVal, a[2].punkVal, static_cast<ICPServices*>(a[3].byref));
     }},
    {L"GetErrorMsg", 3, 2, {{{L"hrErrCode", P::Long}, {L"pbstrMsg", P::TextOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->GetErrorMsg(a[0].lVal, a[1].pbstrVal); }},
    {L"GetValidAliasCharSet", 4, 1, {{{L"pvarAliasCharSet", P::VariantOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->GetValidAliasCharSet(a[0].pvarVal); }},
    {L"ValidateAlias", 5, 1, {{{L"bstrAlias", P::Text}}},
     [](ICPServices* o, const VARIANT* a) { return o->ValidateAlias(a[0].bstrVal); }},
    {L"GetRangeInfo", 6, 4,
     {{{L"lFieldID", P::Long}, {L"pdMin", P::DoubleOut}, {L"pdMax", P::DoubleOut}, {L"pdStep", P::DoubleOut}}},
     [](ICPServices* o, const VARIANT* a) {
       return o->GetRangeInfo(a[0].lVal, a[1].pdblVal, a[2].pdblVal, a[3].pdblVal);
     }},
    {L"GetBlockData", 7, 2, {{{L"lBlockID", P::Long}, {L"pvarBlockData", P::VariantOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->GetBlockData(a[0].lVal, a[1].pvarVal); }},
    {L"SetBlockData", 8, 2, {{{L"lBlockID", P::Long}, {L"pvarBlockData", P::VariantIn}}},
     [](ICPServices* o, const VARIANT* a) { return o->SetBlockData(a[0].lVal, a[1].pvarVal); }},
    {L"GetCurrentListQuantity", 9, 2, {{{L"lBlockID", P::Long}, {L"pbQuant", P::ByteOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->GetCurrentListQuantity(a[0].lVal, a[1].pbVal); }},
    {L"AddList", 10, 2, {{{L"lBlockID", P::Long}, {L"pbListIndex", P::ByteOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->AddList(a[0].lVal, a[1].pbVal); }},
    {L"DeleteList", 11, 2, {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}}},
     [](ICPServices* o, const VARIANT* a) { return o->DeleteList(a[0].lVal, a[1].bVal); }},
    {L"GetCurrentListMemberQuantity", 12, 3,
     {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}, {L"pbMemQuant", P::ByteOut}}},
     [](ICPServices* o, const VARIANT* a) {
       return o->GetCurrentListMemberQuantity(a[0].lVal, a[1].bVal, a[2].pbVal);
     }},
    {L"AddListMember", 13, 3,
     {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}, {L"pbMemIndex", P::ByteOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->AddListMember(a[0].lVal, a[1].bVal, a[2].pbVal); }},
    {L"DeleteListMember", 14, 3,
     {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}, {L"bMemIndex", P::Byte}}},
     [](ICPServices* o, const VARIANT* a) { return o->DeleteListMember(a[0].lVal, a[1].bVal, a[2].bVal); }},
    {L"GetFieldAt", 15, 4,
     {{{L"lBlockID", P::Long}, {L"lFieldID", P::Long}, {L"bIndex", P::Byte}, {L"pvarFieldData", P::VariantOut}}},
     [](ICPServices* o, const VARIANT* a) { return o->GetFieldAt(a[0].lVal, a[1].lVal, a[2].bVal, a[3].pvarVal); }},
    {L"SetFieldAt", 16, 3,
     {{{L"lBlockID", P::Long}, {L"bIndex", P::Byte}, {L"varFieldData", P::Variant}}},
     [](ICPServices* o, const VARIANT* a) { return o->SetFieldAt(a[0].lVal, a[1].bVal, a[2]); }},
    {L"GetSubFieldAt", 17, 5,
     {{{L"lBlockID", P::Long}, {L"lFieldID", P::Long}, {L"bListIndex", P::Byte}, {L"bMemIndex", P::Byte},
       {L"pvarFieldData", P::VariantOut}}},
     [](ICPServices* o, const VARIANT* a) {
       return o->GetSubFieldAt(a[0].lVal, a[1].lVal, a[2].bVal, a[3].bVal, a[4].pvarVal);
     }},
    {L"SetSubFieldAt", 18, 4,
     {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}, {L"bMemIndex", P::Byte}, {L"varFieldData", P::Variant}}},
     [](ICPServices* o, const VARIANT* a) { return o->SetSubFieldAt(a[0].lVal, a[1].bVal, a[2].bVal, a[3]); }},
    {L"MoveList", 19, 3,
     {{{L"lBlockID", P::Long}, {L"bFromListIndex", P::Byte}, {L"bToListIndex", P::Byte}}},
     [](ICPServices* o, const VARIANT* a) { return o->MoveList(a[0].lVal, a[1].bVal, a[2].bVal); }},
    {L"MoveListMember", 20, 4,
     {{{L"lBlockID", P::Long}, {L"bListIndex", P::Byte}, {L"bFromMemIndex", P::Byte}, {L"bToMemIndex", P::Byte}}},
     [](ICPServices* o, const VARIANT* a) { return o->MoveListMember(a[0].lVal, a[1].bVal, a[2].bVal, a[3].bVal); }},
    {L"CloneDevice", 21, 3,
     {{{L"piorbexServices", P::Unknown}, {L"ulORBEXHandle", P::ULong}, {L"picpdProgDlg", P::Unknown}}},
     [](ICPServices* o, const VARIANT* a) { return o->CloneDevice(a[0].punkVal, a[1].ulVal, a[2].punkVal); }},
    {L"ImportOBD", 23, 1, {{{L"pObdFileName", P::Text}}},
     [](ICPServices* o, const VARIANT* a) { return o->ImportOBD(a[0].bstrVal); }},
    {L"GetUpdInfo", 24, 5,
     {{{L"piorbexServices", P::Unknown}, {L"ulORBEXHandle", P::ULong}, {L"pblSameSerial", P::ByteOut},
       {L"pblSameModel", P::ByteOut}, {L"bUpd", P::VariantOut}}},
     [](ICPServices* o, const VARIANT* a) {
       return o->GetUpdInfo(a[0].punkVal, a[1].ulVal, a[2].pbVal, a[3].pbVal, a[4].pvarVal);
     }},
    {L"Copy", 25, 1, {{{L"picpServices", P::Services}}},
     [](ICPServices* o, const VARIANT* a) { return o->Copy(static_cast<ICPServices*>(a[0].byref)); }},
    {L"ResetDevice", 26, 2, {{{L"piorbexService", P::Unknown}, {L"ulORBEXHandle", P::ULong}}},
     [](ICPServices* o, const VARIANT* a) { return o->ResetDevice(a[0].punkVal, a[1].ulVal); }},
};

consteval bool ids_ascending_without_22() {
  DISPID expected = 1;
  for (const MethodDesc& m : kMethods) {
    if (expected == 22) ++expected;
    if (m.id != expected++ || m.count > m.params.size()) return false;
  }
  return expected == 27;
}
static_assert(ids_ascending_without_22(), "DISPIDs 1..26 in slot order, 22 unused");

// A script variable standing in for a typed output: the value the method writes lands in
// `value` first and reaches the variable after a successful call.
struct Adapted {
  VARIANT* variable;
  VARIANT value;
};

}  // namespace

VARTYPE output_type(Param type) {
  switch (type) {
    case Param::TextOut: return VT_BSTR;
    case Param::DoubleOut: return VT_R8;
    case Param::ByteOut: return VT_UI1;
    default: return VT_EMPTY;
  }
}

const MethodDesc* find_method(DISPID id) {
  for (const MethodDesc& m : kMethods)
    if (m.id == id) return &m;
  return nullptr;
}

HRESULT dispatch_invoke(ICPServices* object, DISPID dispIdMember, REFIID riid, LCID,
                        WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const MethodDesc* method = find_method(dispIdMember);
  if (!method || !pDispParams || pDispParams->cNamedArgs != 0 || !pDispParams->rgvarg)
    return type_info_invoke(object, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                            puArgErr);

  // Positional arguments only: parameter i is rgvarg[cArgs - 1 - i].
  std::vector<VARIANT> args(pDispParams->rgvarg, pDispParams->rgvarg + pDispParams->cArgs);
  std::vector<bool> replaced(args.size(), false);
  std::vector<Adapted> adapted;
  adapted.reserve(method->count);
  const UINT count = pDispParams->cArgs;
  for (UINT i = 0; i < method->count && i < count; ++i) {
    VARIANT& arg = args[count - 1 - i];
    const VARTYPE type = output_type(method->params[i].type);
    if (type == VT_EMPTY || arg.vt != (VT_BYREF | VT_VARIANT) || !arg.pvarVal) continue;
    Adapted a{arg.pvarVal, {}};
    VariantInit(&a.value);
    // A number starts from the variable's own value when it has one; a string starts empty,
    // as an output the method fills without looking.
    if (type == VT_BSTR || FAILED(VariantChangeType(&a.value, a.variable, 0, type))) {
      VariantInit(&a.value);
      a.value.vt = type;
    }
    adapted.push_back(a);
    replaced[count - 1 - i] = true;
    arg.vt = static_cast<VARTYPE>(VT_BYREF | type);
    arg.byref = &adapted.back().value.llVal;
  }

  DISPPARAMS params = *pDispParams;
  params.rgvarg = args.data();
  if (adapted.empty()) params.rgvarg = pDispParams->rgvarg;
  const HRESULT hr =
      type_info_invoke(object, dispIdMember, wFlags, &params, pVarResult, pExcepInfo, puArgErr);
  // What Invoke wrote into the other arguments (an output passed by value) is the caller's.
  if (!adapted.empty())
    for (size_t k = 0; k < args.size(); ++k)
      if (!replaced[k]) pDispParams->rgvarg[k] = args[k];
  for (Adapted& a : adapted) {
    // A string the method left alone (GetErrorMsg without a message) leaves the variable too.
    const bool written = a.value.vt != VT_BSTR || a.value.bstrVal != nullptr;
    if (SUCCEEDED(hr) && written && SUCCEEDED(VariantClear(a.variable))) {
      *a.variable = a.value;
    } else {
      VariantClear(&a.value);
    }
  }
  return hr;
}

}  // namespace cps
