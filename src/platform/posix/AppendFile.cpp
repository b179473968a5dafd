#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

tAppendFile::tAppendFile(const std::string& path) {
  Handle = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (Handle < 0) return;
  // Other writers are shut out for the time of one line; they fail rather than wait.
  if (flock(Handle, LOCK_EX | LOCK_NB) != 0) {
    close(Handle);
    Handle = -1;
  }
}

tAppendFile::~tAppendFile() {
  if (Handle >= 0) close(Handle);
}

bool tAppendFile::SeekToEnd() {
  const off_t end = lseek(Handle, 0, SEEK_END);
  End = end;
  return end >= 0;
}

bool tAppendFile::Write(const char* data, std::size_t size) {
  const ssize_t written = write(Handle, data, size);
  const bool whole = written >= 0 && static_cast<std::size_t>(written) == size;
  if (!whole && written > 0) CutBack();
  return whole;
}

bool tAppendFile::CutBack() {
  return ftruncate(Handle, static_cast<off_t>(End)) == 0;
}
