#include "log/tLogClientThread.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

#include "platform/LibraryPin.h"

// Shared by the thread and its callers; the last to let go frees it, so a
// thread left inside a call still finds it when the call returns.
struct tLogClientThread::tShared {
  std::mutex Lock;
  // The thread waits for a call or the stop, the caller whose call runs for
  // its end, other callers for their turn: each is woken only for its own.
  std::condition_variable Work;
  std::condition_variable Done;
  std::condition_variable Turn;
  std::function<bool()> Call;
  // Serial numbers of the last call handed over and of the last one finished.
  std::uint64_t Handed = 0;
  std::uint64_t Finished = 0;
  // A caller's call is handed over and its result not yet collected.
  bool Busy = false;
  bool Answer = false;
  tForeignCallOutcome Outcome;
  bool Overran = false;
  bool Stopping = false;
};

namespace {
void Serve(const std::shared_ptr<tLogClientThread::tShared>& shared, tLibraryHold hold) {
  // The host may unload the plugin while a call left behind still runs.
  KeepLoadedUntilThreadEnds(std::move(hold));
  std::unique_lock<std::mutex> lock(shared->Lock);
  for (;;) {
    shared->Work.wait(lock, [&] { return shared->Stopping || shared->Finished != shared->Handed; });
    if (shared->Finished == shared->Handed) return;
    std::function<bool()> call = std::move(shared->Call);
    lock.unlock();
    bool answer = false;
    auto run = [&] { answer = call(); };
    const tForeignCallOutcome outcome = RunForeignCall(run);
    call = nullptr;
    lock.lock();
    shared->Answer = answer;
    shared->Outcome = outcome;
    ++shared->Finished;
    shared->Done.notify_all();
  }
}
}  // namespace

tLogClientThread::tLogClientThread(std::chrono::milliseconds Patience)
    : Patience(Patience), Shared(std::make_shared<tShared>()) {
  // The hold is taken here, not on the new thread: the host may unload first.
  Thread = std::thread(
      [shared = Shared, hold = HoldLibrary()]() mutable { Serve(shared, std::move(hold)); });
}

tLogClientThread::~tLogClientThread() {
  bool inside = false;
  {
    std::lock_guard<std::mutex> guard(Shared->Lock);
    Shared->Stopping = true;
    inside = Shared->Finished != Shared->Handed;
    Shared->Work.notify_all();
  }
  if (inside)
    Thread.detach();
  else
    Thread.join();
}

tClientCallResult tLogClientThread::Run(std::function<bool()> Call) {
  std::unique_lock<std::mutex> lock(Shared->Lock);
  const bool free =
      Shared->Turn.wait_for(lock, Patience, [&] { return Shared->Overran || !Shared->Busy; });
  if (!free || Shared->Overran) return {};
  Shared->Busy = true;
  Shared->Call = std::move(Call);
  const std::uint64_t serial = ++Shared->Handed;
  Shared->Work.notify_one();
  if (!Shared->Done.wait_for(lock, Patience, [&] { return Shared->Finished == serial; })) {
    Shared->Overran = true;
    Shared->Turn.notify_all();
    return {tClientCallEnd::Overran, false, {}};
  }
  Shared->Busy = false;
  Shared->Turn.notify_one();
  const tClientCallEnd end =
      Shared->Outcome.Completed ? tClientCallEnd::Returned : tClientCallEnd::Raised;
  return {end, Shared->Answer, Shared->Outcome};
}
