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

struct tShutDownInCallback {
  static inline tPluginHost* Host = nullptr;
  static inline HANDLE Done = nullptr;

  static void KALVOR_CALL Call(int32_t, const char*, void*, int32_t, intptr_t) {
    if (Host == nullptr) return;
    tPluginHost* host = Host;
    Host = nullptr;
    host->Finalize();
    host->Unload();
    SetEvent(Done);
  }
};

int UnloadInCallback(const std::string& pluginPath) {
  tShutDownInCallback::Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  tShutDownInCallback::Host = new tPluginHost(pluginPath);
  tShutDownInCallback::Host->InitWith(&tShutDownInCallback::Call, 0);
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  for (int i = 0; i < QueuedCommands; ++i) tShutDownInCallback::Host->Command(i, request);
  if (WaitForSingleObject(tShutDownInCallback::Done, 60000) != WAIT_OBJECT_0) return 3;
  // The session thread lets go of the library as it ends.
  for (int i = 0; i < 600 && StillLoaded(pluginPath); ++i) Sleep(100);
  return StillLoaded(pluginPath) ? 4 : 0;
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
  if (scenario == "unload-idle") {
    tPluginHost host(pluginPath);
    host.Init();
    host.Unload();
    return StillLoaded(pluginPath) ? 5 : 0;
  }
  if (scenario == "unload-in-callback") return UnloadInCallback(pluginPath);
  return 2;
}
