// Printing for the automation probes: each case is one line "label: result", with HRESULTs in
// hex and texts with every character outside printable ASCII as \uXXXX, so that the native run
// (the portable layer) and the Windows run (oleaut32) can be compared line by line.
#pragma once

#include <cpservices/oleauto.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace probe {

// A VARIANT of type `vt` whose 32 low bits hold `value` (and nothing to free).
inline VARIANT variant(VARTYPE vt, LONG value = 0) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.lVal = value;
  return v;
}

inline std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

inline std::string wide_text(const OLECHAR* text, UINT length) {
  if (!text) return "(null)";
  std::string out = "\"";
  for (UINT i = 0; i < length; ++i) {
    const auto code = static_cast<unsigned>(text[i]) & 0xFFFFu;
    if (code >= 0x20 && code < 0x7F && code != '\\') {
      out.push_back(static_cast<char>(code));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", code);
      out += escaped;
    }
  }
  return out + "\"";
}

inline std::string bstr_text(BSTR text) { return wide_text(text, text ? SysStringLen(text) : 0); }

__attribute__((format(printf, 2, 3))) inline void line(const char* label, const char* format, ...) {
  std::printf("%s: ", label);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

}  // namespace probe
