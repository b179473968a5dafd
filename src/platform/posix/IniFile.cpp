#include "platform/IniFile.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
class tReadOnlyFile {
 public:
  explicit tReadOnlyFile(const std::string& path)
      : Handle(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~tReadOnlyFile() {
    if (Handle >= 0) close(Handle);
  }
  tReadOnlyFile(const tReadOnlyFile&) = delete;
  tReadOnlyFile& operator=(const tReadOnlyFile&) = delete;

  // The whole content; false with errno set when it cannot be had.
  bool ReadAll(std::string& content) const {
    if (Handle < 0) return false;
    char chunk[4096];
    for (;;) {
      const ssize_t count = read(Handle, chunk, sizeof(chunk));
      if (count < 0) return false;
      if (count == 0) return true;
      content.append(chunk, static_cast<size_t>(count));
    }
  }

 private:
  int Handle;
};
}  // namespace

std::string tIniFile::ReadBytes(const std::string& path) {
  std::string content;
  if (!tReadOnlyFile(path).ReadAll(content))
    throw tIniError("cannot read " + path + ": " + std::strerror(errno));
  return content;
}

// Only a missing file is written, with the defaults: kept as the bytes it holds.
void tIniFile::WriteString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& value) {
  CSimpleIniA ini(false, false, false);
  std::string content;
  if (FileExists(path) && (!tReadOnlyFile(path).ReadAll(content) || ini.LoadData(content) < SI_OK))
    throw tIniError("Unable to write to " + path);
  const bool stored = ini.SetValue(section.c_str(), key.c_str(), value.c_str()) >= SI_OK;
  if (!stored || ini.SaveFile(path.c_str(), false) < SI_OK)
    throw tIniError("Unable to write to " + path);
}

bool tIniFile::FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}
