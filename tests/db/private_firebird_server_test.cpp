#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>

#include "support/PrivateFirebirdServer.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace {

// The process listening on a loopback port, 0 when none.
int ListenerOf(int port) {
  const std::string output =
      RunShellCommand("ss -ltnpH 'sport = :" + std::to_string(port) + "'").Output;
  std::smatch pid;
  return std::regex_search(output, pid, std::regex("pid=(\\d+),")) ? std::stoi(pid[1]) : 0;
}

// An ended process not yet reaped counts as gone.
bool Alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string ownPid, name, state;
  return (stat >> ownPid >> name >> state) && state != "Z";
}

bool Answers(const TestDatabase& database) {
  try {
    return database.QueryValue("SELECT COUNT(*) FROM MENUS;") == "0";
  } catch (const std::runtime_error&) {
    return false;
  }
}

TEST(PrivateFirebirdServerTest, SignalsOnlyItsOwnProcessAndLeavesNothingBehind) {
  const int systemServer = ListenerOf(3050);
  ASSERT_NE(systemServer, 0) << "the system server is down";
  int port = 0;
  pid_t last = 0;
  std::filesystem::path folder;
  {
    PrivateFirebirdServer server;
    port = server.Port();
    EXPECT_NE(port, 3050);
    EXPECT_EQ(ListenerOf(port), server.ProcessId());
    TestDatabase database(server.Host());
    EXPECT_EQ(database.ConnectionString().rfind("127.0.0.1/" + std::to_string(port) + ":", 0), 0u);
    EXPECT_TRUE(Answers(database));

    const pid_t killed = server.ProcessId();
    server.Kill();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(Answers(database));
    server.Start();
    EXPECT_NE(server.ProcessId(), killed);
    EXPECT_EQ(ListenerOf(port), server.ProcessId());
    EXPECT_TRUE(Answers(database));

    // A frozen server, too, can be stopped.
    server.Freeze();
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(Answers(database));
    server.Restart();
    EXPECT_TRUE(Answers(database));
    EXPECT_EQ(ListenerOf(3050), systemServer);
    last = server.ProcessId();
    folder = server.Folder();
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(ListenerOf(port), 0);
  EXPECT_FALSE(Alive(last)) << "the private server outlived its owner";
  EXPECT_EQ(ListenerOf(3050), systemServer);
}

// The client library opens its log without close-on-exec and locks it while it
// writes. A start script that inherited it mid-write kept the lock, and the
// server it started waited on the lock to log, never listening.
TEST(PrivateFirebirdServerTest, ScriptsKeepNoneOfTheTestProcessDescriptors) {
  TempFolder folder("kalvor-inherit");
  const std::string path = folder / "like-the-client-log";
  const int inheritable = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  ASSERT_GE(inheritable, 0);
  const ShellResult child = RunShellCommand("ls -l /proc/$$/fd");
  ::close(inheritable);
  ASSERT_TRUE(child.Succeeded) << child.Output;
  EXPECT_EQ(child.Output.find(path), std::string::npos) << child.Output;
}

}  // namespace
