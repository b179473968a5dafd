# objdump -p of a DLL of the plugin: exactly the EXPORTS under their plain
# names (the front: the four entry points; the core: its one entry for the
# front), and imports from system DLLs only (the C and C++ runtimes and the
# thread library are linked into the core; the front has none).
cmake_policy(SET CMP0057 NEW)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed")
endif()

if(BITS EQUAL 4)
  set(format "pei-i386")
else()
  set(format "pei-x86-64")
endif()
if(NOT table MATCHES "file format ${format}")
  message(FATAL_ERROR "${LIBRARY} is not ${format}")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[ *[0-9]+\\] [^\n]+\n)+)" names "${table}")
string(REGEX MATCHALL "\\] [^\n]+" exports "${CMAKE_MATCH_1}")
list(TRANSFORM exports REPLACE "\\] " "")
list(SORT exports)
set(expected ${EXPORTS})
if(NOT exports STREQUAL expected)
  message(FATAL_ERROR "exports are \"${exports}\", expected \"${expected}\"")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${table}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
set(system kernel32.dll msvcrt.dll advapi32.dll user32.dll ws2_32.dll ntdll.dll)
foreach(import ${imports})
  string(TOLOWER "${import}" name)
  if(NOT name IN_LIST system AND NOT name MATCHES "^api-ms-win-")
    message(FATAL_ERROR "imports ${import}, not a system DLL (all: ${imports})")
  endif()
endforeach()
message(STATUS "exports: ${exports}; imports: ${imports}")
