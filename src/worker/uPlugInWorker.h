// The base of the object that answers the host's commands.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/IniFile.h"
#include "worker/uPlugInConst.h"
#include "worker/uStatusSnapshot.h"

class tPlugInLog;
class tHourlyFigures;

class tPlugInWorker {
 public:
  // Writes to log, which outlives it.
  explicit tPlugInWorker(tPlugInLog& log);
  virtual ~tPlugInWorker();
  tPlugInWorker(const tPlugInWorker&) = delete;
  tPlugInWorker& operator=(const tPlugInWorker&) = delete;

  virtual void ReadConfig(std::string& ConfigPath);
  virtual void Initialize();
  // Called from the stopping thread while a command may still run: what the
  // worker still does, Finalize included, ends within its own limit.
  virtual void Stopping() noexcept {}
  virtual void Finalize();
  // On the session thread after each command, and when the time it asked
  // for has passed without one: ends what must not wait for the next
  // command. Returns how long until it wants to be called again; none: not
  // before the next command.
  virtual std::optional<std::chrono::milliseconds> BetweenCommands() noexcept {
    return std::nullopt;
  }
  // A command passed its deadline in the queue and was answered with result
  // code 1 without being run.
  virtual void ExpiredInQueue() noexcept {}
  // Buffer is a malloc'd block the worker may replace by a larger one.
  virtual void PlugInCommand(uint8_t*& Buffer, uint32_t SizeWord);
  virtual int32_t ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode);
  // From the status channel's thread, once initialised: what the worker adds
  // to the status (the ini's path; the menu worker's database).
  virtual void DescribeStatus(tStatusSnapshot& snapshot) const;

  // Milliseconds of a monotonic counter, low 32 bits; only differences mean anything.
  uint32_t GetTicks();

  static std::string ModulePathWithExt(const std::string& Ext);
  // The menu worker, writing to log and counting its database steps into
  // figures; both outlive it.
  static std::unique_ptr<tPlugInWorker> CreateWorker(tPlugInLog& log, tHourlyFigures& figures);

  tPlugInLog& Log;
  int32_t Status = 0;
  std::string Name = "PlugIn_Worker";
  std::unique_ptr<tIniFile> Config;
  int32_t LogLevel = 0;
  // Commands the session queues at most; read with LogLevel.
  int32_t QueueLimit = DefaultQueueLimit;
  // Bytes of copied commands the session queues at most; read with LogLevel.
  int32_t QueueByteLimit = DefaultQueueByteLimit;
  // StatusChannel=1 opens the status channel; read with LogLevel.
  bool StatusChannel = false;
  // LogKeepDays: day folders of the log older than this many days are
  // removed at the turn of the hour; 0 keeps them all. Read with LogLevel.
  int32_t LogKeepDays = 0;
  // Seconds from Command_Plugin to the callback; 0 for no deadline. Read with LogLevel.
  int32_t CommandDeadline = DefaultCommandDeadline;
  // The deadline of the command PlugInCommand answers, set by the session;
  // none outside a command or without a deadline.
  std::optional<std::chrono::steady_clock::time_point> CommandDue;
  // The ini file ReadConfig found missing and wrote with the defaults, or
  // empty: those defaults are nobody's database, and are read only at the
  // next Init_Plugin, once edited.
  std::string DefaultsWrittenTo;

 private:
  std::unique_ptr<tIniFile> LoadConfig(const std::string& path);
  void WriteDefaultConfig(const std::string& path);
  void TakeValuesInCharacterSet(const std::string& fileName);
  // Inside the command's frame: why it is answered without going further.
  void LogShortEnvelope(const uint8_t* Buffer);
};

// Elapsed milliseconds between two GetTicks values, modulo 2^32.
uint32_t TicksBetween(uint32_t start, uint32_t stop);

// An absent or unreadable value counts as 1; "0x" introduces hexadecimal.
int32_t ParseLogLevel(const std::string& text);

// As LogLevel; an absent, unreadable or non-positive value counts as fallback.
int32_t ParseQueueLimit(const std::string& text, int32_t fallback = DefaultQueueLimit);

// As LogLevel; an absent, unreadable or negative value counts as 0.
int32_t ParseCount(const std::string& text);

// A whole number of seconds, 0 or more, in decimal; anything else counts as fallback.
int32_t ParseSeconds(const std::string& text, int32_t fallback);
