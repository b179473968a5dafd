// A library planted where the plugin must never take a library from (the
// current folder, a folder on PATH), under the name of one it looks for:
// loading it leaves "<its own path>.loaded" beside it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 8] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  lstrcatA(path, ".loaded");
  const HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
