#include "platform/AppendFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

tAppendFile::tAppendFile(const std::string& path) {
  Handle = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (Handle < 0) return;
  // Writers take turns for the time of one line: a line is appended, or cut
  // back after a partial write, with no other writer's line in between.
  int locked = -1;
  do locked = flock(static_cast<int>(Handle), LOCK_EX);
  while (locked != 0 && errno == EINTR);
  if (locked != 0) {
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
