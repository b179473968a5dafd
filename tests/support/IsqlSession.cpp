#include "support/IsqlSession.h"

#include <thread>

#include "support/ShellCommand.h"

IsqlSession::IsqlSession(const std::string& connection, const std::string& user,
                         const std::string& password)
    : Folder("kalvor-isql"), OutputPath(Folder / "output.txt") {
  const std::string commandLine = "isql-fb -q -user " + ShellQuoted(user) + " -password " +
                                  ShellQuoted(password) + " " + ShellQuoted(connection) + " >" +
                                  ShellQuoted(OutputPath) + " 2>&1";
  Isql.emplace(commandLine, ShellChild::tPipe::ToChild);
}

IsqlSession::~IsqlSession() {
  Send("QUIT;\n");
}

void IsqlSession::Send(const std::string& statements) {
  FILE* input = Isql->Stream();
  if (input == nullptr) return;
  std::fputs(statements.c_str(), input);
  std::fflush(input);
}

// isql answers in order: once it prints a marker selected last, all that was
// sent before the marker has run.
bool IsqlSession::WaitUntilDone(std::chrono::milliseconds patience) {
  const std::string mark = "KALVOR_MARK_" + std::to_string(++Marks);
  Send("SELECT '" + mark + "' FROM RDB$DATABASE;\n");
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadWholeFile(OutputPath).find(mark) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}
