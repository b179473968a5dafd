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
