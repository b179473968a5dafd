#include "platform/IniFile.h"

#include <windows.h>

#include <map>
#include <vector>

#include "platform/windows/LastErrorText.h"

// The private-profile functions read the file: they match names without
// regard to case and take a value's enclosing quotes off. The copy keeps
// what they answered, under lower-case names.
class tIniData {
 public:
  std::map<std::string, std::map<std::string, std::string>> Sections;
};

namespace {
// Profile texts beyond this are not read; no configuration comes near it.
constexpr DWORD LargestText = 1 << 20;

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// One GetPrivateProfileStringA answer, with a buffer grown until it fits.
// A null section or key asks for the list of names, zero-separated.
std::string ProfileText(const char* section, const char* key, const std::string& path) {
  std::vector<char> buffer(256);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length =
        GetPrivateProfileStringA(section, key, "", buffer.data(), size, path.c_str());
    const bool cut = length + (section == nullptr || key == nullptr ? 2 : 1) >= size;
    if (!cut || size >= LargestText) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<std::string> NameList(const std::string& zeroSeparated) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < zeroSeparated.size()) {
    const std::size_t end = zeroSeparated.find('\0', start);
    const std::size_t stop = end == std::string::npos ? zeroSeparated.size() : end;
    if (stop > start) names.push_back(zeroSeparated.substr(start, stop - start));
    start = stop + 1;
  }
  return names;
}

// The profile functions read a file they cannot open as an empty one: the
// file is opened first, and a folder in its place is refused as Windows refuses it.
void CheckReadable(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw tIniError("cannot read " + path + ": " + LastErrorText());
  CloseHandle(file);
}
}  // namespace

tIniFile::tIniFile() : Data(std::make_unique<tIniData>()) {}
tIniFile::~tIniFile() = default;

std::unique_ptr<tIniFile> tIniFile::Load(const std::string& path) {
  CheckReadable(path);
  std::unique_ptr<tIniFile> file(new tIniFile());
  for (const std::string& section : NameList(ProfileText(nullptr, nullptr, path))) {
    auto& keys = file->Data->Sections[LowerCase(section)];
    for (const std::string& key : NameList(ProfileText(section.c_str(), nullptr, path)))
      keys.emplace(LowerCase(key), ProfileText(section.c_str(), key.c_str(), path));
  }
  return file;
}

std::string tIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  const auto keys = Data->Sections.find(LowerCase(section));
  if (keys == Data->Sections.end()) return fallback;
  const auto value = keys->second.find(LowerCase(key));
  return value == keys->second.end() ? fallback : value->second;
}

bool tIniFile::HasKey(const std::string& section, const std::string& key) const {
  const auto keys = Data->Sections.find(LowerCase(section));
  return keys != Data->Sections.end() && keys->second.count(LowerCase(key)) != 0;
}

void tIniFile::WriteString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& value) {
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()))
    throw tIniError("Unable to write to " + path);
}

bool tIniFile::FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
