#include "tSoakVerdict.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {
// Growth over a whole soak that still counts as flat: caches of the client
// library and the allocator settle within these.
constexpr long ResidentSlackKb = 16 * 1024;
constexpr int DescriptorSlack = 2;
// Well inside the ten attempts' pauses of a command.
constexpr double QuickRestartMs = 1000;
// What a callback may take beyond the deadline: the cut's own work and the
// soak's callback, on a machine shared with others.
constexpr double DeadlineSlackMs = 1000;

class tVerdict {
 public:
  void Check(bool held, const std::string& what) {
    std::printf("  [%s] %s\n", held ? "ok" : "FAILED", what.c_str());
    if (!held) Failed_ = true;
  }
  bool Passed() const { return !Failed_; }

 private:
  bool Failed_ = false;
};

std::string Text(const char* format, auto... values) {
  char line[512];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

size_t Accepted(const tSoakRecord& record) {
  return record.Sent.empty() ? 0 : record.Sent.size() - 1;
}

bool Known(const tSoakRecord& record, int32_t id) {
  return id > 0 && static_cast<size_t>(id) < record.Sent.size();
}

void JudgeDelivery(const tSoakRecord& record, tVerdict& verdict) {
  std::vector<int> calls(record.Sent.size(), 0);
  bool fifo = true;
  bool known = true;
  int32_t last = 0;
  for (const tCallback& callback : record.Callbacks) {
    known = known && Known(record, callback.Id);
    if (Known(record, callback.Id)) ++calls[static_cast<size_t>(callback.Id)];
    fifo = fifo && callback.Id > last;
    last = callback.Id;
  }
  size_t doubled = 0;
  size_t missing = 0;
  for (size_t id = 1; id < calls.size(); ++id) {
    doubled += calls[id] > 1;
    missing += calls[id] == 0;
  }
  double longestWait = 0;
  for (const tCallback& callback : record.Callbacks)
    if (Known(record, callback.Id))
      longestWait = std::max<double>(
          longestWait, callback.AtMs - record.Sent[static_cast<size_t>(callback.Id)].SentAtMs);
  std::printf("commands: %zu accepted, %zu refused, %zu callbacks; longest wait %.0f ms\n",
              Accepted(record), record.Refused, record.Callbacks.size(), longestWait);
  verdict.Check(longestWait <= record.CommandDeadlineSeconds * 1000.0 + DeadlineSlackMs,
                Text("no caller waited past CommandDeadline=%d s", record.CommandDeadlineSeconds));
  verdict.Check(record.Drained && missing == 0,
                Text("every accepted command called back (%zu missing)", missing));
  verdict.Check(doubled == 0 && known,
                Text("none called back twice (%zu doubled), none unknown", doubled));
  verdict.Check(fifo, "callbacks in the order the commands were queued");
}

void JudgeReadings(const tSoakRecord& record, tVerdict& verdict) {
  size_t same = 0, different = 0, failed = 0;
  for (const tCallback& callback : record.Callbacks) {
    if (callback.ResultCode == 1 && Known(record, callback.Id) &&
        record.Sent[static_cast<size_t>(callback.Id)].Command != 102)
      ++failed;
    same += callback.Match == tMatch::Same;
    different += callback.Match == tMatch::Different;
  }
  std::printf("readings (100, 101): %zu equal to the fault-free answers, %zu failed\n", same,
              failed);
  verdict.Check(different == 0, Text("answers equal a fault-free run's (%zu differ)", different));
}

void JudgeActions(const tSoakRecord& record, tVerdict& verdict) {
  size_t written = 0, notWritten = 0, doubtWritten = 0, doubtNot = 0;
  size_t lost = 0, doubled = 0, unexplained = 0, otherCodes = 0;
  std::set<std::string> answeredKeys;
  for (const tCallback& callback : record.Callbacks) {
    if (!Known(record, callback.Id) || record.Sent[static_cast<size_t>(callback.Id)].Command != 102)
      continue;
    const std::string key = tSoakTraffic::KeyOf(callback.Id);
    answeredKeys.insert(key);
    const auto row = record.Rows.find(key);
    const int rows = row == record.Rows.end() ? 0 : row->second;
    doubled += rows > 1;
    if (callback.ResultCode == 0) {
      ++written;
      lost += rows == 0;
    } else if (callback.ResultCode == 1 && record.OutcomeUnknown.count(key)) {
      ++(rows > 0 ? doubtWritten : doubtNot);
    } else if (callback.ResultCode == 1) {
      ++notWritten;
      unexplained += rows > 0;
    } else {
      ++otherCodes;
    }
  }
  size_t strays = 0;
  for (const auto& [key, count] : record.Rows) strays += answeredKeys.count(key) == 0;
  std::printf(
      "actions (102): %zu answered 0/0, %zu answered 1/1, %zu in doubt (%zu of them written)\n",
      written, notWritten, doubtWritten + doubtNot, doubtWritten);
  verdict.Check(
      lost == 0 && doubled == 0,
      Text("every 0/0 action has exactly one row (%zu without, %zu doubled)", lost, doubled));
  verdict.Check(unexplained == 0,
                Text("1/1 actions have no row unless in doubt (%zu written)", unexplained));
  verdict.Check(strays == 0 && otherCodes == 0,
                Text("no rows for keys never answered (%zu), no other result codes (%zu)", strays,
                     otherCodes));
}

void JudgeFaults(const tSoakRecord& record, tVerdict& verdict) {
  std::vector<size_t> failures(record.Events.size(), 0);
  size_t beforeFaults = 0;
  for (const tCallback& callback : record.Callbacks) {
    if (callback.ResultCode != 1) continue;
    const auto after =
        std::upper_bound(record.Events.begin(), record.Events.end(), callback.AtMs,
                         [](double at, const tFaultEvent& event) { return at < event.AtMs; });
    if (after == record.Events.begin())
      ++beforeFaults;
    else
      ++failures[static_cast<size_t>(after - record.Events.begin() - 1)];
  }
  std::printf("failed commands per fault (and how long a killed server took to come back):\n");
  size_t quickKills = 0, slowKills = 0, worstKill = 0, killFailures = 0;
  for (size_t index = 0; index < record.Events.size(); ++index) {
    const tFaultEvent& event = record.Events[index];
    std::printf("  %-6s at %6.1f s: %zu failed", FaultName(event.Kind), event.AtMs / 1000,
                failures[index]);
    if (event.Kind == tFaultKind::Kill) {
      std::printf(", server back after %.0f ms", event.BackAfterMs);
      killFailures += failures[index];
      // A restart slower than a command's attempts fails commands whatever the plugin does.
      if (event.BackAfterMs > QuickRestartMs) {
        ++slowKills;
        std::printf(" (slow, not checked)");
      } else {
        ++quickKills;
        worstKill = std::max(worstKill, failures[index]);
      }
    }
    std::printf("\n");
  }
  std::printf("kills: %zu, failed commands after kills: %zu\n", quickKills + slowKills,
              killFailures);
  verdict.Check(beforeFaults == 0, Text("no failures before the first fault (%zu)", beforeFaults));
  verdict.Check(worstKill <= 1, Text("at most one failed command per kill (%zu quick restarts, "
                                     "worst %zu; %zu slow restarts)",
                                     quickKills, worstKill, slowKills));
}

void JudgeFigures(const tSoakRecord& record, tVerdict& verdict) {
  tProcessFigures most = record.End;
  for (const auto& figures : record.During) {
    most.ResidentKb = std::max(most.ResidentKb, figures.ResidentKb);
    most.OpenDescriptors = std::max(most.OpenDescriptors, figures.OpenDescriptors);
  }
  std::printf("memory: resident %ld kB before the faults, %ld kB after (most %ld kB)\n",
              record.Baseline.ResidentKb, record.End.ResidentKb, most.ResidentKb);
  std::printf("descriptors: %d before the faults, %d after (most %d)\n",
              record.Baseline.OpenDescriptors, record.End.OpenDescriptors, most.OpenDescriptors);
  verdict.Check(record.End.ResidentKb - record.Baseline.ResidentKb <= ResidentSlackKb,
                "resident memory flat");
  verdict.Check(record.End.OpenDescriptors - record.Baseline.OpenDescriptors <= DescriptorSlack,
                "open descriptors flat");
}
}  // namespace

bool JudgeSoak(const tSoakRecord& record) {
  tVerdict verdict;
  JudgeDelivery(record, verdict);
  JudgeReadings(record, verdict);
  JudgeActions(record, verdict);
  JudgeFaults(record, verdict);
  JudgeFigures(record, verdict);
  std::printf("verdict: %s\n", verdict.Passed() ? "PASSED" : "FAILED");
  return verdict.Passed();
}
