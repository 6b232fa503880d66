#include "interface/cp_services.h"

#include "gen1/device/flows.h"
#include "interface/guard.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "gen1/values/range_table.h"
#include "engine/variant_codec.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace cps {

namespace {

using namespace method;
using K = RecordKind;
using Row = Gen1Block;

template <class T>
HRESULT put(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

CPServices::CPServices(IUnknown* outer)
    : ServiceObject(outer), models_(load_model_config()), radio_(models_.market_class_1, models_.fixed_spacing), directory_(radio_) {}

// ---- Dispatch -------------------------------------------------------------------------------

const Gen1Block& CPServices::row_for(LONG block_id, uint16_t method) const {
  const Gen1Block* row = gen1_block(block_id);
  const Gen1Region* region = row ? row->region(block_id) : nullptr;
  if (!region || !(region->methods & method)) raise(err::kBlockNotSupported);
  return *row;
}

BlockHandler& CPServices::handler_for(const Row& row, LONG block_id) {
  BlockHandler* handler = directory_.find(block_id);
  if (!handler || handler->kind() != row.kind) raise(err::kBlockNotSupported);
  return *handler;
}

void CPServices::prepare(const Row& row, BlockHandler& handler) {
  if (gets_mobile(row.prep)) handler.base.mobile = radio_.mobile_flag();
  if (gets_version(row.prep)) handler.base.version = radio_.version_text();
}

// ---- Methods without a block ----------------------------------------------------------------

HRESULT CPServices::GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax, double* pdStep) {
  return guarded([&]() -> HRESULT {
    const RangeRow& row = gen1_range(lFieldID);  // 104 leaves the outputs untouched
    if (!pdMin || !pdMax || !pdStep) return E_POINTER;
    *pdMin = row.minimum;
    *pdMax = row.maximum;
    *pdStep = row.step;
    return S_OK;
  });
}

// ---- Whole blocks ---------------------------------------------------------------------------

HRESULT CPServices::GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, G);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pvarBlockData) return E_POINTER;
    ScopedVariant encoded;
    switch (row.kind) {
      case K::Fields: encode_field_list(handler.fields(), encoded.get()); break;
      case K::Block: encode_block_record(handler.block(), encoded.get()); break;
      case K::Lists: encode_list_block_record(handler.lists(), encoded.get()); break;
    }
    encoded.release_to(pvarBlockData);
    return S_OK;
  });
}

HRESULT CPServices::SetBlockData(LONG lBlockID, VARIANT* pvarBlockData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, S);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pvarBlockData) return E_POINTER;
    prepare(row, handler);
    if (row.portable_only && radio_.mobile_flag() == 1) return S_OK;  // stored only on a portable
    switch (row.kind) {
      case K::Fields: {
        FieldList fields;
        decode_field_list(*pvarBlockData, fields);
        handler.set_fields(fields);
        break;
      }
      case K::Block: {
        BlockRecord record;
        decode_block_record(*pvarBlockData, record);
        handler.set_block_from(std::move(record));
        break;
      }
      case K::Lists: {
        ListBlockRecord record;
        decode_list_block_record(*pvarBlockData, record);
        handler.set_lists_from(std::move(record));
        break;
      }
    }
    if (row.sets_market_class) radio_.update_market_class(true);
    if (row.radio_source) radio_.refresh_facts();
    return S_OK;
  });
}

// ---- Lists ----------------------------------------------------------------------------------

HRESULT CPServices::GetCurrentListQuantity(LONG lBlockID, BYTE* pbQuant) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, Q);
    BlockHandler& handler = handler_for(row, lBlockID);
    const size_t count = row.kind == K::Lists ? handler.lists().list_count() : handler.block().entry_count();
    return put(pbQuant, static_cast<BYTE>(count & 0xFF));
  });
}

HRESULT CPServices::AddList(LONG lBlockID, BYTE* pbListIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, A);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pbListIndex) return E_POINTER;
    if (row.version_on_add) handler.base.version = radio_.version_text();
    return put(pbListIndex, static_cast<BYTE>(handler.add_list() & 0xFF));
  });
}

HRESULT CPServices::DeleteList(LONG lBlockID, BYTE bListIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, D);
    BlockHandler& handler = handler_for(row, lBlockID);
    handler.delete_list(bListIndex, directory_);
    return S_OK;
  });
}

HRESULT CPServices::MoveList(LONG lBlockID, BYTE bFromListIndex, BYTE bToListIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, M);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (row.kind == K::Lists) {
      ListBlockRecord record = handler.lists();
      record.move_list(bFromListIndex, bToListIndex);
      handler.set_lists(record);
    } else {
      BlockRecord record = handler.block();
      record.move_entry(bFromListIndex, bToListIndex);
      handler.set_block(record);
    }
    return S_OK;
  });
}

HRESULT CPServices::GetCurrentListMemberQuantity(LONG lBlockID, BYTE bListIndex, BYTE* pbMemQuant) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, m);
    BlockHandler& handler = handler_for(row, lBlockID);
    return put(pbMemQuant, static_cast<BYTE>(handler.lists().member_count(bListIndex) & 0xFF));
  });
}

HRESULT CPServices::AddListMember(LONG lBlockID, BYTE bListIndex, BYTE* pbMemIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, a);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pbMemIndex) return E_POINTER;
    return put(pbMemIndex, static_cast<BYTE>(handler.add_member(bListIndex) & 0xFF));
  });
}

HRESULT CPServices::DeleteListMember(LONG lBlockID, BYTE bListIndex, BYTE bMemIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, d);
    handler_for(row, lBlockID).delete_member(bListIndex, bMemIndex, directory_);
    return S_OK;
  });
}

HRESULT CPServices::MoveListMember(LONG lBlockID, BYTE bListIndex, BYTE bFromMemIndex, BYTE bToMemIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, v);
    BlockHandler& handler = handler_for(row, lBlockID);
    ListBlockRecord record = handler.lists();
    record.list(bListIndex).move_entry(bFromMemIndex, bToMemIndex);
    handler.set_lists(record);
    return S_OK;
  });
}

// ---- Fields ---------------------------------------------------------------------------------

HRESULT CPServices::GetFieldAt(LONG lBlockID, LONG lFieldID, BYTE bIndex, VARIANT* pvarFieldData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, F);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pvarFieldData) return E_POINTER;
    FieldValue field;
    switch (row.kind) {
      case K::Fields: field = handler.fields().get(lFieldID); break;  // the index plays no part
      case K::Block: field = handler.block().get_entry_field(bIndex, lFieldID); break;
      case K::Lists: field = handler.lists().get_list_header_field(bIndex, lFieldID); break;
    }
    ScopedVariant encoded;
    encode_field(field, encoded.get());
    encoded.release_to(pvarFieldData);
    return S_OK;
  });
}

HRESULT CPServices::SetFieldAt(LONG lBlockID, BYTE bIndex, VARIANT varFieldData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, f);
    BlockHandler& handler = handler_for(row, lBlockID);
    handler.set_field(bIndex, decode_field(varFieldData));
    if (row.sets_market_class) radio_.update_market_class(true);
    if (row.radio_source) radio_.refresh_facts();
    return S_OK;
  });
}

HRESULT CPServices::GetSubFieldAt(LONG lBlockID, LONG lFieldID, BYTE bListIndex, BYTE bMemIndex,
                                  VARIANT* pvarFieldData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, g);
    BlockHandler& handler = handler_for(row, lBlockID);
    if (!pvarFieldData) return E_POINTER;
    ScopedVariant encoded;
    encode_field(handler.lists().get_member_field(bListIndex, bMemIndex, lFieldID), encoded.get());
    encoded.release_to(pvarFieldData);
    return S_OK;
  });
}

HRESULT CPServices::SetSubFieldAt(LONG lBlockID, BYTE bListIndex, BYTE bMemIndex, VARIANT varFieldData) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, s);
    BlockHandler& handler = handler_for(row, lBlockID);
    handler.set_member_field(bListIndex, bMemIndex, decode_field(varFieldData), directory_);
    return S_OK;
  });
}

// ---- The radio ------------------------------------------------------------------------------

// A flow may have replaced blocks 2, 3, 5 and 453, successfully or part-way: the blocks read
// the radio as it now is.
HRESULT CPServices::after_flow(HRESULT result) {
  radio_.refresh_facts();
  return result;
}

HRESULT CPServices::ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return after_flow(guarded([&] { return read_device(radio_, piorbexService, ulORBEXHandle, picpdProgDlg); }));
}

HRESULT CPServices::WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg,
                                ICPServices* pDestCP) {
  return after_flow(guarded([&] { return write_device(radio_, piorbexService, ulORBEXHandle, picpdProgDlg, pDestCP); }));
}

HRESULT CPServices::CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return after_flow(guarded([&] { return clone_device(radio_, piorbexServices, ulORBEXHandle, picpdProgDlg); }));
}

HRESULT CPServices::ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) {
  return guarded([&] { return reset_device(piorbexService, ulORBEXHandle); });
}

HRESULT CPServices::GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle, BYTE* pblSameSerial,
                               BYTE* pblSameModel, VARIANT* bUpd) {
  return guarded([&] {
    return get_upd_info(radio_, piorbexServices, ulORBEXHandle, pblSameSerial, pblSameModel, bUpd);
  });
}

HRESULT CPServices::Copy(ICPServices* picpServices) {
  return guarded([&] { return copy_from(*this, picpServices); });
}

HRESULT CPServices::ImportOBD(BSTR pObdFileName) {
  return guarded([&] { return import_obd(radio_, file_name_from_bstr(pObdFileName)); });
}

}  // namespace cps
