#include "platform/IniFile.h"

// Texts are 8-bit bytes: no conversion of any kind.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <sys/stat.h>

class tIniData {
 public:
  CSimpleIniA Ini{false, false, false};
};

namespace {
bool LoadInto(CSimpleIniA& ini, const std::string& path) {
  return ini.LoadFile(path.c_str()) >= SI_OK;
}
}  // namespace

tIniFile::tIniFile() : Data(std::make_unique<tIniData>()) {}
tIniFile::~tIniFile() = default;

std::unique_ptr<tIniFile> tIniFile::Load(const std::string& path) {
  std::unique_ptr<tIniFile> file(new tIniFile());
  if (!LoadInto(file->Data->Ini, path)) throw tIniError("Unable to read " + path);
  return file;
}

std::string tIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  return Data->Ini.GetValue(section.c_str(), key.c_str(), fallback.c_str());
}

bool tIniFile::HasKey(const std::string& section, const std::string& key) const {
  return Data->Ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

void tIniFile::WriteString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& value) {
  CSimpleIniA ini(false, false, false);
  if (FileExists(path) && !LoadInto(ini, path)) throw tIniError("Unable to write to " + path);
  const bool stored = ini.SetValue(section.c_str(), key.c_str(), value.c_str()) >= SI_OK;
  if (!stored || ini.SaveFile(path.c_str(), false) < SI_OK)
    throw tIniError("Unable to write to " + path);
}

bool tIniFile::FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
