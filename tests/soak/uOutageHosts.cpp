#include "uOutageHosts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/ShellChild.h"
#include "support/ShellCommand.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

namespace {
using tSystemClock = std::chrono::system_clock;
constexpr int LeadSeconds = 10;
constexpr int TailSeconds = 20;

long long EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             tSystemClock::now().time_since_epoch())
      .count();
}

void SleepUntilEpochMs(long long at) {
  std::this_thread::sleep_until(tSystemClock::time_point(std::chrono::milliseconds(at)));
}

struct tCall {
  long long SentMs = 0;
  long long AnsweredMs = -1;
  int ResultCode = -1;
};

struct tHostRecord {
  std::mutex Lock;
  std::vector<tCall> Calls;
};

void OnAnswer(int32_t id, const char*, void* buffer, int32_t, intptr_t record) {
  auto& host = *reinterpret_cast<tHostRecord*>(record);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  std::lock_guard<std::mutex> guard(host.Lock);
  tCall& call = host.Calls.at(static_cast<size_t>(id));
  call.AnsweredMs = EpochMs();
  call.ResultCode = SignedWordAt({bytes, bytes + 16}, 12);
}

// Milliseconds since local midnight, as the log's stamps count them.
long long TimeOfDayMs(long long epochMs) {
  const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + epochMs % 1000;
}

long long StampMs(const std::string& line) {
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (std::sscanf(line.c_str(), "%d:%d:%d.%d", &hour, &minute, &second, &ms) != 4) return -1;
  return ((hour * 60LL + minute) * 60 + second) * 1000 + ms;
}

// Attaches begun between from and to: on the command path and by probes.
size_t AttachesBetween(const std::string& log, long long from, long long to) {
  size_t attaches = 0;
  for (const std::string& line : SplitLogLines(log, false)) {
    const long long at = StampMs(line);
    const bool attach = line.find(" Connecting to ") != std::string::npos ||
                        line.find(" Probe ") != std::string::npos ||
                        line.find("The server was reached by probe") != std::string::npos;
    attaches += attach && at >= from && at <= to;
  }
  return attaches;
}

double Median(std::vector<long long> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return static_cast<double>(values[values.size() / 2]);
}
}  // namespace

int RunOutageHost(const std::string& plugin, int rate, long long startAtMs, int seconds) {
  tHostRecord record;
  const auto count = static_cast<size_t>(rate * seconds);
  record.Calls.resize(count + 1);
  tPluginHost host(plugin);
  host.InitWith(&OnAnswer, reinterpret_cast<intptr_t>(&record));
  const std::vector<uint8_t> request = StartItemRequest(1);
  for (size_t index = 1; index <= count; ++index) {
    SleepUntilEpochMs(startAtMs + static_cast<long long>(index - 1) * 1000 / rate);
    {
      std::lock_guard<std::mutex> guard(record.Lock);
      record.Calls[index].SentMs = EpochMs();
    }
    host.Command(static_cast<int32_t>(index), request);
  }
  SleepUntilEpochMs(EpochMs() + TailSeconds * 1000);
  host.Finalize();
  std::lock_guard<std::mutex> guard(record.Lock);
  for (size_t index = 1; index <= count; ++index)
    std::printf("%lld %lld %d\n", record.Calls[index].SentMs, record.Calls[index].AnsweredMs,
                record.Calls[index].ResultCode);
  return 0;
}

int RunOutage(const tOutagePlan& plan, const std::string& self) {
  PrivateFirebirdServer server;
  TestDatabase database(server.Host());
  database.RunScript(std::filesystem::path(KALVOR_SOURCE_DIR) / "sql" / "demo-data.sql");
  PluginCopy plugin;
  if (!plan.Plugin.empty())
    std::filesystem::copy_file(plan.Plugin, plugin.LibraryPath(),
                               std::filesystem::copy_options::overwrite_existing);
  plugin.WriteIni("[Main]\nDBName=" + database.ConnectionString() + "\nDBUser=" +
                  TestDatabase::User() + "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n");
  const LogTail log(HostLogsFolder());
  const int outageSeconds = static_cast<int>(plan.For.count() / 1000);
  const long long startAt = EpochMs() + 3000 + plan.Hosts * 50LL;
  std::vector<std::unique_ptr<ShellChild>> hosts;
  for (int index = 0; index < plan.Hosts; ++index)
    hosts.push_back(std::make_unique<ShellChild>(
        ShellQuoted(self) + " --outage-host " + ShellQuoted(plugin.LibraryPath()) + " " +
            std::to_string(plan.Rate) + " " + std::to_string(startAt) + " " +
            std::to_string(LeadSeconds + outageSeconds + TailSeconds),
        ShellChild::tPipe::FromChild));

  SleepUntilEpochMs(startAt + LeadSeconds * 1000);
  const long long struck = EpochMs();
  plan.Kind == tFaultKind::Freeze ? server.Freeze() : server.Stop();
  std::this_thread::sleep_for(plan.For);
  plan.Kind == tFaultKind::Freeze ? server.Thaw() : server.Start();
  const long long back = EpochMs();

  long long longestWait = 0;
  size_t unanswered = 0;
  std::vector<long long> servedAfter;
  for (auto& host : hosts) {
    std::istringstream lines(host->ReadToEnd());
    long long firstServed = -1;
    for (tCall call; lines >> call.SentMs >> call.AnsweredMs >> call.ResultCode;) {
      if (call.AnsweredMs < 0) {
        ++unanswered;
        continue;
      }
      longestWait = std::max(longestWait, call.AnsweredMs - call.SentMs);
      if (call.ResultCode == 0 && call.AnsweredMs > back &&
          (firstServed < 0 || call.AnsweredMs < firstServed))
        firstServed = call.AnsweredMs;
    }
    servedAfter.push_back(firstServed < 0 ? -1 : firstServed - back);
  }
  const size_t attaches = AttachesBetween(log.MainText(), TimeOfDayMs(struck), TimeOfDayMs(back));
  const long long worst = *std::max_element(servedAfter.begin(), servedAfter.end());
  const bool allServed = *std::min_element(servedAfter.begin(), servedAfter.end()) >= 0;
  std::printf("%d hosts, %d commands/s each, a %s of %d s: longest caller wait %lld ms, %zu "
              "unanswered; %.2f attaches a second per host during the outage; served again after "
              "median %.0f ms, max %lld ms%s\n",
              plan.Hosts, plan.Rate, FaultName(plan.Kind), outageSeconds, longestWait, unanswered,
              static_cast<double>(attaches) / plan.Hosts / outageSeconds, Median(servedAfter),
              worst, allServed ? "" : " (a host was never served again)");
  return unanswered == 0 && allServed ? 0 : 1;
}
