#include "uStatusCommands.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "uExitStatus.h"
#include "uStatusClient.h"
#include "uSystem.h"

namespace {
using nlohmann::json;

constexpr auto Patience = std::chrono::seconds(3);
constexpr size_t ReasonLimit = 120;

struct tAsked {
  std::vector<std::string> Answers;
  std::vector<std::string> Unasked;
  bool Refused = false;
};

// Every endpoint found, or the one of --pid.
tAsked AskAll(const tHostOptions& options, const std::string& request) {
  const tStatusSearch search = FindStatusEndpoints();
  tAsked asked;
  asked.Unasked = search.Problems;
  for (const std::string& problem : search.Problems)
    asked.Refused = asked.Refused || problem.find("ermission denied") != std::string::npos;
  bool found = false;
  for (const tStatusEndpointInfo& endpoint : search.Found) {
    if (options.Pid && endpoint.ProcessId != *options.Pid) continue;
    found = true;
    try {
      asked.Answers.push_back(AskStatus(endpoint, request, Patience));
    } catch (const tStatusAskError& error) {
      asked.Unasked.push_back(error.what());
      asked.Refused = asked.Refused || error.Refused;
    }
  }
  if (options.Pid && !found && search.Problems.empty())
    asked.Unasked.push_back("no plugin of process " + std::to_string(*options.Pid) +
                            " has its status channel open");
  return asked;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  if (line.size() > ReasonLimit) line = line.substr(0, ReasonLimit) + "...";
  return line;
}

std::string Tenths(double value) {
  const auto tenths = static_cast<long long>(value * 10 + 0.5);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

const char* StatusWord(int status) {
  switch (status) {
    case Health_Ok:
      return "OK";
    case Health_Warning:
      return "WARNING";
    case Health_Critical:
      return "CRITICAL";
    default:
      return "UNKNOWN";
  }
}

int Severity(int status) {
  switch (status) {
    case Health_Critical:
      return 3;
    case Health_Warning:
      return 2;
    case Health_Unknown:
      return 1;
    default:
      return 0;
  }
}

int Worse(int a, int b) {
  return Severity(a) >= Severity(b) ? a : b;
}

struct tPluginVerdict {
  int Status = Health_Ok;
  std::vector<std::string> Findings;
  std::string Performance;
};

void Find(tPluginVerdict& verdict, int status, const std::string& finding) {
  verdict.Status = Worse(verdict.Status, status);
  verdict.Findings.push_back(finding);
}

tPluginVerdict JudgeOne(const json& status, const tHealthLimits& limits) {
  tPluginVerdict verdict;
  const json& connection = status.at("connection");
  const json& queue = status.at("queue");
  const uint64_t length = queue.at("commands").get<uint64_t>();
  const uint64_t limit = queue.at("command_limit").get<uint64_t>();
  const bool full = length >= limit ||
                    queue.at("bytes").get<uint64_t>() >= queue.at("byte_limit").get<uint64_t>();
  const uint64_t failures = status.at("failures_last_minute").get<uint64_t>();
  const bool unreachable = connection.at("state").get<std::string>() == "unreachable";
  const double seconds = unreachable ? connection.at("seconds").get<double>() : 0;
  if (status.at("database").get<std::string>().empty())
    Find(verdict, Health_Critical, "no database named in its ini");
  if (unreachable)
    Find(verdict, seconds > limits.MaxUnreachableSeconds ? Health_Critical : Health_Warning,
         "database unreachable for " + Tenths(seconds) + " s (limit " +
             Tenths(limits.MaxUnreachableSeconds) + " s), " +
             std::to_string(connection.at("failed_commands").get<uint64_t>()) +
             " commands failed: " + FirstLine(connection.at("reason").get<std::string>()));
  if (full)
    Find(verdict, Health_Critical,
         "queue full at " + std::to_string(length) + " commands: commands are refused");
  else if (length > limits.MaxQueue)
    Find(verdict, Health_Warning,
         "queue " + std::to_string(length) + " above " + std::to_string(limits.MaxQueue));
  if (failures > limits.MaxFailuresPerMinute)
    Find(verdict, Health_Warning,
         std::to_string(failures) + " commands failed in the last minute (limit " +
             std::to_string(limits.MaxFailuresPerMinute) + ")");
  if (verdict.Findings.empty())
    verdict.Findings.push_back(std::string(unreachable ? "unreachable" : "connected") + ", queue " +
                               std::to_string(length) + ", " + std::to_string(failures) +
                               " failed in the last minute");
  const std::string pid = std::to_string(status.at("pid").get<uint64_t>());
  verdict.Performance =
      "'queue_" + pid + "'=" + std::to_string(length) + ";" + std::to_string(limits.MaxQueue) +
      ";" + std::to_string(limit) + ";0;" + std::to_string(limit) + " 'failures_" + pid +
      "'=" + std::to_string(failures) + ";" + std::to_string(limits.MaxFailuresPerMinute) +
      ";;0 'unreachable_" + pid + "'=" + Tenths(seconds) + "s;;" +
      Tenths(limits.MaxUnreachableSeconds) + ";0";
  return verdict;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}
}  // namespace

tHealthVerdict JudgeHealth(const std::vector<json>& statuses,
                           const std::vector<std::string>& unasked, const tHealthLimits& limits) {
  int overall = statuses.empty() ? Health_Unknown : Health_Ok;
  std::vector<std::string> parts;
  std::vector<std::string> performance;
  for (const json& status : statuses) {
    const tPluginVerdict verdict = JudgeOne(status, limits);
    overall = Worse(overall, verdict.Status);
    parts.push_back(status.at("name").get<std::string>() + " pid " +
                    std::to_string(status.at("pid").get<uint64_t>()) + ": " +
                    Joined(verdict.Findings, "; "));
    performance.push_back(verdict.Performance);
  }
  for (const std::string& problem : unasked) {
    overall = Worse(overall, Health_Unknown);
    parts.push_back(FirstLine(problem));
  }
  if (parts.empty())
    parts.push_back("no running plugin has its status channel open (StatusChannel=1 in its ini)");
  std::string line = std::string("KALVOR ") + StatusWord(overall) + " - " + Joined(parts, "; ");
  if (!performance.empty()) line += " | " + Joined(performance, " ");
  return {overall, line};
}

int RunHealth(const tHostOptions& options, std::ostream& out) {
  const tAsked asked = AskAll(options, "status json");
  std::vector<json> statuses;
  std::vector<std::string> unasked = asked.Unasked;
  for (const std::string& answer : asked.Answers) {
    try {
      statuses.push_back(json::parse(answer));
    } catch (const json::exception& error) {
      unasked.push_back(std::string("an answer that is no status: ") + error.what());
    }
  }
  tHealthVerdict verdict;
  try {
    verdict = JudgeHealth(statuses, unasked, options.HealthLimits);
  } catch (const json::exception& error) {
    verdict = {Health_Unknown,
               HealthUsageLine(std::string("a status lacks a field: ") + error.what())};
  }
  out << verdict.Line << "\n";
  return verdict.Status;
}

std::string HealthUsageLine(const std::string& message) {
  return "KALVOR UNKNOWN - " + FirstLine(message);
}

namespace {
int ShowStatus(const tHostOptions& options, std::ostream& out, std::ostream& err) {
  const tAsked asked = AskAll(options, options.Json ? "status json" : "status");
  if (options.Json) {
    std::vector<std::string> objects;
    for (const std::string& answer : asked.Answers)
      objects.push_back(answer.substr(0, answer.find_last_not_of("\n") + 1));
    out << "[" << Joined(objects, ",") << "]\n";
  } else {
    for (size_t index = 0; index < asked.Answers.size(); ++index)
      out << (index == 0 ? "" : "\n") << asked.Answers[index];
  }
  for (const std::string& problem : asked.Unasked) err << "kalvor-host: " << problem << "\n";
  if (asked.Refused) err << "kalvor-host: " << StatusRefusalAdvice() << "\n";
  if (asked.Answers.empty() && asked.Unasked.empty())
    err << "kalvor-host: no running plugin has its status channel open (StatusChannel=1 in its "
           "ini)\n";
  if (!asked.Unasked.empty()) return Exit_PluginError;
  return asked.Answers.empty() ? Exit_CommandFailed : Exit_Success;
}
}  // namespace

int RunStatus(const tHostOptions& options, std::ostream& out, std::ostream& err) {
  if (!options.WatchSeconds) return ShowStatus(options, out, err);
  const auto interval = std::chrono::duration<double>(*options.WatchSeconds);
  for (;;) {
    out << ClearScreenText();
    const auto now = LocalNow();
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &now);
    out << "kalvor-host status, every " << *options.WatchSeconds << " s, at " << stamp << "\n\n";
    ShowStatus(options, out, err);
    std::this_thread::sleep_for(interval);
  }
}
