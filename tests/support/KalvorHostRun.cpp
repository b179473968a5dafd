#include "support/KalvorHostRun.h"

#include <sys/wait.h>

#include "support/ShellChild.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"

tKalvorHostRun RunKalvorHost(const std::vector<std::string>& arguments) {
  TempFolder folder("kalvor-host");
  const std::string errorsFile = folder / "stderr";
  std::string commandLine = ShellQuoted(std::string(KALVOR_BINARY_DIR) + "/kalvor-host");
  for (const auto& argument : arguments) commandLine += " " + ShellQuoted(argument);
  commandLine += " 2>" + ShellQuoted(errorsFile);
  tKalvorHostRun run;
  ShellChild child(commandLine, ShellChild::tPipe::FromChild);
  run.Output = child.ReadToEnd();
  const int status = child.Wait();
  if (status != -1 && WIFEXITED(status)) run.ExitStatus = WEXITSTATUS(status);
  run.Errors = ReadWholeFile(errorsFile);
  return run;
}
