#include "ForgetfulHost.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "StandInControl.h"
#include "support/CommandBuffers.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr int QueuedCommands = 200;

// Never destroyed: the process ends, or unloads the plugin, under it. Null
// when the plugin did not answer.
tPluginHost* StartBusyHost(const std::string& pluginPath) {
  auto* host = new tPluginHost(pluginPath);
  host->Init();
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  for (int i = 0; i < QueuedCommands; ++i) host->Command(i, request);
  return host->WaitAnswer(60s) ? host : nullptr;
}

// A host thread that queues without pause until the process ends it, as
// likely as not inside the session's queue lock. One only: threads that fight
// over the heap get ended while waiting for its lock, and wine's exit then
// spins for ever on that wait in whatever frees memory last.
void KeepQueueing(tPluginHost& host) {
  std::thread([&host] {
    const auto request = ItemDescRequest(StandIn::VoiceItemId);
    for (int i = 0;; ++i) host.Command(i, request);
  }).detach();
  Sleep(200);
}

bool StillLoaded(const std::string& pluginPath) {
  return GetModuleHandleA(std::filesystem::path(pluginPath).filename().string().c_str()) != nullptr;
}

// Answers the first host saw after FreeLibrary had returned; none may come.
int CallbacksAfter(tPluginHost& host, std::chrono::steady_clock::time_point unloaded) {
  Sleep(500);
  int after = 0;
  while (const auto answer = host.WaitAnswer(0s)) after += answer->At >= unloaded;
  return after;
}

// The front is gone; loaded again, it has no session until Init_Plugin starts
// a fresh one, which answers the new host's callback alone.
int AnswersAfreshOnceLoadedAgain(const std::string& pluginPath, tPluginHost* first = nullptr) {
  if (StillLoaded(pluginPath)) return 4;
  tPluginHost host(pluginPath);
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  if (host.Command(1, request) != 1) return 7;
  host.Init();
  constexpr size_t Commands = 40;
  for (size_t i = 0; i < Commands; ++i)
    if (host.Command(static_cast<int32_t>(i), request) != 0) return 8;
  const size_t answered = host.WaitAnswers(Commands, 60s).size();
  const size_t toFirst = first != nullptr ? first->AnswerCount() : 0;
  std::printf("loaded again: %zu of %zu answers to the new callback, %zu to the old\n", answered,
              Commands, toFirst);
  if (answered != Commands) return 8;
  if (toFirst != 0) return 10;
  host.Finalize();
  return 0;
}

// The first answer finalizes, if asked to, and unloads, with commands still
// queued, once the host has queued them all: Command_Plugin must not overlap
// Finalize_Plugin.
struct tShutDownInCallback {
  static inline tPluginHost* Host = nullptr;
  static inline bool Finalize = true;
  static inline HANDLE Queued = nullptr;
  static inline HANDLE Done = nullptr;
  static inline std::atomic<int> Calls{0};

  static void KALVOR_CALL Call(int32_t, const char*, void*, int32_t, intptr_t) {
    ++Calls;
    if (Host == nullptr) return;
    tPluginHost* host = Host;
    Host = nullptr;
    WaitForSingleObject(Queued, INFINITE);
    if (Finalize) host->Finalize();
    host->Unload();
    SetEvent(Done);
  }
};

int UnloadInCallback(const std::string& pluginPath, bool finalize) {
  tShutDownInCallback::Finalize = finalize;
  tShutDownInCallback::Queued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  tShutDownInCallback::Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  auto* host = new tPluginHost(pluginPath);
  tShutDownInCallback::Host = host;
  host->InitWith(&tShutDownInCallback::Call, 0);
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  for (int i = 0; i < QueuedCommands; ++i) host->Command(i, request);
  SetEvent(tShutDownInCallback::Queued);
  if (WaitForSingleObject(tShutDownInCallback::Done, 60000) != WAIT_OBJECT_0) return 3;
  Sleep(500);
  if (tShutDownInCallback::Calls != 1) return 9;
  return AnswersAfreshOnceLoadedAgain(pluginPath);
}

// FreeLibrary while commands run and wait, or after Init_Plugin alone.
int UnloadWithoutFinalize(const std::string& pluginPath, bool busy) {
  // Never destroyed: its callback must simply never be called again.
  auto* first = busy ? StartBusyHost(pluginPath) : new tPluginHost(pluginPath);
  if (first == nullptr) return 6;
  if (!busy) first->Init();
  first->Unload();
  const auto unloaded = std::chrono::steady_clock::now();
  const int after = CallbacksAfter(*first, unloaded);
  std::printf("callbacks after FreeLibrary returned: %d\n", after);
  if (after != 0) return 9;
  return AnswersAfreshOnceLoadedAgain(pluginPath, first);
}
}  // namespace

int PlayForgetfulHost(const std::string& scenario, const std::string& pluginPath) {
  if (scenario == "exit-busy") {
    tPluginHost* host = StartBusyHost(pluginPath);
    if (host == nullptr) return 6;
    KeepQueueing(*host);
    return 0;
  }
  if (scenario == "unload-busy") return UnloadWithoutFinalize(pluginPath, true);
  if (scenario == "unload-idle") return UnloadWithoutFinalize(pluginPath, false);
  if (scenario == "unload-in-callback") return UnloadInCallback(pluginPath, true);
  if (scenario == "unload-only-in-callback") return UnloadInCallback(pluginPath, false);
  return 2;
}
