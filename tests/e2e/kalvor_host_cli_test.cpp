#include <gtest/gtest.h>

#include "support/KalvorHostRun.h"

namespace {
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
}  // namespace

TEST(KalvorHostCli, HelpForEverySubcommandSucceeds) {
  for (const char* name : {"start-item", "item", "action", "walk", "raw"}) {
    const auto run = RunKalvorHost({name, "--help"});
    EXPECT_EQ(run.ExitStatus, 0) << name;
    EXPECT_TRUE(Contains(run.Output, std::string("kalvor-host [options] ") + name)) << run.Output;
  }
}

TEST(KalvorHostCli, WrongCommandLineExitsWithTwoBeforeLoading) {
  const auto run = RunKalvorHost({"--plugin", "/nonexistent/Kalvor.so", "item", "seven"});
  EXPECT_EQ(run.ExitStatus, 2);
  EXPECT_TRUE(Contains(run.Errors, "ITEM_ID must be a 32-bit decimal number")) << run.Errors;
  EXPECT_TRUE(run.Output.empty());
}

TEST(KalvorHostCli, MissingPluginOrEntryExitsWithThree) {
  auto run = RunKalvorHost({"--plugin", "/nonexistent/Kalvor.so", "item", "1"});
  EXPECT_EQ(run.ExitStatus, 3);
  EXPECT_TRUE(Contains(run.Errors, "cannot load plugin /nonexistent/Kalvor.so")) << run.Errors;

  // The C library loads but has none of the plugin's entries.
  run = RunKalvorHost({"--plugin", "libc.so.6", "start-item", "1"});
  EXPECT_EQ(run.ExitStatus, 3);
  EXPECT_TRUE(Contains(run.Errors, "entry Init_Plugin not found")) << run.Errors;
}

TEST(KalvorHostCli, RawSendsTheBytesAsGivenAndShowsTheAnswerAndThisRunsReason) {
  // A size word of 15 is refused by the envelope check: outcome 1, result code 2, exit 1.
  auto run = RunKalvorHost({"raw", "--json", "100", "0f000000 64000000 00000000 00000000"});
  EXPECT_EQ(run.ExitStatus, 1) << run.Errors;
  EXPECT_TRUE(Contains(run.Output, "{\"command\":100,\"length\":"));
  EXPECT_TRUE(Contains(run.Output, "\"hex\":\"0f000000640000000100000002000000"))
      << run.Output << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "Command 100, size word 15: envelope below 16 bytes"))
      << run.Errors;

  // A size word above the bytes given is refused by Command_Plugin: its log
  // line of this run is shown, and no command's frame.
  run = RunKalvorHost({"raw", "101", "3c000000 65000000 00000000 00000000"});
  EXPECT_EQ(run.ExitStatus, 3) << run.Errors;
  EXPECT_TRUE(Contains(run.Errors,
                       "Command refused: size word 60 is larger than Size=16 (CommandId=101): "
                       "refusing such commands"))
      << run.Errors;
  EXPECT_FALSE(Contains(run.Errors, "--New Operation")) << run.Errors;
}
