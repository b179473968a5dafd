#include "plugin/uAutomaticPlugInSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

#include "worker/uFormat.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInName.h"

namespace {
constexpr auto IdleWait = std::chrono::milliseconds(50);
constexpr int32_t SizeWordLength = 4;
}  // namespace

tPlugInSession::tPlugInSession() = default;

tPlugInSession::~tPlugInSession() {
  Terminated = true;
  StartThread();
  if (Thread.joinable()) Thread.join();
  Worker.reset();
  ClearQueue();
}

void tPlugInSession::InitWorker(Callback callback, intptr_t userValue) noexcept {
  HostCallback = callback;
  UserValue = userValue;
  try {
    Worker = tPlugInWorker::CreateWorker();
    Worker->Initialize();
    SessionName = Worker->Name;
  } catch (...) {
  }
}

void tPlugInSession::FinalizeWorker() noexcept {
  std::lock_guard<std::mutex> guard(WorkerLock);
  if (!Worker) return;
  try {
    Worker->Finalize();
  } catch (...) {
  }
}

const std::string& tPlugInSession::PlugInName() {
  return ::PlugInName();
}

void tPlugInSession::StartThread() {
  std::lock_guard<std::mutex> guard(StartLock);
  if (Started) return;
  Thread = std::thread([this] { Execute(); });
  Started = true;
}

int32_t tPlugInSession::AddCommand(int32_t commandId, const void* buffer, int32_t size) noexcept {
  try {
    StartThread();
    // A buffer that cannot hold its own size word, or claims more bytes than
    // the host handed over, cannot be answered without going outside it.
    if (buffer == nullptr || size < SizeWordLength ||
        EnvelopeSizeWord(static_cast<const uint8_t*>(buffer)) > static_cast<uint32_t>(size))
      return Command_Refused;
    auto item = std::make_unique<tQueueItem>();
    item->CommandId = commandId;
    std::lock_guard<std::mutex> guard(QueueLock);
    item->Data.Get() = CopyBuffer(buffer, size);
    if (item->Data.Get() == nullptr) return Command_Refused;
    Queue.push_back(std::move(item));
    QueueSemaphore.release();
    return Command_Queued;
  } catch (...) {
    return Command_Refused;
  }
}

// At least the envelope's length, zero-filled past size, so the envelope can
// always be answered inside the copy.
uint8_t* tPlugInSession::CopyBuffer(const void* buffer, int32_t size) {
  const size_t length = std::max<size_t>(static_cast<size_t>(size), EnvelopeSize);
  auto* copy = static_cast<uint8_t*>(std::calloc(length, 1));
  if (copy != nullptr) std::memcpy(copy, buffer, static_cast<size_t>(size));
  return copy;
}

void tPlugInSession::Execute() {
  while (!Terminated) {
    if (!QueueSemaphore.try_acquire_for(IdleWait)) continue;
    std::unique_ptr<tQueueItem> item = TakeItem();
    if (!item) continue;
    if (Worker) RunCommand(*item);
    CallBack(*item);
  }
}

std::unique_ptr<tPlugInSession::tQueueItem> tPlugInSession::TakeItem() {
  std::lock_guard<std::mutex> guard(QueueLock);
  if (Queue.empty()) return nullptr;
  std::unique_ptr<tQueueItem> item = std::move(Queue.front());
  Queue.pop_front();
  return item;
}

void tPlugInSession::RunCommand(tQueueItem& item) {
  std::lock_guard<std::mutex> guard(WorkerLock);
  try {
    const uint32_t started = Worker->GetTicks();
    Worker->WriteLog("--New Operation was complete started-->");
    uint8_t*& buffer = item.Data.Get();
    Worker->PlugInCommand(buffer, EnvelopeSizeWord(buffer));
    const uint32_t elapsed = TicksBetween(started, Worker->GetTicks());
    Worker->WriteLog(Format("<--Operation was complete [%u]--", elapsed));
  } catch (const std::exception& error) {
    Worker->WriteLog(
        Format("[SessionObj] Exception while call .PlugInCommand Msg=\"%s\".", error.what()));
  } catch (...) {
    Worker->WriteLog("[SessionObj] Exception while call .PlugInCommand Msg=\"Unknown error\".");
  }
}

// An exception out of the host's callback must not end the thread: later
// commands would be accepted and never answered.
void tPlugInSession::CallBack(tQueueItem& item) noexcept {
  if (HostCallback == nullptr) return;
  try {
    uint8_t* buffer = item.Data.Get();
    HostCallback(item.CommandId, SessionName.c_str(), buffer,
                 static_cast<int32_t>(EnvelopeSizeWord(buffer)), UserValue);
  } catch (...) {
  }
}

void tPlugInSession::ClearQueue() noexcept {
  std::lock_guard<std::mutex> guard(QueueLock);
  Queue.clear();
}
