// What the stand-in client library answers, and the entries through which a
// test steers it. Texts are Windows-1251 bytes.
#pragma once

#include <cstdint>
#include <string>

namespace StandIn {
// Menu 1 starts at item 10, a voice item on connection 100 with two rows;
// item 30 is a condition item without a connection.
inline constexpr int32_t MenuId = 1;
inline constexpr int32_t StartItemId = 10;
inline constexpr int32_t VoiceItemId = 10;
inline constexpr int32_t ConditionItemId = 30;
inline constexpr int32_t ConnectionId = 100;

inline constexpr const char* Greeting = "\xcf\xf0\xe8\xe2\xe5\xf2\xf1\xf2\xe2\xe8\xe5";
inline constexpr const char* MainMenu = "\xc3\xeb\xe0\xe2\xed\xee\xe5 \xec\xe5\xed\xfe";
inline constexpr const char* Hello = "\xc7\xe4\xf0\xe0\xe2\xf1\xf2\xe2\xf3\xe9\xf2\xe5!";
inline constexpr const char* Macro = "PLAY_GREETING";
inline constexpr int32_t SynthezPlace = 2;
inline constexpr int32_t Timeout = 5000;
inline constexpr const char* CheckHours = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0";
inline constexpr const char* Processor = "WorkingHours";
inline constexpr const char* ConditionData = "09:00-18:00";

struct tRow {
  const char* Key;
  int32_t ItemId;
  const char* WayDesc;
};
inline constexpr tRow Rows[] = {
    {"1", 20, "\xc1\xe0\xeb\xe0\xed\xf1"},
    {"0", 40, "\xce\xef\xe5\xf0\xe0\xf2\xee\xf0"},
};

// Failures the next statement execution can be told to have.
inline constexpr int Deadlock = 1;
inline constexpr int LostConnection = 2;

// The values an action procedure received.
struct tAction {
  int32_t SessionId = 0;
  int32_t ItemId = 0;
  std::string Key;
};
}  // namespace StandIn

extern "C" {
// The next statement execution fails once, as told: a deadlock, or the
// connection lost (every attachment made so far is dead from then on).
using tFailNextExecution = void (*)(int failure);
// Attachments made so far.
using tAttachments = int (*)();
// Copy the database name, or the password, of the last attachment; return its length.
using tLastText = int (*)(char* text, int room);
// Copy the values of the last action procedure whose transaction was
// committed, the key's bytes into key; return the key's length, or -1 when
// no action was committed yet.
using tLastCommittedAction = int (*)(int32_t* sessionId, int32_t* itemId, char* key, int room);
}
