// Round trips per command, counted from the client's system calls on its
// socket: a run of sends answered by a receive is one round trip.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tMeasurer.h"

// Commands of each kind the traced run marks and answers.
constexpr int TripSamples = 5;

// Marks the start of a command in the trace (a system call nothing else makes).
void MarkCommandInTrace();

// Runs the command line under strace, which marks and answers TripSamples
// commands of each kind in their order, and gives the median round trips of
// each kind; empty when strace failed.
std::vector<double> CountRoundTrips(const std::vector<std::string>& commandLine);
