#include "platform/IniFile.h"

#include <windows.h>

#include "platform/Paths.h"
#include "platform/windows/LastErrorText.h"
#include "platform/windows/LongPath.h"
#include "platform/windows/WideText.h"

namespace {
class tReadHandle {
 public:
  explicit tReadHandle(const std::string& path)
      : Handle(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~tReadHandle() {
    if (IsOpen()) CloseHandle(Handle);
  }
  tReadHandle(const tReadHandle&) = delete;
  tReadHandle& operator=(const tReadHandle&) = delete;

  bool IsOpen() const { return Handle != INVALID_HANDLE_VALUE; }

  // False with the last error set when the content cannot be had.
  bool ReadAll(std::string& content) const {
    char chunk[4096];
    for (;;) {
      DWORD count = 0;
      if (!ReadFile(Handle, chunk, sizeof chunk, &count, nullptr)) return false;
      if (count == 0) return true;
      content.append(chunk, count);
    }
  }

 private:
  HANDLE Handle;
};

}  // namespace

// A folder in the file's place is refused, as Windows refuses to open it.
std::string tIniFile::ReadBytes(const std::string& path) {
  const tReadHandle file(path);
  std::string content;
  if (!file.IsOpen() || !file.ReadAll(content))
    throw tIniError("cannot read " + PathText(path) + ": " + LastErrorText());
  return content;
}

// Only a missing file is written, with the defaults; a new file is written
// in the ANSI code page, which ASCII defaults survive.
void tIniFile::WriteString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& value) {
  const auto wide = [](const std::string& text) { return WideFromCodePage(text, LogCodePage); };
  if (!WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(),
                                  WideFromUtf8(path).c_str()))
    throw tIniError("Unable to write to " + PathText(path));
}

bool tIniFile::FileExists(const std::string& path) {
  return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
