#include <gtest/gtest.h>

#include "uHostArguments.h"
#include "uHostCommands.h"

namespace {
tHostOptions Parse(std::vector<std::string> arguments) {
  return ParseArguments(arguments);
}
}  // namespace

TEST(KalvorHostArguments, OptionsStandBeforeOrAfterTheSubcommand) {
  const auto options = Parse({"--plugin", "/x/K.so", "walk", "-3", "--dot", "--timeout", "250"});
  EXPECT_EQ(options.Subcommand, "walk");
  EXPECT_EQ(options.Operands, std::vector<std::string>{"-3"}) << "a negative number is an operand";
  EXPECT_EQ(options.PluginPath, "/x/K.so");
  EXPECT_EQ(options.Timeout.count(), 250);
  EXPECT_TRUE(options.Dot);
  EXPECT_FALSE(options.Json);
  EXPECT_EQ(Parse({"item", "1"}).Timeout.count(), 10000);
}

TEST(KalvorHostArguments, DoubleDashLetsAKeyLookLikeAnOption) {
  const auto options = Parse({"action", "--json", "1", "2", "--", "--x"});
  EXPECT_EQ(options.Operands, (std::vector<std::string>{"1", "2", "--x"}));
  EXPECT_TRUE(options.Json);
}

TEST(KalvorHostArguments, WrongCommandLinesAreRefused) {
  EXPECT_THROW(Parse({}), tUsageError);
  EXPECT_THROW(Parse({"fly", "1"}), tUsageError);
  EXPECT_THROW(Parse({"item", "1", "--colour"}), tUsageError);
  EXPECT_THROW(Parse({"item", "1", "--timeout"}), tUsageError);
  EXPECT_THROW(Parse({"item", "1", "--timeout", "0"}), tUsageError);
  EXPECT_THROW(Parse({"item", "1", "--timeout", "5s"}), tUsageError);
  EXPECT_THROW(Parse({"item", "1", "--dot"}), tUsageError);
  EXPECT_THROW(Parse({"walk", "1", "--vars", "NAME"}), tUsageError) << "--vars belongs to check";
  EXPECT_THROW(Parse({"walk", "1", "--tables"}), tUsageError) << "--tables belongs to check";
  EXPECT_THROW(Parse({"walk", "1", "--ini"}), tUsageError) << "--ini needs a file";
}

TEST(KalvorHostArguments, HelpNeedsNothingElse) {
  const auto options = Parse({"raw", "--help"});
  EXPECT_TRUE(options.Help);
  EXPECT_NE(HelpText(options.Subcommand).find("raw COMMAND HEX"), std::string::npos);
  EXPECT_TRUE(Parse({"--help"}).Help);
  EXPECT_NE(HelpText("").find("walk MENU_ID"), std::string::npos);
  for (const char* name : {"start-item", "item", "action", "walk", "raw"})
    EXPECT_NE(HelpText(name).find(std::string("usage: kalvor-host [options] ") + name),
              std::string::npos)
        << name;
}

TEST(KalvorHostArguments, OperandsAreCheckedBeforeThePluginLoads) {
  EXPECT_NO_THROW(CheckOperands(Parse({"action", "1", "-2", ""})));
  EXPECT_NO_THROW(CheckOperands(Parse({"raw", "100", "1800 0000"})));
  EXPECT_THROW(CheckOperands(Parse({"action", "1", "2"})), tUsageError);
  EXPECT_THROW(CheckOperands(Parse({"item", "1", "2"})), tUsageError);
  EXPECT_THROW(CheckOperands(Parse({"item", "2147483648"})), tUsageError);
  EXPECT_THROW(CheckOperands(Parse({"start-item", "1x"})), tUsageError);
  EXPECT_THROW(CheckOperands(Parse({"raw", "100", "xyz"})), tUsageError);
  EXPECT_EQ(ParseInt32("-2147483648", "n"), INT32_MIN);
}

// status and health ask running plugins: no plugin or ini of their own, no
// operands, and their options belong to them alone.
TEST(KalvorHostArguments, StatusAndHealthTakeTheirOwnOptionsOnly) {
  const auto watching = Parse({"status", "--pid", "4242", "--json", "--watch", "2.5"});
  EXPECT_EQ(watching.Pid, 4242u);
  EXPECT_TRUE(watching.Json);
  EXPECT_EQ(watching.WatchSeconds, 2.5);
  const auto health = Parse({"health", "--max-queue", "0", "--max-unreachable", "0.5",
                             "--max-failures-per-minute", "12"});
  EXPECT_EQ(health.HealthLimits.MaxQueue, 0u);
  EXPECT_EQ(health.HealthLimits.MaxUnreachableSeconds, 0.5);
  EXPECT_EQ(health.HealthLimits.MaxFailuresPerMinute, 12u);
  EXPECT_FALSE(Parse({"health"}).Pid);
  EXPECT_EQ(Parse({"health"}).HealthLimits.MaxQueue, 50u);

  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"status", "1"},
                                             {"health", "--plugin", "/x/K.so"},
                                             {"status", "--ini", "/x/K.ini"},
                                             {"item", "1", "--pid", "7"},
                                             {"health", "--watch", "1"},
                                             {"status", "--max-queue", "10"},
                                             {"status", "--max-queue", "50"},
                                             {"status", "--watch", "0"},
                                             {"status", "--watch", "-1"},
                                             {"status", "--watch", "-0.5"},
                                             {"status", "--watch", "1."},
                                             {"status", "--watch", "nan"},
                                             {"health", "--max-unreachable", "1e9"},
                                             {"health", "--max-queue", "-1"},
                                             {"health", "--pid", "x"}})
    EXPECT_THROW(Parse(wrong), tUsageError) << wrong[0] << " " << wrong[1];
  EXPECT_TRUE(NamesHealth({"--pid", "x", "health"}));
  EXPECT_FALSE(NamesHealth({"status", "health"})) << "the first subcommand named counts";
}
