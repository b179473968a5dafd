// Commands Command_Plugin refuses for their buffer: a null buffer, a Size too
// small for the size word, a size word larger than Size (told apart when it
// would fit written the other way round, a host's likely mistake). An integrator's
// mistake repeats with every command, so each reason is logged once per burst
// with the first command's particulars, and with the count when it ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class tMalformedKind { NullBuffer, SizeBelowSizeWord, SizeWordAboveSize, SizeWordBigEndian };

struct tMalformed {
  tMalformedKind Kind;
  // The reason with the command's own values, as the log shows it.
  std::string Particulars;
};

// Why the buffer cannot be queued, or nothing when it can: a queued buffer
// holds its size word within Size, and Size covers the bytes it declares.
std::optional<tMalformed> FindMalformed(int32_t commandId, const void* buffer, int32_t size);

// "1 command was refused", "2 commands were refused": a count in the log's words.
std::string CommandsWere(uint32_t count, const char* what);

// Not synchronised: the session calls it under its queue lock. The lines it
// logs are added to Lines, for the session thread to write: Command_Plugin
// never waits for the log.
class tMalformedRefusals {
 public:
  void Note(const tMalformed& refusal, std::vector<std::string>& Lines);
  // A command of another kind came, or the session closes.
  void End(std::vector<std::string>& Lines);

 private:
  std::optional<tMalformedKind> Current;
  uint32_t Count = 0;
};
