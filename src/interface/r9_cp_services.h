// R9CPServices: the service object of the second radio generation, whose codeplug is a header
// followed by self-describing blocks. It owns an R9 radio (the codeplug with one handler per
// block, the radio type and the model table from the configuration's "gen2" rows) and
// dispatches every block method by block ID through the second generation's registry.
#pragma once

#include "gen2/block_table.h"
#include "gen2/device/flows.h"
#include "interface/model_config.h"
#include "interface/service_object.h"

namespace cps {

class R9CPServices : public ServiceObject {
 public:
  explicit R9CPServices(IUnknown* outer);

  HRESULT STDMETHODCALLTYPE GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax,
                                         double* pdStep) override;
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) override;
  HRESULT STDMETHODCALLTYPE SetBlockData(LONG lBlockID, VARIANT* pvarBlockData) override;
  HRESULT STDMETHODCALLTYPE GetCurrentListQuantity(LONG lBlockID, BYTE* pbQuant) override;
  HRESULT STDMETHODCALLTYPE AddList(LONG lBlockID, BYTE* pbListIndex) override;
  HRESULT STDMETHODCALLTYPE DeleteList(LONG lBlockID, BYTE bListIndex) override;
  HRESULT STDMETHODCALLTYPE GetFieldAt(LONG lBlockID, LONG lFieldID, BYTE bIndex,
                                       VARIANT* pvarFieldData) override;
  HRESULT STDMETHODCALLTYPE SetFieldAt(LONG lBlockID, BYTE bIndex, VARIANT varFieldData) override;
  HRESULT STDMETHODCALLTYPE MoveList(LONG lBlockID, BYTE bFromListIndex, BYTE bToListIndex) override;
  // The member and sub-field methods stay the base's: 110 for every argument.

  HRESULT STDMETHODCALLTYPE ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                       IUnknown* picpdProgDlg) override;
  HRESULT STDMETHODCALLTYPE WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle,
                                        IUnknown* picpdProgDlg, ICPServices* pDestCP) override;
  HRESULT STDMETHODCALLTYPE CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                        IUnknown* picpdProgDlg) override;
  HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) override;
  HRESULT STDMETHODCALLTYPE GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                       BYTE* pblSameSerial, BYTE* pblSameModel,
                                       VARIANT* bUpd) override;
  HRESULT STDMETHODCALLTYPE Copy(ICPServices* picpServices) override;
  HRESULT STDMETHODCALLTYPE ImportOBD(BSTR pObdFileName) override;

  // For the flows' tests.
  gen2::R9Radio& radio() { return radio_; }
  gen2::R9Codeplug& codeplug() { return radio_.codeplug; }

 private:
  // The registry row of a block ID; 110 for an ID the method does not serve.
  static const gen2::R9Block& row_for(LONG block_id, uint16_t method);
  void set_whole_image(const VARIANT& data);

  ModelConfig models_;
  gen2::R9Radio radio_;
};

}  // namespace cps
