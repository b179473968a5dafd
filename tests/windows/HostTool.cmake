# kalvor-host.exe as an operator runs it on the IVR box: beside Kalvor.dll,
# fbclient.dll (the stand-in's menu 1: item 10 whose keys "1" and "0" lead to
# items 20 and 40, which do not exist) and Kalvor.ini, under wine. Walk and
# check must give the menu's tree and findings, texts converted both ways.
set(folder ${WORK}/host-tool)
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder})
file(COPY ${TOOL} ${PLUGIN} ${CORE} ${CLIENT} DESTINATION ${folder})
file(WRITE ${folder}/Kalvor.ini
  "[Main]\r\nDBName=127.0.0.1:c:\\bases\\vo.fdb\r\nDBUser=SYSDBA\r\nDBPWD=x\r\nLogLevel=1\r\n")
# Arguments reach wine as UTF-8; the tool reads them from the wide command line.
# Wine's code pages follow LANG: C.UTF-8 gives a console without Cyrillic.
set(ENV{LANG} C.UTF-8)
set(ENV{LC_ALL} C.UTF-8)

function(run expected_status)
  execute_process(COMMAND ${EMULATOR} ${folder}/kalvor-host.exe ${ARGN}
    WORKING_DIRECTORY ${folder} RESULT_VARIABLE status OUTPUT_FILE ${folder}/out.txt
    ERROR_FILE ${folder}/err.txt)
  file(READ ${folder}/out.txt out)
  file(READ ${folder}/err.txt err)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "kalvor-host.exe ${ARGN}: exit ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  file(READ ${folder}/out.txt hex HEX)
  set(output "${out}" PARENT_SCOPE)
  set(output_hex "${hex}" PARENT_SCOPE)
  set(errors "${err}" PARENT_SCOPE)
endfunction()

function(expect text part)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${part}\" in:\n${text}")
  endif()
endfunction()

run(1 walk 1)
expect("${output}" "menu 1, start item 10\n")
# Letters the console's code page lacks are shown as "?", never as raw bytes.
expect("${output}" "key \"1\" (\"??????\") -> [20] does not exist (result code 2)")
expect("${output}" "key \"0\" (\"????????\") -> [40] does not exist")
# The reason comes from the plugin's log beside the tool.
expect("${errors}" "IN[menu_item_id=20] OUT[]- NOT FOUND")

run(1 check 1)
expect("${output}" "error: item 10 key \"1\" leads to item 20, which does not exist [missing-item]\n")
expect("${output}" "menu 1: 3 items checked, 2 errors, 0 warnings\n")

# --ini: a private copy of the plugin, which finds fbclient.dll in the tool's folder.
file(RENAME ${folder}/Kalvor.ini ${folder}/staging.ini)
run(1 --ini ${folder}/staging.ini check 1)
expect("${output}" "menu 1: 3 items checked, 2 errors, 0 warnings\n")
file(RENAME ${folder}/staging.ini ${folder}/Kalvor.ini)

run(1 --json walk 1)
expect("${output}" "\"item_name\":\"Приветствие\"")

run(1 --json simulate 1 --keys Ё --dry-run)
expect("${output}" "\"stopped\":\"key \\\"Ё\\\" (bytes A8) matches no row of item 10;")

# The tool, the plugin and its ini in a folder named in Cyrillic, on a system
# whose ANSI code page (1252) lacks the letters: the plugin loads, and the
# log's path is shown with one "?" for each letter the console lacks.
set(cyrillic ${folder}/Кальвор)
file(MAKE_DIRECTORY ${cyrillic})
file(COPY ${TOOL} ${PLUGIN} ${CORE} ${CLIENT} ${folder}/Kalvor.ini DESTINATION ${cyrillic})
set(ascii_folder ${folder})
set(folder ${cyrillic})
run(1 walk 1)
expect("${output}" "menu 1, start item 10\n")
expect("${errors}" "\\host-tool\\???????\\Logs\\")
set(folder ${ascii_folder})

run(0 --help)
expect("${output}" "Kalvor.dll beside kalvor-host.exe")

# A Russian Windows: the console's code page has the letters, "Баланс" in
# Windows-1251 is c1e0ebe0edf1.
set(ENV{LANG} ru_RU.UTF-8)
set(ENV{LC_ALL} ru_RU.UTF-8)
run(1 walk 1)
expect("${output_hex}" "2822c1e0ebe0edf12229")

