// VariantChangeType for the portable automation layer: the conversions between the scalar
// automation types that late binding needs, with the system's rules. On Windows the declaration
// is the system's own (oleauto.h) and this header adds nothing.
#pragma once

#include <cpservices/oleauto.h>

#if defined(CPS_OLEAUTO_PORTABLE)
extern "C" {
// Converts `pvarSrc` to type `vt` into `pvargDest` (which may be the source itself). On success
// the destination's old content is cleared first; on failure the destination is left as it was.
// Handled: VT_EMPTY, VT_NULL, the integer types, VT_R4, VT_R8, VT_CY (as a source), VT_BOOL,
// VT_BSTR, VT_ERROR, VT_UNKNOWN and VT_DISPATCH, and a source by reference; anything else is
// DISP_E_TYPEMISMATCH (DISP_E_BADVARTYPE for a type no variant holds). `wFlags` is not used.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
}
#endif
