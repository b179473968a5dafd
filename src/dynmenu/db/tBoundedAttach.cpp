#include "dynmenu/db/tBoundedAttach.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"
#include "platform/LibraryPin.h"
#include "platform/ProcessExit.h"
#include "platform/SocketWait.h"

namespace {
// Each left-behind attach keeps a thread and a socket until it ends.
constexpr int LeftBehindLimit = 4;
std::atomic<int> LeftBehind{0};

// Shared by the waiting thread and the attaching one; the last to let go frees it.
struct tAttachRun : std::enable_shared_from_this<tAttachRun> {
  tFbClientApi Api{};
  std::string DatabaseName;
  std::string ParameterBlock;
  std::mutex Lock;
  std::condition_variable Ended;
  // The attaching thread, and whether it has come back from the client
  // library: until then it may be waiting there on a server that does not answer.
  int64_t Thread = 0;
  bool Returned = false;
  bool Finished = false;
  // The stopping plugin's time is up: the wait ends.
  bool Stopped = false;
  bool Abandoned = false;
  // Read on the attaching thread: the texts a status vector points at may
  // belong to it.
  std::optional<tDBError> Error;
  tFbHandle Handle = 0;
  // The runs whose thread is inside the client library, linked while it is.
  tAttachRun* Next = nullptr;
  tAttachRun* Previous = nullptr;
};

// The list of those runs: a flag and a pointer, so that nothing here has a
// destructor to run at exit.
std::atomic_flag RunsBusy = ATOMIC_FLAG_INIT;
tAttachRun* FirstRun = nullptr;

class tRunsGuard {
 public:
  tRunsGuard() {
    while (RunsBusy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  ~tRunsGuard() { RunsBusy.clear(std::memory_order_release); }
  tRunsGuard(const tRunsGuard&) = delete;
  tRunsGuard& operator=(const tRunsGuard&) = delete;
};

void Enlist(tAttachRun& run) {
  const tRunsGuard guard;
  run.Next = FirstRun;
  if (FirstRun != nullptr) FirstRun->Previous = &run;
  FirstRun = &run;
}

// By the attaching thread, which owns the run until then.
void Forget(tAttachRun& run) {
  const tRunsGuard guard;
  (run.Previous != nullptr ? run.Previous->Next : FirstRun) = run.Next;
  if (run.Next != nullptr) run.Next->Previous = run.Previous;
}

std::vector<std::shared_ptr<tAttachRun>> Snapshot() {
  const tRunsGuard guard;
  std::vector<std::shared_ptr<tAttachRun>> runs;
  for (tAttachRun* run = FirstRun; run != nullptr; run = run->Next)
    runs.push_back(run->shared_from_this());
  return runs;
}

// An attach left waiting on a server that answered its connect and then
// nothing waits in the client library without limit, and the client
// library's own exit teardown waits for every call still inside it: its
// socket is shut down, so it fails at once and ends. With the run's lock
// held, its thread cannot leave meanwhile.
void EndWaitLocked(const tAttachRun& run) {
  if (!run.Returned && run.Thread != 0) EndSocketWait(run.Thread);
}

void EndAbandonedWaits() {
  for (const auto& run : Snapshot()) {
    std::lock_guard<std::mutex> guard(run->Lock);
    if (run->Abandoned) EndWaitLocked(*run);
  }
}

// At exit nothing waits for an attach any more; this runs before the client
// library's teardown, which was registered when the library was loaded.
void EndEveryWaitAtExit() {
  for (const auto& run : Snapshot()) {
    std::lock_guard<std::mutex> guard(run->Lock);
    EndWaitLocked(*run);
  }
}

void Attach(const std::shared_ptr<tAttachRun>& run, tLibraryHold hold) {
  // The host may unload the plugin while an attach left behind still runs.
  KeepLoadedUntilThreadEnds(std::move(hold));
  {
    std::lock_guard<std::mutex> guard(run->Lock);
    run->Thread = CurrentThreadNumber();
  }
  tFbStatus status;
  tFbHandle handle = 0;
  const ISC_STATUS failed = run->Api.AttachDatabase(
      status.Vector(), 0, run->DatabaseName.c_str(), &handle,
      static_cast<short>(run->ParameterBlock.size()), run->ParameterBlock.data());
  {
    std::lock_guard<std::mutex> guard(run->Lock);
    run->Returned = true;
    if (run->Abandoned) {
      if (!failed) {
        tFbStatus detachStatus;
        run->Api.DetachDatabase(detachStatus.Vector(), &handle);
      }
      --LeftBehind;
    } else {
      if (failed) run->Error = status.Error();
      run->Handle = handle;
      run->Finished = true;
      run->Ended.notify_all();
    }
  }
  Forget(*run);
}

tDBError LimitError(const std::string& text) {
  return tDBError("Failed to establish a connection: " + text, tDBFailureKind::ConnectionLoss,
                  {isc_net_connect_err});
}

// Until the attach has ended, the limit has passed or the stop's end has come.
bool WaitForAttach(tAttachRun& run, std::unique_lock<std::mutex>& lock, const tAttachLimit& limit) {
  const auto ended = [&] { return run.Finished || run.Stopped; };
  if (!limit.Within)
    run.Ended.wait(lock, ended);
  else
    run.Ended.wait_for(lock, *limit.Within, ended);
  return run.Finished;
}

void StopWaiting(tAttachRun& run) {
  std::lock_guard<std::mutex> guard(run.Lock);
  run.Stopped = true;
  run.Ended.notify_all();
}

// The client's own exit teardown waits for a call still inside it, and an
// attaching thread, once it ends, may let go of this library's last hold
// while the process exits: the client must not be unloaded under either.
void KeepTheClientLoaded(const tFbClientApi& api) {
  static std::atomic<bool> kept{false};
  if (kept.exchange(true)) return;
  KeepLoadedForTheProcess(reinterpret_cast<const void*>(api.AttachDatabase));
  CallAtProcessExit(&EndEveryWaitAtExit);
}

std::shared_ptr<tAttachRun> NewRun(const std::string& databaseName,
                                   const std::string& parameterBlock) {
  auto run = std::make_shared<tAttachRun>();
  run->Api = FbClientApi();
  run->DatabaseName = databaseName;
  run->ParameterBlock = parameterBlock;
  KeepTheClientLoaded(run->Api);
  return run;
}

// The hold is taken here, not on the new thread: the host may unload before it first runs.
std::thread StartAttach(const std::shared_ptr<tAttachRun>& run) {
  Enlist(*run);
  try {
    return std::thread([run, hold = HoldLibrary()]() mutable { Attach(run, std::move(hold)); });
  } catch (...) {
    Forget(*run);
    throw;
  }
}
}  // namespace

int AttachesLeftBehind() {
  return LeftBehind.load();
}

tFbHandle AttachWithin(const std::string& databaseName, const std::string& parameterBlock,
                       const tAttachLimit& limit) {
  EndAbandonedWaits();
  const int leftBehind = LeftBehind.load();
  if (leftBehind >= LeftBehindLimit)
    throw LimitError(std::to_string(leftBehind) + " earlier attaches that did not end within " +
                     (limit.Within ? limit.Name : limit.StopName) + " have not ended yet");
  if (limit.Within && *limit.Within <= std::chrono::milliseconds::zero())
    throw LimitError("no time is left within " + limit.Name);
  const std::shared_ptr<tAttachRun> run = NewRun(databaseName, parameterBlock);
  // Before the lock, and ended after it: the end is told under the watch's lock.
  std::optional<tRequestWatchdog::tEndWatch> stop;
  if (limit.Stop) stop.emplace(*limit.Stop, [run] { StopWaiting(*run); });
  std::thread attaching = StartAttach(run);
  std::unique_lock<std::mutex> lock(run->Lock);
  if (!WaitForAttach(*run, lock, limit)) {
    attaching.detach();
    run->Abandoned = true;
    ++LeftBehind;
    EndWaitLocked(*run);
    throw LimitError("the attach did not end within " +
                     (run->Stopped ? limit.StopName : limit.Name));
  }
  lock.unlock();
  // An attach that ended in time is waited for to its thread's end: left to
  // end alone, its hold could be the library's last and unload it on that
  // thread while the host's process exits.
  attaching.join();
  if (run->Error) throw *run->Error;
  return run->Handle;
}
