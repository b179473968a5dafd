// A file opened for appending one piece of text, closed when the object goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Why a write took only part of the bytes: the system gives no reason then.
std::string PartialWriteText(std::size_t written, std::size_t size);

class tAppendFile {
 public:
  // Opens for writing, creating the file when missing, and waits its turn
  // while another writer of this library appends a line to the same file, so
  // whole lines of several writers follow each other and none is lost. Never
  // waits for an opener that shares no writing (a log viewer on Windows): the
  // open fails at once.
  explicit tAppendFile(const std::string& path);
  ~tAppendFile();
  tAppendFile(const tAppendFile&) = delete;
  tAppendFile& operator=(const tAppendFile&) = delete;

  bool IsOpen() const { return Handle != -1; }
  // Also remembers where the file ends, for Write to go back to.
  bool SeekToEnd();
  // One write call; true when it took every byte. A write that took only part
  // of them (a full disk, a file size limit) is undone by cutting the file back
  // to where it ended, so the text is in the file whole or not at all.
  bool Write(const char* data, std::size_t size);
  // The system's words for why the last step failed.
  const std::string& Failure() const { return Reason; }

 private:
  bool CutBack();

  // A descriptor, or a Windows handle; -1 for none on both.
  std::intptr_t Handle = -1;
  long long End = 0;
  std::string Reason;
};
