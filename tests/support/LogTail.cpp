#include "support/LogTail.h"

#include <filesystem>
#include <fstream>

#include "log/uLogVocabulary.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {
constexpr size_t StampLength = 13;

std::map<std::string, uintmax_t> LogFileSizes(const std::string& folder) {
  std::map<std::string, uintmax_t> sizes;
  std::error_code error;
  if (!fs::exists(folder, error)) return sizes;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file()) sizes[entry.path().string()] = entry.file_size();
  return sizes;
}

std::string ReadFrom(const std::string& path, uintmax_t offset) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

LogTail::LogTail(std::string logsFolder)
    : Folder(std::move(logsFolder)), SizesAtStart(LogFileSizes(Folder)) {}

std::string LogTail::NewText(bool wantPrefixed, const std::string& prefix) const {
  std::string text;
  for (const auto& [path, size] : LogFileSizes(Folder)) {
    const std::string name = fs::path(path).filename().string();
    const bool prefixed = name.rfind(PrefixedLogFileName(prefix, ""), 0) == 0;
    const bool plain = !name.empty() && name[0] >= '0' && name[0] <= '9';
    if (wantPrefixed ? !prefixed : !plain) continue;
    const auto known = SizesAtStart.find(path);
    text += ReadFrom(path, known == SizesAtStart.end() ? 0 : std::min(known->second, size));
  }
  return text;
}

std::string LogTail::MainText() const {
  return NewText(false, "");
}

std::string LogTail::PrefixedText(const std::string& prefix) const {
  return NewText(true, prefix);
}

std::vector<std::string> LogTail::MainMessages() const {
  return SplitLogLines(MainText(), true);
}

std::string HostLogsFolder() {
#ifdef _WIN32
  char path[1024] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  return (fs::path(path).parent_path() / LogsFolderName).string();
#else
  return (fs::read_symlink("/proc/self/exe").parent_path() / LogsFolderName).string();
#endif
}

std::vector<std::string> SplitLogLines(const std::string& text, bool stripStamp) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (stripStamp) line = line.size() >= StampLength ? line.substr(StampLength) : std::string();
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}
