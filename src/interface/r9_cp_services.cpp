#include "interface/r9_cp_services.h"

#include "engine/variant_codec.h"
#include "gen2/values/range_table.h"
#include "interface/guard.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "platform/variant_change.h"

#include <vector>

namespace cps {

namespace {

using namespace method;
using gen2::R9Block;
using gen2::R9Shape;

template <class T>
HRESULT put(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// The model table's family code as a radio type: 0 gives 1, 1 gives 2, anything else none.
uint8_t radio_type_of(const std::vector<Gen2Model>& models, const std::string& model) {
  for (const Gen2Model& row : models)
    if (row.model == model) return row.family == 0 ? 1 : row.family == 1 ? 2 : 0;
  return 0;
}

constexpr int32_t kAddedToPresence = 2019;

}  // namespace

R9CPServices::R9CPServices(IUnknown* outer) : ServiceObject(outer), models_(load_model_config()) {
  radio_.radio_type_of = [this](const std::string& model) { return radio_type_of(models_.gen2, model); };
  std::vector<std::string> fixed_spacing;
  for (const Gen2Model& row : models_.gen2)
    if (row.fixed_spacing) fixed_spacing.push_back(row.model);
  radio_.codeplug.set_fixed_spacing_models(std::move(fixed_spacing));
}

const R9Block& R9CPServices::row_for(LONG block_id, uint16_t method) {
  const R9Block* row = gen2::r9_block(block_id);
  if (!row || !(row->methods & method)) raise(err::kBlockNotSupported);
  return *row;
}

// ---- Methods without a block ----------------------------------------------------------------

HRESULT R9CPServices::GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax, double* pdStep) {
  return guarded([&]() -> HRESULT {
    const RangeRow& row = gen2::range_row(lFieldID);  // 104 leaves the outputs untouched
    if (!pdMin || !pdMax || !pdStep) return E_POINTER;
    *pdMin = row.minimum;
    *pdMax = row.maximum;
    *pdStep = row.step;
    return S_OK;
  });
}

// ---- Whole blocks ---------------------------------------------------------------------------

HRESULT R9CPServices::GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) {
  return guarded([&]() -> HRESULT {
    const R9Block& row = row_for(lBlockID, G);
    ScopedVariant encoded;
    if (row.shape == R9Shape::Record)
      encode_field_list(radio_.codeplug.directory(lBlockID).get_record(), encoded.get());
    else
      encode_block_record(radio_.codeplug.list(lBlockID).get_record(), encoded.get());
    if (!pvarBlockData) return E_POINTER;
    encoded.release_to(pvarBlockData);
    return S_OK;
  });
}

HRESULT R9CPServices::SetBlockData(LONG lBlockID, VARIANT* pvarBlockData) {
  return guarded([&]() -> HRESULT {
    const R9Block& row = row_for(lBlockID, S);
    if (!pvarBlockData) return E_POINTER;
    switch (row.shape) {
      case R9Shape::Record: {
        FieldList fields;
        decode_field_list(*pvarBlockData, fields);
        radio_.codeplug.directory(lBlockID).set_record(fields);
        break;
      }
      case R9Shape::List: {
        gen2::R9ListBlock& block = radio_.codeplug.list(lBlockID);
        BlockRecord record;
        decode_block_record(*pvarBlockData, record);
        block.set_record(record);
        // The codeplug's major version as the host set it is every block's codeplug version.
        const BlockRecord& stored = block.record();
        if (row.sets_version && stored.entry_count() > 0)
          radio_.codeplug.set_codeplug_version(stored.entry(0).text(gen2::info::kMajor));
        break;
      }
      case R9Shape::Image: set_whole_image(*pvarBlockData); break;
    }
    return S_OK;
  });
}

// Each element in index order, fetched as one byte. A VARIANT without an array, or with bounds
// that cannot be read, changes nothing.
void R9CPServices::set_whole_image(const VARIANT& data) {
  if (!(data.vt & VT_ARRAY)) return;
  SAFEARRAY* array = (data.vt & VT_BYREF) ? (data.pparray ? *data.pparray : nullptr) : data.parray;
  if (!array) return;
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) return;
  if (SafeArrayGetDim(array) != 1) raise(err::kInvalidData);
  VARTYPE type = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &type))) raise(err::kInvalidData);

  std::vector<uint8_t> image;
  for (LONG i = lower; i <= upper; ++i) {
    LONG at[1] = {i};
    if (type == VT_UI1 || type == VT_I1) {
      uint8_t byte = 0;
      if (FAILED(SafeArrayGetElement(array, at, &byte))) raise(err::kNoStorage);
      image.push_back(byte);
    } else if (type == VT_VARIANT) {
      ScopedVariant element;
      if (FAILED(SafeArrayGetElement(array, at, element.get()))) raise(err::kNoStorage);
      if (FAILED(VariantChangeType(element.get(), element.get(), 0, VT_UI1))) raise(err::kInvalidData);
      image.push_back(element->bVal);
    } else {
      raise(err::kInvalidData);
    }
  }
  gen2::r9_load_image(radio_, image);
}

// ---- Lists ----------------------------------------------------------------------------------

HRESULT R9CPServices::GetCurrentListQuantity(LONG lBlockID, BYTE* pbQuant) {
  return guarded([&]() -> HRESULT {
    row_for(lBlockID, Q);
    const size_t count = radio_.codeplug.list(lBlockID).record().entry_count();
    return put(pbQuant, static_cast<BYTE>(count & 0xFF));
  });
}

HRESULT R9CPServices::AddList(LONG lBlockID, BYTE* pbListIndex) {
  return guarded([&]() -> HRESULT {
    const R9Block& row = row_for(lBlockID, A);
    if (row.shape == R9Shape::Record) return S_OK;  // nothing to add, nothing written
    gen2::R9ListBlock& block = radio_.codeplug.list(lBlockID);
    if (!pbListIndex) return E_POINTER;
    gen2::R9Slot& retained = radio_.codeplug.slot(gen2::kRetainedBlock);
    const size_t index = row.retained_on_read && retained.handler ? block.add_entry_with(*retained.handler)
                                                                  : block.add_entry();
    if (row.add_marks_present) {
      FieldList presence = radio_.codeplug.presence.get_record();
      presence.put({kAddedToPresence, "1", 2});
      radio_.codeplug.presence.set_record(presence);
    }
    return put(pbListIndex, static_cast<BYTE>(index & 0xFF));
  });
}

HRESULT R9CPServices::DeleteList(LONG lBlockID, BYTE bListIndex) {
  return guarded([&]() -> HRESULT {
    row_for(lBlockID, D);
    radio_.codeplug.list(lBlockID).delete_entry(bListIndex);
    return S_OK;
  });
}

HRESULT R9CPServices::MoveList(LONG lBlockID, BYTE bFromListIndex, BYTE bToListIndex) {
  return guarded([&]() -> HRESULT {
    row_for(lBlockID, M);
    radio_.codeplug.list(lBlockID).record().move_entry(bFromListIndex, bToListIndex);
    return S_OK;
  });
}

// ---- Fields ---------------------------------------------------------------------------------

HRESULT R9CPServices::GetFieldAt(LONG lBlockID, LONG lFieldID, BYTE bIndex, VARIANT* pvarFieldData) {
  return guarded([&]() -> HRESULT {
    row_for(lBlockID, F);
    const FieldValue field = radio_.codeplug.list(lBlockID).record().get_entry_field(bIndex, lFieldID);
    if (!pvarFieldData) return E_POINTER;
    ScopedVariant encoded;
    encode_field(field, encoded.get());
    encoded.release_to(pvarFieldData);
    return S_OK;
  });
}

HRESULT R9CPServices::SetFieldAt(LONG lBlockID, BYTE bIndex, VARIANT varFieldData) {
  return guarded([&]() -> HRESULT {
    row_for(lBlockID, f);
    gen2::R9ListBlock& block = radio_.codeplug.list(lBlockID);
    block.set_field(bIndex, decode_field(varFieldData));
    return S_OK;
  });
}

// ---- The radio ------------------------------------------------------------------------------

HRESULT R9CPServices::ReadDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return guarded([&] { return gen2::r9_read_device(radio_, piorbexService, ulORBEXHandle, picpdProgDlg); });
}

HRESULT R9CPServices::WriteDevice(IUnknown* piorbexService, ULONG ulORBEXHandle, IUnknown* picpdProgDlg,
                                  ICPServices* /*pDestCP: not used by this generation*/) {
  return guarded([&] { return gen2::r9_write_device(radio_, piorbexService, ulORBEXHandle, picpdProgDlg, false); });
}

HRESULT R9CPServices::CloneDevice(IUnknown* piorbexServices, ULONG ulORBEXHandle, IUnknown* picpdProgDlg) {
  return guarded([&] { return gen2::r9_write_device(radio_, piorbexServices, ulORBEXHandle, picpdProgDlg, true); });
}

HRESULT R9CPServices::ResetDevice(IUnknown* piorbexService, ULONG ulORBEXHandle) {
  return guarded([&] { return gen2::r9_reset_device(piorbexService, ulORBEXHandle); });
}

HRESULT R9CPServices::GetUpdInfo(IUnknown* piorbexServices, ULONG ulORBEXHandle, BYTE* pblSameSerial,
                                 BYTE* pblSameModel, VARIANT* bUpd) {
  return guarded([&] {
    return gen2::r9_get_upd_info(radio_, piorbexServices, ulORBEXHandle, pblSameSerial, pblSameModel, bUpd);
  });
}

// The source's opaque blocks come along only when it is an R9 object of this component.
HRESULT R9CPServices::Copy(ICPServices* picpServices) {
  return guarded([&] {
    auto* source = dynamic_cast<R9CPServices*>(picpServices);
    return gen2::r9_copy_from(*this, radio_, picpServices, source ? &source->radio_ : nullptr);
  });
}

HRESULT R9CPServices::ImportOBD(BSTR pObdFileName) {
  return guarded([&] { return gen2::r9_import_obd(radio_, file_name_from_bstr(pObdFileName)); });
}

}  // namespace cps
