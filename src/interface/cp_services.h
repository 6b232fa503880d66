// CPServices: the service object of the first radio generation, whose codeplug is one
// contiguous image.
#pragma once

#include "interface/service_object.h"

namespace cps {

class CPServices : public ServiceObject {
 public:
  explicit CPServices(IUnknown* outer) : ServiceObject(outer) {}

  HRESULT STDMETHODCALLTYPE GetRangeInfo(LONG lFieldID, double* pdMin, double* pdMax,
                                         double* pdStep) override;
};

}  // namespace cps
