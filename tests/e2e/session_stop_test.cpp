// How the session stops and pushes back, as a host sees it: Finalize_Plugin
// with commands queued behind one that runs, Finalize_Plugin and dlclose from
// inside the callback, and a queue that is full.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "support/CommandBuffers.h"
#include "support/IsqlSession.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TaggedCommands.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"
#include "uCommandRequests.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 20s;

template <typename tCondition>
bool WaitFor(tCondition condition) {
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& start) {
  return static_cast<size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [&](const std::string& line) { return line.rfind(start, 0) == 0; }));
}

// What the test lets the callback do: the first call waits until the test
// releases it, then does what it was told; later calls are only counted.
struct tCallbackPlan {
  tPluginHost* Host = nullptr;
  bool FinalizeInside = false;
  bool UnloadInside = false;

  std::mutex Lock;
  std::condition_variable Changed;
  bool Released = false;
  bool FirstDone = false;
  int Calls = 0;

  static void Call(int32_t, const char*, void*, int32_t, intptr_t userValue) {
    auto& plan = *reinterpret_cast<tCallbackPlan*>(userValue);
    std::unique_lock<std::mutex> guard(plan.Lock);
    if (++plan.Calls > 1) return;
    plan.Changed.notify_all();
    plan.Changed.wait(guard, [&] { return plan.Released; });
    if (plan.FinalizeInside) plan.Host->Finalize();
    if (plan.UnloadInside) plan.Host->Unload();
    plan.FirstDone = true;
    plan.Changed.notify_all();
  }

  bool WaitForFirstCall() {
    std::unique_lock<std::mutex> guard(Lock);
    return Changed.wait_for(guard, Patience, [&] { return Calls >= 1; });
  }
  bool ReleaseFirstCall() {
    std::unique_lock<std::mutex> guard(Lock);
    Released = true;
    Changed.notify_all();
    return Changed.wait_for(guard, Patience, [&] { return FirstDone; });
  }
  int CallCount() {
    std::lock_guard<std::mutex> guard(Lock);
    return Calls;
  }
};

enum class tInsideCallback { Finalize, FinalizeThenUnload, Unload };

class StopInsideCallbackTest : public ::testing::TestWithParam<tInsideCallback> {
 protected:
  PluginCopy Plugin;
  LogTail Log{HostLogsFolder()};
  std::unique_ptr<tPluginHost> Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
};

bool StillLoaded(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);
  return library != nullptr;
}
}  // namespace

// Finalize_Plugin, dlclose, or both from inside the callback: no abort and no
// crash, the queue is dropped, and a library let go is unloaded once the
// session thread has left it.
TEST_P(StopInsideCallbackTest, FinishesAfterTheCallbackWithoutCallingBackTheRest) {
  const bool unload = GetParam() != tInsideCallback::Finalize;
  const bool finalize = GetParam() != tInsideCallback::Unload;
  tCallbackPlan plan;
  plan.Host = Host.get();
  plan.FinalizeInside = finalize;
  plan.UnloadInside = unload;
  Host->InitWith(&tCallbackPlan::Call, reinterpret_cast<intptr_t>(&plan));
  const auto command = TaggedCommand(1);
  ASSERT_EQ(Host->Command(1, command), 0);
  ASSERT_TRUE(plan.WaitForFirstCall());
  for (int i = 2; i <= 10; ++i) ASSERT_EQ(Host->Command(i, command), 0);
  ASSERT_TRUE(plan.ReleaseFirstCall());

  if (unload) {
    EXPECT_TRUE(WaitFor([&] { return !StillLoaded(Plugin.LibraryPath()); }));
  } else {
    EXPECT_EQ(Host->Command(11, command), 1);
    // A new session starts from nothing and answers as usual.
    EXPECT_EQ(Host->Init(), "DYNAMIC_MENU");
    ASSERT_EQ(Host->Command(12, command), 0);
    const auto answer = Host->WaitAnswer(Patience);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->CommandId, 12);
    Host->Finalize();
  }
  EXPECT_EQ(plan.CallCount(), 1);
  const auto lines = Log.MainMessages();
  EXPECT_EQ(CountStartingWith(lines, "--New Operation was complete started-->"), unload ? 1u : 2u);
  EXPECT_EQ(CountStartingWith(lines, "=====   Finalize PlugIn Worker Object(DYNAMIC_MENU)   ====="),
            (finalize ? 1u : 0u) + (unload ? 0u : 1u));
}

std::string InsideCallbackName(const ::testing::TestParamInfo<tInsideCallback>& info) {
  switch (info.param) {
    case tInsideCallback::Finalize:
      return "Finalize";
    case tInsideCallback::FinalizeThenUnload:
      return "FinalizeThenUnload";
    default:
      return "Unload";
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, StopInsideCallbackTest,
                         ::testing::Values(tInsideCallback::Finalize,
                                           tInsideCallback::FinalizeThenUnload,
                                           tInsideCallback::Unload),
                         InsideCallbackName);

struct tQueueBound {
  const char* Key;
  const char* FullLine;
};

// Names the case in test listings by its setting rather than its bytes.
void PrintTo(const tQueueBound& bound, std::ostream* out) {
  *out << bound.Key;
}

class SessionQueueTest : public ::testing::TestWithParam<tQueueBound> {};

// Five commands of 20 bytes fill either bound. Each is sent as a host passing
// its whole receive buffer's length: only the size word's bytes may be read
// (the block is exactly that long, so a read past it is caught).
TEST_P(SessionQueueTest, RefusesBeyondTheBoundAndLogsEachBurstOnce) {
  constexpr int32_t ReceiveBufferSize = 0x7FFFFFFF;
  PluginCopy plugin;
  plugin.WriteIni(std::string("[Main]\n") + GetParam().Key + "\nLogLevel=1\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  tCallbackPlan plan;
  host.InitWith(&tCallbackPlan::Call, reinterpret_cast<intptr_t>(&plan));
  const auto command = TaggedCommand(1);
  auto send = [&](int32_t id) { return host.Command(id, command.data(), ReceiveBufferSize); };
  ASSERT_EQ(send(1), 0);
  ASSERT_TRUE(plan.WaitForFirstCall());
  for (int i = 2; i <= 6; ++i) EXPECT_EQ(send(i), 0) << i;
  EXPECT_EQ(send(7), 3);
  EXPECT_EQ(send(8), 3);
  ASSERT_TRUE(plan.ReleaseFirstCall());
  ASSERT_TRUE(WaitFor([&] { return plan.CallCount() == 6; }));
  EXPECT_EQ(send(9), 0);
  ASSERT_TRUE(WaitFor([&] { return plan.CallCount() == 7; }));
  host.Finalize();

  const auto lines = log.MainMessages();
  EXPECT_EQ(CountStartingWith(lines, GetParam().FullLine), 1u);
  EXPECT_EQ(CountStartingWith(lines, "Queue accepts commands again: 2 commands were refused"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SessionQueueTest,
    ::testing::Values(
        tQueueBound{"QueueLimit=5", "Queue full at QueueLimit=5 commands: refusing new commands"},
        tQueueBound{"QueueByteLimit=100",
                    "Queue full at QueueByteLimit=100 bytes: refusing new commands"}),
    [](const ::testing::TestParamInfo<tQueueBound>& info) {
      const std::string key = info.param.Key;
      return key.substr(0, key.find('='));
    });

// The command that runs is held by a row lock on the server while Finalize_Plugin
// begins; the commands queued behind it must never run, and nothing may open
// the database again after the worker's Finalize.
TEST(SessionFinalize, AnswersTheCommandInProgressDropsTheRestAndNeverReconnects) {
  TestDatabase database;
  // An action procedure that also updates a row per session, which the test holds.
  database.Execute(R"(CREATE TABLE SESSION_STATE (SESSION_ID INTEGER NOT NULL PRIMARY KEY);
INSERT INTO SESSION_STATE VALUES (7);
SET TERM ^ ;
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000))
AS
BEGIN
  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (:SESSION_ID, :ITEM_ID, :ITEM_KEY);
  UPDATE SESSION_STATE SET SESSION_ID = SESSION_ID WHERE SESSION_ID = :SESSION_ID;
END^
SET TERM ; ^)");
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nDBName=" + database.ConnectionString() +
                  "\nDBUser=" + TestDatabase::User() + "\nDBPWD=" + TestDatabase::Password() +
                  "\nLockTimeout=60\nLogLevel=1\n");
  LogTail log(HostLogsFolder());
  IsqlSession holder(database.ConnectionString(), TestDatabase::User(), TestDatabase::Password());
  holder.Send("UPDATE SESSION_STATE SET SESSION_ID = SESSION_ID WHERE SESSION_ID = 7;\n");
  ASSERT_TRUE(holder.WaitUntilDone(Patience));

  tPluginHost host(plugin.LibraryPath());
  host.Init();
  ASSERT_EQ(host.Command(1, BuildActionRequest(7, 1, "held")), 0);
  ASSERT_TRUE(WaitFor([&] {
    return CountStartingWith(log.MainMessages(), "--New Operation was complete started-->") == 1;
  }));
  for (int i = 2; i <= 21; ++i) ASSERT_EQ(host.Command(i, BuildActionRequest(i, 1, "queued")), 0);
  std::thread finalizer([&] { host.Finalize(); });
  // Finalize has begun once the plugin turns new commands away.
  const auto probe = BuildActionRequest(99, 1, "probe");
  int probesQueued = 0;
  EXPECT_TRUE(WaitFor([&] {
    if (host.Command(99, probe) != 0) return true;
    ++probesQueued;
    return false;
  }));
  holder.Send("ROLLBACK;\n");
  finalizer.join();

  const auto answers = host.WaitAnswers(2, 1s);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].CommandId, 1);
  EXPECT_EQ(WordAt(answers[0].Buffer, 8), 0u);
  EXPECT_EQ(WordAt(answers[0].Buffer, 12), 0u);
  EXPECT_EQ(database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), "1");

  const auto lines = log.MainMessages();
  EXPECT_EQ(CountStartingWith(lines, "--New Operation was complete started-->"), 1u);
  const auto banner = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("=====   Finalize PlugIn Worker Object(DYNAMIC_MENU)", 0) == 0;
  });
  ASSERT_NE(banner, lines.end());
  const std::vector<std::string> after(banner, lines.end());
  EXPECT_EQ(CountStartingWith(after, "No database connection!"), 0u);
  EXPECT_EQ(CountStartingWith(after, "Connecting to"), 0u);
  EXPECT_EQ(CountStartingWith(lines, "Finalize Close Database connection."), 1u);
  EXPECT_EQ(CountStartingWith(lines, "Session stopped with commands queued: " +
                                         std::to_string(20 + probesQueued) +
                                         " commands were dropped without a callback"),
            1u);
}

// Host threads that go on sending while Finalize_Plugin runs, from inside the
// callback or from another thread, are turned away with 1 and never wait on
// the lock of a session that is gone (the sanitizers see any touch of it).
TEST(SessionFinalize, HostThreadsSendingMeanwhileAreTurnedAwayAndNeverStuck) {
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nLogLevel=1\n");
  tPluginHost host(plugin.LibraryPath());
  EXPECT_EQ(RunsWithSendersStuckInFinalize(host, tFinalizeFrom::Callback, 50, 8), 0);
  EXPECT_EQ(RunsWithSendersStuckInFinalize(host, tFinalizeFrom::HostThread, 50, 8), 0);
}
