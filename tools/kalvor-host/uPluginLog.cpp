#include "uPluginLog.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "log/uLogVocabulary.h"
#include "uSystem.h"
#include "uUtf8Path.h"

namespace fs = std::filesystem;

namespace {

uintmax_t SizeOf(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(PathFromUtf8(path), error);
  return error ? 0 : size;
}

std::string TailOf(const std::string& path, uintmax_t from) {
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  if (!file) return {};
  file.seekg(static_cast<std::streamoff>(from));
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The message of a line, past its "HH:NN:SS.ZZZ " stamp when it has one.
std::string_view MessageOf(std::string_view line) {
  constexpr size_t StampLength = 13;
  const bool stamped = line.size() >= StampLength && line[2] == ':' && line[5] == ':' &&
                       line[8] == '.' && line[12] == ' ';
  return stamped ? line.substr(StampLength) : line;
}

// Frame lines are known by how their message begins: a value quoted further
// on in a line (a server's text, say) may hold the same words.
bool IsFrameLine(const std::string& line, const char* marker) {
  return MessageOf(line).starts_with(marker);
}

std::string Resolved(const std::string& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(PathFromUtf8(path), error);
  return error ? path : Utf8(canonical.make_preferred());
}

}  // namespace

tPluginLog::tPluginLog(const std::string& pluginPath) {
  std::error_code error;
  Folder = Utf8(ProgramPath().parent_path());
  ModuleNames.push_back(Utf8(PathFromUtf8(pluginPath).filename()));
  const auto target = Utf8(fs::canonical(PathFromUtf8(pluginPath), error).filename());
  if (!error && target != ModuleNames.front()) ModuleNames.push_back(target);
}

std::string tPluginLog::CurrentPath(const std::string& moduleName) const {
  const std::tm local = LocalNow();
  return Folder + "/" + LogsFolderName + "/" +
         DayFolderName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + "/" +
         HourlyFileName(local.tm_hour, moduleName);
}

void tPluginLog::Mark() {
  SizesAtMark.clear();
  for (const auto& name : ModuleNames) {
    const std::string path = CurrentPath(name);
    SizesAtMark[path] = SizeOf(path);
  }
}

tCommandLog tPluginLog::SinceMark() const {
  tCommandLog log;
  std::string text;
  // The hour may have turned since Mark: read on in the new hour's file as well.
  for (const auto& name : ModuleNames) {
    const std::string now = CurrentPath(name);
    std::string gained;
    for (const auto& [path, size] : SizesAtMark)
      if (Utf8(PathFromUtf8(path).filename()).ends_with(HourlyFileSuffix(name)) && path != now)
        gained += TailOf(path, size);
    const auto marked = SizesAtMark.find(now);
    gained += TailOf(now, marked == SizesAtMark.end() ? 0 : marked->second);
    if (log.Path.empty() || !gained.empty()) log.Path = Resolved(now);
    text += gained;
  }
  log.Lines = LastCommandFrame(SplitLines(text));
  return log;
}

std::vector<std::string> LastCommandFrame(const std::vector<std::string>& lines) {
  size_t start = lines.size();
  for (size_t at = lines.size(); at-- > 0;)
    if (IsFrameLine(lines[at], FrameStartLine)) {
      start = at;
      break;
    }
  if (start == lines.size()) return lines;
  size_t end = start;
  while (end < lines.size() && !IsFrameLine(lines[end], FrameEndOpening)) ++end;
  const size_t stop = end < lines.size() ? end + 1 : lines.size();
  return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(start),
                                  lines.begin() + static_cast<std::ptrdiff_t>(stop));
}
