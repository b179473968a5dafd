// Lines per second of the hourly file log, with one writer and with four.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "log/tTimeSeparatedFileLog.h"

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

double LinesPerSecond(int threads) {
  const fs::path folder = MakeScratchFolder();
  tTimeSeparatedFileLog log("\"" + folder.string() +
                            "/Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_bench.log\"");
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
                threads == 1 ? "" : "s", LinesPerSecond(threads), LinesPerRun);
  return 0;
}
