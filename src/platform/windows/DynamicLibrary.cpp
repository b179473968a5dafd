#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <utility>

#include "platform/Paths.h"
#include "platform/windows/LastErrorText.h"

const char* const DynamicLibraryExtension = ".dll";

namespace {
HMODULE AsModule(void* handle) {
  return static_cast<HMODULE>(handle);
}
}  // namespace

// A library loaded from a folder finds the DLLs it needs in that folder too.
tDynamicLibrary tDynamicLibrary::Load(const std::string& name) {
  const DWORD flags = ExtractFilePath(name).empty() ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return tDynamicLibrary(LoadLibraryExA(name.c_str(), nullptr, flags));
}

tDynamicLibrary tDynamicLibrary::Load(const std::string& name, std::string& Failure) {
  tDynamicLibrary library = Load(name);
  if (library.IsLoaded()) return library;
  Failure = LastErrorText();
  // Some of the system's texts name the file as "%1".
  const auto insert = Failure.find("%1");
  if (insert != std::string::npos) Failure.replace(insert, 2, ExtractFileName(name));
  return library;
}

void* tDynamicLibrary::Symbol(const std::string& name) const {
  if (Handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(AsModule(Handle), name.c_str()));
}

void tDynamicLibrary::Unload() {
  if (Handle != nullptr) FreeLibrary(AsModule(std::exchange(Handle, nullptr)));
}
