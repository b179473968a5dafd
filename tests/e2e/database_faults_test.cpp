// Database faults a real server produces, as a host sees them: the built
// plugin loaded with dlopen while the server is killed, the database shut
// down, the plugin's attachment deleted by an administrator, a row lock held
// by another connection, and a server that accepts connections but never
// answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "OutageRun.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/PrivateFirebirdServer.h"
#include "support/ShellCommand.h"
#include "support/TcpProxy.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
// Generous: these bound hangs, they do not measure speed.
constexpr auto Patience = 60s;
// Into the two seconds that menu 99's start item takes.
constexpr auto HalfWay = 700ms;

// Menu 99's start item takes two seconds of the server's time: long enough to
// cut its statement half-way. Every other menu answers at once with item 10.
const char* const SlowStartItem = R"(SET TERM ^ ;
ALTER PROCEDURE MENU_GET_START_ITEM (MENU_ID INTEGER) RETURNS (ITEM_START_ID INTEGER) AS
DECLARE STARTED TIMESTAMP;
BEGIN
  STARTED = CAST('NOW' AS TIMESTAMP);
  IF (MENU_ID = 99) THEN
    WHILE (DATEDIFF(MILLISECOND FROM STARTED TO CAST('NOW' AS TIMESTAMP)) < 2000) DO
      STARTED = STARTED;
  ITEM_START_ID = 10;
  SUSPEND;
END^
SET TERM ; ^)";

int32_t ResultCodeOf(const tAnswer& answer) {
  return SignedWordAt(answer.Buffer, 12);
}

void RunOrFail(const std::string& commandLine) {
  const ShellResult result = RunShellCommand(commandLine);
  ASSERT_TRUE(result.Succeeded) << commandLine << "\n" << result.Output;
}

class DatabaseFaultTest : public ::testing::Test {
 protected:
  void StartPlugin(const std::string& dbName, const std::string& extraKeys = "") {
    Plugin.WriteIni("[Main]\nDBName=" + dbName + "\nDBUser=" + TestDatabase::User() +
                    "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n" + extraKeys);
    Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
    Host->Init();
  }

  void TearDown() override {
    if (Host) Host->Finalize();
  }

  void Send(const std::vector<uint8_t>& request) {
    ASSERT_EQ(Host->Command(SignedWordAt(request, 4), request), 0);
  }

  tAnswer Answer() {
    auto answer = Host->WaitAnswer(Patience);
    if (!answer) {
      ADD_FAILURE() << "no answer";
      return {};
    }
    return *answer;
  }

  tAnswer Ask(const std::vector<uint8_t>& request) {
    Send(request);
    return Answer();
  }

  // Sends the request and strikes while its statement runs.
  tAnswer AskWhile(const std::vector<uint8_t>& request, const std::function<void()>& fault) {
    Send(request);
    std::this_thread::sleep_for(HalfWay);
    fault();
    return Answer();
  }

  void ExpectStartItem(const tAnswer& answer, const std::string& what) {
    EXPECT_EQ(ResultCodeOf(answer), 0) << what;
    EXPECT_EQ(WordAt(answer.Buffer, 20), 10u) << what;
  }

  size_t LinesContaining(const std::string& part, const LogTail& log) const {
    size_t count = 0;
    for (const auto& line : log.MainMessages())
      if (line.find(part) != std::string::npos) ++count;
    return count;
  }
  size_t LinesContaining(const std::string& part) const { return LinesContaining(part, Log); }

  PluginCopy Plugin;
  LogTail Log{HostLogsFolder()};
  std::unique_ptr<tPluginHost> Host;
};

class ServerFaultTest : public DatabaseFaultTest {
 protected:
  explicit ServerFaultTest(const std::string& host = TestDatabase::ServerUnderTest()) : Db(host) {}

  void SetUp() override { Db.Execute(SlowStartItem); }

  // What an administrator does to the plugin's attachment: it is this process's.
  // Returns once the server has let it go: a request that reaches an
  // attachment still being deleted was seen to get no answer at all.
  void DeleteOurAttachment() {
    const std::string attachment =
        Db.QueryValue("SELECT MON$ATTACHMENT_ID FROM MON$ATTACHMENTS WHERE MON$REMOTE_PID = " +
                      std::to_string(getpid()) + ";");
    const std::string it = " FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = " + attachment + ";";
    Db.Execute("DELETE" + it);
    const auto end = std::chrono::steady_clock::now() + Patience;
    while (Db.QueryValue("SELECT COUNT(*)" + it) != "0" && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(50ms);
  }

  void Gfix(const std::string& action) {
    RunOrFail("gfix -user " + TestDatabase::User() + " -password " +
              ShellQuoted(TestDatabase::Password()) + " " + action + " " +
              ShellQuoted(Db.ConnectionString()));
  }

  TestDatabase Db;
};

// The database on a server of the test's own, to kill at will.
class ServerKillTest : protected PrivateServerFirst, public ServerFaultTest {
 protected:
  ServerKillTest() : ServerFaultTest(Server.Host()) {}
};
}  // namespace

TEST_F(ServerKillTest, StatementsCutHalfWayRunAgainOnANewAttachment) {
  StartPlugin(Db.ConnectionString());
  ExpectStartItem(Ask(StartItemRequest(1)), "warm-up");

  // "connection shutdown": the attachment deleted while its statement runs.
  // The statement was the attempt's first request, so the failure is the
  // attachment found dead: the attempt runs again on a new one at once.
  ExpectStartItem(AskWhile(StartItemRequest(99), [&] { DeleteOurAttachment(); }), "deleted");
  EXPECT_EQ(LinesContaining("No database connection!"), 1u);
  EXPECT_EQ(LinesContaining("Pausing before retrying query"), 0u);
  // "Error reading data from the connection": the server killed while it
  // runs, and started again as a guard would. The new attachment waits for
  // it, with pauses.
  ExpectStartItem(AskWhile(StartItemRequest(99), [&] { Server.Restart(); }), "killed");
  EXPECT_GE(LinesContaining("No database connection!"), 2u);

  // Between two commands the next command's first request finds either, and
  // the command reconnects and succeeds on its first attempt.
  const size_t pauses = LinesContaining("Pausing before retrying query");
  DeleteOurAttachment();
  ExpectStartItem(Ask(StartItemRequest(1)), "deleted between commands");
  Server.Restart();
  ExpectStartItem(Ask(StartItemRequest(1)), "killed between commands");
  EXPECT_EQ(LinesContaining("Pausing before retrying query"), pauses);

  EXPECT_EQ(LinesContaining("Transaction is active! Rollback"), 0u);
  EXPECT_EQ(LinesContaining("Error while processing"), 0u);
}

namespace {
// The figures lines of the log, whichever hours they cover: counts summed,
// times kept per line.
struct tFigures {
  std::vector<std::string> Lines;
  std::vector<long> Counts = std::vector<long>(14, 0);
  std::vector<double> Median, P99, Max;
};

tFigures ReadFigures(const std::vector<std::string>& messages) {
  const std::regex pattern(
      "^Figures of [-0-9: ]+, pid \\d+: commands 100=(\\d+) 101=(\\d+) 102=(\\d+) other=(\\d+); "
      "result codes 0=(\\d+) 1=(\\d+) 2=(\\d+) 3=(\\d+) other=(\\d+); "
      "retries deadlock=(\\d+) connection loss=(\\d+); reconnects=(\\d+); outages=(\\d+); "
      "longest queue=(\\d+); "
      "Command_Plugin to callback ms median=([.\\d]+) p99=([.\\d]+) max=([.\\d]+); "
      "log lines lost=0$");
  tFigures figures;
  for (const auto& line : messages) {
    std::smatch field;
    if (!std::regex_match(line, field, pattern)) continue;
    figures.Lines.push_back(line);
    for (size_t index = 0; index < figures.Counts.size(); ++index)
      figures.Counts[index] += std::stol(field[index + 1].str());
    figures.Median.push_back(std::stod(field[15].str()));
    figures.P99.push_back(std::stod(field[16].str()));
    figures.Max.push_back(std::stod(field[17].str()));
  }
  return figures;
}
}  // namespace

TEST_F(ServerFaultTest, FinalizeWritesTheFiguresOfTheHour) {
  StartPlugin(Db.ConnectionString());
  ExpectStartItem(Ask(StartItemRequest(1)), "warm-up");
  // Three commands queue up behind a slow one, whose statement is cut half-way:
  // it was the attempt's first request, so the attachment counts as found
  // dead and the statement runs again on a new one, a reconnect without a retry.
  Send(StartItemRequest(99));
  Send(ItemDescRequest(12345));
  Send(ActionRequest(1, 2, "figures"));
  Send(MakeCommand(16, 7));
  std::this_thread::sleep_for(HalfWay);
  DeleteOurAttachment();
  const std::vector<tAnswer> queued = Host->WaitAnswers(4, Patience);
  ASSERT_EQ(queued.size(), 4u);
  // Deleted between two commands: a reconnect without a retry.
  DeleteOurAttachment();
  ExpectStartItem(Ask(StartItemRequest(1)), "reconnected");
  Host->Finalize();
  Host.reset();

  const tFigures figures = ReadFigures(Log.MainMessages());
  ASSERT_FALSE(figures.Lines.empty()) << Log.MainText();
  const std::vector<long> expected{3, 1, 1, 1, 4, 0, 1, 1, 0, 0, 0, 2, 0};
  EXPECT_EQ(std::vector<long>(figures.Counts.begin(), figures.Counts.begin() + 13), expected)
      << "commands by kind, result codes, retries, reconnects, outages:\n"
      << figures.Lines.back();
  EXPECT_GE(figures.Counts[13], 3) << "the longest queue";
  EXPECT_NE(figures.Lines.back().find(", pid " + std::to_string(getpid()) + ":"), std::string::npos)
      << "the host's process: " << figures.Lines.back();
  // The queued description waited for the slow start item and its second run.
  EXPECT_GE(*std::max_element(figures.Max.begin(), figures.Max.end()), 2000.0);
  for (size_t line = 0; line < figures.Lines.size(); ++line) {
    EXPECT_LE(figures.Median[line], figures.P99[line]) << figures.Lines[line];
    EXPECT_LE(figures.P99[line], figures.Max[line]) << figures.Lines[line];
  }
  const std::string text = Log.MainText();
  EXPECT_LT(text.rfind("Figures of "), text.find("=====   Finalize PlugIn Worker Object("))
      << "written before the worker's Finalize";
}

// A server killed for ten seconds and started again: the log tells of it in
// one pair of lines, and the hour's figures count one outage.
TEST_F(ServerKillTest, AServerKilledForTenSecondsIsOneOutageInTheLog) {
  StartPlugin(Db.ConnectionString());
  ExpectStartItem(Ask(StartItemRequest(1)), "warm-up");
  const tOutageRun run = RideOutOutage(
      *Host, 10s, [&] { Server.Kill(); }, [&] { Server.Start(); });
  EXPECT_GE(run.Failed, 3) << "commands sent while the server was down";
  ExpectOnePairOfOutageLines(Log.MainMessages(), run);
  Host->Finalize();
  Host.reset();
  const tFigures figures = ReadFigures(Log.MainMessages());
  ASSERT_FALSE(figures.Lines.empty()) << Log.MainText();
  EXPECT_EQ(figures.Counts[12], 1) << figures.Lines.back();
}

namespace {
int Setting(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoi(text) : otherwise;
}

// Item 77's three statements (the item, its voice parameters, its connection
// rows) each take ms of the server's time, and so do an action's procedure
// and its commit.
std::string SlowServer(int ms) {
  const std::string slowDown = "  EXECUTE PROCEDURE SLOW_DOWN " + std::to_string(ms) + ";\n";
  return R"(SET TERM ^ ;
CREATE PROCEDURE SLOW_DOWN (MS INTEGER) AS
DECLARE STARTED TIMESTAMP;
BEGIN
  STARTED = CAST('NOW' AS TIMESTAMP);
  WHILE (DATEDIFF(MILLISECOND FROM STARTED TO CAST('NOW' AS TIMESTAMP)) < MS) DO
    STARTED = STARTED;
END^
ALTER PROCEDURE MENU_GET_ITEM (MENU_ITEM_ID INTEGER) RETURNS (MENU_SERVICE_ID INTEGER,
  MENU_CONNECTION_ID INTEGER, MENU_ITEM_NAME VARCHAR(1000), MENU_CONNECTION_NAME VARCHAR(1000)) AS
BEGIN
)" + slowDown + R"(  MENU_SERVICE_ID = 1; MENU_CONNECTION_ID = 77; MENU_ITEM_NAME = 'slow';
  SUSPEND;
END^
ALTER PROCEDURE MENU_GET_VOICE_ITEM_PARAMS (MENU_ITEM_ID INTEGER) RETURNS (
  ITEM_SYNTHEZ_LIST VARCHAR(4000), ITEM_MACRO_NAME VARCHAR(1000), ITEM_SYNTHEZ_PLACE INTEGER,
  ITEM_REPEAT_COUNT INTEGER, ITEM_TIMEOUT INTEGER) AS
BEGIN
)" + slowDown + R"(  ITEM_SYNTHEZ_LIST = 'slow';
  SUSPEND;
END^
ALTER PROCEDURE MENU_GET_CONNECTION (CONNECTION_ID INTEGER) RETURNS (CONNECTION_KEY VARCHAR(1000),
  CONNECTION_ITEM_ID INTEGER, CONNECTION_WAY_DESC VARCHAR(4000)) AS
BEGIN
)" + slowDown + R"(END^
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000)) AS
DECLARE IGNORED INTEGER;
BEGIN
)" + slowDown + R"(  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (:SESSION_ID, :ITEM_ID, :ITEM_KEY);
  IGNORED = RDB$SET_CONTEXT('USER_TRANSACTION', 'SLOW_COMMIT', )" + std::to_string(ms) + R"();
END^
CREATE TRIGGER SLOW_COMMIT ON TRANSACTION COMMIT AS
BEGIN
  IF (RDB$GET_CONTEXT('USER_TRANSACTION', 'SLOW_COMMIT') IS NOT NULL) THEN
    EXECUTE PROCEDURE SLOW_DOWN RDB$GET_CONTEXT('USER_TRANSACTION', 'SLOW_COMMIT');
END^
SET TERM ; ^)";
}
}  // namespace

// A server that answers, only slowly: each caller has its answer by
// CommandDeadline, the request under way then cut off as RequestTimeout cuts
// it, and an action cut in its commit named in doubt. KALVOR_SLOW_MS (1500
// unless set) and KALVOR_SLOW_DEADLINE (2 s) measure other cases.
TEST_F(ServerFaultTest, ASlowServerAnswersEveryCallerByItsDeadline) {
  const int slowMs = Setting("KALVOR_SLOW_MS", 1500);
  const int deadline = Setting("KALVOR_SLOW_DEADLINE", 2);
  Db.Execute(SlowServer(slowMs));
  StartPlugin(Db.ConnectionString(), "CommandDeadline=" + std::to_string(deadline) + "\n");
  ExpectStartItem(Ask(StartItemRequest(1)), "warm-up");

  std::vector<long> waits;
  for (const auto& request : {ItemDescRequest(77), ActionRequest(5, 77, "slow")}) {
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(ResultCodeOf(Ask(request)), 1);
    waits.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - asked)
                                          .count()));
    EXPECT_LT(waits.back(), deadline * 1000 + 500);
  }
  std::printf("statements of %d ms, CommandDeadline=%d s: 101 answered after %ld ms, 102 after %ld "
              "ms\n",
              slowMs, deadline, waits[0], waits[1]);
  EXPECT_EQ(LinesContaining("Msg=\"The command reached CommandDeadline=" +
                            std::to_string(deadline) +
                            " s: the request was cut off and is not run again ("),
            2u)
      << Log.MainText();
  EXPECT_EQ(LinesContaining("IN[session_id=5, item_id=77, item_key=\"slow\"] - commit outcome "
                            "unknown"),
            1u);
  ExpectStartItem(Ask(StartItemRequest(1)), "after the cuts");
}

TEST_F(ServerFaultTest, ADatabaseShutDownHalfWayServesAgainOnceOnline) {
  StartPlugin(Db.ConnectionString());
  ExpectStartItem(Ask(StartItemRequest(1)), "warm-up");

  // Every attempt finds the database shut: the command fails, with its values.
  const tAnswer cut = AskWhile(StartItemRequest(99), [&] { Gfix("-shut full -force 0"); });
  EXPECT_EQ(ResultCodeOf(cut), 1);
  EXPECT_EQ(LinesContaining("Error while processing onDynMenu_GetStartMenuItem Msg="), 1u);
  EXPECT_EQ(LinesContaining("shutdown\"\" GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=99]"),
            1u);

  // Its attempts found no database: commands fail at once until a probe attaches.
  EXPECT_EQ(LinesContaining("The server is not reached: commands fail at once"), 1u);
  Gfix("-online");
  const auto end = std::chrono::steady_clock::now() + Patience;
  while (LinesContaining("The server was reached by probe ") == 0 &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(50ms);
  ExpectStartItem(Ask(StartItemRequest(1)), "online again");
  EXPECT_EQ(ResultCodeOf(Ask(ActionRequest(3, 4, "online"))), 0);
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE ITEM_KEY = 'online';"), "1");
  EXPECT_EQ(LinesContaining("Transaction is active! Rollback"), 0u);
}

TEST_F(ServerFaultTest, AHeldRowLockFailsOneCommandAfterLockTimeoutAndTheQueueMovesOn) {
  // A menu database whose action procedure keeps a row per session up to date.
  Db.Execute(R"(CREATE TABLE SESSION_STATE (SESSION_ID INTEGER NOT NULL PRIMARY KEY,
                                              LAST_ITEM_ID INTEGER);
INSERT INTO SESSION_STATE VALUES (7, 0);
SET TERM ^ ;
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000))
AS
BEGIN
  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (:SESSION_ID, :ITEM_ID, :ITEM_KEY);
  UPDATE SESSION_STATE SET LAST_ITEM_ID = :ITEM_ID WHERE SESSION_ID = :SESSION_ID;
END^
SET TERM ; ^)");
  StartPlugin(Db.ConnectionString(), "LockTimeout=2\n");

  // Another connection updates session 7's row and sits on it for six seconds.
  TempFolder holder("kalvor-holder");
  const std::string held = holder / "held";
  const std::string released = holder / "released";
  WriteWholeFile(holder / "hold.sql",
                 "UPDATE SESSION_STATE SET LAST_ITEM_ID = -1 WHERE SESSION_ID = 7;\n"
                 "SHELL touch " +
                     held + ";\nSHELL sleep 6;\nROLLBACK;\nSHELL touch " + released + ";\n");
  RunOrFail("(isql-fb -q -user " + TestDatabase::User() + " -password " +
            ShellQuoted(TestDatabase::Password()) + " -i " + ShellQuoted(holder / "hold.sql") +
            " " + ShellQuoted(Db.ConnectionString()) + " >/dev/null 2>&1 &)");
  const auto waitFor = [](const std::string& flag) {
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    while (!std::filesystem::exists(flag) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    return std::filesystem::exists(flag);
  };
  ASSERT_TRUE(waitFor(held));

  Send(ActionRequest(7, 42, "held"));
  Send(StartItemRequest(1));
  EXPECT_EQ(ResultCodeOf(Answer()), 1);
  ExpectStartItem(Answer(), "queued behind the held lock");

  // Not retried: another attempt would only wait as long again.
  EXPECT_EQ(LinesContaining("Not retrying query: the lock wait ran into LockTimeout=2 after "), 1u);
  EXPECT_EQ(LinesContaining("Pausing before retrying query"), 0u);
  const std::string text = Log.MainText();
  EXPECT_NE(text.find("update conflicts with concurrent update"), std::string::npos);
  EXPECT_NE(text.find("\" PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=7, item_id=42, "
                      "item_key=\"held\"]\r\n"),
            std::string::npos);
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE ITEM_KEY = 'held';"), "0");

  ASSERT_TRUE(waitFor(released));
  EXPECT_EQ(ResultCodeOf(Ask(ActionRequest(7, 43, "after"))), 0);
  EXPECT_EQ(Db.QueryValue("SELECT LAST_ITEM_ID FROM SESSION_STATE WHERE SESSION_ID = 7;"), "43");
}

namespace {
// A listener that completes TCP connections and never says a word.
class SilentServer {
 public:
  SilentServer() : Socket(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (Socket < 0 || bind(Socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(Socket, 16) != 0 ||
        getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot listen on a loopback port");
    Port = ntohs(address.sin_port);
  }
  ~SilentServer() { close(Socket); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int Port = 0;

 private:
  int Socket;
};

using SilentServerTest = DatabaseFaultTest;
}  // namespace

TEST_F(SilentServerTest, ConnectTimeoutBoundsInitAndEveryCommand) {
  SilentServer server;
  const std::string dbName = "127.0.0.1/" + std::to_string(server.Port) + ":/nowhere.fdb";
  auto init = std::async(std::launch::async, [&] { StartPlugin(dbName, "ConnectTimeout=1\n"); });
  ASSERT_EQ(init.wait_for(Patience), std::future_status::ready) << "Init_Plugin hangs";
  init.get();
  EXPECT_EQ(LinesContaining("Exception while initializing worker DYNAMIC_MENU: "), 1u);

  // One attempt: the server is there but does not answer, so no retry.
  EXPECT_EQ(ResultCodeOf(Ask(StartItemRequest(1))), 1);
  EXPECT_EQ(LinesContaining("Connecting to " + dbName), 1u);
  EXPECT_EQ(LinesContaining("Not retrying query: the server did not answer within "
                            "ConnectTimeout=1"),
            1u);
  EXPECT_EQ(LinesContaining("Pausing before retrying query"), 0u);
}

// A server that answers the connect and then nothing holds an attach inside
// the client library without a limit of its own, and the client's exit
// teardown waits for every such call: a host ends by itself all the same, with
// and without Finalize_Plugin. A refused attach whose thread ends as the host
// exits must not take the client library from under that teardown either.
TEST_F(SilentServerTest, AHostEndsByItselfWhileAnAttachIsLeftOnASilentServer) {
  TcpProxy proxy(3050, TcpProxy::tMode::FirstAnswerOnly);
  const TempFolder folder;
  const std::string host = folder / "kalvor_exit_host";
  std::filesystem::copy_file(KALVOR_EXIT_HOST_PATH, host);
  const LogTail hostLog(folder / "Logs");
  const auto runHost = [&](const std::string& hostPort, const char* mode) {
    Plugin.WriteIni("[Main]\nDBName=" + hostPort + ":/nowhere.fdb\nDBUser=SYSDBA\nDBPWD=x\n"
                    "ConnectTimeout=1\nLogLevel=1\n");
    const auto started = std::chrono::steady_clock::now();
    const ShellResult ended = RunShellCommand("timeout -s KILL 30 " + ShellQuoted(host) + " " +
                                              ShellQuoted(Plugin.LibraryPath()) + " " + mode);
    EXPECT_TRUE(ended.Succeeded) << mode << "\n" << ended.Output;
    return std::chrono::steady_clock::now() - started;
  };
  for (const char* mode : {"unloaded", "initialized"}) {
    const auto took = runHost(proxy.Host(), mode);
    std::printf("%s: the host ended %ld ms after it started\n", mode,
                static_cast<long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_LT(took, 10s) << mode;
  }
  // Each run's Init_Plugin says it twice: in its failure and in the outage line it begins.
  EXPECT_EQ(LinesContaining("the attach did not end within ConnectTimeout=1 s", hostLog), 4u);
  EXPECT_EQ(LinesContaining("Database unreachable since ", hostLog), 2u);
  for (int run = 0; run < 20; ++run) runHost("127.0.0.1/1", "unloaded");
}

// A host that finalizes and unloads the plugin while an attach is left behind,
// then ends: the client library's exit teardown waits for that attach, which
// ends there and lets go of the plugin's last hold. The end races with the
// teardown, so the host runs three times.
TEST_F(SilentServerTest, AHostEndingWhileAnAttachIsLeftBehindExitsCleanly) {
  SilentServer server;
  Plugin.WriteIni("[Main]\nDBName=127.0.0.1/" + std::to_string(server.Port) +
                  ":/nowhere.fdb\nDBUser=SYSDBA\nDBPWD=x\nConnectTimeout=1\nLogLevel=1\n");
  const TempFolder folder;
  const std::string host = folder / "kalvor_exit_host";
  std::filesystem::copy_file(KALVOR_EXIT_HOST_PATH, host);
  const LogTail hostLog(folder / "Logs");

  for (int run = 0; run < 3; ++run) {
    const ShellResult ended =
        RunShellCommand(ShellQuoted(host) + " " + ShellQuoted(Plugin.LibraryPath()) + " unloaded");
    ASSERT_TRUE(ended.Succeeded) << "run " << run << "\n" << ended.Output;
  }
  EXPECT_EQ(LinesContaining("Exception while initializing worker DYNAMIC_MENU: Failed to establish "
                            "a connection: the attach did not end within ConnectTimeout=1 s",
                            hostLog),
            3u)
      << hostLog.MainText();
}
