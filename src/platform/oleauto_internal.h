// What the portable BSTR, VARIANT and SAFEARRAY code (oleauto.cpp, safearray.cpp) shares.
#pragma once

#include <cpservices/oleauto.h>

#if defined(CPS_OLEAUTO_PORTABLE)

namespace cps::oleauto {

// A new BSTR with the same bytes as `text` (a null BSTR gives an empty one); nullptr when memory
// runs out. Internal linkage: nothing beyond the exported automation functions leaves the library.
static inline BSTR duplicate_bstr(BSTR text) {
  return SysAllocStringByteLen(reinterpret_cast<const char*>(text), SysStringByteLen(text));
}

}  // namespace cps::oleauto

#endif  // CPS_OLEAUTO_PORTABLE
