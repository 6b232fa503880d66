// Narrow/wide conversion on Windows: the system code page, through the system's own converters.
// A wide character the code page cannot represent becomes the code page's default character
// ('?'), not a look-alike: best-fit mapping is switched off where the code page allows it.
#include "platform/codepage.h"

#include <climits>
#include <stdexcept>

namespace cps {

namespace {

// UTF-8 (a possible system code page) refuses the best-fit flag.
DWORD wide_to_narrow_flags() { return GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS; }

int checked_length(size_t length) {
  if (length > INT_MAX) throw std::length_error("text too long to convert");
  return static_cast<int>(length);
}

}  // namespace

std::string narrow_from_wide(const OLECHAR* text, size_t length) {
  if (!text || length == 0) return {};
  const int count = checked_length(length);
  const DWORD flags = wide_to_narrow_flags();
  const int size = WideCharToMultiByte(CP_ACP, flags, text, count, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, flags, text, count, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

void narrow_into(std::string& out, const OLECHAR* text, size_t length) { out = narrow_from_wide(text, length); }

std::string narrow_from_bstr(BSTR text) { return narrow_from_wide(text, SysStringLen(text)); }

std::wstring wide_from_narrow(std::string_view text) {
  if (text.empty()) return {};
  const int count = checked_length(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), count, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), count, wide.data(), size);
  return wide;
}

BSTR bstr_from_narrow(std::string_view text) {
  if (text.size() > INT_MAX) return nullptr;
  const int count = static_cast<int>(text.size());
  const int size = count ? MultiByteToWideChar(CP_ACP, 0, text.data(), count, nullptr, 0) : 0;
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(size));
  if (wide && size) MultiByteToWideChar(CP_ACP, 0, text.data(), count, wide, size);
  return wide;
}

std::string file_name_from_bstr(BSTR name) { return narrow_from_bstr(name); }

}  // namespace cps
