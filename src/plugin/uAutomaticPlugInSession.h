// The single command session: a queue of copied buffers answered one at a time
// on the session's own thread, each handed back through the host callback.
#pragma once

#include <kalvor/plugin.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/CountingSemaphore.h"
#include "plugin/uMalformedRefusals.h"
#include "worker/uHeapBlock.h"
#include "worker/uHourlyFigures.h"
#include "worker/uPlugInWorker.h"

// How a session is stopped; see tPlugInSession::Stop.
enum class tStopKind {
  // Finalize_Plugin: the worker's Finalize runs once no command runs.
  Finalize,
  // The library is unloaded without Finalize_Plugin.
  Unload,
  // The process is ending: the host is called back no more.
  ProcessExit,
};

class tPlugInSession {
 public:
  tPlugInSession();
  // Stops the session as for an unload when nobody did before.
  ~tPlugInSession();
  tPlugInSession(const tPlugInSession&) = delete;
  tPlugInSession& operator=(const tPlugInSession&) = delete;

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
  // callback returns and takes the session with it (OwnedByItsThread); at
  // Finalize the library then stays loaded until the thread has left it, at
  // Unload its memory stays mapped where the platform allows.
  void Stop(tStopKind kind) noexcept;
  // No queued command is started any more and none is accepted; the one in
  // progress runs on. Closed before the session is let go of at Finalize, so
  // that a host turned away knows the queue is closed.
  void CloseQueue() noexcept;
  // After Stop: the session thread deletes the session on its way out, and
  // nobody else may delete it.
  bool OwnedByItsThread() const { return LeftToThread; }

  static const char* PlugInName();
  const std::string& Name() const { return SessionName; }

 private:
  struct tQueueItem {
    int32_t CommandId = 0;
    tHeapBlock Data;
    // The copy's length, counted against QueueByteLimit while queued.
    size_t Length = 0;
    std::chrono::steady_clock::time_point QueuedAt;
  };

  void StartThreadLocked();
  void Execute();
  // Waits for a count, until the point given when one is; false when the
  // point passed without one.
  bool AwaitCount(std::optional<std::chrono::steady_clock::time_point> until);
  // The worker's work between commands; when it wants to be called again.
  std::optional<std::chrono::steady_clock::time_point> BetweenCommands();
  std::unique_ptr<tQueueItem> TakeItem();
  void RunCommand(tQueueItem& item);
  bool MayCallBack() const;
  void CallBack(tQueueItem& item) noexcept;
  // Returns how many commands it dropped.
  size_t ClearQueue() noexcept;
  // The hourly figures: counted around each command, written through the worker's log.
  void CountAnswer(tQueueItem& item, const tLocalTime& started) noexcept;
  void WriteFiguresOfHourBefore(const tLocalTime& now) noexcept;
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
  void FinishWorker(tStopKind kind) noexcept;

  std::string SessionName = "Abstract PlugIn";
  Callback HostCallback = nullptr;
  intptr_t UserValue = 0;
  uint32_t QueueLimit = DefaultQueueLimit;
  size_t QueueByteLimit = DefaultQueueByteLimit;
  // One count per queued command, and one to wake the thread when stopping.
  tCountingSemaphore QueueSemaphore;
  // Guards the queue, its bytes, the refusals and their lines, starting the
  // thread, its closing and the stop mark.
  std::mutex QueueLock;
  std::deque<std::unique_ptr<tQueueItem>> Queue;
  size_t QueuedBytes = 0;
  uint32_t Refused = 0;
  bool Refusing = false;
  tMalformedRefusals Malformed;
  std::vector<std::string> PendingLines;
  bool QueueClosed = false;
  std::unique_ptr<tPlugInWorker> Worker;
  tHourlyFigures Figures;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::atomic<tStopKind> StopKind{tStopKind::Finalize};
  // Written and read by whoever called Stop.
  bool LeftToThread = false;
  // Written and read by the session thread alone.
  bool DeleteOnExit = false;
};
