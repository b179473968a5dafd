#pragma once

#include <string>

// Runs a command line through /bin/sh and collects its output (stdout and
// stderr together).
struct ShellResult {
  bool Succeeded = false;
  std::string Output;
};

ShellResult RunShellCommand(const std::string& commandLine);

// Wraps a text in single quotes for the shell.
std::string ShellQuoted(const std::string& text);
