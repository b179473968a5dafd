// The built kalvor-host loading a copy of the plugin that answers from a test
// database on the real server holding the demo menu and a suite's own menus.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/KalvorHostRun.h"
#include "support/PluginCopy.h"
#include "support/TestDatabase.h"

class KalvorHostDemoTest : public ::testing::Test {
 protected:
  // For SetUpTestSuite: the demo menu, then the suite's SQL statements.
  static void StartDemo(const std::string& extraMenus) {
    Db = std::make_unique<TestDatabase>();
    Db->RunScript(std::string(KALVOR_SOURCE_DIR) + "/sql/demo-data.sql");
    Db->Execute(extraMenus);
    Plugin = std::make_unique<PluginCopy>();
    Plugin->WriteIni("[Main]\nDBName = " + Db->ConnectionString() +
                     "\nDBUser = " + TestDatabase::User() +
                     "\nDBPWD = " + TestDatabase::Password() + "\nLogLevel = 1\n");
  }

  static void TearDownTestSuite() {
    Plugin.reset();
    Db.reset();
  }

  static tKalvorHostRun Host(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--plugin", Plugin->LibraryPath()});
    return RunKalvorHost(arguments);
  }

  static nlohmann::json HostJson(std::vector<std::string> arguments, int expectedExit = 0) {
    arguments.insert(arguments.begin(), "--json");
    const auto run = Host(arguments);
    EXPECT_EQ(run.ExitStatus, expectedExit) << run.Output << run.Errors;
    return nlohmann::json::parse(run.Output);  // fails the test on anything but one JSON value
  }

  static inline std::unique_ptr<TestDatabase> Db;
  static inline std::unique_ptr<PluginCopy> Plugin;
};
