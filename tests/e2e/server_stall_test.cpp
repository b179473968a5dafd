// A server that stops answering without going away, as a host sees it: the
// built plugin loaded with dlopen while its server is frozen
// (SIGSTOP), while a relay in front of the server stops carrying
// packets with every socket kept open, and while that relay passes on the
// server's first answer of each attach and nothing after. Callers and
// Finalize_Plugin must get their answers while the stall lasts.
//
// Each test runs on a private server. The tests print the waits. To measure them, KALVOR_STALL_SECONDS sets the
// stall's length (5 s unless set), KALVOR_STALL_REQUEST_TIMEOUT and
// KALVOR_STALL_CONNECT_TIMEOUT the plugin's limits (2 s each unless set).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "OutageRun.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/PrivateFirebirdServer.h"
#include "support/TcpProxy.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;
using tClock = std::chrono::steady_clock;

namespace {
// Generous: these bound hangs, they do not measure speed.
constexpr auto Patience = 60s;
constexpr auto SendInterval = 500ms;

int Setting(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoi(text) : otherwise;
}

const int RequestTimeout = Setting("KALVOR_STALL_REQUEST_TIMEOUT", 2);
const int ConnectTimeout = Setting("KALVOR_STALL_CONNECT_TIMEOUT", 2);

std::chrono::seconds StallLength() {
  return std::chrono::seconds(Setting("KALVOR_STALL_SECONDS", 5));
}

std::string Seconds(const char* key, int seconds) {
  return std::string(key) + "=" + std::to_string(seconds) + " s";
}

long Milliseconds(tClock::duration duration) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

// On a server of the test's own, to freeze at will.
class ServerStallTest : protected PrivateServerFirst, public ::testing::Test {
 protected:
  void StartPlugin(const std::string& dbName, const std::string& extraKeys = "") {
    Plugin.WriteIni("[Main]\nDBName=" + dbName + "\nDBUser=" + TestDatabase::User() +
                    "\nDBPWD=" + TestDatabase::Password() +
                    "\nLogLevel=1\nRequestTimeout=" + std::to_string(RequestTimeout) +
                    "\nConnectTimeout=" + std::to_string(ConnectTimeout) + "\n" + extraKeys);
    Restart();
  }

  void TearDown() override {
    if (Host) Host->Finalize();
  }

  int32_t Send(const std::vector<uint8_t>& request) {
    const int32_t id = ++LastId;
    Sent[id] = tClock::now();
    EXPECT_EQ(Host->Command(id, request), 0);
    return id;
  }

  // The longest wait from Command_Plugin to the callback of commands first to
  // last, once each has its one answer.
  long LongestWait(int32_t first, int32_t last) {
    const auto end = tClock::now() + Patience;
    while (AnswersOf(last).empty() && tClock::now() < end) std::this_thread::sleep_for(20ms);
    long longest = 0;
    for (int32_t id = first; id <= last; ++id) {
      const std::vector<tAnswer>& calls = AnswersOf(id);
      EXPECT_EQ(calls.size(), 1u) << "command " << id;
      if (calls.size() == 1) longest = std::max(longest, Milliseconds(calls.front().At - Sent[id]));
    }
    return longest;
  }

  int32_t AskResult(const std::vector<uint8_t>& request) {
    Send(request);
    const auto answer = Host->WaitAnswer(Patience);
    return answer ? SignedWordAt(answer->Buffer, 12) : -1;
  }

  // The answers of a command so far.
  std::vector<tAnswer>& AnswersOf(int32_t id) {
    for (tAnswer& answer : Host->WaitAnswers(SIZE_MAX, 0ms))
      Received[answer.CommandId].push_back(std::move(answer));
    return Received[id];
  }

  void Restart() {
    Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
    Host->Init();
  }

  // Finalize_Plugin while struck, the last command sent under way; heals.
  // Answers how long Finalize_Plugin took.
  long FinalizeWhileStruck(const std::function<void()>& heal) {
    const int32_t underWay = LastId;
    std::this_thread::sleep_for(100ms);
    const auto finalizing = tClock::now();
    auto finalized = std::async(std::launch::async, [&] { Host->Finalize(); });
    const bool inTime = finalized.wait_for(Patience) == std::future_status::ready;
    const long took = Milliseconds(tClock::now() - finalizing);
    heal();
    finalized.wait();
    EXPECT_TRUE(inTime) << "Finalize_Plugin waited for the server";
    EXPECT_EQ(AnswersOf(underWay).size(), 1u) << "the command under way at Finalize_Plugin";
    return took;
  }

  // 100, 101 and 102 in turn, every half second while the stall lasts, then
  // Finalize_Plugin; again with a statement under way at Finalize_Plugin.
  // Checks every answer that came and prints the waits.
  void StallAndFinalize(const TestDatabase& db, const std::function<void()>& strike,
                        const std::function<void()>& heal, const char* what) {
    db.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
    ASSERT_EQ(AskResult(StartItemRequest(1)), 0) << "warm-up";
    strike();
    const auto struck = tClock::now();
    const int32_t firstStruck = LastId + 1;
    for (int turn = 0; tClock::now() - struck < StallLength(); ++turn) {
      if (turn % 3 == 0) Send(StartItemRequest(1));
      if (turn % 3 == 1) Send(ItemDescRequest(10));
      if (turn % 3 == 2) Send(ActionRequest(7, 10, "stall " + std::to_string(turn)));
      std::this_thread::sleep_for(SendInterval);
    }
    const int32_t lastStruck = LastId;
    const long finalizeAfterStall = FinalizeWhileStruck(heal);

    long longestWait = 0;
    int answered = 0;
    for (int32_t id = firstStruck; id <= lastStruck; ++id) {
      const std::vector<tAnswer>& calls = AnswersOf(id);
      ASSERT_LE(calls.size(), 1u) << "command " << id << " called back twice";
      if (calls.empty()) continue;
      ++answered;
      EXPECT_EQ(SignedWordAt(calls.front().Buffer, 12), 1) << "command " << id;
      longestWait = std::max(longestWait, Milliseconds(calls.front().At - Sent[id]));
    }
    EXPECT_EQ(AnswersOf(firstStruck).size(), 1u) << "the first command struck";
    EXPECT_EQ(db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE ITEM_KEY STARTING 'stall';"),
              "0")
        << "an action failed while the server was silent was written";

    Restart();
    ASSERT_EQ(AskResult(StartItemRequest(1)), 0) << "after the stall";
    strike();
    Send(StartItemRequest(1));
    const long finalizeUnderWay = FinalizeWhileStruck(heal);
    std::printf("%s for %ld s, RequestTimeout=%d, ConnectTimeout=%d: %d of %d commands answered, "
                "longest caller wait %ld ms; Finalize_Plugin %ld ms after the stall, %ld ms with "
                "a statement under way\n",
                what, static_cast<long>(StallLength().count()), RequestTimeout, ConnectTimeout,
                answered, lastStruck - firstStruck + 1, longestWait, finalizeAfterStall,
                finalizeUnderWay);

    const std::string log = Log.MainText();
    EXPECT_NE(log.find("The server did not answer within " +
                       Seconds("RequestTimeout", RequestTimeout) +
                       ": the request was cut off and is not run again"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("IN[menu_id=1]"), std::string::npos) << "the cut step's values";
    EXPECT_NE(log.find(Seconds("ConnectTimeout", ConnectTimeout)), std::string::npos)
        << "attaches met their limit";

    // Answering again, the next session attaches and serves at once.
    Restart();
    EXPECT_EQ(AskResult(StartItemRequest(1)), 0) << "after the stall";
  }

  PluginCopy Plugin;
  LogTail Log{HostLogsFolder()};
  std::unique_ptr<tPluginHost> Host;
  std::map<int32_t, std::vector<tAnswer>> Received;
  int32_t LastId = 0;
  std::map<int32_t, tClock::time_point> Sent;
};

}  // namespace

TEST_F(ServerStallTest, CallersAndFinalizeGetTheirAnswersWhileTheServerIsFrozen) {
  TestDatabase db(Server.Host());
  StartPlugin(db.ConnectionString());
  StallAndFinalize(db, [&] { Server.Freeze(); }, [&] { Server.Thaw(); }, "frozen server");
}

// Frozen: the first command is cut off at RequestTimeout, the next attach
// runs into ConnectTimeout, and only then is the outage known, dated from the
// cut. One pair of lines, the cut command counted among the failed.
TEST_F(ServerStallTest, AFrozenServerIsOneOutageInTheLog) {
  TestDatabase db(Server.Host());
  db.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  StartPlugin(db.ConnectionString());
  ASSERT_EQ(AskResult(StartItemRequest(1)), 0) << "warm-up";
  const tOutageRun run = RideOutOutage(
      *Host, std::chrono::duration_cast<std::chrono::milliseconds>(StallLength()),
      [&] { Server.Freeze(); }, [&] { Server.Thaw(); });
  EXPECT_GE(run.Failed, 2) << "the cut command and the attach that ran into ConnectTimeout";
  ExpectOnePairOfOutageLines(Log.MainMessages(), run);
}

TEST_F(ServerStallTest, CallersAndFinalizeGetTheirAnswersThroughAPartition) {
  TestDatabase db(Server.Host());
  TcpProxy proxy(Server.Port());
  StartPlugin(proxy.Host() + ":" + db.FilePath().string());
  StallAndFinalize(
      db, [&] { proxy.SetMode(TcpProxy::tMode::Partition); },
      [&] { proxy.SetMode(TcpProxy::tMode::Forward); }, "partition");
}

// The attach of Init_Plugin gets the server's first answer and nothing after:
// Init_Plugin returns within ConnectTimeout, and the attach left behind
// detaches by itself once answers come through again.
TEST_F(ServerStallTest, InitPluginEndsWithinConnectTimeoutWhenTheServerHalfAnswers) {
  TestDatabase db(Server.Host());
  db.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  TcpProxy proxy(Server.Port(), TcpProxy::tMode::FirstAnswerOnly);
  const auto initStart = tClock::now();
  auto init = std::async(std::launch::async, [&] { StartPlugin(proxy.Host() + ":" +
                                                               db.FilePath().string()); });
  const bool initInTime = init.wait_for(Patience) == std::future_status::ready;
  const auto initTook = tClock::now() - initStart;
  proxy.SetMode(TcpProxy::tMode::Forward);
  init.wait();
  ASSERT_TRUE(initInTime) << "Init_Plugin waited for the half-answering server";
  std::printf("half-answering server: Init_Plugin %ld ms\n", Milliseconds(initTook));
  EXPECT_NE(Log.MainText().find("Failed to establish a connection: the attach did not end within " +
                                Seconds("ConnectTimeout", ConnectTimeout)),
            std::string::npos)
      << Log.MainText();

  EXPECT_EQ(AskResult(StartItemRequest(1)), 0) << "once the server answers";
  const std::string ours = "SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$REMOTE_PID = " +
                           std::to_string(getpid()) + ";";
  const auto end = tClock::now() + Patience;
  while (db.QueryValue(ours) != "1" && tClock::now() < end) std::this_thread::sleep_for(100ms);
  EXPECT_EQ(db.QueryValue(ours), "1") << "the attach left behind did not detach";
}

// The server stopped: every attach is refused at once. Commands come five a
// second; once one's attempts found no server, the rest fail at once while
// a probe tries the server, so no queue builds up and none waits past its
// deadline (3 s here, KALVOR_STALL_COMMAND_DEADLINE); when the server is back,
// the plugin serves again within the probes' 1.2 s.
TEST_F(ServerStallTest, ThroughARefusalNoCallerWaitsPastItsDeadline) {
  const int deadline = Setting("KALVOR_STALL_COMMAND_DEADLINE", 3);
  TestDatabase db(Server.Host());
  db.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  StartPlugin(db.ConnectionString(), "CommandDeadline=" + std::to_string(deadline) + "\n");
  ASSERT_EQ(AskResult(StartItemRequest(1)), 0) << "warm-up";
  Server.Stop();
  const auto stopped = tClock::now();
  const int32_t first = LastId + 1;
  while (tClock::now() - stopped < StallLength()) {
    Send(StartItemRequest(1));
    std::this_thread::sleep_for(200ms);
  }
  Server.Start();
  const auto back = tClock::now();
  const long longest = LongestWait(first, LastId);
  long servedAfter = -1;
  while (servedAfter < 0 && tClock::now() - back < Patience) {
    if (AskResult(StartItemRequest(1)) == 0) servedAfter = Milliseconds(tClock::now() - back);
    std::this_thread::sleep_for(100ms);
  }
  const std::string log = Log.MainText();
  size_t attaches = 0;
  for (size_t at = log.find("Connecting to "); at != std::string::npos;
       at = log.find("Connecting to ", at + 1))
    ++attaches;
  std::printf("refusal for %ld s, CommandDeadline=%d s: longest caller wait %ld ms, served again "
              "%ld ms after the server was back; %zu attaches on the command path\n",
              static_cast<long>(StallLength().count()), deadline, longest, servedAfter, attaches);
  EXPECT_LE(longest, deadline * 1000 + 500);
  EXPECT_GE(servedAfter, 0) << "never served again";
  EXPECT_LE(servedAfter, 2000);
  EXPECT_NE(log.find("The server was reached by probe "), std::string::npos);
  EXPECT_LE(attaches, 12u) << "one command's ten attempts, then only probes until the server is back";
}

