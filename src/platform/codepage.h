// Narrow/wide text conversion for everything that crosses the automation boundary. Narrow text
// in the component is in the Windows-1252 code page (on Windows: the system code page).
#pragma once

#include <cpservices/oleauto.h>

#include <string>
#include <string_view>

namespace cps {

// Wide to narrow; a character the code page cannot represent becomes '?'. A null BSTR is "".
std::string narrow_from_wide(const OLECHAR* text, size_t length);
// The same into `out`, which it replaces (a short text stays in the string's own buffer).
void narrow_into(std::string& out, const OLECHAR* text, size_t length);
std::string narrow_from_bstr(BSTR text);

// Narrow to wide: every byte maps to exactly one wide character.
std::wstring wide_from_narrow(std::string_view text);

// A file name handed over as a BSTR, in the form the platform's file functions take: the
// system code page on Windows, UTF-8 elsewhere.
std::string file_name_from_bstr(BSTR name);

// A new BSTR holding the narrow text converted; nullptr when memory runs out.
BSTR bstr_from_narrow(std::string_view text);

}  // namespace cps
