# What the Windows build (cmake/mingw-w64.cmake) needs besides the common parts.

option(KALVOR_CDECL "Entry points and host callback in __cdecl instead of __stdcall (32-bit Windows)" OFF)
if(KALVOR_CDECL)
  add_compile_definitions(KALVOR_CDECL)
endif()
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
enable_language(RC)

# The calling convention the entry points are built with, as the version
# resource and the zip name it: __stdcall or __cdecl on 32-bit Windows, the one
# x64 convention on 64-bit Windows.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KALVOR_BITS 32)
  if(KALVOR_CDECL)
    set(KALVOR_CONVENTION "__cdecl")
  else()
    set(KALVOR_CONVENTION "__stdcall")
  endif()
else()
  set(KALVOR_BITS 64)
  set(KALVOR_CONVENTION "x64")
endif()

# The client library is loaded at run time; only its C header is needed, and
# the one of the Linux packages serves. It is copied into a folder of its own:
# /usr/include as a whole would shadow the Windows runtime's headers.
find_path(FIREBIRD_HEADER_DIR ibase.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(FIREBIRD_INCLUDE_DIR ${PROJECT_BINARY_DIR}/firebird-include)
configure_file(${FIREBIRD_HEADER_DIR}/ibase.h ${FIREBIRD_INCLUDE_DIR}/ibase.h COPYONLY)
# SimpleIni likewise: one header, whatever the platform.
find_path(SIMPLEINI_HEADER_DIR SimpleIni.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(SIMPLEINI_INCLUDE_DIR ${PROJECT_BINARY_DIR}/simpleini-include)
configure_file(${SIMPLEINI_HEADER_DIR}/SimpleIni.h ${SIMPLEINI_INCLUDE_DIR}/SimpleIni.h COPYONLY)
# The JSON reader of kalvor-host.exe: headers alone, linked into a folder of their own.
find_path(NLOHMANN_JSON_HEADER_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(NLOHMANN_JSON_INCLUDE_DIR ${PROJECT_BINARY_DIR}/nlohmann-include)
file(MAKE_DIRECTORY ${NLOHMANN_JSON_INCLUDE_DIR})
file(CREATE_LINK ${NLOHMANN_JSON_HEADER_DIR}/nlohmann ${NLOHMANN_JSON_INCLUDE_DIR}/nlohmann SYMBOLIC)
set(KALVOR_PLATFORM_LIBRARIES "")

# Exports exactly the four entry points under their plain names; on 32-bit
# Windows __stdcall decorates them with their argument bytes (Init_Plugin@12).
function(kalvor_windows_exports target)
  set(decorate OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT KALVOR_CDECL)
    set(decorate ON)
  endif()
  foreach(entry Init_Plugin:12 GetName_Plugin:4 Command_Plugin:12 Finalize_Plugin:0)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 name)
    list(GET parts 1 bytes)
    if(decorate)
      set(KALVOR_DEF_${name} "${name} = ${name}@${bytes}")
    else()
      set(KALVOR_DEF_${name} "${name}")
    endif()
  endforeach()
  set(def ${PROJECT_BINARY_DIR}/Kalvor.def)
  configure_file(${PROJECT_SOURCE_DIR}/src/plugin/Kalvor.def.in ${def} @ONLY)
  target_sources(${target} PRIVATE ${def})
endfunction()

# The core exports only what its front calls: a host that tries every DLL of
# its plugin folder finds no entry point in it.
function(kalvor_windows_core_exports target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/plugin/KalvorCore.def)
endfunction()

# The front: C with neither the C runtime nor libgcc, entered at FrontEntry.
function(kalvor_windows_front target)
  add_library(${target} SHARED ${PROJECT_SOURCE_DIR}/src/plugin/front/KalvorFront.c)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "Kalvor"
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  target_compile_options(${target} PRIVATE -ffreestanding -fno-stack-protector -fno-builtin)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry _FrontEntry@12)
  else()
    set(entry FrontEntry)
  endif()
  target_link_options(${target} PRIVATE -nostdlib -Wl,--entry,${entry})
  target_link_libraries(${target} PRIVATE kernel32)
endfunction()

# File and product version, description and calling convention, for
# Explorer's Properties and for installers.
function(kalvor_windows_version_resource target description file_name)
  set(KALVOR_RC_DESCRIPTION ${description})
  set(KALVOR_RC_FILE_NAME ${file_name})
  if(file_name MATCHES "\\.exe$")
    set(KALVOR_RC_FILE_TYPE VFT_APP)
  else()
    set(KALVOR_RC_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${PROJECT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/plugin/Kalvor.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The oldest Windows the DLL runs on, Vista / Server 2008 (6.0): it imports
# GetTickCount64. The header says so; tests/windows/CheckMinimumWindows.cmake
# holds its KERNEL32 imports to what Vista has.
function(kalvor_windows_minimum_version target)
  target_link_options(${target} PRIVATE
    -Wl,--major-os-version,6,--minor-os-version,0
    -Wl,--major-subsystem-version,6,--minor-subsystem-version,0)
endfunction()
