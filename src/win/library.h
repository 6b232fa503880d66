// What the Windows build of the library knows about itself: its module handle and path, the
// type library it carries (resource TYPELIB 1), and the messages of its string table.
#pragma once

#include <cpservices/cpservices.h>

#include <string>

namespace cps::win {

HMODULE this_module();
std::wstring module_path();  // the full path of cpservices.dll

// The type library: as registered (LIBID, version 1.0), else from the library's own resource.
HRESULT load_type_library(ITypeLib** library);

// The type information of ICPServices from that library, loaded once.
HRESULT interface_type_info(ITypeInfo** info);

// The string-table message with this identifier into *text (a new BSTR); false when the table
// has none. Running out of memory raises 106.
bool load_message(int32_t id, BSTR* text);

}  // namespace cps::win
