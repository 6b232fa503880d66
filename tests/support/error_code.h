// Test helper: the error code an action throws, or 0 when it throws none.
#pragma once

#include "platform/errors.h"

#include <functional>

namespace cps::test {

inline int error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const ErrorCode& e) {
    return e.code;
  }
  return 0;
}

}  // namespace cps::test
