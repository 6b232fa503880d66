// What both component classes share: reference counting with optional aggregation, the
// interfaces they answer, and the methods that need no codeplug (messages and aliases).
#pragma once

#include <cpservices/cpservices.h>

#include <atomic>

namespace cps {

class ServiceObject : public ICPServices, public ISupportErrorInfo {
 public:
  // `outer` is the controlling unknown when the object is aggregated, else nullptr.
  explicit ServiceObject(IUnknown* outer);
  virtual ~ServiceObject();
  ServiceObject(const ServiceObject&) = delete;
  ServiceObject& operator=(const ServiceObject&) = delete;

  // The non-delegating IUnknown: what the class factory hands out first, and what an
  // aggregating object holds.
  IUnknown* inner_unknown() { return &inner_; }

  // IUnknown, delegating to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ISupportErrorInfo: S_OK for ICPServices only.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IDispatch: late binding of ICPServices (interface/dispatch.h).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // The methods that need no codeplug.
  HRESULT STDMETHODCALLTYPE GetErrorMsg(HRESULT hrErrCode, BSTR* pbstrMsg) override;
  HRESULT STDMETHODCALLTYPE GetValidAliasCharSet(VARIANT* pvarAliasCharSet) override;
  HRESULT STDMETHODCALLTYPE ValidateAlias(BSTR bstrAlias) override;

  // A generation overrides what it serves. Here: no block is served (110 for every block ID),
  // and the device methods and the range table are not there yet (E_NOTIMPL).
  HRESULT STDMETHODCALLTYPE GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax,
                                         double* pdStep) override;
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) override;
  HRESULT STDMETHODCALLTYPE SetBlockData(LONG lBlockID, VARIANT* pvarBlockData) override;
  HRESULT STDMETHODCALLTYPE GetCurrentListQuantity(LONG lBlockID, BYTE* pbQuant) override;
  HRESULT STDMETHODCALLTYPE AddList(LONG lBlockID, BYTE* pbListIndex) override;
  HRESULT STDMETHODCALLTYPE DeleteList(LONG lBlockID, BYTE bListIndex) override;
  HRESULT STDMETHODCALLTYPE GetCurrentListMemberQuantity(LONG lBlockID, BYTE bListIndex,
                                                         BYTE* pbMemQuant) override;
  HRESULT STDMETHODCALLTYPE AddListMember(LONG lBlockID, BYTE bListIndex, BYTE* pbMemIndex) override;
  HRESULT STDMETHODCALLTYPE DeleteListMember(LONG lBlockID, BYTE bListIndex, BYTE bMemIndex) override;
  HRESULT STDMETHODCALLTYPE GetFieldAt(LONG lBlockID, LONG lFieldID, BYTE bIndex,
                                       VARIANT* pvarFieldData) override;
  HRESULT STDMETHODCALLTYPE SetFieldAt(LONG lBlockID, BYTE bIndex, VARIANT varFieldData) override;
  HRESULT STDMETHODCALLTYPE GetSubFieldAt(LONG lBlockID, LONG lFieldID, BYTE bListIndex,
                                          BYTE bMemIndex, VARIANT* pvarFieldData) override;
  HRESULT STDMETHODCALLTYPE SetSubFieldAt(LONG lBlockID, BYTE bListIndex, BYTE bMemIndex,
                                          VARIANT varFieldData) override;
  HRESULT STDMETHODCALLTYPE MoveList(LONG lBlockID, BYTE bFromListIndex, BYTE bToListIndex) override;
  HRESULT STDMETHODCALLTYPE MoveListMember(LONG lBlockID, BYTE bListIndex, BYTE bFromMemIndex,
                                           BYTE bToMemIndex) override;

  HRESULT STDMETHODCALLTYPE ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                       IUnknown* picpdProgDlg) override;
  HRESULT STDMETHODCALLTYPE WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                        IUnknown* picpdProgDlg, ICPServices* pDestCP) override;
  HRESULT STDMETHODCALLTYPE CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                        IUnknown* picpdProgDlg) override;
  HRESULT STDMETHODCALLTYPE ImportOBD(BSTR pObdFileName) override;
  HRESULT STDMETHODCALLTYPE GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                       BYTE* pblSameSerial, BYTE* pblSameModel,
                                       VARIANT* bUpd) override;
  HRESULT STDMETHODCALLTYPE Copy(ICPServices* picpServices) override;
  HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) override;

 private:
  class Inner : public IUnknown {
   public:
    explicit Inner(ServiceObject* owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    ServiceObject* owner_;
  };

  Inner inner_;
  IUnknown* outer_;  // the controlling unknown: the aggregator, or inner_ itself
  std::atomic<ULONG> references_{1};
};

}  // namespace cps
