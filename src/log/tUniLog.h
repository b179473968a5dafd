// The process's log: each line is offered to the log server's client library
// first, and only a line the library does not take is written to the hourly file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "log/tTimeSeparatedFileLog.h"
#include "platform/DynamicLibrary.h"
#include "platform/ForeignCall.h"

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

 private:
  void LoadLogClient(const std::string& Setting, const std::string& ClientLibraryName);
  void BindEntries();
  void ReleaseClient() noexcept;
  // True when the library took the line; always false without a library.
  bool TakenByClient(bool Stamped, const std::string& Prefix, const std::string& Message);
  // A library that raised is called no more, and the file says so once.
  void DropFaultedClient(const char* Entry, const tForeignCallOutcome& Outcome);

  std::string ClientFileName;
  tDynamicLibrary ClientLibrary;
  std::atomic<bool> ClientFaulted{false};
  tDLLInitialize ClientInitialize = nullptr;
  tDLLFinalize ClientFinalize = nullptr;
  tDLLMessageToLogServer ClientMessage = nullptr;
};
