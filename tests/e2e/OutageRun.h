// A host through one outage of its server, one command at a time, and the
// pair of lines the log must have told of it: "Database unreachable since
// HH:NN:SS: <reason>" once, and "Database reachable again after S s; N
// commands failed while it was not" once, S between what the host saw of
// the outage's ends and N the commands it saw fail.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/CommandBuffers.h"
#include "tPluginHost.h"

struct tOutageRun {
  using tClock = std::chrono::steady_clock;
  // The first command answered with result code 1, and the one answered with
  // 0 after it: sent and called back; and when the server began to heal.
  tClock::time_point FirstFailedSent, FirstFailedAnswered, UpSent, UpAnswered, Healing;
  int Failed = 0;
};

// Strikes, sends menu 1's start item one after the other for length, heals,
// and sends on until one is answered with result code 0.
inline tOutageRun RideOutOutage(tPluginHost& host, std::chrono::milliseconds length,
                                const std::function<void()>& strike,
                                const std::function<void()>& heal) {
  using namespace std::chrono_literals;
  tOutageRun run;
  int32_t id = 5000;
  // Result code, or -1 for no answer within a minute.
  const auto ask = [&](tOutageRun::tClock::time_point& sent, tOutageRun::tClock::time_point& at) {
    sent = tOutageRun::tClock::now();
    EXPECT_EQ(host.Command(++id, StartItemRequest(1)), 0);
    const auto answer = host.WaitAnswer(60s);
    if (!answer) return -1;
    at = answer->At;
    return SignedWordAt(answer->Buffer, 12);
  };
  const auto note = [&](int result, tOutageRun::tClock::time_point sent,
                        tOutageRun::tClock::time_point at) {
    EXPECT_TRUE(result == 0 || result == 1) << "command " << id << " answered " << result;
    if (result != 1) return;
    if (run.Failed++ == 0) {
      run.FirstFailedSent = sent;
      run.FirstFailedAnswered = at;
    }
  };
  strike();
  const auto struck = tOutageRun::tClock::now();
  while (tOutageRun::tClock::now() - struck < length) {
    tOutageRun::tClock::time_point sent, at;
    note(ask(sent, at), sent, at);
    std::this_thread::sleep_for(300ms);
  }
  run.Healing = tOutageRun::tClock::now();
  heal();
  const auto end = tOutageRun::tClock::now() + 60s;
  while (tOutageRun::tClock::now() < end) {
    const int result = ask(run.UpSent, run.UpAnswered);
    if (result == 0) return run;
    note(result, run.UpSent, run.UpAnswered);
    std::this_thread::sleep_for(300ms);
  }
  ADD_FAILURE() << "no command answered after the server healed";
  return run;
}

inline double SecondsBetween(tOutageRun::tClock::time_point from,
                             tOutageRun::tClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The log's messages (stamps removed) hold one pair of lines for the run.
inline void ExpectOnePairOfOutageLines(const std::vector<std::string>& messages,
                                       const tOutageRun& run) {
  const std::regex down("^Database unreachable since \\d\\d:\\d\\d:\\d\\d: .+$");
  const std::regex up(
      "^Database reachable again after (\\d+)\\.(\\d) s; (\\d+) commands? failed while it was "
      "not$");
  std::vector<std::string> downs;
  std::vector<std::smatch> ups;
  for (const std::string& line : messages) {
    std::smatch found;
    if (std::regex_match(line, down)) downs.push_back(line);
    if (std::regex_match(line, found, up)) ups.push_back(found);
  }
  ASSERT_EQ(downs.size(), 1u) << "lines that an outage began";
  ASSERT_EQ(ups.size(), 1u) << "lines that it ended";
  const double seconds = std::stod(ups[0][1].str() + "." + ups[0][2].str());
  EXPECT_EQ(std::stoi(ups[0][3].str()), run.Failed) << ups[0][0];
  // It began with a failed request of the first failed command and ended
  // with the first attach after the server healed: the probe's, or that of
  // the command that succeeded.
  EXPECT_GE(seconds, SecondsBetween(run.FirstFailedAnswered, run.Healing) - 0.1) << ups[0][0];
  EXPECT_LE(seconds, SecondsBetween(run.FirstFailedSent, run.UpAnswered) + 0.1) << ups[0][0];
  std::printf("%s\n%s\n", downs[0].c_str(), ups[0][0].str().c_str());
}
