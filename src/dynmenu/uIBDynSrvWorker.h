// The menu worker: answers commands 100, 101 and 102 from the menu database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dynmenu/uMenuDatabase.h"
#include "worker/uPlugInWorker.h"

class tIB_DynMenuWorker : public tPlugInWorker {
 public:
  tIB_DynMenuWorker();
  ~tIB_DynMenuWorker() override;

  void ReadConfig(std::string& ConfigPath) override;
  void Initialize() override;
  void Finalize() override;
  int32_t ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode) override;

  // ExecuteQuery for a handler's main statement; a failure is logged as
  // "Error while processing <handlerName> Msg=..." followed by the step's values.
  bool ExecuteHandlerQuery(const char* handlerName, const std::string& values);
  // Inside a catch block: logs exceptionLine with the error's message, then
  // the step's values, then "commit outcome unknown" when the error says so.
  void LogCurrentError(const char* exceptionLine, const std::string& values);

  int32_t GetStartMenuItem(uint8_t*& Buffer, int32_t* ResultCode);
  int32_t GetMenuItemDesc(uint8_t*& Buffer, int32_t* ResultCode);
  int32_t PostMenuAction(uint8_t*& Buffer, int32_t* ResultCode);

  tMenuDatabase MenuDatabase{DatabaseFigures};

 private:
  void ApplySettingsAndConnect();
  // Shared by the three handlers: a transaction an earlier command left
  // active is rolled back with a log line before the handler's own step.
  void RollbackActiveTransaction();
  // The guard of every handler, inside its catch block: result code 1, the
  // exception line with the values, outcome 1.
  int32_t AnswerCurrentError(int32_t* ResultCode, const char* exceptionLine,
                             const std::string& values);
  void LogUnanswerable(int32_t Code, const uint8_t* Buffer, const char* why, int32_t resultCode);
  int32_t AnswerUnconfigured(int32_t Code, int32_t* ResultCode);
};
