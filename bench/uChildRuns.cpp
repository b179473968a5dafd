#include "uChildRuns.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "support/ShellChild.h"
#include "support/ShellCommand.h"
#include "uProcStats.h"

namespace {
constexpr long long StartDelayMs = 3000;

std::string ShellLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + ShellQuoted(word);
  return line;
}

// Without the bench's own descriptors: the client library's log, inherited
// while it is locked, would hold up every Firebird process that logs.
std::unique_ptr<ShellChild> Start(const std::vector<std::string>& words) {
  auto child = std::make_unique<ShellChild>(ShellLine(words), ShellChild::tPipe::FromChild);
  if (child->Stream() == nullptr) throw std::runtime_error("cannot start " + words.front());
  return child;
}
}  // namespace

long long EpochMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

tScaleResult RunScale(const std::vector<std::string>& commandLine, int processes, double seconds) {
  const long long startAt = EpochMilliseconds() + StartDelayMs;
  std::vector<std::string> words = commandLine;
  words.insert(words.end(),
               {"--start-at", std::to_string(startAt), "--seconds", std::to_string(seconds)});
  std::vector<std::unique_ptr<ShellChild>> children;
  for (int index = 0; index < processes; ++index) children.push_back(Start(words));
  std::this_thread::sleep_until(
      std::chrono::system_clock::time_point(std::chrono::milliseconds(startAt)));
  const tMachineCpu before = MachineCpu();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const tMachineCpu after = MachineCpu();

  tScaleResult result;
  result.Processes = processes;
  result.IdlePercent = IdlePercent(before, after);
  for (auto& child : children) {
    double commands = 0;
    double p99 = 0;
    if (std::fscanf(child->Stream(), "%lf %lf", &commands, &p99) != 2)
      throw std::runtime_error("a host process of the scale run failed");
    result.CommandsPerSecond += commands / seconds;
    result.WorstP99 = std::max(result.WorstP99, p99);
  }
  return result;
}

tMemoryResult RunMemory(const std::vector<std::string>& commandLine) {
  const std::unique_ptr<ShellChild> child = Start(commandLine);
  tMemoryResult result;
  if (std::fscanf(child->Stream(), "%ld %ld", &result.AfterFirstKiB, &result.AfterAllKiB) != 2)
    throw std::runtime_error("the memory run failed");
  return result;
}
