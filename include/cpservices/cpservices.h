// The codeplug services component: the ICPServices automation interface, its two classes,
// and the host-side device-services and progress-dialog objects that the component borrows.
#pragma once

#include <cpservices/oleauto.h>

extern "C" const CLSID CLSID_CPServices;
extern "C" const CLSID CLSID_R9CPServices;
extern "C" const IID IID_ICPServices;
extern "C" const GUID LIBID_VARNOCPSERVICESLib;

struct ICPServices : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                               IUnknown* picpdProgDlg) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                                IUnknown* picpdProgDlg, ICPServices* pDestCP) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetErrorMsg(HRESULT hrErrCode, BSTR* pbstrMsg) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetValidAliasCharSet(VARIANT* pvarAliasCharSet) = 0;
  virtual HRESULT STDMETHODCALLTYPE ValidateAlias(BSTR bstrAlias) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax,
                                                 double* pdStep) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBlockData(LONG lBlockID, VARIANT* pvarBlockData) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentListQuantity(LONG lBlockID, BYTE* pbQuant) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddList(LONG lBlockID, BYTE* pbListIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteList(LONG lBlockID, BYTE bListIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentListMemberQuantity(LONG lBlockID, BYTE bListIndex,
                                                                 BYTE* pbMemQuant) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddListMember(LONG lBlockID, BYTE bListIndex,
                                                  BYTE* pbMemIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteListMember(LONG lBlockID, BYTE bListIndex,
                                                     BYTE bMemIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFieldAt(LONG lBlockID, LONG lFieldID, BYTE bIndex,
                                               VARIANT* pvarFieldData) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFieldAt(LONG lBlockID, BYTE bIndex,
                                               VARIANT varFieldData) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSubFieldAt(LONG lBlockID, LONG lFieldID, BYTE bListIndex,
                                                  BYTE bMemIndex, VARIANT* pvarFieldData) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSubFieldAt(LONG lBlockID, BYTE bListIndex, BYTE bMemIndex,
                                                  VARIANT varFieldData) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveList(LONG lBlockID, BYTE bFromListIndex,
                                             BYTE bToListIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveListMember(LONG lBlockID, BYTE bListIndex,
                                                   BYTE bFromMemIndex, BYTE bToMemIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                                IUnknown* picpdProgDlg) = 0;
  virtual HRESULT STDMETHODCALLTYPE ImportOBD(BSTR pObdFileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                               BYTE* pblSameSerial, BYTE* pblSameModel,
                                               VARIANT* bUpd) = 0;
  virtual HRESULT STDMETHODCALLTYPE Copy(ICPServices* picpServices) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* piorbexService,
                                                ULONG ulORBEXHandle) = 0;

 protected:
  ~ICPServices() = default;
};

// The host's device-services object; the host passes reinterpret_cast<IUnknown*>(IORBEXServicesDLL*).
class IORBEXServicesDLL {
 public:
  virtual HRESULT ReadDeviceVirtualAddress(ULONG ulHandle, USHORT usLength, USHORT usAddress,
                                           BYTE* pbBuffer, ULONG ulReserved) = 0;
  virtual HRESULT WriteDeviceVirtualAddress(ULONG ulHandle, USHORT usLength, USHORT usAddress,
                                            BYTE* pbData) = 0;
  virtual HRESULT IoControl(ULONG ulHandle, BSTR bstrCommand, VARIANT* pvarData) = 0;

 protected:
  ~IORBEXServicesDLL() = default;
};

// The host's progress dialog; passed as reinterpret_cast<IUnknown*>(ICPDProgressDlg*), may be null.
class ICPDProgressDlg {
 public:
  virtual void SetRange(int nLower, int nUpper) = 0;
  virtual void SetStep(int nStep) = 0;
  virtual void StepIt() = 0;

 protected:
  ~ICPDProgressDlg() = default;
};

// Creation, as a host does it: DllGetClassObject(CLSID, IID_IClassFactory, &factory), then
// factory->CreateInstance(nullptr, IID_ICPServices, &object).
extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow();
