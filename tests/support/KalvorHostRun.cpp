#include "support/KalvorHostRun.h"

#include <sys/wait.h>

#include <cstdio>

#include "support/ShellCommand.h"
#include "support/TempFolder.h"

tKalvorHostRun RunKalvorHost(const std::vector<std::string>& arguments) {
  TempFolder folder("kalvor-host");
  const std::string errorsFile = folder / "stderr";
  std::string commandLine = ShellQuoted(std::string(KALVOR_BINARY_DIR) + "/kalvor-host");
  for (const auto& argument : arguments) commandLine += " " + ShellQuoted(argument);
  commandLine += " 2>" + ShellQuoted(errorsFile);
  tKalvorHostRun run;
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (pipe == nullptr) return run;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.Output.append(chunk, got);
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) run.ExitStatus = WEXITSTATUS(status);
  run.Errors = ReadWholeFile(errorsFile);
  return run;
}
