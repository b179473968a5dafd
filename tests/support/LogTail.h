// Reads what the plugin logged during a test: the bytes that every file under
// a Logs folder gained since the snapshot, whatever hour or day they fell in.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class LogTail {
 public:
  // logsFolder: the Logs folder beside the host program.
  explicit LogTail(std::string logsFolder);

  // New bytes of the plain hourly files (no prefix), in file-name order.
  std::string MainText() const;
  // New bytes of the files with the given prefix ("full").
  std::string PrefixedText(const std::string& prefix) const;
  // MainText split into lines with the 13-character stamp removed.
  std::vector<std::string> MainMessages() const;

 private:
  std::string NewText(bool wantPrefixed, const std::string& prefix) const;
  std::string Folder;
  std::map<std::string, uintmax_t> SizesAtStart;
};

// The Logs folder beside the running test program.
std::string HostLogsFolder();

// Lines of text split at CR LF; the stamp "HH:NN:SS.ZZZ " removed when stripStamp.
std::vector<std::string> SplitLogLines(const std::string& text, bool stripStamp);
