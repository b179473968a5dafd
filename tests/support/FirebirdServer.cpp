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

bool FirebirdServer::IsRunning() {
  return RunServerScript("status").Succeeded;
}

FirebirdServerRestorer::~FirebirdServerRestorer() {
  RunServerScript("start");
}
