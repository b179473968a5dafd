// What the session tells its status channel: gathered on the channel's
// thread from counters the session, its figures, the worker and the log keep
// under locks of their own, each held for a copy.
#include "platform/CharacterSets.h"
#include "platform/Format.h"
#include "platform/ProcessId.h"
#include "platform/TextConversion.h"
#include "plugin/uAutomaticPlugInSession.h"

namespace {
// The plugin's name and the log's lines are Windows-1251.
std::string FromLogText(const std::string& text) {
  return CharacterSetToUtf8(text, *FindCharacterSet("WIN1251"));
}
}  // namespace

tStatusSnapshot tPlugInSession::StatusSnapshot() const {
  const auto now = std::chrono::steady_clock::now();
  tStatusSnapshot snapshot;
  snapshot.Name = FromLogText(SessionName);
  snapshot.Version = KALVOR_VERSION;
  snapshot.ProcessId = CurrentProcessId();
  snapshot.StartedAt =
      Format("%04d-%02d-%02d %02d:%02d:%02d", StartedAtLocal.Year, StartedAtLocal.Month,
             StartedAtLocal.Day, StartedAtLocal.Hour, StartedAtLocal.Minute, StartedAtLocal.Second);
  snapshot.UptimeSeconds = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(now - StartedAt).count());
  snapshot.QueueLength = QueueLength;
  snapshot.QueueLimit = QueueLimit;
  snapshot.QueueBytes = QueuedBytes;
  snapshot.QueueByteLimit = QueueByteLimit;
  {
    std::lock_guard<std::mutex> guard(ProgressLock);
    snapshot.InProgress = InProgress;
    if (snapshot.InProgress)
      snapshot.InProgress->Milliseconds = static_cast<uint64_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(now - InProgressSince).count());
  }
  Figures.Describe(tFiguresTime::Now(), snapshot);
  Worker->DescribeStatus(snapshot);
  for (const std::string& line : Log->RecentFailures())
    snapshot.RecentFailures.push_back(FromLogText(line));
  snapshot.LogFile = Log->CurrentFileName();
  return snapshot;
}
