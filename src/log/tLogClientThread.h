// The log client library's calls, made one at a time on a thread of their own,
// so that whoever logs waits for the library a bounded time whatever it does:
// a call that has not returned within the patience is left running there, and
// the library is called no more.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/ForeignCall.h"

enum class tClientCallEnd {
  // The call returned its answer.
  Returned,
  // An exception left the call (see Outcome).
  Raised,
  // The call did not return within the patience: the thread is left inside
  // it, and no call is made any more.
  Overran,
  // Not made: an earlier call overran, or another caller's call kept the
  // thread busy for the whole patience.
  NotMade,
};

struct tClientCallResult {
  tClientCallEnd End = tClientCallEnd::NotMade;
  bool Answer = false;
  tForeignCallOutcome Outcome;
};

class tLogClientThread {
 public:
  // Starts the thread; raises std::system_error when the system refuses one.
  explicit tLogClientThread(std::chrono::milliseconds Patience);
  // Ends the thread; one still inside a call is left to end on its own, the
  // plugin held loaded until it has.
  ~tLogClientThread();
  tLogClientThread(const tLogClientThread&) = delete;
  tLogClientThread& operator=(const tLogClientThread&) = delete;

  // Runs the call on the thread, guarded by RunForeignCall. Waits for the
  // thread at most the patience, then for the call at most the patience. The
  // call must own everything it uses: a caller that stops waiting leaves it
  // running.
  tClientCallResult Run(std::function<bool()> Call);

  // What the thread and its callers share.
  struct tShared;

 private:
  std::chrono::milliseconds Patience;
  std::shared_ptr<tShared> Shared;
  std::thread Thread;
};
