// The host's local time now, broken down: what the programming stamps of both generations read.
#pragma once

#include <ctime>

namespace cps {

inline std::tm local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

}  // namespace cps
