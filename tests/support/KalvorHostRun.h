#pragma once

#include <string>
#include <vector>

// One run of the built kalvor-host: its exit status, standard output and standard error apart,
// so that --json output can be parsed as it is.
struct tKalvorHostRun {
  int ExitStatus = -1;
  std::string Output;
  std::string Errors;
};

// Runs build/kalvor-host with the arguments, each quoted for the shell.
tKalvorHostRun RunKalvorHost(const std::vector<std::string>& arguments);
