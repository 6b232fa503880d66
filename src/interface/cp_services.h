// CPServices: the service object of the first radio generation. It owns a first-generation radio
// (the codeplug container with the handlers of the codeplug's blocks, and the two blocks the
// radio keeps outside the codeplug image: block 2, radio information; block 3, radio identity),
// and dispatches every block method by block ID through one table.
#pragma once

#include "gen1/block_directory.h"
#include "gen1/block_table.h"
#include "gen1/radio.h"
#include "interface/model_config.h"
#include "interface/service_object.h"

namespace cps {

class CPServices : public ServiceObject {
 public:
  explicit CPServices(IUnknown* outer);

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
  HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) override;
  HRESULT STDMETHODCALLTYPE GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle,
                                       BYTE* pblSameSerial, BYTE* pblSameModel,
                                       VARIANT* bUpd) override;
  HRESULT STDMETHODCALLTYPE Copy(ICPServices* picpServices) override;
  HRESULT STDMETHODCALLTYPE ImportOBD(BSTR pObdFileName) override;

  // For the device flows and tests.
  Gen1Radio& radio() { return radio_; }
  Codeplug& codeplug() { return radio_.codeplug; }
  RadioInfo& radio_info() { return radio_.block2; }
  RadioIdentity& radio_identity() { return radio_.block3; }
  int32_t market_class() const { return radio_.market_class(); }
  const ModelConfig& models() const { return models_; }

 private:
  // The registry row of a block ID; 110 for an ID the method does not serve.
  const Gen1Block& row_for(LONG block_id, uint16_t method) const;
  BlockHandler& handler_for(const Gen1Block& row, LONG block_id);  // 110 while the block is not built
  void prepare(const Gen1Block& row, BlockHandler& handler);
  HRESULT after_flow(HRESULT result);

  ModelConfig models_;
  Gen1Radio radio_;
  Gen1Directory directory_;  // every block of radio_ by ID
};

}  // namespace cps
