#include "interface/service_object.h"

#include "interface/dispatch.h"
#include "interface/guard.h"
#include "interface/module.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "gen1/values/range_table.h"

#if defined(_WIN32)
#include "win/library.h"
#endif

namespace cps {

namespace {

constexpr int32_t kAliasCharacter = 424;  // the range row that bounds alias characters

HRESULT unsupported_block() { return hresult_of(err::kBlockNotSupported); }

}  // namespace

ServiceObject::ServiceObject(IUnknown* outer) : inner_(this), outer_(outer ? outer : &inner_) {
  module_lock();
}

ServiceObject::~ServiceObject() { module_unlock(); }

// ---- IUnknown ------------------------------------------------------------------------------

HRESULT ServiceObject::Inner::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown))
    *ppv = static_cast<IUnknown*>(this);
  else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ICPServices))
    *ppv = static_cast<ICPServices*>(owner_);
  else if (IsEqualIID(riid, IID_ISupportErrorInfo))
    *ppv = static_cast<ISupportErrorInfo*>(owner_);
  else
    return E_NOINTERFACE;
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

ULONG ServiceObject::Inner::AddRef() { return ++owner_->references_; }

ULONG ServiceObject::Inner::Release() {
  ULONG left = --owner_->references_;
  if (left == 0) delete owner_;
  return left;
}

HRESULT ServiceObject::QueryInterface(REFIID riid, void** ppv) { return outer_->QueryInterface(riid, ppv); }
ULONG ServiceObject::AddRef() { return outer_->AddRef(); }
ULONG ServiceObject::Release() { return outer_->Release(); }

HRESULT ServiceObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_ICPServices) ? S_OK : S_FALSE;
}

// ---- IDispatch ------------------------------------------------------------------------------

HRESULT ServiceObject::GetTypeInfoCount(UINT* pctinfo) { return dispatch_type_info_count(pctinfo); }

HRESULT ServiceObject::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  return dispatch_type_info(iTInfo, lcid, ppTInfo);
}

HRESULT ServiceObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                     DISPID* rgDispId) {
  return dispatch_ids_of_names(riid, rgszNames, cNames, lcid, rgDispId);
}

HRESULT ServiceObject::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                              UINT* puArgErr) {
  return dispatch_invoke(this, dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult,
                         pExcepInfo, puArgErr);
}

// ---- Messages and aliases -------------------------------------------------------------------

HRESULT ServiceObject::GetErrorMsg(HRESULT hrErrCode, BSTR* pbstrMsg) {
  return guarded([&]() -> HRESULT {
    // Severity and facility are ignored: the low 16 bits less 0x900 name the message.
    const int32_t id = static_cast<int32_t>(static_cast<uint32_t>(hrErrCode) & 0xFFFFu) - 0x900;
    BSTR message = nullptr;
#if defined(_WIN32)
    if (!win::load_message(id, &message)) return S_FALSE;  // from the library's string table
#else
    const char* text = message_text(id);
    if (!text) return S_FALSE;
    message = bstr_from_narrow(text);
    if (!message) raise(err::kNoStorage);
#endif
    if (!pbstrMsg) {
      SysFreeString(message);
      return E_POINTER;
    }
    *pbstrMsg = message;
    return S_OK;
  });
}

HRESULT ServiceObject::GetValidAliasCharSet(VARIANT* pvarAliasCharSet) {
  return guarded([&]() -> HRESULT {
    if (!pvarAliasCharSet) return E_POINTER;
    // Built from the range row of the alias character: lower bound the minimum (32) and as many
    // elements as the maximum (219); element i holds i up to the maximum, the rest 0.
    const RangeRow& row = gen1_range(kAliasCharacter);
    const LONG lower = static_cast<LONG>(row.minimum);
    const ULONG count = static_cast<ULONG>(row.maximum);
    ScopedArray array(SafeArrayCreateVector(VT_UI1, lower, count));
    if (!array.get()) raise(err::kNoStorage);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array.get(), &data))) raise(err::kNoStorage);
    BYTE* bytes = static_cast<BYTE*>(data);
    for (ULONG k = 0; k < count; ++k) {
      const LONG index = lower + static_cast<LONG>(k);
      bytes[k] = index < static_cast<LONG>(row.maximum) ? static_cast<BYTE>(index) : 0;
    }
    SafeArrayUnaccessData(array.get());
    pvarAliasCharSet->vt = VT_ARRAY | VT_UI1;
    pvarAliasCharSet->parray = array.release();
    return S_OK;
  });
}

HRESULT ServiceObject::ValidateAlias(BSTR bstrAlias) {
  return guarded([&]() -> HRESULT {
    check_alias(narrow_from_bstr(bstrAlias));
    return S_OK;
  });
}

// ---- Defaults for what a generation does not serve ------------------------------------------

HRESULT ServiceObject::GetRangeInfo(LONG, double*, double*, double*) { return E_NOTIMPL; }
HRESULT ServiceObject::GetBlockData(LONG, VARIANT*) { return unsupported_block(); }
HRESULT ServiceObject::SetBlockData(LONG, VARIANT*) { return unsupported_block(); }
HRESULT ServiceObject::GetCurrentListQuantity(LONG, BYTE*) { return unsupported_block(); }
HRESULT ServiceObject::AddList(LONG, BYTE*) { return unsupported_block(); }
HRESULT ServiceObject::DeleteList(LONG, BYTE) { return unsupported_block(); }
HRESULT ServiceObject::GetCurrentListMemberQuantity(LONG, BYTE, BYTE*) { return unsupported_block(); }
HRESULT ServiceObject::AddListMember(LONG, BYTE, BYTE*) { return unsupported_block(); }
HRESULT ServiceObject::DeleteListMember(LONG, BYTE, BYTE) { return unsupported_block(); }
HRESULT ServiceObject::GetFieldAt(LONG, LONG, BYTE, VARIANT*) { return unsupported_block(); }
HRESULT ServiceObject::SetFieldAt(LONG, BYTE, VARIANT) { return unsupported_block(); }
HRESULT ServiceObject::GetSubFieldAt(LONG, LONG, BYTE, BYTE, VARIANT*) { return unsupported_block(); }
HRESULT ServiceObject::SetSubFieldAt(LONG, BYTE, BYTE, VARIANT) { return unsupported_block(); }
HRESULT ServiceObject::MoveList(LONG, BYTE, BYTE) { return unsupported_block(); }
HRESULT ServiceObject::MoveListMember(LONG, BYTE, BYTE, BYTE) { return unsupported_block(); }

// The radio link is not built yet.
HRESULT ServiceObject::ReadDevice(IUnknown*, ULONG, IUnknown*) { return E_NOTIMPL; }
HRESULT ServiceObject::WriteDevice(IUnknown*, ULONG, IUnknown*, ICPServices*) { return E_NOTIMPL; }
HRESULT ServiceObject::CloneDevice(IUnknown*, ULONG, IUnknown*) { return E_NOTIMPL; }
HRESULT ServiceObject::ImportOBD(BSTR) { return E_NOTIMPL; }
HRESULT ServiceObject::GetUpdInfo(IUnknown*, ULONG, BYTE*, BYTE*, VARIANT*) { return E_NOTIMPL; }
HRESULT ServiceObject::Copy(ICPServices*) { return E_NOTIMPL; }
HRESULT ServiceObject::ResetDevice(IUnknown*, ULONG) { return E_NOTIMPL; }

}  // namespace cps
