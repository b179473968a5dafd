# objdump -p of a DLL of the plugin: it runs on Windows Vista / Server 2008 and
# later. Its header says 6.0 (the linker's --major-os-version and
# --major-subsystem-version), and every KERNEL32 function it imports is one
# Vista has. A new import fails here until it is checked against Vista's
# KERNEL32 and added to the list.
cmake_policy(SET CMP0057 NEW)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed")
endif()

foreach(field MajorOSystemVersion MajorSubsystemVersion)
  if(NOT table MATCHES "\n${field}[ \t]+6\n")
    message(FATAL_ERROR "${field} is not 6 (Vista)")
  endif()
endforeach()

# Known on Vista's KERNEL32; most since Windows 2000 or XP, GetTickCount64
# since Vista itself.
set(vista
  AddVectoredExceptionHandler CancelIo CloseHandle ConnectNamedPipe CreateDirectoryA CreateDirectoryW CreateEventA
  CreateEventW CreateFileA CreateFileW CreateNamedPipeW CreateSemaphoreA CreateSemaphoreW DeleteCriticalSection
  DeleteFileA DeleteFileW DisableThreadLibraryCalls DisconnectNamedPipe DuplicateHandle EnterCriticalSection ExitThread
  FileTimeToSystemTime FindClose FindFirstFileA FindFirstFileW FindNextFileA FindNextFileW
  FlushFileBuffers FormatMessageA FormatMessageW FreeLibrary FreeLibraryAndExitThread
  GetACP GetCurrentProcess GetEnvironmentVariableW GetOverlappedResult GetCurrentProcessId GetCurrentThread GetCurrentThreadId
  GetFileAttributesA GetFileAttributesW GetFileSizeEx GetFileType GetFullPathNameA
  GetFullPathNameW GetHandleInformation GetLastError GetLocalTime GetLocaleInfoA
  GetModuleFileNameA GetModuleFileNameW GetModuleHandleA GetModuleHandleExA
  GetModuleHandleExW GetModuleHandleW GetPrivateProfileStringA GetProcAddress
  GetProcessAffinityMask GetProcessHeap GetProcessTimes GetStartupInfoA GetSystemDirectoryA
  GetSystemDirectoryW GetSystemInfo HeapAlloc HeapFree
  GetSystemTimeAdjustment GetSystemTimeAsFileTime GetThreadContext GetThreadPriority
  GetThreadTimes GetTickCount GetTickCount64 InitializeCriticalSection
  InitializeCriticalSectionAndSpinCount IsDBCSLeadByteEx IsDebuggerPresent
  LeaveCriticalSection LoadLibraryA LoadLibraryExA LoadLibraryExW LoadLibraryW LocalFree
  LockFileEx MultiByteToWideChar OpenProcess OutputDebugStringA OutputDebugStringW
  QueryPerformanceCounter QueryPerformanceFrequency RaiseException ReadFile ReleaseSemaphore
  RemoveDirectoryW RemoveVectoredExceptionHandler
  ResetEvent ResumeThread RtlAddFunctionTable RtlCaptureContext RtlLookupFunctionEntry
  RtlUnwind RtlUnwindEx RtlVirtualUnwind SetEndOfFile SetErrorMode SetEvent SetFilePointer
  SetFilePointerEx SetLastError SetProcessAffinityMask SetSystemTime
  SetThreadContext SetThreadPriority SetUnhandledExceptionFilter Sleep SuspendThread
  TerminateProcess TlsAlloc TlsFree TlsGetValue TlsSetValue TryEnterCriticalSection
  UnhandledExceptionFilter UnlockFileEx VirtualAlloc VirtualFree VirtualProtect VirtualQuery
  WaitForMultipleObjects WaitForSingleObject WideCharToMultiByte WriteFile
  WritePrivateProfileStringA WritePrivateProfileStringW lstrcatW lstrcpynW lstrlenW
  # 64-bit only: structured exception handling, in KERNEL32 since the first x64 Windows.
  __C_specific_handler)

# The import table lists, under each DLL, one line per function:
# "<tab>address<tab> hint  name".
string(REGEX MATCH "DLL Name: KERNEL32\\.dll\n[^\n]*\n((\t[0-9a-f]+\t +[0-9]+ +[A-Za-z0-9_]+\n)+)"
       kernel32 "${table}")
if(NOT kernel32)
  message(FATAL_ERROR "no KERNEL32 imports found in ${LIBRARY}")
endif()
string(REGEX MATCHALL "[A-Za-z0-9_]+\n" imports "${CMAKE_MATCH_1}")
list(TRANSFORM imports STRIP)
set(unknown "")
foreach(import ${imports})
  if(NOT import IN_LIST vista)
    list(APPEND unknown ${import})
  endif()
endforeach()
if(unknown)
  message(FATAL_ERROR "KERNEL32 imports not known on Vista: ${unknown}")
endif()
list(LENGTH imports count)
message(STATUS "${count} KERNEL32 imports, all on Vista")
