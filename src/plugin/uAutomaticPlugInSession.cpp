#include "plugin/uAutomaticPlugInSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <optional>

#include "log/tPlugInLog.h"
#include "log/uLog.h"
#include "log/uLogValue.h"
#include "log/uLogVocabulary.h"
#include "platform/Format.h"
#include "platform/LibraryPin.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInName.h"

namespace {
constexpr int32_t SizeWordLength = 4;
// How long an unload waits for a callback in progress: a host copies the
// answer in its callback and returns. Longer, the callback is left to return
// by itself.
constexpr auto CallbackPatience = std::chrono::seconds(5);
constexpr auto EndingPollInterval = std::chrono::milliseconds(5);
constexpr auto LogRetryInterval = std::chrono::milliseconds(250);

std::chrono::milliseconds MillisecondsUntil(std::chrono::steady_clock::time_point end) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  return std::max(left, std::chrono::milliseconds::zero());
}
}  // namespace

std::atomic<int> tPlugInSession::EndingSessions{0};

tPlugInSession::tPlugInSession() = default;

tPlugInSession::~tPlugInSession() {
  Stop(tStopKind::Unload);
}

void tPlugInSession::Retain() noexcept {
  References.fetch_add(1, std::memory_order_relaxed);
}

void tPlugInSession::Release() noexcept {
  if (References.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void tPlugInSession::InitWorker(Callback callback, intptr_t userValue) noexcept {
  HostCallback = callback;
  UserValue = userValue;
  Log = tPlugInLog::OpenBesideHost();
  if (!Log) return;
  try {
    Worker = tPlugInWorker::CreateWorker(*Log, Figures);
    Worker->Initialize();
    SessionName = Worker->Name;
  } catch (...) {
  }
  if (!Worker) return;
  QueueLimit = static_cast<uint32_t>(Worker->QueueLimit);
  QueueByteLimit = static_cast<size_t>(Worker->QueueByteLimit);
  if (callback == nullptr)
    Log->Write(
        "Init_Plugin was given no callback: commands are run and logged, and their "
        "answers discarded");
  CommandDeadline = std::chrono::seconds(Worker->CommandDeadline);
  OpenStatusChannel();
  if (Worker->LogKeepDays > 0)
    Retention.emplace(LogsFolder(), LogModuleFileName(), Worker->LogKeepDays);
  RetainLogDays(tLocalTime::Now());
}

void tPlugInSession::RetainLogDays(const tLocalTime& now) noexcept {
  if (!Retention || now.Hour == RetainedHour) return;
  RetainedHour = now.Hour;
  try {
    if (const auto line = Retention->Run(now)) Log->Write(*line);
  } catch (...) {
  }
}

void tPlugInSession::OpenStatusChannel() noexcept {
  if (!Worker->StatusChannel) return;
  try {
    Channel = std::make_unique<tStatusChannel>(SessionName, LogsFolder(),
                                               [this] { return StatusSnapshot(); });
    Log->Write("Status channel open at " + Channel->Description());
  } catch (const std::exception& error) {
    Log->WriteFailure(std::string("Status channel not opened: ") + error.what());
  } catch (...) {
  }
}

const char* tPlugInSession::PlugInName() {
  return ::PlugInName();
}

int32_t tPlugInSession::AddCommand(int32_t commandId, const void* buffer, int32_t size) noexcept {
  try {
    const std::optional<tMalformed> malformed = FindMalformed(commandId, buffer, size);
    std::lock_guard<std::mutex> guard(QueueLock);
    const size_t linesBefore = PendingLines.size();
    if (malformed) {
      Malformed.Note(*malformed, PendingLines);
      WakeForLinesLocked(linesBefore);
      return Command_Refused;
    }
    Malformed.End(PendingLines);
    WakeForLinesLocked(linesBefore);
    if (Stopping || QueueClosed) return Command_NoSession;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    const uint32_t sizeWord = EnvelopeSizeWord(bytes);
    const size_t length = CopyLength(sizeWord);
    if (const std::optional<std::string> full = QueueFullLine(length)) {
      NoteRefusal(*full);
      WakeForLinesLocked(linesBefore);
      return Command_Refused;
    }
    auto item = std::make_unique<tQueueItem>();
    item->CommandId = commandId;
    item->QueuedAt = std::chrono::steady_clock::now();
    item->Length = length;
    item->Data.Get() = CopyBuffer(bytes, sizeWord);
    if (item->Data.Get() == nullptr) return Command_Refused;
    StartThreadLocked();
    EndRefusals("Queue accepts commands again: ");
    Queue.push_back(std::move(item));
    QueuedBytes += length;
    QueueLength = Queue.size();
    Figures.NoteQueueLength(Queue.size());
    QueueSemaphore.Release();
    return Command_Queued;
  } catch (...) {
    return Command_Refused;
  }
}

// Never less than the envelope, so the envelope can always be answered inside the copy.
size_t tPlugInSession::CopyLength(uint32_t sizeWord) {
  return std::max<size_t>(sizeWord, EnvelopeSize);
}

// The bytes the size word declares, and at least the size word itself, which
// FindMalformed saw within Size; zero-filled up to CopyLength.
uint8_t* tPlugInSession::CopyBuffer(const uint8_t* buffer, uint32_t sizeWord) {
  auto* copy = static_cast<uint8_t*>(std::calloc(CopyLength(sizeWord), 1));
  if (copy != nullptr) std::memcpy(copy, buffer, std::max<size_t>(sizeWord, SizeWordLength));
  return copy;
}

std::optional<std::string> tPlugInSession::QueueFullLine(size_t length) const {
  if (Queue.size() >= QueueLimit)
    return Format("Queue full at QueueLimit=%u commands: refusing new commands", QueueLimit);
  if (length > QueueByteLimit - QueuedBytes)
    return Format("Queue full at QueueByteLimit=%zu bytes: refusing new commands", QueueByteLimit);
  return std::nullopt;
}

// One line when refusing begins, one with the count when it ends.
void tPlugInSession::NoteRefusal(const std::string& firstLine) {
  ++Refused;
  if (Refusing) return;
  Refusing = true;
  PendingLines.push_back(firstLine);
}

void tPlugInSession::EndRefusals(const char* line) {
  if (!Refusing) return;
  PendingLines.push_back(line + CommandsWere(Refused, "refused"));
  Refusing = false;
  Refused = 0;
}

// Once stopping, Stop writes what is left itself.
void tPlugInSession::WakeForLinesLocked(size_t linesBefore) {
  if (PendingLines.size() == linesBefore || Stopping) return;
  StartThreadLocked();
  QueueSemaphore.Release();
}

void tPlugInSession::WritePendingLines() noexcept {
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> guard(QueueLock);
    lines.swap(PendingLines);
  }
  if (!Log) return;
  for (const std::string& line : lines) {
    Log->Remember(line);
    Log->WriteHourly(line);
  }
}

// The thread first runs when the first command is queued, so the worker is
// fully initialised before the thread touches it.
void tPlugInSession::StartThreadLocked() {
  if (Thread.joinable()) return;
  Thread = std::thread([this] {
    Execute();
    if (EndOnExit) {
      EndStop(StopKind);
      --EndingSessions;
    }
    if (ReleaseOnExit) Release();
  });
}

bool tPlugInSession::WaitForWork(std::optional<tSteadyTime> workerWaitsUntil) noexcept {
  for (;;) {
    const bool logHolds = Log && Log->HoldsLines();
    if (!logHolds && !workerWaitsUntil) {
      QueueSemaphore.Acquire();
      return true;
    }
    auto wait = logHolds ? LogRetryInterval : std::chrono::milliseconds::max();
    if (workerWaitsUntil) wait = std::min(wait, MillisecondsUntil(*workerWaitsUntil));
    if (QueueSemaphore.AcquireWithin(wait)) return true;
    if (workerWaitsUntil && std::chrono::steady_clock::now() >= *workerWaitsUntil) return false;
    if (Log) Log->WriteHeldLines();
  }
}

void tPlugInSession::Execute() {
  std::optional<tSteadyTime> workerWaitsUntil;
  while (!Stopping) {
    if (!WaitForWork(workerWaitsUntil)) {
      workerWaitsUntil = BetweenCommands();
      continue;
    }
    WritePendingLines();
    std::unique_ptr<tQueueItem> item = TakeItem();
    if (!item) continue;
    if (Worker) {
      const tFiguresTime started = tFiguresTime::Now();
      WriteFiguresOfHourBefore(started);
      RetainLogDays(started.Wall);
      if (!AnswerExpired(*item)) {
        NoteInProgress(item.get());
        RunCommand(*item);
        NoteInProgress(nullptr);
      }
      CountAnswer(*item, started);
    }
    if (MayCallBack()) CallBack(*item);
    workerWaitsUntil = BetweenCommands();
  }
}

// A stopping session leaves the worker to its Finalize, or to nobody.
std::optional<tPlugInSession::tSteadyTime> tPlugInSession::BetweenCommands() {
  if (!Worker || Stopping) return std::nullopt;
  const auto wait = Worker->BetweenCommands();
  if (!wait) return std::nullopt;
  return std::chrono::steady_clock::now() + *wait;
}

// Nothing is taken once stopping has begun: only a command already taken runs.
std::unique_ptr<tPlugInSession::tQueueItem> tPlugInSession::TakeItem() {
  std::lock_guard<std::mutex> guard(QueueLock);
  if (Stopping || QueueClosed || Queue.empty()) return nullptr;
  std::unique_ptr<tQueueItem> item = std::move(Queue.front());
  Queue.pop_front();
  QueuedBytes -= item->Length;
  QueueLength = Queue.size();
  return item;
}

void tPlugInSession::NoteInProgress(tQueueItem* item) {
  std::lock_guard<std::mutex> guard(ProgressLock);
  InProgress.reset();
  if (item == nullptr) return;
  InProgress = tCommandInProgress{item->CommandId, EnvelopeCommand(item->Data.Get()), 0};
  InProgressSince = std::chrono::steady_clock::now();
}

// Commands are queued in the order of their deadlines, and the one running
// ends by its own, so one that expired behind it is answered the moment it
// ends, in its turn: the host is never called back out of order or from two
// threads.
bool tPlugInSession::AnswerExpired(tQueueItem& item) noexcept {
  if (CommandDeadline.count() <= 0) return false;
  const auto waited = std::chrono::steady_clock::now() - item.QueuedAt;
  if (waited < CommandDeadline) return false;
  uint8_t* buffer = item.Data.Get();
  StoreEnvelopeAnswer(buffer, 1, Result_ProcessingFailed);
  Worker->ExpiredInQueue();
  try {
    Log->WriteFailure(
        Format("Command %d not run: it waited %lld ms in the queue, past CommandDeadline=%lld s; "
               "answered with result code %d",
               EnvelopeCommand(buffer),
               static_cast<long long>(
                   std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()),
               static_cast<long long>(CommandDeadline.count()), Result_ProcessingFailed));
  } catch (...) {
  }
  return true;
}

void tPlugInSession::RunCommand(tQueueItem& item) {
  if (CommandDeadline.count() > 0) Worker->CommandDue = item.QueuedAt + CommandDeadline;
  try {
    const uint32_t started = Worker->GetTicks();
    Log->Write(FrameStartLine);
    uint8_t*& buffer = item.Data.Get();
    Worker->PlugInCommand(buffer, EnvelopeSizeWord(buffer));
    const uint32_t elapsed = TicksBetween(started, Worker->GetTicks());
    Log->Write(FrameEndLine(elapsed));
  } catch (const std::exception& error) {
    Log->WriteFailure(Format("[SessionObj] Exception while call .PlugInCommand Msg=\"%s\".",
                             LogValue(error.what()).c_str()));
  } catch (...) {
    Log->WriteFailure("[SessionObj] Exception while call .PlugInCommand Msg=\"Unknown error\".");
  }
  Worker->CommandDue.reset();
}

// A process that is ending has destroyed, or is destroying, what the host's
// callback would use.
bool tPlugInSession::MayCallBack() const {
  if (!Stopping) return true;
  const tStopKind kind = StopKind;
  return kind == tStopKind::Finalize || kind == tStopKind::Unload;
}

// An exception out of the host's callback must not end the thread: later
// commands would be accepted and never answered.
void tPlugInSession::CallBack(tQueueItem& item) noexcept {
  if (HostCallback == nullptr) return;
  try {
    if (!EnterCallback()) return;
    uint8_t* buffer = item.Data.Get();
    HostCallback(item.CommandId, SessionName.c_str(), buffer,
                 static_cast<int32_t>(EnvelopeSizeWord(buffer)), UserValue);
  } catch (...) {
  }
  LeaveCallback();
}

bool tPlugInSession::EnterCallback() {
  std::lock_guard<std::mutex> guard(CallbackLock);
  if (CallbacksClosed) return false;
  CallbackInProgress = true;
  return true;
}

void tPlugInSession::LeaveCallback() {
  {
    std::lock_guard<std::mutex> guard(CallbackLock);
    CallbackInProgress = false;
  }
  CallbackReturned.notify_all();
}

void tPlugInSession::CloseCallbacks(bool onSessionThread) {
  std::unique_lock<std::mutex> guard(CallbackLock);
  CallbacksClosed = true;
  if (!onSessionThread)
    CallbackReturned.wait_for(guard, CallbackPatience, [this] { return !CallbackInProgress; });
}

// Counted as the callback is about to be made: the time the host waited.
void tPlugInSession::CountAnswer(tQueueItem& item, const tFiguresTime& started) noexcept {
  const uint8_t* buffer = item.Data.Get();
  const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - item.QueuedAt);
  Figures.CountAnswer(started, EnvelopeCommand(buffer), EnvelopeResultCode(buffer),
                      static_cast<uint64_t>(waited.count()));
}

void tPlugInSession::WriteFiguresOfHourBefore(const tFiguresTime& now) noexcept {
  try {
    Figures.CountLostLogLines(Log->TakeLostLines());
    if (const auto line = Figures.CloseHourBefore(now)) Log->Write(*line);
  } catch (...) {
  }
}

void tPlugInSession::WriteFiguresAtFinalize() noexcept {
  try {
    Figures.CountLostLogLines(Log->TakeLostLines());
    if (const auto line = Figures.CloseAt(tFiguresTime::Now())) Log->Write(*line);
  } catch (...) {
  }
}

size_t tPlugInSession::ClearQueue() noexcept {
  std::lock_guard<std::mutex> guard(QueueLock);
  const size_t dropped = Queue.size();
  Queue.clear();
  QueuedBytes = 0;
  QueueLength = 0;
  return dropped;
}

void tPlugInSession::CloseQueue() noexcept {
  std::lock_guard<std::mutex> guard(QueueLock);
  QueueClosed = true;
}

void tPlugInSession::Stop(tStopKind kind) noexcept {
  bool onSessionThread = false;
  if (!BeginStop(kind, onSessionThread)) return;
  if (Worker) Worker->Stopping();
  if (kind == tStopKind::FrontUnloaded) {
    CloseCallbacks(onSessionThread);
    LeaveEndToThread();
    return;
  }
  if (onSessionThread) {
    LeaveToThread(kind);
  } else if (Thread.joinable()) {
    try {
      Thread.join();
    } catch (...) {
    }
  }
  EndStop(kind);
}

void tPlugInSession::EndStop(tStopKind kind) noexcept {
  Channel.reset();
  WritePendingLines();
  // Dropped while the log, let go of with the worker, is still there to say how many.
  const auto dropped = static_cast<uint32_t>(ClearQueue());
  try {
    if (Worker && dropped != 0)
      Log->Write("Session stopped with commands queued: " +
                 CommandsWere(dropped, "dropped without a callback"));
  } catch (...) {
  }
  FinishWorker(kind);
}

bool tPlugInSession::BeginStop(tStopKind kind, bool& onSessionThread) {
  std::lock_guard<std::mutex> guard(QueueLock);
  if (Stopping) return false;
  if (kind == tStopKind::FrontUnloaded) {
    Retain();
    ReleaseOnExit = true;
    EndOnExit = true;
    ++EndingSessions;
  }
  StopKind = kind;
  Stopping = true;
  EndRefusals("Queue closed while full: ");
  Malformed.End(PendingLines);
  onSessionThread = Thread.joinable() && Thread.get_id() == std::this_thread::get_id();
  // Wakes a thread waiting for commands: it then takes none and ends.
  QueueSemaphore.Release();
  return true;
}

// Stopped from inside the callback: the thread cannot wait for itself. It ends
// when the callback returns and then lets go of the session. After Finalize the
// host may unload the library in the same callback, so the library stays
// loaded until the thread has left it; an unload without Finalize is already
// under way, and only keeping the library's memory mapped lets the thread
// return through it.
void tPlugInSession::LeaveToThread(tStopKind kind) {
  Thread.detach();
  Retain();
  ReleaseOnExit = true;
  if (kind == tStopKind::Finalize) KeepLoadedUntilThreadEnds(HoldLibrary());
  if (kind == tStopKind::Unload) KeepMappedThroughUnload();
}

// Nothing of the end may run where the stop was asked for, under the loader
// lock: destroying the worker waits for threads (the log client's, the
// request watchdog's) and calls into the database client library. The thread
// learnt that it ends the session before it could see the stop (BeginStop).
void tPlugInSession::LeaveEndToThread() {
  std::lock_guard<std::mutex> guard(QueueLock);
  try {
    StartThreadLocked();
  } catch (...) {
    // No thread to end it: the session stays as it is, stopped.
    --EndingSessions;
    Release();
    return;
  }
  Thread.detach();
}

void tPlugInSession::WaitForEndingSessions() noexcept {
  while (EndingSessions.load() > 0) std::this_thread::sleep_for(EndingPollInterval);
}

// Runs once no command runs: after the thread has ended, or on the thread
// itself between commands.
void tPlugInSession::FinishWorker(tStopKind kind) noexcept {
  if (!Worker) return;
  if (kind == tStopKind::Finalize) {
    WriteFiguresAtFinalize();
    try {
      Worker->Finalize();
    } catch (...) {
    }
  }
  Worker.reset();
  Log.reset();
}
