// The menu worker: answers commands 100, 101 and 102 from the menu database.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "dynmenu/uMenuDatabase.h"
#include "dynmenu/uMenuHandlers.h"
#include "worker/uPlugInWorker.h"

class tIB_DynMenuWorker : public tPlugInWorker {
 public:
  // A worker starts on settings that reach no database until its configuration
  // names one; a test may give it a database at once. The menu database
  // counts its steps into figures.
  tIB_DynMenuWorker(tPlugInLog& log, tHourlyFigures& figures,
                    const tMenuDatabaseSettings& settings = {});
  ~tIB_DynMenuWorker() override;

  void Initialize() override;
  void ReadConfig(std::string& ConfigPath) override;
  void Stopping() noexcept override;
  std::optional<std::chrono::milliseconds> BetweenCommands() noexcept override;
  void Finalize() override;
  int32_t ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode) override;
  void DescribeStatus(tStatusSnapshot& snapshot) const override;
  // Counted against an outage under way, as a command that ran and failed.
  void ExpiredInQueue() noexcept override;

 private:
  void ApplySettingsAndConnect();
  // Runs a handler inside the one guard of every command: a failure sets
  // result code 1 and is logged once, with the values of the step it hit.
  int32_t RunHandler(const tMenuHandler& handler, uint8_t*& Buffer, int32_t* ResultCode);
  // A command answered before any database step: one line saying why.
  void LogUnanswerable(int32_t Code, const uint8_t* Buffer, const char* why, int32_t resultCode);
  // The ini was just written with defaults: no database step until it is edited.
  int32_t AnswerUnconfigured(int32_t Code, int32_t* ResultCode);

  tHourlyFigures& Figures;
  // Made again only by ReadConfig, on an attachment that is gone.
  std::optional<tMenuDatabase> MenuDatabase;
};
