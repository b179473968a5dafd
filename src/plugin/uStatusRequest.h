// The status channel's requests: one line of text (include/kalvor/status_channel.h).
#pragma once

#include <cstddef>
#include <string>

enum class tStatusRequestKind {
  // Nothing was sent: no answer.
  None,
  Text,
  Json,
  Help,
  // No line end within the limit.
  TooLong,
  Unknown,
};

struct tStatusRequest {
  tStatusRequestKind Kind = tStatusRequestKind::None;
  // An unknown request as its error line shows it: printable ASCII, shortened.
  std::string Shown;
};

// The bytes a client sent, up to its first line feed (or all it sent before
// it stopped); limit is what the channel reads at most. Letter case, blanks
// around the words and a CR before the LF do not matter.
tStatusRequest ParseStatusRequest(const std::string& bytes, std::size_t limit);
