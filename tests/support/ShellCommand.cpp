#include "support/ShellCommand.h"

#include "support/ShellChild.h"

ShellResult RunShellCommand(const std::string& commandLine) {
  ShellResult result;
  const std::string withErrors = "(" + commandLine + ") 2>&1";
  ShellChild child(withErrors, ShellChild::tPipe::FromChild);
  result.Output = child.ReadToEnd();
  result.Succeeded = child.Wait() == 0;
  return result;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}
