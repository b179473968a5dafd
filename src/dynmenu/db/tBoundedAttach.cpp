#include "dynmenu/db/tBoundedAttach.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"
#include "platform/LibraryPin.h"

namespace {
// Each left-behind attach keeps a thread and a socket until the server ends it.
constexpr int LeftBehindLimit = 4;
std::atomic<int> LeftBehind{0};

// Shared by the waiting thread and the attaching one; the last to let go frees it.
struct tAttachRun {
  tFbClientApi Api{};
  std::string DatabaseName;
  std::string ParameterBlock;
  std::mutex Lock;
  std::condition_variable Ended;
  bool Finished = false;
  // The stopping plugin's time is up: the wait ends.
  bool Stopped = false;
  bool Abandoned = false;
  // Read on the attaching thread: the texts a status vector points at may
  // belong to it.
  std::optional<tDBError> Error;
  tFbHandle Handle = 0;
};

void Attach(const std::shared_ptr<tAttachRun>& run, tLibraryHold hold) {
  // The host may unload the plugin while an attach left behind still runs.
  KeepLoadedUntilThreadEnds(std::move(hold));
  tFbStatus status;
  tFbHandle handle = 0;
  const ISC_STATUS failed = run->Api.AttachDatabase(
      status.Vector(), 0, run->DatabaseName.c_str(), &handle,
      static_cast<short>(run->ParameterBlock.size()), run->ParameterBlock.data());
  std::lock_guard<std::mutex> guard(run->Lock);
  if (run->Abandoned) {
    if (!failed) {
      tFbStatus detachStatus;
      run->Api.DetachDatabase(detachStatus.Vector(), &handle);
    }
    --LeftBehind;
    return;
  }
  if (failed) run->Error = status.Error();
  run->Handle = handle;
  run->Finished = true;
  run->Ended.notify_all();
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
}  // namespace

int AttachesLeftBehind() {
  return LeftBehind.load();
}

tFbHandle AttachWithin(const std::string& databaseName, const std::string& parameterBlock,
                       const tAttachLimit& limit) {
  const int leftBehind = LeftBehind.load();
  if (leftBehind >= LeftBehindLimit)
    throw LimitError(std::to_string(leftBehind) + " earlier attaches that did not end within " +
                     (limit.Within ? limit.Name : limit.StopName) + " have not ended yet");
  if (limit.Within && *limit.Within <= std::chrono::milliseconds::zero())
    throw LimitError("no time is left within " + limit.Name);
  auto run = std::make_shared<tAttachRun>();
  run->Api = FbClientApi();
  run->DatabaseName = databaseName;
  run->ParameterBlock = parameterBlock;
  // Before the lock, and ended after it: the end is told under the watch's lock.
  std::optional<tRequestWatchdog::tEndWatch> stop;
  if (limit.Stop) stop.emplace(*limit.Stop, [run] { StopWaiting(*run); });
  // The hold is taken here, not on the new thread: the host may unload before it first runs.
  std::thread attaching([run, hold = HoldLibrary()]() mutable { Attach(run, std::move(hold)); });
  std::unique_lock<std::mutex> lock(run->Lock);
  if (!WaitForAttach(*run, lock, limit)) {
    attaching.detach();
    run->Abandoned = true;
    ++LeftBehind;
    // The client's own exit teardown waits for a call still inside it, and
    // the attach, once it ends, may let go of this library's last hold: the
    // client must not be unloaded under that wait.
    KeepLoadedForTheProcess(reinterpret_cast<const void*>(run->Api.AttachDatabase));
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
