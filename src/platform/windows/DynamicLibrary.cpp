#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <utility>

#include "platform/Paths.h"
#include "platform/windows/LastErrorText.h"
#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

const char* const DynamicLibraryExtension = ".dll";

namespace {
HMODULE AsModule(void* handle) {
  return static_cast<HMODULE>(handle);
}

// The restricting flags came with AddDllDirectory (Windows 8, and an update
// for Vista and 7). Without them the library's own folder is searched first
// for what it needs, then the system's usual order.
DWORD FullPathLoadFlags() {
  static const bool restricted =
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
  return restricted ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                    : LOAD_WITH_ALTERED_SEARCH_PATH;
}
}  // namespace

std::string SystemLibraryFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return Utf8FromWide(std::wstring(folder, length)) + PathDelimiter;
}

// Always by full path: a bare name would let the system look in the current
// folder and on PATH. SetDefaultDllDirectories would change that for the whole
// host process, so the search is restricted for each load instead.
tDynamicLibrary tDynamicLibrary::Load(const std::string& name) {
  const std::string path = ExtractFilePath(name).empty() ? SystemLibraryFolder() + name : name;
  if (ExtractFilePath(path).empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  return tDynamicLibrary(LoadLibraryExW(WideFromUtf8(path).c_str(), nullptr, FullPathLoadFlags()));
}

tDynamicLibrary tDynamicLibrary::Load(const std::string& name, std::string& Failure) {
  tDynamicLibrary library = Load(name);
  if (library.IsLoaded()) return library;
  Failure = LastErrorText();
  // Some of the system's texts name the file as "%1".
  const auto insert = Failure.find("%1");
  if (insert != std::string::npos) Failure.replace(insert, 2, PathText(ExtractFileName(name)));
  return library;
}

std::string tDynamicLibrary::FilePath() const {
  return Handle == nullptr ? std::string() : PathText(ModuleFilePath(AsModule(Handle)));
}

void* tDynamicLibrary::Symbol(const std::string& name) const {
  if (Handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(AsModule(Handle), name.c_str()));
}

void tDynamicLibrary::Unload() {
  if (Handle != nullptr) FreeLibrary(AsModule(std::exchange(Handle, nullptr)));
}
