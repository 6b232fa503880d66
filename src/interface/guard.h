// The one exception guard that every interface method runs inside.
#pragma once

#include "platform/errors.h"

#include <new>

namespace cps {

// Runs `work` and turns whatever it throws into the method's HRESULT: an error code into its
// error HRESULT, a failed device call into the device's own HRESULT, running out of memory into
// 106, anything else into 111. Nothing escapes. `work` returns the success HRESULT.
template <class Work>
HRESULT guarded(Work&& work) noexcept {
  try {
    return work();
  } catch (const ErrorCode& e) {
    return hresult_of(e.code);
  } catch (const DeviceFailure& e) {
    return e.hr;
  } catch (const std::bad_alloc&) {
    return hresult_of(err::kNoStorage);
  } catch (...) {
    return hresult_of(err::kUnexpected);
  }
}

}  // namespace cps
