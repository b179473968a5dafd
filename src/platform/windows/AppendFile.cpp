#include "platform/AppendFile.h"

#include <windows.h>

#include "platform/windows/LastErrorText.h"
#include "platform/windows/LongPath.h"

namespace {
HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Writers of one file (other processes with the same log folder, another copy
// of this library, a second log object) take turns through a lock on one byte
// far past any end the file will reach: a line is appended, or cut back after
// a partial write, with no other writer in between. Readers such as log viewers
// need no lock and are not disturbed.
OVERLAPPED TurnByte() {
  OVERLAPPED turn{};
  turn.Offset = 0xFFFFFFF0;
  turn.OffsetHigh = 0x7FFFFFFF;
  return turn;
}
}  // namespace

// One attempt: an opener that shares no writing (a log viewer, an editor)
// makes it fail at once, and the log holds the line until the file opens.
tAppendFile::tAppendFile(const std::string& path) {
  const HANDLE file =
      CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Reason = LastErrorText();
    return;
  }
  OVERLAPPED turn = TurnByte();
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn)) {
    Reason = LastErrorText();
    CloseHandle(file);
    return;
  }
  Handle = reinterpret_cast<std::intptr_t>(file);
}

tAppendFile::~tAppendFile() {
  if (!IsOpen()) return;
  OVERLAPPED turn = TurnByte();
  UnlockFileEx(AsHandle(Handle), 0, 1, 0, &turn);
  CloseHandle(AsHandle(Handle));
}

// With the high word asked for, a file past 4 GB is no failure.
bool tAppendFile::SeekToEnd() {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(AsHandle(Handle), 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    Reason = LastErrorText();
    return false;
  }
  End = static_cast<long long>(high) << 32 | low;
  return true;
}

bool tAppendFile::Write(const char* data, std::size_t size) {
  DWORD written = 0;
  const bool wrote = WriteFile(AsHandle(Handle), data, static_cast<DWORD>(size), &written, nullptr);
  const bool whole = wrote && written == size;
  if (!wrote) Reason = LastErrorText();
  if (wrote && !whole) Reason = PartialWriteText(written, size);
  if (!whole && written > 0) CutBack();
  return whole;
}

bool tAppendFile::CutBack() {
  LARGE_INTEGER end{};
  end.QuadPart = End;
  return SetFilePointerEx(AsHandle(Handle), end, nullptr, FILE_BEGIN) &&
         SetEndOfFile(AsHandle(Handle));
}
