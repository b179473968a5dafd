// An isql session kept open on a database and fed statement by statement, so a
// test can hold a transaction, and its row locks, while the plugin works.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "support/ShellChild.h"
#include "support/TempFolder.h"

class IsqlSession {
 public:
  IsqlSession(const std::string& connection, const std::string& user, const std::string& password);
  // Quits; isql rolls back what is still open.
  ~IsqlSession();
  IsqlSession(const IsqlSession&) = delete;
  IsqlSession& operator=(const IsqlSession&) = delete;

  // Statements, each ending in ";".
  void Send(const std::string& statements);
  // True once isql has run everything sent so far.
  bool WaitUntilDone(std::chrono::milliseconds patience);

 private:
  TempFolder Folder;
  std::string OutputPath;
  // Last, so that isql is waited for before its folder goes.
  std::optional<ShellChild> Isql;
  int Marks = 0;
};
