// Narrow/wide conversion in the Windows-1252 code page, byte for byte as the system converts it:
// 0x00-0x7F and 0xA0-0xFF are the Latin-1 characters of the same value, 0x80-0x9F the
// typographic characters of the table below, and the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) the C1 control characters of the same value. So every byte has
// exactly one wide character and converts back to itself; any other wide character becomes '?'.
#include "platform/codepage.h"

#include <array>
#include <limits>

namespace cps {

namespace {

// The wide characters of bytes 0x80-0x9F.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char kUnmappable = '?';

OLECHAR wide_of(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return static_cast<OLECHAR>(kHighControls[byte - 0x80]);
  return static_cast<OLECHAR>(byte);
}

char narrow_of(OLECHAR wide) {
  const auto code = static_cast<char32_t>(wide);
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == code) return static_cast<char>(0x80 + i);
  return kUnmappable;
}

}  // namespace

void narrow_into(std::string& out, const OLECHAR* text, size_t length) {
  if (!text) length = 0;
  out.resize(length);
  char* narrow = out.data();
  for (size_t i = 0; i < length; ++i) {
    const auto code = static_cast<char32_t>(text[i]);
    narrow[i] = code < 0x80 ? static_cast<char>(code) : narrow_of(text[i]);
  }
}

std::string narrow_from_wide(const OLECHAR* text, size_t length) {
  std::string narrow;
  narrow_into(narrow, text, length);
  return narrow;
}

std::string narrow_from_bstr(BSTR text) { return narrow_from_wide(text, SysStringLen(text)); }

std::wstring wide_from_narrow(std::string_view text) {
  std::wstring wide(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) wide[i] = wide_of(static_cast<unsigned char>(text[i]));
  return wide;
}

std::string file_name_from_bstr(BSTR name) {
  std::string utf8;
  for (UINT i = 0, n = SysStringLen(name); i < n; ++i) {
    auto code = static_cast<char32_t>(name[i]);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = U'?';
    if (code < 0x80) {
      utf8.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return utf8;
}

BSTR bstr_from_narrow(std::string_view text) {
  if (text.size() > std::numeric_limits<UINT>::max()) return nullptr;
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (!wide) return nullptr;
  for (size_t i = 0; i < text.size(); ++i) wide[i] = wide_of(static_cast<unsigned char>(text[i]));
  return wide;
}

}  // namespace cps
