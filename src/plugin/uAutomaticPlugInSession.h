// The single command session: a queue of copied buffers answered one at a time
// on the session's own thread, each handed back through the host callback.
#pragma once

#include <kalvor/plugin.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "log/tLogRetention.h"
#include "log/tPlugInLog.h"
#include "platform/CountingSemaphore.h"
#include "platform/LocalTime.h"
#include "plugin/tStatusChannel.h"
#include "plugin/uMalformedRefusals.h"
#include "worker/uHeapBlock.h"
#include "worker/uHourlyFigures.h"
#include "worker/uPlugInWorker.h"

// How a session is stopped; see tPlugInSession::Stop.
enum class tStopKind {
  // Finalize_Plugin: the worker's Finalize runs once no command runs.
  Finalize,
  // The library is unloaded without Finalize_Plugin, and its unload waits
  // for the thread (dlclose).
  Unload,
  // The library the host loaded is unloaded without Finalize_Plugin where its
  // unload may not wait for the thread (Windows, under the loader lock): the
  // host is called back no more from now on, after a callback in progress
  // has returned (CallbackPatience at most); the thread winds the session up
  // on its own once the command in progress has ended.
  FrontUnloaded,
  // The process is ending: the host is called back no more.
  ProcessExit,
};

// Counted: it is created with one reference, and whoever lets go of the last
// one frees it (tSessionReference).
class tPlugInSession {
 public:
  tPlugInSession();
  tPlugInSession(const tPlugInSession&) = delete;
  tPlugInSession& operator=(const tPlugInSession&) = delete;

  void Retain() noexcept;
  // Frees the session with the last reference, stopping it as for an unload
  // when nobody did before.
  void Release() noexcept;

  void InitWorker(Callback callback, intptr_t userValue) noexcept;
  // 0 queued; 1 the session is stopping; 3 refused (a buffer that cannot be
  // answered inside itself, a queue full by count or by bytes, no memory).
  // Only the bytes the size word declares are read: a host may pass its whole
  // receive buffer's length as size.
  int32_t AddCommand(int32_t commandId, const void* buffer, int32_t size) noexcept;

  // The one way a session stops; a second call does nothing. In order: mark
  // stopping, so no command is queued or started from now on; wake the thread;
  // wait for it to end unless the caller is that thread, which lets the
  // command in progress finish and be called back (not at ProcessExit);
  // drop queued commands without a callback, logging how many; Finalize the
  // worker (Finalize only) and destroy it. Called on the
  // session thread, from inside the callback, the thread ends when the
  // callback returns, holding a reference until then; at Finalize the library
  // then stays loaded until the thread has left it, at Unload its memory
  // stays mapped where the platform allows.
  void Stop(tStopKind kind) noexcept;
  // No queued command is started any more and none is accepted; the one in
  // progress runs on. Closed before the session is let go of at Finalize, so
  // that a host turned away knows the queue is closed.
  void CloseQueue() noexcept;
  // Before a new session starts: sessions left to wind up on their threads
  // (FrontUnloaded) have ended, so no two sessions write the log's files, or
  // call its log client, at once.
  static void WaitForEndingSessions() noexcept;

  static const char* PlugInName();
  const std::string& Name() const { return SessionName; }

  // What the status channel answers, gathered now from any thread
  // (tSessionStatus.cpp).
  tStatusSnapshot StatusSnapshot() const;

 private:
  ~tPlugInSession();

  struct tQueueItem {
    int32_t CommandId = 0;
    tHeapBlock Data;
    // The copy's length, counted against QueueByteLimit while queued.
    size_t Length = 0;
    std::chrono::steady_clock::time_point QueuedAt;
  };

  void StartThreadLocked();
  void Execute();
  using tSteadyTime = std::chrono::steady_clock::time_point;
  // Until a count arrives (true) or the time the worker asked for has come
  // (false); while the log holds lines its file refused, they are tried
  // again every LogRetryInterval meanwhile.
  bool WaitForWork(std::optional<tSteadyTime> workerWaitsUntil) noexcept;
  // The worker's work between commands; when it wants to be called again.
  std::optional<tSteadyTime> BetweenCommands();
  std::unique_ptr<tQueueItem> TakeItem();
  // After InitWorker's worker is ready: the status channel, when the ini asks for it.
  void OpenStatusChannel() noexcept;
  // LogKeepDays: at Init_Plugin and before the first command of each hour.
  void RetainLogDays(const tLocalTime& now) noexcept;
  // For the status channel: the command the thread runs, or none.
  void NoteInProgress(tQueueItem* item);
  // A command still queued at its deadline is answered with result code 1
  // and one line, never run; true when it was.
  bool AnswerExpired(tQueueItem& item) noexcept;
  void RunCommand(tQueueItem& item);
  bool MayCallBack() const;
  void CallBack(tQueueItem& item) noexcept;
  // False once callbacks are closed; otherwise one is in progress until LeaveCallback.
  bool EnterCallback();
  void LeaveCallback();
  // No callback starts from now on; unless on the session thread, waits for
  // the one in progress to return, CallbackPatience at most.
  void CloseCallbacks(bool onSessionThread);
  // Returns how many commands it dropped.
  size_t ClearQueue() noexcept;
  // The hourly figures: counted around each command, written to the log.
  void CountAnswer(tQueueItem& item, const tFiguresTime& started) noexcept;
  void WriteFiguresOfHourBefore(const tFiguresTime& now) noexcept;
  void WriteFiguresAtFinalize() noexcept;
  static size_t CopyLength(uint32_t sizeWord);
  static uint8_t* CopyBuffer(const uint8_t* buffer, uint32_t sizeWord);
  // With QueueLock held: the reason a well-formed command finds no room, or none.
  std::optional<std::string> QueueFullLine(size_t length) const;

  // Both with QueueLock held: the refusals of a full queue are logged once per burst.
  void NoteRefusal(const std::string& firstLine);
  void EndRefusals(const char* line);
  // Lines of Command_Plugin go to the session thread, which writes them
  // between commands: a host's thread never waits for the log. With QueueLock
  // held: wakes the thread for lines added since the count was taken.
  void WakeForLinesLocked(size_t linesBefore);
  void WritePendingLines() noexcept;

  // Steps of Stop.
  bool BeginStop(tStopKind kind, bool& onSessionThread);
  void LeaveToThread(tStopKind kind);
  // FrontUnloaded: the thread, started now if it never ran, ends the session
  // once its command has ended (EndStop).
  void LeaveEndToThread();
  // The steps of Stop once no command runs.
  void EndStop(tStopKind kind) noexcept;
  void FinishWorker(tStopKind kind) noexcept;

  std::string SessionName = "Abstract PlugIn";
  Callback HostCallback = nullptr;
  intptr_t UserValue = 0;
  uint32_t QueueLimit = DefaultQueueLimit;
  size_t QueueByteLimit = DefaultQueueByteLimit;
  // From Command_Plugin to the callback; 0 for none.
  std::chrono::seconds CommandDeadline{0};
  // One count per queued command, and one to wake the thread when stopping.
  tCountingSemaphore QueueSemaphore;
  // Guards the queue, its bytes, the refusals and their lines, starting the
  // thread, its closing and the stop mark.
  std::mutex QueueLock;
  std::deque<std::unique_ptr<tQueueItem>> Queue;
  // Written under QueueLock; the status channel reads them without it.
  std::atomic<size_t> QueueLength{0};
  std::atomic<size_t> QueuedBytes{0};
  uint32_t Refused = 0;
  bool Refusing = false;
  tMalformedRefusals Malformed;
  std::vector<std::string> PendingLines;
  bool QueueClosed = false;
  // Built by InitWorker, let go of with the worker, which writes to it.
  std::unique_ptr<tPlugInLog> Log;
  std::unique_ptr<tPlugInWorker> Worker;
  // Read by the status channel's thread through their own locks.
  mutable tHourlyFigures Figures;
  const std::chrono::steady_clock::time_point StartedAt = std::chrono::steady_clock::now();
  const tLocalTime StartedAtLocal = tLocalTime::Now();
  mutable std::mutex ProgressLock;
  std::optional<tCommandInProgress> InProgress;
  std::chrono::steady_clock::time_point InProgressSince;
  // Closed before the worker goes: it reads the worker.
  std::unique_ptr<tStatusChannel> Channel;
  std::optional<tLogRetention> Retention;
  int RetainedHour = -1;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::atomic<tStopKind> StopKind{tStopKind::Finalize};
  std::atomic<int> References{1};
  // Guards the two flags below: a callback starts only while callbacks are open.
  std::mutex CallbackLock;
  std::condition_variable CallbackReturned;
  bool CallbackInProgress = false;
  bool CallbacksClosed = false;
  // Sessions whose threads still wind them up (FrontUnloaded).
  static std::atomic<int> EndingSessions;
  // Written before the thread is left alone with them, then read by it: it
  // holds a reference of its own, let go of as it ends, and may still have
  // the session to end.
  bool ReleaseOnExit = false;
  bool EndOnExit = false;
};
