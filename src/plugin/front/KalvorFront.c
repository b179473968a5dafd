/* Kalvor.dll on Windows, the library the host loads. It carries no C or C++
   runtime and starts no thread, so FreeLibrary unloads it for real; the
   plugin itself is the core beside it (<this file's name>.core.dll), which
   stays loaded for the process, since its C++ runtime would leak at every
   unload. Unloaded without Finalize_Plugin, the front stops the core's
   session before FreeLibrary returns: the host is called back no more. */
#include <windows.h>

#include "plugin/uCoreEntries.h"

static HMODULE Front;
static const tKalvorCore* volatile Core;
static volatile LONG CoreMissingSaid;
/* Handed out when the core is missing: commands then answer 1. */
static char FallbackName[] = "DYNAMIC_MENU";

static const wchar_t CoreSuffix[] = L".core.dll";

/* The front's own path, on the process heap, with room to spare for the
   core's longer name; null when Windows cannot tell. */
static wchar_t* FrontPath(DWORD spare) {
  DWORD room = MAX_PATH;
  for (;;) {
    wchar_t* path = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, (room + spare) * sizeof(wchar_t));
    if (path == NULL) return NULL;
    DWORD length = GetModuleFileNameW(Front, path, room);
    if (length > 0 && length < room) return path;
    HeapFree(GetProcessHeap(), 0, path);
    if (length == 0 || room >= 32768) return NULL;
    room *= 2;
  }
}

/* The front's file name up to its extension, then ".core.dll". */
static void MakeCorePath(const wchar_t* front, wchar_t* core) {
  int name = 0, dot = -1, i = 0;
  for (; front[i] != L'\0'; ++i) {
    if (front[i] == L'\\' || front[i] == L'/') name = i + 1, dot = -1;
    if (front[i] == L'.' && i > name) dot = i;
  }
  int end = dot >= 0 ? dot : i;
  lstrcpynW(core, front, end + 1);
  lstrcatW(core, CoreSuffix);
}

/* Nothing else can be told: the core writes the log. Once per load. */
static void SayCoreMissing(const wchar_t* core, DWORD error) {
  if (InterlockedExchange(&CoreMissingSaid, 1) != 0) return;
  wchar_t* reason = NULL;
  if (error != 0)
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, error, 0, (wchar_t*)&reason, 0, NULL);
  OutputDebugStringW(L"Kalvor: cannot load ");
  OutputDebugStringW(core);
  OutputDebugStringW(L": ");
  OutputDebugStringW(reason != NULL ? reason : L"not the core of this build\n");
  OutputDebugStringW(L"Kalvor: every command is answered 1 until it is there\n");
  if (reason != NULL) LocalFree(reason);
}

static const tKalvorCore* OpenCore(void) {
  wchar_t* front = FrontPath(sizeof CoreSuffix / sizeof CoreSuffix[0]);
  if (front == NULL) return NULL;
  wchar_t* core = (wchar_t*)HeapAlloc(GetProcessHeap(), 0,
                                      (lstrlenW(front) + sizeof CoreSuffix) * sizeof(wchar_t));
  const tKalvorCore* entries = NULL;
  if (core != NULL) {
    MakeCorePath(front, core);
    /* Pinned by itself at its first load: this reference is never given back. */
    HMODULE module = LoadLibraryExW(core, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    tKalvorCoreOpen open =
        module != NULL ? (tKalvorCoreOpen)(void*)GetProcAddress(module, KALVOR_CORE_OPEN) : NULL;
    if (open != NULL) entries = open(front);
    if (entries != NULL && entries->Size != sizeof(tKalvorCore)) entries = NULL;
    if (entries == NULL) SayCoreMissing(core, module == NULL ? error : 0);
    HeapFree(GetProcessHeap(), 0, core);
  }
  HeapFree(GetProcessHeap(), 0, front);
  return entries;
}

/* Two host threads that call in first at once both open the core, which
   answers both alike. */
static const tKalvorCore* OpenedCore(void) {
  const tKalvorCore* entries = Core;
  if (entries == NULL) {
    entries = OpenCore();
    if (entries != NULL) InterlockedExchangePointer((void* volatile*)&Core, (void*)entries);
  }
  return entries;
}

static void ReportFallbackName(char** NameOut) {
  if (NameOut != NULL) *NameOut = FallbackName;
}

void KALVOR_CALL Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue) {
  const tKalvorCore* core = OpenedCore();
  if (core != NULL)
    core->Init(NameOut, cb, UserValue);
  else
    ReportFallbackName(NameOut);
}

void KALVOR_CALL GetName_Plugin(char** NameOut) {
  const tKalvorCore* core = OpenedCore();
  if (core != NULL)
    core->GetName(NameOut);
  else
    ReportFallbackName(NameOut);
}

int32_t KALVOR_CALL Command_Plugin(int32_t CommandId, void* Buffer, int32_t Size) {
  const tKalvorCore* core = Core;
  return core != NULL ? core->Command(CommandId, Buffer, Size) : KALVOR_COMMAND_NO_SESSION;
}

void KALVOR_CALL Finalize_Plugin(void) {
  const tKalvorCore* core = Core;
  if (core != NULL) core->Finalize();
}

/* The entry point, with no runtime to start: FreeLibrary (reserved null)
   stops the session; at process exit the core's own handlers do. */
BOOL WINAPI FrontEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    Front = instance;
    DisableThreadLibraryCalls(instance);
  }
  if (reason == DLL_PROCESS_DETACH && reserved == NULL && Core != NULL) Core->FrontUnloaded();
  return TRUE;
}
