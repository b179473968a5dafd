#include "platform/windows/WideText.h"

#include <windows.h>

namespace {
std::wstring Widened(const std::string& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrowed(const std::wstring& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}
}  // namespace

std::wstring WideFromUtf8(const std::string& text) {
  return Widened(text, CP_UTF8);
}

std::wstring WideFromCodePage(const std::string& text, unsigned codePage) {
  return Widened(text, codePage);
}

std::string Utf8FromWide(const std::wstring& text) {
  return Narrowed(text, CP_UTF8);
}

std::string CodePageFromWide(const std::wstring& text, unsigned codePage) {
  return Narrowed(text, codePage);
}
