#include "interface/cp_services.h"

#include "device/flows.h"
#include "interface/guard.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "values/range_table.h"
#include "values/variant_codec.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace cps {

namespace {

// The block methods, as bits of a row's method set.
enum Method : uint16_t {
  G = 1 << 0,   // GetBlockData
  S = 1 << 1,   // SetBlockData
  F = 1 << 2,   // GetFieldAt
  f = 1 << 3,   // SetFieldAt
  Q = 1 << 4,   // GetCurrentListQuantity
  A = 1 << 5,   // AddList
  D = 1 << 6,   // DeleteList
  M = 1 << 7,   // MoveList
  m = 1 << 8,   // GetCurrentListMemberQuantity
  a = 1 << 9,   // AddListMember
  d = 1 << 10,  // DeleteListMember
  g = 1 << 11,  // GetSubFieldAt
  s = 1 << 12,  // SetSubFieldAt
  v = 1 << 13,  // MoveListMember
};

// What a handler is given before SetBlockData.
enum class Prep : uint8_t { None, Mobile, Version, MobileAndVersion };

constexpr uint16_t kRecord = G | S | F | f;
constexpr uint16_t kList = kRecord | Q | A | D | M;
constexpr uint16_t kAll = kList | m | a | d | g | s | v;
constexpr uint16_t kMembers = G | S | Q | A | D | m | g | s | v;

constexpr int32_t kMobileField = 66;          // of block 2
constexpr int32_t kVersionField = 103;        // of block 4
constexpr int32_t kRegionField = 99;          // of block 3
constexpr int32_t kModelField = 84;           // of block 3
constexpr int32_t kAccessoryPins = 19;        // not stored on a mobile radio
constexpr int32_t kChannelList = 38;
constexpr int32_t kChannelListToo = 39;

}  // namespace

struct CPServices::Row {
  std::array<int32_t, 3> ids;
  RecordKind kind;
  uint16_t methods;
  Prep prep;
  // The blocks a deletion in this block may adjust (their own rules say how).
  std::array<int32_t, 12> partners;
};

namespace {

using K = RecordKind;

// Every block the first generation serves: its IDs, record kind, accepted methods, preparation
// before SetBlockData, and the blocks a list deletion hands along.
constexpr CPServices::Row kRows[] = {
    {{1}, K::Fields, G | S, Prep::None, {}},
    {{2}, K::Block, kRecord, Prep::Version, {}},
    {{3}, K::Block, kRecord, Prep::Mobile, {}},
    {{4}, K::Block, kRecord, Prep::None, {}},
    {{5}, K::Block, kRecord, Prep::MobileAndVersion, {}},
    {{6}, K::Lists, kAll, Prep::MobileAndVersion, {}},
    {{8}, K::Block, kRecord, Prep::MobileAndVersion, {}},
    {{9, 10}, K::Block, kRecord | Q | M, Prep::MobileAndVersion, {}},
    {{11, 658}, K::Block, kList, Prep::Mobile, {453, 38, 3, 2, 32}},
    {{12, 13, 468}, K::Lists, kAll, Prep::MobileAndVersion, {38, 3, 2, 32, 12}},
    {{15}, K::Block, kRecord, Prep::Mobile, {}},
    {{16}, K::Block, kRecord, Prep::Mobile, {}},
    {{17}, K::Lists, G | S | F | Q | m, Prep::Mobile, {}},
    {{19}, K::Block, kRecord, Prep::None, {}},
    {{20}, K::Block, kRecord, Prep::Mobile, {}},
    {{22}, K::Block, kRecord, Prep::Mobile, {}},
    {{23}, K::Block, kList, Prep::Mobile, {}},
    {{24}, K::Block, kList, Prep::Mobile, {453, 23}},
    {{25}, K::Block, kList, Prep::Mobile, {453, 23}},
    {{26}, K::Block, kList, Prep::Mobile, {453, 23}},
    {{29}, K::Block, kList, Prep::Mobile, {}},
    {{30}, K::Block, kRecord, Prep::Mobile, {}},
    {{32, 33}, K::Block, kList, Prep::MobileAndVersion, {453, 6, 12, 2, 3, 38, 5, 11, 40, 8, 24}},
    {{34, 35}, K::Lists, kMembers, Prep::Mobile, {36, 3, 2, 34}},
    {{36, 741}, K::Lists, kMembers, Prep::Mobile, {32, 453, 6, 12, 2, 3, 38, 5, 11, 40, 8, 24}},
    {{37, 742}, K::Lists, kList | m, Prep::Mobile, {32, 453, 6, 12, 2, 3, 38, 5, 11, 40, 8, 24}},
    {{38, 39}, K::Block, kList, Prep::MobileAndVersion, {453, 6, 12, 25, 3, 2, 5, 40, 26, 32, 8, 24}},
    {{40}, K::Block, kRecord, Prep::Mobile, {}},
    {{41, 466}, K::Block, kList, Prep::MobileAndVersion, {32, 2, 453, 38, 3, 24, 41}},
    {{42, 467}, K::Block, kList, Prep::Mobile, {453, 38, 25, 3, 2}},
    {{43, 657}, K::Block, kList, Prep::Mobile, {453, 38, 26, 3, 2}},
    {{453}, K::Fields, G | S | F, Prep::Version, {}},
    {{454}, K::Fields, G | S, Prep::Version, {}},
    {{759, 760}, K::Block, kList, Prep::Mobile, {32, 2, 453, 38, 3, 5, 759}},
    {{761, 762}, K::Block, kList, Prep::Mobile, {32, 2, 453, 38, 3, 761}},
};

bool has_id(const CPServices::Row& row, int32_t id) {
  return std::find(row.ids.begin(), row.ids.end(), id) != row.ids.end() && id != 0;
}

template <class T>
HRESULT put(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

// The blocks a deletion may reach: only the partners of the deleting block's row, and whether
// the codeplug enables them.
class CPServices::Partners final : public BlockDirectory {
 public:
  Partners(CPServices& owner, const Row& row) : owner_(owner), row_(row) {}

  BlockHandler* find(int32_t block_id) override {
    if (std::find(row_.partners.begin(), row_.partners.end(), block_id) == row_.partners.end())
      return nullptr;
    if (block_id == 2) return &owner_.block2_;
    if (block_id == 3) return &owner_.block3_;
    BlockHandler* handler = owner_.codeplug_.handler(block_id);
    if (handler) handler->base.radio = owner_.codeplug_.radio_facts(owner_.block3_, owner_.block2_);
    return handler;
  }
  bool enabled(int32_t block_id) override { return owner_.codeplug_.enabled(block_id); }

 private:
  CPServices& owner_;
  const Row& row_;
};

CPServices::CPServices(IUnknown* outer) : ServiceObject(outer), models_(load_model_config()) {
  // A new object holds every block's default content, laid out for the default codeplug version
  // and the default radio kind.
  const std::string version = version_text();
  block2_.base.version = version;
  block2_.build_default();
  const uint8_t mobile = mobile_flag();
  block3_.base.mobile = mobile;
  block3_.build_default();
  codeplug_.base.version = version;
  codeplug_.base.mobile = mobile;
  codeplug_.fixed_spacing_models = models_.fixed_spacing;
  codeplug_.set_radio(codeplug_.radio_facts(block3_, block2_));
  codeplug_.reset();
}

// ---- Dispatch -------------------------------------------------------------------------------

const CPServices::Row& CPServices::row_for(LONG block_id, uint16_t method) const {
  for (const Row& row : kRows)
    if (has_id(row, block_id)) {
      if (!(row.methods & method)) break;
      return row;
    }
  raise(err::kBlockNotSupported);
}

BlockHandler& CPServices::handler_for(const Row& row, LONG block_id) {
  BlockHandler* handler = nullptr;
  if (block_id == 1)
    handler = &codeplug_;
  else if (block_id == 2)
    handler = &block2_;
  else if (block_id == 3)
    handler = &block3_;
  else
    handler = codeplug_.handler(block_id);
  if (!handler || handler->kind() != row.kind) raise(err::kBlockNotSupported);
  // The codeplug's blocks check and build their records against the radio as it is now.
  if (block_id > 3) handler->base.radio = codeplug_.radio_facts(block3_, block2_);
  return *handler;
}

uint8_t CPServices::mobile_flag() const {
  return block2_.block().get_entry_field(0, kMobileField).value == "Mobile" ? 1 : 0;
}

std::string CPServices::version_text() const {
  return codeplug_.programming_record().block().get_entry_field(0, kVersionField).value.substr(0, 2);
}

void CPServices::prepare(const Row& row, BlockHandler& handler) {
  if (row.prep == Prep::Mobile || row.prep == Prep::MobileAndVersion) handler.base.mobile = mobile_flag();
  if (row.prep == Prep::Version || row.prep == Prep::MobileAndVersion) handler.base.version = version_text();
}

void CPServices::update_market_class(bool consult_region) {
  const FieldList identity = block3_.block().entry(0);
  int32_t market_class = 0;
  if (consult_region && identity.text(kRegionField) == "Japan")
    market_class = 2;
  else if (models_.is_market_class_1(identity.text(kModelField)))
    market_class = 1;
  codeplug_.set_market_class(market_class);
  block2_.base.market_class = market_class;
  block3_.base.market_class = market_class;
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
    if (lBlockID == kAccessoryPins && mobile_flag() == 1) return S_OK;  // a mobile has no pins
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
        handler.set_lists(record);
        break;
      }
    }
    if (lBlockID == 3) update_market_class(true);
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
    if (lBlockID == kChannelList || lBlockID == kChannelListToo) handler.base.version = version_text();
    return put(pbListIndex, static_cast<BYTE>(handler.add_list() & 0xFF));
  });
}

HRESULT CPServices::DeleteList(LONG lBlockID, BYTE bListIndex) {
  return guarded([&]() -> HRESULT {
    const Row& row = row_for(lBlockID, D);
    BlockHandler& handler = handler_for(row, lBlockID);
    Partners partners(*this, row);
    handler.delete_list(bListIndex, partners);
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
    handler_for(row, lBlockID).delete_member(bListIndex, bMemIndex);
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
    if (lBlockID == 3) update_market_class(true);
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
    Partners partners(*this, row);
    handler.set_member_field(bListIndex, bMemIndex, decode_field(varFieldData), partners);
    return S_OK;
  });
}

// ---- The radio ------------------------------------------------------------------------------

HRESULT CPServices::ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return guarded([&] { return read_device(*this, piorbexService, ulORBEXHandle, picpdProgDlg); });
}

HRESULT CPServices::WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg,
                                ICPServices* pDestCP) {
  return guarded([&] { return write_device(*this, piorbexService, ulORBEXHandle, picpdProgDlg, pDestCP); });
}

HRESULT CPServices::CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return guarded([&] { return clone_device(*this, piorbexServices, ulORBEXHandle, picpdProgDlg); });
}

HRESULT CPServices::ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) {
  return guarded([&] { return reset_device(piorbexService, ulORBEXHandle); });
}

HRESULT CPServices::GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle, BYTE* pblSameSerial,
                               BYTE* pblSameModel, VARIANT* bUpd) {
  return guarded([&] {
    return get_upd_info(*this, piorbexServices, ulORBEXHandle, pblSameSerial, pblSameModel, bUpd);
  });
}

HRESULT CPServices::Copy(ICPServices* picpServices) {
  return guarded([&] { return copy_from(*this, picpServices); });
}

HRESULT CPServices::ImportOBD(BSTR pObdFileName) {
  return guarded([&] { return import_obd(*this, file_name_from_bstr(pObdFileName)); });
}

}  // namespace cps
