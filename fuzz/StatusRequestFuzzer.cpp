// libFuzzer target over the status channel's request and answers. Each
// input's first line is a request as a client sends it; the rest stands for
// the texts that come from outside into an answer (the server's error text,
// a failure line, paths). A broken invariant traps:
//   - a request is told apart as the channel reads it: one without a line
//     end within the limit is too long, and a reply to it or to an unknown
//     one is one line of printable ASCII;
//   - the JSON answer is valid JSON, whatever bytes its texts hold, and
//     gives back every text that was valid UTF-8;
//   - the text answer is lines of "label: value", the outside texts kept
//     inside their own lines whatever line ends they hold.
#include <kalvor/status_channel.h>

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "plugin/uStatusAnswer.h"
#include "plugin/uStatusRequest.h"

namespace {
[[noreturn]] void Broken(const char* invariant) {
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::fflush(stderr);
  __builtin_trap();
}

void CheckRequest(const std::string& bytes) {
  const size_t limit = KALVOR_STATUS_REQUEST_LIMIT;
  const std::string read = bytes.substr(0, limit);
  const tStatusRequest request = ParseStatusRequest(read, limit);
  const bool lineEnd = read.find('\n') != std::string::npos;
  if ((request.Kind == tStatusRequestKind::TooLong) != (!lineEnd && read.size() >= limit))
    Broken("a request is too long exactly when no line end comes within the limit");
  const std::string reply = PlainAnswer(request);
  if (request.Kind == tStatusRequestKind::Text || request.Kind == tStatusRequestKind::Json ||
      request.Kind == tStatusRequestKind::None) {
    if (!reply.empty()) Broken("a status request is answered with the status alone");
    return;
  }
  if (reply.empty() || reply.back() != '\n') Broken("a reply is one line");
  for (size_t at = 0; at + 1 < reply.size(); ++at)
    if (reply[at] < ' ' || reply[at] > '~') Broken("a reply is printable ASCII");
}

bool IsUtf8(const std::string& text) {
  try {
    (void)nlohmann::json::parse(nlohmann::json(text).dump());
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

void CheckAnswers(const std::string& outside) {
  tStatusSnapshot snapshot;
  snapshot.Name = "DYNAMIC_MENU";
  snapshot.Connection.State = tConnectionState::Unreachable;
  snapshot.Connection.Reason = outside;
  snapshot.IniPath = outside;
  snapshot.RecentFailures = {outside, outside + outside};
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(StatusJson(snapshot));
  } catch (const nlohmann::json::exception&) {
    Broken("the JSON answer is valid JSON");
  }
  if (IsUtf8(outside) && json["connection"]["reason"] != outside)
    Broken("a UTF-8 text comes back from the JSON answer as it was");
  const std::string text = StatusText(snapshot);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) Broken("the text answer ends in a line end");
    if (text.find(": ", start) > end) Broken("each line of the text answer is label: value");
    start = end + 1;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckRequest(input);
  const size_t lineEnd = input.find('\n');
  CheckAnswers(lineEnd == std::string::npos ? "" : input.substr(lineEnd + 1));
  return 0;
}
