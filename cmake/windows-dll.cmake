# The Windows form of the `cpservices` target: cpservices.dll with the four exports of its .def
# file, and its resources: the string table, the version block and the type library that widl
# compiles from src/win/cpservices.idl (embedded as TYPELIB 1).
#
# widl takes the system interfaces from Wine's IDL files (libwine-dev) and stdole2.tlb from
# Wine's own libraries, both Debian packages of the build machine.
enable_language(RC)
find_program(CPS_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
find_path(CPS_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(CPS_STDOLE2_DIR stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(cps_win_dir ${PROJECT_SOURCE_DIR}/src/win)
set(cps_res_dir ${CMAKE_BINARY_DIR}/win)
file(MAKE_DIRECTORY ${cps_res_dir})

add_custom_command(
  OUTPUT ${cps_res_dir}/cpservices.tlb
  COMMAND ${CPS_WIDL} --win64 -I ${CPS_WINE_IDL_DIR} -L ${CPS_STDOLE2_DIR}
          -t -o ${cps_res_dir}/cpservices.tlb ${cps_win_dir}/cpservices.idl
  DEPENDS ${cps_win_dir}/cpservices.idl
  COMMENT "Compiling the type library VARNOCPSERVICESLib"
  VERBATIM)
configure_file(${cps_win_dir}/cpservices_version.h.in ${cps_res_dir}/cpservices_version.h @ONLY)

set_source_files_properties(${cps_win_dir}/cpservices.rc PROPERTIES
  OBJECT_DEPENDS "${cps_res_dir}/cpservices.tlb;${PROJECT_SOURCE_DIR}/src/platform/messages.inc")
target_sources(cpservices PRIVATE ${cps_win_dir}/cpservices.def ${cps_win_dir}/cpservices.rc)
target_include_directories(cpservices PRIVATE ${cps_res_dir} ${PROJECT_SOURCE_DIR}/src)
set_target_properties(cpservices PROPERTIES PREFIX "" RUNTIME_OUTPUT_NAME cpservices)
