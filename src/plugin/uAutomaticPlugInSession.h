// The single command session: a queue of copied buffers answered one at a time
// on the session's own thread, each handed back through the host callback.
#pragma once

#include <kalvor/plugin.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>

#include "worker/uHeapBlock.h"
#include "worker/uPlugInWorker.h"

class tPlugInSession {
 public:
  tPlugInSession();
  // Stops the thread after the command in progress, destroys the worker and
  // drops queued commands without a callback.
  ~tPlugInSession();
  tPlugInSession(const tPlugInSession&) = delete;
  tPlugInSession& operator=(const tPlugInSession&) = delete;

  void InitWorker(Callback callback, intptr_t userValue) noexcept;
  int32_t AddCommand(int32_t commandId, const void* buffer, int32_t size) noexcept;
  void FinalizeWorker() noexcept;

  static const std::string& PlugInName();
  const std::string& Name() const { return SessionName; }

 private:
  struct tQueueItem {
    int32_t CommandId = 0;
    tHeapBlock Data;
  };

  void StartThread();
  void Execute();
  std::unique_ptr<tQueueItem> TakeItem();
  void RunCommand(tQueueItem& item);
  void CallBack(tQueueItem& item) noexcept;
  void ClearQueue() noexcept;
  static uint8_t* CopyBuffer(const void* buffer, int32_t size);

  std::string SessionName = "Abstract PlugIn";
  Callback HostCallback = nullptr;
  intptr_t UserValue = 0;
  std::counting_semaphore<2147483647> QueueSemaphore{0};
  std::mutex QueueLock;
  std::deque<std::unique_ptr<tQueueItem>> Queue;
  std::unique_ptr<tPlugInWorker> Worker;
  // Held while a command runs, so the worker's Finalize never overlaps one.
  std::mutex WorkerLock;
  std::mutex StartLock;
  bool Started = false;
  std::atomic<bool> Terminated{false};
  std::thread Thread;
};
