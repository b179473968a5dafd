// One way of answering the three menu commands against the menu database,
// timed command by command.
#pragma once

#include <cstdint>
#include <string>

enum class tBenchCommand { StartItem, ItemDesc, Action };
constexpr int BenchCommandCount = 3;

// The command numbers the host sends, in the order of tBenchCommand.
constexpr int32_t BenchCommandNumbers[BenchCommandCount] = {100, 101, 102};

// What every measurer asks: menu 1's start item, item 10 (a voice item with
// three connection rows), and an action of session 1 on item 10 with a key
// of its own.
constexpr int32_t BenchMenuId = 1;
constexpr int32_t BenchItemId = 10;
constexpr int32_t BenchConnectionId = 100;
constexpr int32_t BenchSessionId = 1;

class tMeasurer {
 public:
  virtual ~tMeasurer() = default;
  virtual std::string Name() const = 0;
  // Answers one command completely; raises when it fails.
  virtual void Run(tBenchCommand command, const std::string& key) = 0;
  // Before a round of commands (what runs beside them starts).
  virtual void BeginRound() {}
  // Ends work a measurer keeps open between commands (its shared transaction).
  virtual void EndRound() {}
};
