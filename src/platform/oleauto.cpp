// The automation types for platforms without oleaut32: BSTR and VARIANT here, SAFEARRAY in
// safearray.cpp, with the system's memory layout, flags, error codes and ownership rules, so that
// hosts and the component behave the same here as on Windows.
//
// A BSTR points just past a 32-bit byte count and ends with a zero OLECHAR the count leaves out.
//
// Nothing here throws: every failure to allocate comes back as nullptr or E_OUTOFMEMORY.
#include <cpservices/oleauto.h>

#include "platform/bstr_cache.h"
#include "platform/oleauto_internal.h"

#if defined(CPS_OLEAUTO_PORTABLE)

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

using cps::oleauto::BstrCache;
using cps::oleauto::duplicate_bstr;

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
  const size_t allocated = BstrCache::class_size(size);
  auto* block = static_cast<char*>(BstrCache::cached(allocated) ? BstrCache::take(allocated) : std::malloc(allocated));
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
  const size_t allocated = BstrCache::class_size(bstr_block_size(count));
  if (BstrCache::cached(allocated)) return BstrCache::keep(bstr_block(text), allocated);
  std::free(bstr_block(text));
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

}  // extern "C"

#endif  // CPS_OLEAUTO_PORTABLE
