// The automation types for platforms without oleaut32: BSTR, VARIANT and SAFEARRAY with the
// system's memory layout, flags, error codes and ownership rules, so that hosts and the component
// behave the same here as on Windows.
//
// Memory layout, as on the system:
//  - a BSTR points just past a 32-bit byte count and ends with a zero OLECHAR the count leaves out;
//  - a SAFEARRAY descriptor is preceded by 16 hidden bytes: the interface IID of a VT_UNKNOWN or
//    VT_DISPATCH array (FADF_HAVEIID), or in its last 4 bytes the element VARTYPE (FADF_HAVEVARTYPE);
//  - rgsabound holds the dimensions last to first, and dimension 1 varies fastest in storage;
//  - a vector (SafeArrayCreateVector) is one block: hidden bytes, descriptor, then the elements.
//
// Nothing here throws: every failure to allocate comes back as nullptr or E_OUTOFMEMORY.
#include <cpservices/oleauto.h>

#include "platform/bstr_cache.h"

#if defined(CPS_OLEAUTO_PORTABLE)

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

extern "C" const IID IID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
extern "C" const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B,
                                              {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

// ---- BSTR ------------------------------------------------------------------------------------

constexpr size_t kBstrPrefix = sizeof(uint32_t);
// The largest byte count whose whole block (count, characters rounded up, terminator) still has
// a size that fits the count's type.
constexpr UINT kMaxBstrBytes =
    std::numeric_limits<UINT>::max() - kBstrPrefix - 2 * sizeof(OLECHAR);

char* bstr_block(BSTR text) { return reinterpret_cast<char*>(text) - kBstrPrefix; }

// The bytes of the block that holds a BSTR of `bytes` bytes: count, characters rounded up to
// whole OLECHARs, terminator.
size_t bstr_block_size(size_t bytes) {
  return kBstrPrefix + ((bytes + sizeof(OLECHAR) - 1) / sizeof(OLECHAR) + 1) * sizeof(OLECHAR);
}


// A new BSTR of `bytes` bytes copied from `data`, or zero when `data` is null, and zero from there
// up to and including its terminator; nullptr when too long or out of memory. Only the bytes
// not copied are cleared.
BSTR alloc_bstr(UINT bytes, const void* data) {
  if (bytes > kMaxBstrBytes) return nullptr;
  const size_t size = bstr_block_size(bytes);
  const size_t allocated = cps::oleauto::BstrCache::class_size(size);
  cps::oleauto::BstrCache* cache = cps::oleauto::BstrCache::mine();
  auto* block = static_cast<char*>(cache ? cache->take(allocated) : nullptr);
  if (!block) block = static_cast<char*>(std::malloc(allocated));
  if (!block) return nullptr;
  const uint32_t count = bytes;
  std::memcpy(block, &count, sizeof count);
  char* text = block + kBstrPrefix;
  if (data && bytes) std::memcpy(text, data, bytes);
  else std::memset(text, 0, bytes);
  std::memset(text + bytes, 0, size - kBstrPrefix - bytes);
  return reinterpret_cast<BSTR>(text);
}

void free_bstr(BSTR text) {
  uint32_t count = 0;
  std::memcpy(&count, bstr_block(text), sizeof count);
  cps::oleauto::BstrCache* cache = cps::oleauto::BstrCache::mine();
  if (cache && cache->keep(bstr_block(text), cps::oleauto::BstrCache::class_size(bstr_block_size(count)))) return;
  std::free(bstr_block(text));
}

// A new BSTR with the same bytes as `text` (a null BSTR gives an empty one).
BSTR duplicate_bstr(BSTR text) {
  return SysAllocStringByteLen(reinterpret_cast<const char*>(text), SysStringByteLen(text));
}

// ---- VARIANT ---------------------------------------------------------------------------------

constexpr VARTYPE kVtVoid = 24;
constexpr VARTYPE kVtClsid = 72;
constexpr VARTYPE kVtVector = 0x1000;
constexpr VARTYPE kVtUndefined = 15;

VARTYPE base_type(VARTYPE vt) { return static_cast<VARTYPE>(vt & VT_TYPEMASK); }

// Whether a VARIANT may carry `vt`: a base type up to VT_UINT (15 is unassigned) or VT_CLSID,
// by value, by reference, as an array or both; VT_EMPTY and VT_NULL only by value; never
// VT_VECTOR or VT_RESERVED. User-defined records are not part of this layer.
bool valid_variant_type(VARTYPE vt) {
  const VARTYPE base = base_type(vt);
  if (vt & (kVtVector | VT_RESERVED)) return false;
  if (base == kVtUndefined || (base >= kVtVoid && base != kVtClsid)) return false;
  if ((vt & (VT_BYREF | VT_ARRAY)) && base <= VT_NULL) return false;
  return true;
}

// ---- SAFEARRAY -------------------------------------------------------------------------------

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
    for (size_t i = 0; i < cells; ++i) VariantClear(&items[i]);
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

// ---- BSTR ------------------------------------------------------------------------------------

/* SysAllocString: a new BSTR holding the zero-terminated `psz`; nullptr for a null `psz` or when
 * memory runs out. */
BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  const size_t length = std::wcslen(psz);
  if (length > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(length));
}

/* SysAllocStringLen: a new BSTR of `ui` characters copied from `strIn` (embedded zeros kept), or
 * all zero when `strIn` is null; nullptr when too long or out of memory. */
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > kMaxBstrBytes / sizeof(OLECHAR)) return nullptr;
  return alloc_bstr(static_cast<UINT>(ui * sizeof(OLECHAR)), strIn);
}

/* SysAllocStringByteLen: a new BSTR of `len` bytes copied from `psz`, or all zero when `psz` is
 * null; always terminated. A null `psz` with length 0 gives an empty string, not nullptr. */
BSTR SysAllocStringByteLen(const char* psz, UINT len) { return alloc_bstr(len, psz); }

/* SysFreeString: frees a BSTR; a null BSTR is ignored. */
void SysFreeString(BSTR bstrString) {
  if (bstrString) free_bstr(bstrString);
}

/* SysStringByteLen: the length in bytes, without the terminator; 0 for a null BSTR. */
UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  uint32_t count = 0;
  std::memcpy(&count, bstr_block(bstr), sizeof count);
  return count;
}

/* SysStringLen: the length in characters, without the terminator; 0 for a null BSTR. */
UINT SysStringLen(BSTR pbstr) {
  return static_cast<UINT>(SysStringByteLen(pbstr) / sizeof(OLECHAR));
}

// ---- VARIANT ---------------------------------------------------------------------------------

/* VariantInit: an empty variant (the whole structure zeroed, vt == VT_EMPTY). */
void VariantInit(VARIANTARG* pvarg) {
  if (pvarg) std::memset(static_cast<void*>(pvarg), 0, sizeof *pvarg);
}

/* VariantClear: frees what the variant owns (a BSTR, an array, an interface reference; nothing
 * for VT_BYREF) and makes it VT_EMPTY. The payload bytes are left as they were.
 * DISP_E_BADVARTYPE for a type no variant may hold, the variant untouched. An array still locked
 * gives DISP_E_ARRAYISLOCKED, and the variant is VT_EMPTY all the same. */
HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  if (!valid_variant_type(pvarg->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = S_OK;
  if (pvarg->vt & VT_ARRAY) {
    if (!(pvarg->vt & VT_BYREF)) hr = SafeArrayDestroy(pvarg->parray);
  } else {
    switch (pvarg->vt) {
      case VT_BSTR: SysFreeString(pvarg->bstrVal); break;
      case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
      case VT_DISPATCH:
        if (pvarg->pdispVal) pvarg->pdispVal->Release();
        break;
      default: break;
    }
  }
  pvarg->vt = VT_EMPTY;
  return hr;
}

/* VariantCopy: makes `pvargDest` a copy of `pvargSrc`, clearing the destination first. BSTRs
 * and arrays are copied deep, interfaces AddRef'd, VT_BYREF pointers copied as they are.
 * DISP_E_BADVARTYPE when the source type is invalid (or VT_CLSID), before anything is touched;
 * the HRESULT of VariantClear when the destination cannot be cleared; E_OUTOFMEMORY when a copy
 * cannot be made. Copying a variant onto itself does nothing. */
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (base_type(pvargSrc->vt) == kVtClsid || !valid_variant_type(pvargSrc->vt))
    return DISP_E_BADVARTYPE;
  if (pvargSrc == pvargDest) return S_OK;
  const HRESULT cleared = VariantClear(pvargDest);
  if (FAILED(cleared)) return cleared;

  *pvargDest = *pvargSrc;
  if (pvargSrc->vt & VT_BYREF) return S_OK;
  if (pvargSrc->vt & VT_ARRAY) return SafeArrayCopy(pvargSrc->parray, &pvargDest->parray);
  switch (pvargSrc->vt) {
    case VT_BSTR:
      pvargDest->bstrVal = duplicate_bstr(pvargSrc->bstrVal);
      return pvargDest->bstrVal ? S_OK : E_OUTOFMEMORY;
    case VT_UNKNOWN:
      if (pvargDest->punkVal) pvargDest->punkVal->AddRef();
      return S_OK;
    case VT_DISPATCH:
      if (pvargDest->pdispVal) pvargDest->pdispVal->AddRef();
      return S_OK;
    default: return S_OK;
  }
}

// ---- SAFEARRAY -------------------------------------------------------------------------------

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
