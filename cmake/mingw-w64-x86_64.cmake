# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threading flavour), for
# `make windows`. The programs it builds run on Windows, or here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CPS_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CPS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CPS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CPS_MINGW_TRIPLE}-windres)

# Libraries and headers only from the cross tree; programs (widl, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${CPS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
