#include "platform/IniFile.h"

// Texts are bytes: the file's encoding is dealt with before SimpleIni sees them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "platform/Paths.h"
#include "platform/TextConversion.h"

class tIniData {
 public:
  CSimpleIniA Ini{false, false, false};
  tIniEncoding Encoding = tIniEncoding::Ascii;
};

namespace {
std::string WithoutQuotes(const std::string& value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}
}  // namespace

tIniFile::tIniFile() : Data(std::make_unique<tIniData>()) {}
tIniFile::~tIniFile() = default;

std::unique_ptr<tIniFile> tIniFile::Load(const std::string& path) {
  const tIniText text = DecodeIniText(ReadBytes(path));
  std::unique_ptr<tIniFile> file(new tIniFile());
  file->Data->Encoding = text.Encoding;
  if (file->Data->Ini.LoadData(text.Text) < SI_OK)
    throw tIniError("cannot read " + PathText(path) + ": not an ini file");
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

tIniEncoding tIniFile::Encoding() const {
  return Data->Encoding;
}

std::vector<std::string> tIniFile::ConvertValues(const tCharacterSet& set) {
  std::vector<std::string> lacking;
  if (!IsUnicode(Data->Encoding)) return lacking;
  CSimpleIniA::TNamesDepend sections;
  Data->Ini.GetAllSections(sections);
  for (const auto& section : sections) {
    CSimpleIniA::TNamesDepend keys;
    Data->Ini.GetAllKeys(section.pItem, keys);
    for (const auto& key : keys) {
      const std::string value = Data->Ini.GetValue(section.pItem, key.pItem, "");
      if (const auto converted = Utf8ToCharacterSet(value, set))
        Data->Ini.SetValue(section.pItem, key.pItem, converted->c_str());
      else
        lacking.push_back(std::string(section.pItem) + "/" + key.pItem);
    }
  }
  return lacking;
}
