# nm -u of each object of the library: none may register a function to run at
# exit, which is what a static or namespace-scope object with a destructor
# does (__cxa_atexit on Linux, atexit on Windows). At exit other threads may
# have been ended holding the heap's lock, and such a destructor would wait on
# it for ever. ALLOWED names the objects whose registration is deliberate.
# Usage: cmake -DNM=nm -DOBJECTS=a.o|b.o -DALLOWED=regex -P NoExitDestructors.cmake
string(REPLACE "|" ";" objects "${OBJECTS}")
list(LENGTH objects count)
if(count EQUAL 0)
  message(FATAL_ERROR "no objects given")
endif()
set(offenders "")
foreach(object ${objects})
  if(ALLOWED AND object MATCHES "${ALLOWED}")
    continue()
  endif()
  execute_process(COMMAND ${NM} -u ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} -u ${object} failed")
  endif()
  if(symbols MATCHES "(^|\n) *U _*(cxa_atexit|atexit|onexit)\n")
    list(APPEND offenders "${object}: ${CMAKE_MATCH_2}")
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "objects that register destructors to run at exit:\n  ${text}")
endif()
message(STATUS "${count} objects register nothing to run at exit")
