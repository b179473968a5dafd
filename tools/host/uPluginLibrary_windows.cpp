#include <windows.h>

#include "uPluginLibrary.h"

namespace {
std::wstring WideFromUtf8(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(DWORD error) {
  wchar_t text[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' ||
                        text[length - 1] == L' ' || text[length - 1] == L'.'))
    --length;
  const std::string reason = Utf8FromWide(std::wstring(text, length));
  return "error " + std::to_string(error) + (reason.empty() ? "" : ": " + reason);
}
}  // namespace

// The path is UTF-8, so that a folder named outside the ANSI code page loads.
void* OpenPluginLibrary(const std::string& path, std::string& why) {
  HMODULE library =
      LoadLibraryExW(WideFromUtf8(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) why = ErrorText(GetLastError());
  return library;
}

void* PluginLibraryEntry(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ClosePluginLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}
