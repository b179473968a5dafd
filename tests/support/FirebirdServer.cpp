#include "support/FirebirdServer.h"

#include <stdexcept>
#include <string>

#include "support/ShellCommand.h"

namespace {

ShellResult RunServerScript(const char* action) {
  return RunShellCommand(
      ShellQuoted(std::string(KALVOR_SOURCE_DIR) + "/scripts/firebird-server.sh") + " " + action);
}

void RunOrThrow(const char* action) {
  const ShellResult result = RunServerScript(action);
  if (!result.Succeeded)
    throw std::runtime_error(std::string("firebird-server.sh ") + action +
                             " failed: " + result.Output);
}

}  // namespace

void FirebirdServer::Start() {
  RunOrThrow("start");
}

void FirebirdServer::Stop() {
  RunOrThrow("stop");
}

namespace {
// The server process by its id, as scripts/firebird-server.sh finds it.
void SignalServer(const char* signal) {
  const ShellResult result =
      RunShellCommand(std::string("pid=$(pgrep -x firebird) && kill -") + signal + " $pid");
  if (!result.Succeeded)
    throw std::runtime_error(std::string("cannot send SIG") + signal +
                             " to the firebird process: " + result.Output);
}
}  // namespace

std::string FirebirdServer::ProcessId() {
  std::string pid = RunShellCommand("pgrep -x firebird").Output;
  while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
  return pid;
}

void FirebirdServer::Kill() {
  SignalServer("KILL");
}

void FirebirdServer::Freeze() {
  SignalServer("STOP");
}

void FirebirdServer::Thaw() {
  SignalServer("CONT");
}

bool FirebirdServer::IsRunning() {
  return RunServerScript("status").Succeeded;
}

FirebirdServerRestorer::~FirebirdServerRestorer() {
  RunServerScript("start");
}
