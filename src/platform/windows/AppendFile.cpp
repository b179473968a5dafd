#include "platform/AppendFile.h"

#include <windows.h>

namespace {
HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}
}  // namespace

// Other openers may read while a line is written; one that wants to write
// fails at once rather than waiting.
tAppendFile::tAppendFile(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  Handle = reinterpret_cast<std::intptr_t>(file);  // INVALID_HANDLE_VALUE is -1
}

tAppendFile::~tAppendFile() {
  if (IsOpen()) CloseHandle(AsHandle(Handle));
}

// With the high word asked for, a file past 4 GB is no failure.
bool tAppendFile::SeekToEnd() {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(AsHandle(Handle), 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  End = static_cast<long long>(high) << 32 | low;
  return true;
}

bool tAppendFile::Write(const char* data, std::size_t size) {
  DWORD written = 0;
  const bool whole =
      WriteFile(AsHandle(Handle), data, static_cast<DWORD>(size), &written, nullptr) &&
      written == size;
  if (!whole && written > 0) CutBack();
  return whole;
}

bool tAppendFile::CutBack() {
  LARGE_INTEGER end{};
  end.QuadPart = End;
  return SetFilePointerEx(AsHandle(Handle), end, nullptr, FILE_BEGIN) &&
         SetEndOfFile(AsHandle(Handle));
}
