#include "platform/IniFile.h"

// Texts are 8-bit bytes: no conversion of any kind.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

class tIniData {
 public:
  CSimpleIniA Ini{false, false, false};
};

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

bool LoadInto(CSimpleIniA& ini, const std::string& path, std::string& reason) {
  std::string content;
  if (!tReadOnlyFile(path).ReadAll(content)) {
    reason = std::strerror(errno);
    return false;
  }
  if (ini.LoadData(content) >= SI_OK) return true;
  reason = "not an ini file";
  return false;
}

std::string WithoutQuotes(const std::string& value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}
}  // namespace

tIniFile::tIniFile() : Data(std::make_unique<tIniData>()) {}
tIniFile::~tIniFile() = default;

std::unique_ptr<tIniFile> tIniFile::Load(const std::string& path) {
  std::unique_ptr<tIniFile> file(new tIniFile());
  std::string reason;
  if (!LoadInto(file->Data->Ini, path, reason))
    throw tIniError("cannot read " + path + ": " + reason);
  return file;
}

std::string tIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  const char* value = Data->Ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return value == nullptr ? fallback : WithoutQuotes(value);
}

bool tIniFile::HasKey(const std::string& section, const std::string& key) const {
  return Data->Ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

void tIniFile::WriteString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& value) {
  CSimpleIniA ini(false, false, false);
  std::string reason;
  if (FileExists(path) && !LoadInto(ini, path, reason))
    throw tIniError("Unable to write to " + path);
  const bool stored = ini.SetValue(section.c_str(), key.c_str(), value.c_str()) >= SI_OK;
  if (!stored || ini.SaveFile(path.c_str(), false) < SI_OK)
    throw tIniError("Unable to write to " + path);
}

bool tIniFile::FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}
