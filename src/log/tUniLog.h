// The process's log: each line is offered to the log server's client library
// first, and only a line the library does not take is written to the hourly
// file. The library is called on a thread of its own (tLogClientThread): a
// line it has not taken within LogClientPatience goes to the file, and a
// library that raised or did not return is called no more.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "log/tLogClientThread.h"
#include "log/tTimeSeparatedFileLog.h"
#include "platform/DynamicLibrary.h"

// The client library's entries: plain exported functions in their platform's
// usual calling convention (__stdcall on 32-bit Windows); a Boolean result is
// one byte, nonzero for true.
#if defined(_WIN32) && !defined(_WIN64)
#define KALVOR_LOGCLIENT_CALL __stdcall
#else
#define KALVOR_LOGCLIENT_CALL
#endif
using tDLLInitialize = std::uint8_t(KALVOR_LOGCLIENT_CALL*)(const char* Setting,
                                                            std::int32_t Value);
using tDLLMessageToLogServer = std::uint8_t(KALVOR_LOGCLIENT_CALL*)(double Time, const char* Host,
                                                                    const char* Module,
                                                                    const char* Prefix,
                                                                    const char* Message);
using tDLLFinalize = void(KALVOR_LOGCLIENT_CALL*)();

std::string LogClientLibraryName();

// How long a line, or Init_Plugin or Finalize_Plugin, waits for the library.
inline constexpr std::chrono::seconds LogClientPatience{2};

class tUniLog : public tTimeSeparatedFileLog {
 public:
  // An empty Setting means no log server: the client library is not even loaded.
  tUniLog(const std::string& Pattern, const std::string& Setting,
          const std::string& ClientLibraryName = LogClientLibraryName(),
          tLocalClock Clock = tLocalTime::Now);
  ~tUniLog() override;

  bool WriteLine(const std::string& Message) override;
  bool WriteLineTo(const std::string& Message, const std::string& Prefix) override;
  bool WritePlainLine(const std::string& Message) override;
  bool WritePlainLineTo(const std::string& Message, const std::string& Prefix) override;

 protected:
  // To the log server's library first: it may be all that still takes lines.
  void SayUnwritable(const std::string& Text) override;

 private:
  void LoadLogClient(const std::string& Setting, const std::string& ClientLibraryName);
  void BindEntries();
  void ReleaseClient() noexcept;
  // True when the library took the line; always false without a library.
  bool TakenByClient(bool Stamped, const std::string& Prefix, const std::string& Message);
  // The entry's answer; none when the library is not called, or the call
  // raised or did not return in time.
  std::optional<bool> CallClient(const char* Entry, std::function<bool()> Call);
  // A library that raised or did not return is called no more, and the file says so once.
  void DropClient(const std::string& What);

  std::string ClientFileName;
  tDynamicLibrary ClientLibrary;
  std::unique_ptr<tLogClientThread> ClientThread;
  std::atomic<bool> ClientDropped{false};
  tDLLInitialize ClientInitialize = nullptr;
  tDLLFinalize ClientFinalize = nullptr;
  tDLLMessageToLogServer ClientMessage = nullptr;
};
