#include "interface/cp_services.h"

#include "interface/guard.h"
#include "values/range_table.h"

namespace cps {

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

}  // namespace cps
