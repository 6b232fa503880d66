// SAFEARRAY for platforms without oleaut32, with the system's memory layout, flags, error codes
// and ownership rules:
//  - the descriptor is preceded by 16 hidden bytes: the interface IID of a VT_UNKNOWN or
//    VT_DISPATCH array (FADF_HAVEIID), or in its last 4 bytes the element VARTYPE (FADF_HAVEVARTYPE);
//  - rgsabound holds the dimensions last to first, and dimension 1 varies fastest in storage;
//  - a vector (SafeArrayCreateVector) is one block: hidden bytes, descriptor, then the elements.
//
// Nothing here throws: every failure to allocate comes back as nullptr or E_OUTOFMEMORY.
#include <cpservices/oleauto.h>

#include "platform/oleauto_internal.h"

#if defined(CPS_OLEAUTO_PORTABLE)

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using cps::oleauto::duplicate_bstr;

// The array and its elements are one block, allocated by SafeArrayCreateVector.
constexpr USHORT kFadfCreateVector = 0x2000;
// Flags about where an array lives, which a copy does not inherit.
constexpr USHORT kFadfPlacement =
    FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE | kFadfCreateVector;

constexpr size_t kHiddenSize = sizeof(GUID);
constexpr UINT kMaxDims = 0xFFFF;
constexpr ULONG kMaxLocks = 0xFFFF;
// Element storage is sized in ULONG bytes, as on the system.
constexpr uint64_t kMaxDataBytes = std::numeric_limits<ULONG>::max();

constexpr VARTYPE kVtIntPtr = 37;
constexpr VARTYPE kVtUintPtr = 38;

// The element size of an array of `vt`, 0 for a type no array can hold.
ULONG element_size(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return sizeof(BYTE);
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return sizeof(SHORT);
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_ERROR: return sizeof(LONG);
    case VT_INT:
    case VT_UINT: return sizeof(INT);
    case VT_I8:
    case VT_UI8:
    case VT_R8: return sizeof(LONGLONG);
    case VT_CY: return sizeof(CY);
    case VT_DATE: return sizeof(DATE);
    case VT_DECIMAL: return 16;
    case kVtIntPtr:
    case kVtUintPtr: return sizeof(void*);
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN: return sizeof(IUnknown*);
    case VT_DISPATCH: return sizeof(IDispatch*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

char* hidden_bytes(SAFEARRAY* psa) { return reinterpret_cast<char*>(psa) - kHiddenSize; }

void set_hidden_vartype(SAFEARRAY* psa, VARTYPE vt) {
  const DWORD value = vt;
  std::memcpy(reinterpret_cast<char*>(psa) - sizeof value, &value, sizeof value);
}

VARTYPE hidden_vartype(SAFEARRAY* psa) {
  DWORD value = 0;
  std::memcpy(&value, reinterpret_cast<char*>(psa) - sizeof value, sizeof value);
  return static_cast<VARTYPE>(value);
}

void set_hidden_iid(SAFEARRAY* psa, const IID& iid) {
  std::memcpy(hidden_bytes(psa), &iid, sizeof iid);
}

// A zeroed descriptor of `dims` dimensions followed by `trailing` bytes, or nullptr.
SAFEARRAY* alloc_descriptor(UINT dims, size_t trailing) {
  const size_t header = sizeof(SAFEARRAY) + sizeof(SAFEARRAYBOUND) * (dims - 1);
  auto* block = static_cast<char*>(std::calloc(1, kHiddenSize + header + trailing));
  if (!block) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHiddenSize);
  psa->cDims = static_cast<USHORT>(dims);
  return psa;
}

// Records the element type: its size, its flags and the hidden IID or VARTYPE.
void set_element_type(SAFEARRAY* psa, VARTYPE vt) {
  psa->cbElements = element_size(vt);
  switch (vt) {
    case VT_UNKNOWN:
      psa->fFeatures = FADF_HAVEIID | FADF_UNKNOWN;
      set_hidden_iid(psa, IID_IUnknown);
      break;
    case VT_DISPATCH:
      psa->fFeatures = FADF_HAVEIID | FADF_DISPATCH;
      set_hidden_iid(psa, IID_IDispatch);
      break;
    case VT_BSTR:
      psa->fFeatures = FADF_HAVEVARTYPE | FADF_BSTR;
      set_hidden_vartype(psa, vt);
      break;
    case VT_VARIANT:
      psa->fFeatures = FADF_HAVEVARTYPE | FADF_VARIANT;
      set_hidden_vartype(psa, vt);
      break;
    default:
      psa->fFeatures = FADF_HAVEVARTYPE;
      set_hidden_vartype(psa, vt);
      break;
  }
}

// The number of elements; false when the elements would take more than kMaxDataBytes.
bool cell_count(const SAFEARRAY* psa, size_t& cells) {
  const SAFEARRAYBOUND* bounds = psa->rgsabound;
  cells = 0;
  for (USHORT d = 0; d < psa->cDims; ++d)
    if (bounds[d].cElements == 0) return true;
  const uint64_t per_cell = std::max<ULONG>(psa->cbElements, 1);
  uint64_t count = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    if (count > kMaxDataBytes / per_cell / bounds[d].cElements) return false;
    count *= bounds[d].cElements;
  }
  cells = static_cast<size_t>(count);
  return true;
}

// Zeroed element storage for `cells` elements (never a null block, even for no elements).
void* alloc_data(const SAFEARRAY* psa, size_t cells) {
  return std::calloc(1, std::max<size_t>(cells * psa->cbElements, 1));
}

// The storage position of the element at `indices` (indices[0] in dimension 1); false when an
// index lies outside its dimension.
bool cell_of(const SAFEARRAY* psa, const LONG* indices, size_t& cell) {
  const SAFEARRAYBOUND* bounds = psa->rgsabound;
  size_t position = 0;
  size_t stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& bound = bounds[psa->cDims - 1 - d];
    const int64_t offset = int64_t{indices[d]} - bound.lLbound;
    if (offset < 0 || offset >= bound.cElements) return false;
    position += static_cast<size_t>(offset) * stride;
    stride *= bound.cElements;
  }
  cell = position;
  return true;
}

// Frees what the elements own: strings, interface references, variant contents.
void clear_elements(SAFEARRAY* psa) {
  size_t cells = 0;
  if (!psa->pvData || !cell_count(psa, cells)) return;
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* items = static_cast<IUnknown**>(psa->pvData);
    for (size_t i = 0; i < cells; ++i)
      if (items[i]) items[i]->Release();
  } else if (psa->fFeatures & FADF_BSTR) {
    auto* items = static_cast<BSTR*>(psa->pvData);
    for (size_t i = 0; i < cells; ++i) SysFreeString(items[i]);
  } else if (psa->fFeatures & FADF_VARIANT) {
    auto* items = static_cast<VARIANT*>(psa->pvData);
    for (size_t i = 0; i < cells; ++i) {
      // A record's cells are nearly all IDs, attributes and texts by value: they are cleared
      // here as VariantClear clears them, without a call each.
      VARIANT& item = items[i];
      switch (item.vt) {
        case VT_EMPTY:
        case VT_I4:
        case VT_UI1: item.vt = VT_EMPTY; break;
        case VT_BSTR:
          SysFreeString(item.bstrVal);
          item.vt = VT_EMPTY;
          break;
        default: VariantClear(&item); break;
      }
    }
  }
}

// Copies every element of `source` into the fresh, zeroed storage of `dest`. An element VARIANT
// of an invalid type is left empty, as the system does; running out of memory fails the copy.
HRESULT copy_elements(SAFEARRAY* source, SAFEARRAY* dest, size_t cells) {
  if (!source->pvData) return S_OK;
  if (source->fFeatures & FADF_VARIANT) {
    auto* from = static_cast<const VARIANT*>(source->pvData);
    auto* to = static_cast<VARIANT*>(dest->pvData);
    for (size_t i = 0; i < cells; ++i)
      if (VariantCopy(&to[i], &from[i]) == E_OUTOFMEMORY) return E_OUTOFMEMORY;
  } else if (source->fFeatures & FADF_BSTR) {
    auto* from = static_cast<BSTR*>(source->pvData);
    auto* to = static_cast<BSTR*>(dest->pvData);
    for (size_t i = 0; i < cells; ++i) {
      if (!from[i]) continue;
      to[i] = duplicate_bstr(from[i]);
      if (!to[i]) return E_OUTOFMEMORY;
    }
  } else if (source->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* from = static_cast<IUnknown**>(source->pvData);
    auto* to = static_cast<IUnknown**>(dest->pvData);
    for (size_t i = 0; i < cells; ++i) {
      to[i] = from[i];
      if (to[i]) to[i]->AddRef();
    }
  } else {
    std::memcpy(dest->pvData, source->pvData, cells * source->cbElements);
  }
  return S_OK;
}

// Copies an element out of the array into the caller's storage; the caller owns the copy.
HRESULT element_out(SAFEARRAY* psa, void* cell, void* pv) {
  if (psa->fFeatures & FADF_VARIANT) {
    auto* dest = static_cast<VARIANT*>(pv);
    dest->vt = VT_EMPTY;  // whatever the caller's variant held is not ours to free
    return VariantCopy(dest, static_cast<const VARIANT*>(cell));
  }
  if (psa->fFeatures & FADF_BSTR) {
    const BSTR stored = *static_cast<BSTR*>(cell);
    BSTR copy = nullptr;
    if (stored && !(copy = duplicate_bstr(stored))) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(pv) = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* stored = *static_cast<IUnknown**>(cell);
    if (stored) stored->AddRef();
    *static_cast<IUnknown**>(pv) = stored;
    return S_OK;
  }
  std::memcpy(pv, cell, psa->cbElements);
  return S_OK;
}

// Stores a copy of the caller's value in an element, freeing what the element held. A BSTR or
// interface element takes the value itself (`pv` is the BSTR or the interface pointer), any other
// element the value `pv` points to.
HRESULT element_in(SAFEARRAY* psa, void* cell, void* pv) {
  if (psa->fFeatures & FADF_VARIANT) {
    if (!pv) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT*>(cell), static_cast<const VARIANT*>(pv));
  }
  if (psa->fFeatures & FADF_BSTR) {
    BSTR copy = duplicate_bstr(static_cast<BSTR>(pv));
    if (!copy) return E_OUTOFMEMORY;
    BSTR* slot = static_cast<BSTR*>(cell);
    SysFreeString(*slot);
    *slot = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* value = static_cast<IUnknown*>(pv);
    IUnknown** slot = static_cast<IUnknown**>(cell);
    if (value) value->AddRef();
    if (*slot) (*slot)->Release();
    *slot = value;
    return S_OK;
  }
  if (!pv) return E_INVALIDARG;
  std::memcpy(cell, pv, psa->cbElements);
  return S_OK;
}
}  // namespace

extern "C" {


/* SafeArrayCreate: a new array of `cDims` dimensions, rgsabound[0] being dimension 1, with every
 * element zero. nullptr for no dimensions, more than 65535, a type no array holds, a size too
 * large, or no memory. A dimension of no elements is allowed. */
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound || cDims == 0 || cDims > kMaxDims || element_size(vt) == 0) return nullptr;
  SAFEARRAY* psa = alloc_descriptor(cDims, 0);
  if (!psa) return nullptr;
  set_element_type(psa, vt);
  SAFEARRAYBOUND* bounds = psa->rgsabound;
  for (UINT d = 0; d < cDims; ++d) bounds[d] = rgsabound[cDims - 1 - d];
  size_t cells = 0;
  if (!cell_count(psa, cells) || !(psa->pvData = alloc_data(psa, cells))) {
    std::free(hidden_bytes(psa));
    return nullptr;
  }
  return psa;
}

/* SafeArrayCreateVector: a one-dimensional array of `cElements` zero elements from `lLbound`,
 * allocated in one block with its descriptor (FADF_CREATEVECTOR, 0x2000). nullptr for a type no
 * array holds, a size too large, or no memory. */
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  const ULONG size = element_size(vt);
  if (size == 0 || cElements > kMaxDataBytes / size) return nullptr;
  SAFEARRAY* psa = alloc_descriptor(1, size_t{cElements} * size);
  if (!psa) return nullptr;
  set_element_type(psa, vt);
  psa->fFeatures |= kFadfCreateVector;
  psa->pvData = psa + 1;
  psa->rgsabound[0].cElements = cElements;
  psa->rgsabound[0].lLbound = lLbound;
  return psa;
}

/* SafeArrayDestroy: frees every element (SysFreeString, Release, VariantClear) and the array.
 * S_OK for a null array; DISP_E_ARRAYISLOCKED while locked, the array left whole. */
HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  clear_elements(psa);
  if (psa->fFeatures & FADF_STATIC) {
    size_t cells = 0;
    if (psa->pvData && cell_count(psa, cells))
      std::memset(psa->pvData, 0, cells * psa->cbElements);
  } else if (!(psa->fFeatures & kFadfCreateVector)) {
    std::free(psa->pvData);
  }
  std::free(hidden_bytes(psa));
  return S_OK;
}

/* SafeArrayGetDim: the number of dimensions; 0 for a null array. */
UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

/* SafeArrayGetElemsize: the size of one element; 0 for a null array. */
UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

/* SafeArrayGetVartype: the element type. E_INVALIDARG for null arguments or an array that records
 * no type. */
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if ((psa->fFeatures & (FADF_HAVEIID | FADF_DISPATCH)) == (FADF_HAVEIID | FADF_DISPATCH))
    *pvt = VT_DISPATCH;
  else if (psa->fFeatures & FADF_HAVEIID)
    *pvt = VT_UNKNOWN;
  else if (psa->fFeatures & FADF_HAVEVARTYPE)
    *pvt = hidden_vartype(psa);
  else
    return E_INVALIDARG;
  return S_OK;
}

/* SafeArrayGetLBound: the lower bound of dimension `nDim` (1 = the leftmost). E_INVALIDARG for
 * null arguments, DISP_E_BADINDEX for a dimension that is not 1..cDims. */
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND* bounds = psa->rgsabound;
  *plLbound = bounds[psa->cDims - nDim].lLbound;
  return S_OK;
}

/* SafeArrayGetUBound: the upper bound of dimension `nDim` (1 = the leftmost): lower bound plus
 * element count minus one, so lLbound - 1 for an empty dimension. Errors as SafeArrayGetLBound. */
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<ULONG>(bound.lLbound) + bound.cElements - 1u);
  return S_OK;
}

/* SafeArrayLock: one more lock on the array. E_INVALIDARG for a null array, E_UNEXPECTED past
 * 65535 locks. */
HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  std::atomic_ref<ULONG> locks(psa->cLocks);
  if (locks.fetch_add(1) >= kMaxLocks) {
    locks.fetch_sub(1);
    return E_UNEXPECTED;
  }
  return S_OK;
}

/* SafeArrayUnlock: one lock fewer. E_INVALIDARG for a null array, E_UNEXPECTED when the array is
 * not locked. */
HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  std::atomic_ref<ULONG> locks(psa->cLocks);
  ULONG current = locks.load();
  do {
    if (current == 0) return E_UNEXPECTED;
  } while (!locks.compare_exchange_weak(current, current - 1));
  return S_OK;
}

/* SafeArrayAccessData: locks the array and gives its element storage (dimension 1 varying
 * fastest). E_INVALIDARG for null arguments; a failed lock gives its error and a null pointer. */
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

/* SafeArrayUnaccessData: undoes SafeArrayAccessData (see SafeArrayUnlock). */
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

/* SafeArrayPtrOfIndex: the address of the element at `rgIndices` (rgIndices[0] in dimension 1),
 * without locking. E_INVALIDARG for null arguments, DISP_E_BADINDEX for an index out of its
 * dimension. */
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  size_t cell = 0;
  if (!cell_of(psa, rgIndices, cell)) return DISP_E_BADINDEX;
  *ppvData = static_cast<char*>(psa->pvData) + cell * psa->cbElements;
  return S_OK;
}

/* SafeArrayGetElement: a copy of the element at `rgIndices` into `pv`, which the caller then owns
 * (a new BSTR, an AddRef'd interface, a VariantCopy; a variant's previous content is ignored).
 * E_INVALIDARG for null arguments, DISP_E_BADINDEX for a bad index, E_OUTOFMEMORY. */
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  void* cell = nullptr;
  hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (SUCCEEDED(hr)) hr = element_out(psa, cell, pv);
  SafeArrayUnlock(psa);
  return hr;
}

/* SafeArrayPutElement: stores a copy of `pv` at `rgIndices`, freeing the element's old content.
 * For BSTR and interface arrays `pv` is the BSTR or interface pointer itself (null allowed; a null
 * BSTR is stored as an empty one), otherwise it points to the value. E_INVALIDARG for null
 * arguments, DISP_E_BADINDEX for a bad index, E_OUTOFMEMORY. */
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  void* cell = nullptr;
  hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (SUCCEEDED(hr)) hr = element_in(psa, cell, pv);
  SafeArrayUnlock(psa);
  return hr;
}

/* SafeArrayCopy: a deep copy of `psa` (new BSTRs, AddRef'd interfaces, VariantCopy'd variants)
 * with the same bounds, type and flags, except that the copy is never a vector or static. A null
 * source gives a null copy and S_OK. E_INVALIDARG for a null `ppsaOut` or an array of no element
 * size, E_OUTOFMEMORY. *ppsaOut is null on failure. */
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  if (!psa->cbElements || psa->cDims == 0) return E_INVALIDARG;
  size_t cells = 0;
  if (!cell_count(psa, cells)) return E_OUTOFMEMORY;

  SAFEARRAY* copy = alloc_descriptor(psa->cDims, 0);
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(hidden_bytes(copy), hidden_bytes(psa), kHiddenSize);
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~kFadfPlacement);
  copy->cbElements = psa->cbElements;
  std::memcpy(copy->rgsabound, psa->rgsabound, sizeof(SAFEARRAYBOUND) * psa->cDims);
  copy->pvData = alloc_data(copy, cells);
  if (!copy->pvData) {
    std::free(hidden_bytes(copy));
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = copy_elements(psa, copy, cells);
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);  // the elements not reached are still zero, which frees nothing
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

}  // extern "C"

#endif  // CPS_OLEAUTO_PORTABLE
