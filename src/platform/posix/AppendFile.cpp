#include "platform/AppendFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/SharedFolder.h"

namespace {
int OpenOrCreate(const std::string& path) {
  const int handle = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (handle >= 0 || errno != ENOENT) return handle;
  const int created = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
  if (created >= 0) ShareWithGroupLikeParent(path);
  // Another writer created it in the meantime.
  if (created < 0 && errno == EEXIST) return open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  return created;
}
}  // namespace

tAppendFile::tAppendFile(const std::string& path) {
  Handle = OpenOrCreate(path);
  if (Handle < 0) {
    Reason = std::strerror(errno);
    return;
  }
  // Writers take turns for the time of one line: a line is appended, or cut
  // back after a partial write, with no other writer's line in between.
  int locked = -1;
  do locked = flock(static_cast<int>(Handle), LOCK_EX);
  while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    Reason = std::strerror(errno);
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
  if (end < 0) Reason = std::strerror(errno);
  return end >= 0;
}

bool tAppendFile::Write(const char* data, std::size_t size) {
  const ssize_t written = write(Handle, data, size);
  const bool whole = written >= 0 && static_cast<std::size_t>(written) == size;
  if (written < 0) Reason = std::strerror(errno);
  if (written >= 0 && !whole) Reason = PartialWriteText(static_cast<std::size_t>(written), size);
  if (!whole && written > 0) CutBack();
  return whole;
}

bool tAppendFile::CutBack() {
  return ftruncate(Handle, static_cast<off_t>(End)) == 0;
}
