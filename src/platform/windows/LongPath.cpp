#include "platform/windows/LongPath.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace {
bool StartsWith(const std::wstring& text, const wchar_t* start) {
  return text.rfind(start, 0) == 0;
}

// The prefixed form takes the path as it is, so "." and ".." and forward
// slashes are resolved first.
std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}
}  // namespace

std::wstring LongPathForm(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty() || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
  const std::wstring full = FullPath(wide);
  if (full.empty()) return wide;
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
