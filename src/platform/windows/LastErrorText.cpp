#include "platform/windows/LastErrorText.h"

#include <windows.h>

#include "platform/windows/WideText.h"

std::string LastErrorText() {
  return ErrorText(GetLastError());
}

// Wide, then in the log's code page: the system's language need not be the
// ANSI code page's.
std::string ErrorText(unsigned long error) {
  wchar_t text[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, 512, nullptr);
  std::wstring reason(text, length);
  while (!reason.empty() &&
         (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
    reason.pop_back();
  return reason.empty() ? "error " + std::to_string(error) : CodePageFromWide(reason, LogCodePage);
}
