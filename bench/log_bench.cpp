// Lines per second of the hourly file log, with one writer and with four; and,
// where the tests' stand-in is built, through a log server's client library
// that takes every line.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "log/tTimeSeparatedFileLog.h"
#include "log/tUniLog.h"

namespace fs = std::filesystem;

namespace {
constexpr int LinesPerRun = 40000;
const std::string Message =
    "      12 GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=42] OUT[menu_item_type=1] - OK";

fs::path MakeScratchFolder() {
  std::random_device random;
  fs::path folder;
  do {
    folder = fs::temp_directory_path() / ("kalvor_log_bench_" + std::to_string(random()));
  } while (!fs::create_directory(folder));
  return folder;
}

// The client library's path is empty for the plain file log.
double LinesPerSecond(int threads, const std::string& client) {
  const fs::path folder = MakeScratchFolder();
  tUniLog log("\"" + folder.string() + "/Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_bench.log\"",
              client.empty() ? "" : "bench", client);
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t)
    writers.emplace_back([&] {
      for (int i = 0; i < LinesPerRun / threads; ++i) log.WriteLine(Message);
    });
  for (auto& writer : writers) writer.join();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  fs::remove_all(folder);
  return LinesPerRun / elapsed.count();
}
}  // namespace

int main() {
  for (int threads : {1, 4})
    std::printf("file log, %d thread%s: %.0f lines/s (%d lines)\n", threads,
                threads == 1 ? "" : "s", LinesPerSecond(threads, ""), LinesPerRun);
#ifdef KALVOR_BENCH_LOGCLIENT
  for (int threads : {1, 4})
    std::printf("log client taking every line, %d thread%s: %.0f lines/s (%d lines)\n", threads,
                threads == 1 ? "" : "s", LinesPerSecond(threads, KALVOR_BENCH_LOGCLIENT),
                LinesPerRun);
#endif
  return 0;
}
