// R9CPServices: the service object of the second radio generation, whose codeplug is a header
// followed by self-describing blocks. Its blocks and range table are not served yet.
#pragma once

#include "interface/service_object.h"

namespace cps {

class R9CPServices : public ServiceObject {
 public:
  explicit R9CPServices(IUnknown* outer) : ServiceObject(outer) {}
};

}  // namespace cps
