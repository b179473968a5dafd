// A file opened for appending one piece of text, closed when the object goes.
#pragma once

#include <cstddef>
#include <string>

class tAppendFile {
 public:
  // Opens for writing, creating the file when missing. Does not wait: while
  // another writer holds the file the open fails and IsOpen() is false.
  explicit tAppendFile(const std::string& path);
  ~tAppendFile();
  tAppendFile(const tAppendFile&) = delete;
  tAppendFile& operator=(const tAppendFile&) = delete;

  bool IsOpen() const { return Handle >= 0; }
  bool SeekToEnd();
  // One write call; true when it took every byte.
  bool Write(const char* data, std::size_t size);

 private:
  int Handle = -1;
};
