#include "support/ShellCommand.h"

#include <cstdio>

ShellResult RunShellCommand(const std::string& commandLine) {
  ShellResult result;
  const std::string withErrors = "(" + commandLine + ") 2>&1";
  FILE* pipe = popen(withErrors.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.Output.append(chunk, got);
  result.Succeeded = pclose(pipe) == 0;
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
