#include "ForgetfulHost.h"

#include <windows.h>

#include <chrono>
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

int AnswersAfreshOnceLoadedAgain(const std::string& pluginPath);

// The first answer finalizes and unloads, with commands still queued, once the
// host has queued them all: Command_Plugin must not overlap Finalize_Plugin.
struct tShutDownInCallback {
  static inline tPluginHost* Host = nullptr;
  static inline HANDLE Queued = nullptr;
  static inline HANDLE Done = nullptr;

  static void KALVOR_CALL Call(int32_t, const char*, void*, int32_t, intptr_t) {
    if (Host == nullptr) return;
    tPluginHost* host = Host;
    Host = nullptr;
    WaitForSingleObject(Queued, INFINITE);
    host->Finalize();
    host->Unload();
    SetEvent(Done);
  }
};

int UnloadInCallback(const std::string& pluginPath) {
  tShutDownInCallback::Queued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  tShutDownInCallback::Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  auto* host = new tPluginHost(pluginPath);
  tShutDownInCallback::Host = host;
  host->InitWith(&tShutDownInCallback::Call, 0);
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  for (int i = 0; i < QueuedCommands; ++i) host->Command(i, request);
  SetEvent(tShutDownInCallback::Queued);
  if (WaitForSingleObject(tShutDownInCallback::Done, 60000) != WAIT_OBJECT_0) return 3;
  return AnswersAfreshOnceLoadedAgain(pluginPath);
}

// The library stays loaded, pinned, after FreeLibrary; loaded again, it has
// no session until Init_Plugin starts a fresh one for the new host.
int AnswersAfreshOnceLoadedAgain(const std::string& pluginPath) {
  if (!StillLoaded(pluginPath)) return 4;
  tPluginHost host(pluginPath);
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  if (host.Command(1, request) != 1) return 7;
  host.Init();
  if (host.Command(2, request) != 0 || !host.WaitAnswer(60s)) return 8;
  host.Finalize();
  return 0;
}

// A FreeLibrary after Init_Plugin alone leaves the session as it was: loaded
// again, the library queues at once and answers the first host's callback.
int GoesOnWhenLoadedAgain(const std::string& pluginPath) {
  tPluginHost first(pluginPath);
  first.Init();
  first.Unload();
  if (!StillLoaded(pluginPath)) return 5;
  tPluginHost second(pluginPath);
  if (second.Command(1, ItemDescRequest(StandIn::VoiceItemId)) != 0) return 7;
  if (!first.WaitAnswer(60s) || second.AnswerCount() != 0) return 8;
  second.Finalize();
  return AnswersAfreshOnceLoadedAgain(pluginPath);
}
}  // namespace

int PlayForgetfulHost(const std::string& scenario, const std::string& pluginPath) {
  if (scenario == "exit-busy") {
    tPluginHost* host = StartBusyHost(pluginPath);
    if (host == nullptr) return 6;
    KeepQueueing(*host);
    return 0;
  }
  if (scenario == "unload-busy") {
    tPluginHost* host = StartBusyHost(pluginPath);
    if (host == nullptr) return 6;
    host->Unload();
    Sleep(500);
    return 0;
  }
  if (scenario == "unload-idle") return GoesOnWhenLoadedAgain(pluginPath);
  if (scenario == "unload-in-callback") return UnloadInCallback(pluginPath);
  return 2;
}
