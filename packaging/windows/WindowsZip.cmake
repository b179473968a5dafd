# One zip per Windows build, kalvor-<version>-win32.zip or -win64.zip (cpack -G
# ZIP, as scripts/windows-zip.sh runs it): the stripped Kalvor.dll,
# kalvor-host.exe once the build has it, a Windows Kalvor.ini.sample, the SQL
# scripts with create-database.cmd, the public headers, the C example host and
# README-Windows.txt. The texts written for Windows get CR LF line ends.

set(KALVOR_ZIP_NAME kalvor-${PROJECT_VERSION}-win${KALVOR_BITS})
if(KALVOR_BITS EQUAL 32 AND KALVOR_CDECL)
  # Never mistaken for the __stdcall zip, which production hosts load.
  string(APPEND KALVOR_ZIP_NAME "-cdecl")
endif()


set(texts ${PROJECT_BINARY_DIR}/windows-zip)
function(kalvor_windows_text source target)
  configure_file(${source} ${texts}/${target} @ONLY NEWLINE_STYLE CRLF)
endfunction()
kalvor_windows_text(${CMAKE_CURRENT_LIST_DIR}/README-Windows.txt README-Windows.txt)
kalvor_windows_text(${CMAKE_CURRENT_LIST_DIR}/Kalvor.ini.sample Kalvor.ini.sample)
kalvor_windows_text(${CMAKE_CURRENT_LIST_DIR}/create-database.cmd create-database.cmd)

install(FILES ${texts}/README-Windows.txt ${texts}/Kalvor.ini.sample ${texts}/create-database.cmd
  DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/examples/menu_host.c DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/sql/schema.sql ${PROJECT_SOURCE_DIR}/sql/demo-data.sql
  ${PROJECT_SOURCE_DIR}/sql/plugin-user.sql DESTINATION sql)

# The host tool goes in when the build has its target, wherever the target is
# defined: this runs once the top folder's CMakeLists.txt is done. It also
# writes what the zip check (tests/windows/check-zip.sh) expects of the build.
function(kalvor_windows_zip_host_tool)
  set(host_tool "")
  if(TARGET kalvor-host)
    set(host_tool kalvor-host.exe)
    install(TARGETS kalvor-host RUNTIME DESTINATION .)
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/windows-zip.conf
    "zip_name=${KALVOR_ZIP_NAME}\nversion=${PROJECT_VERSION}\nbits=${KALVOR_BITS}\n"
    "convention=${KALVOR_CONVENTION}\nhost_tool=${host_tool}\n"
    "c_compiler=${CMAKE_C_COMPILER}\nobjdump=${CMAKE_OBJDUMP}\nwindres=${CMAKE_RC_COMPILER}\n")
endfunction()
cmake_language(DEFER CALL kalvor_windows_zip_host_tool)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kalvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${KALVOR_ZIP_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
