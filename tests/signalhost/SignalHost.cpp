// A host that loads the plugin, has it attach, and then sends itself SIGTERM
// and SIGINT.
//
//   kalvor_signal_host PLUGIN_PATH default|own
//
// default: the signals keep the default action, so the first ends the process.
// own: the host handles both itself and prints how many it handled, then the
// result codes of commands sent after the signals, and again after it shut the
// client library down itself; then it finalizes.
#include <dlfcn.h>
#include <ibase.h>
#include <kalvor/plugin.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "uAnswerReader.h"
#include "uCommandRequests.h"

namespace {
volatile sig_atomic_t SignalsHandled = 0;

std::mutex AnswerLock;
std::condition_variable AnswerArrived;
std::optional<int32_t> LastResultCode;

void OnSignal(int) {
  SignalsHandled = SignalsHandled + 1;
}

void HandleItself(int signalNumber) {
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

void OnAnswer(int32_t, const char*, void* buffer, int32_t, intptr_t) {
  const tAnswerReader answer(static_cast<const uint8_t*>(buffer), KALVOR_ENVELOPE_LENGTH);
  {
    std::lock_guard<std::mutex> guard(AnswerLock);
    LastResultCode = answer.I32(KALVOR_ENVELOPE_RESULT_CODE);
  }
  AnswerArrived.notify_all();
}

template <typename tEntry>
tEntry EntryOf(void* library, const char* name) {
  return reinterpret_cast<tEntry>(dlsym(library, name));
}

// As another part of the host that uses the client library may do: 0 when it
// shut down, -1 when the library was not there.
int ShutDownClientLibrary() {
  void* client = dlopen("libfbclient.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (client == nullptr) return -1;
  const auto shutdown = EntryOf<decltype(&fb_shutdown)>(client, "fb_shutdown");
  const int result = shutdown != nullptr ? shutdown(0, fb_shutrsn_app_stopped) : -1;
  dlclose(client);
  return result;
}

// The answer's result code, or -1 when none came.
int32_t Ask(decltype(&Command_Plugin) command, std::vector<uint8_t> request) {
  std::unique_lock<std::mutex> guard(AnswerLock);
  LastResultCode.reset();
  if (command(1, request.data(), static_cast<int32_t>(request.size())) != KALVOR_COMMAND_QUEUED)
    return -1;
  AnswerArrived.wait_for(guard, std::chrono::seconds(60),
                         [] { return LastResultCode.has_value(); });
  return LastResultCode.value_or(-1);
}

// Result codes of a start-item command and an action, each after the other.
std::string AskBoth(decltype(&Command_Plugin) command) {
  const int32_t start = Ask(command, BuildStartItemRequest(1));
  return std::to_string(start) + " " + std::to_string(Ask(command, BuildActionRequest(1, 10, "x")));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PLUGIN_PATH default|own\n", argv[0]);
    return 2;
  }
  if (std::strcmp(argv[2], "own") == 0) {
    HandleItself(SIGTERM);
    HandleItself(SIGINT);
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  const auto init = EntryOf<decltype(&Init_Plugin)>(library, "Init_Plugin");
  const auto command = EntryOf<decltype(&Command_Plugin)>(library, "Command_Plugin");
  const auto finalize = EntryOf<decltype(&Finalize_Plugin)>(library, "Finalize_Plugin");
  init(nullptr, &OnAnswer, 0);
  std::printf("before %d\n", Ask(command, BuildStartItemRequest(1)));
  std::fflush(stdout);

  raise(SIGTERM);
  raise(SIGINT);
  std::printf("handled %d\n", static_cast<int>(SignalsHandled));
  // Room for a shutdown the signals might have set off on another thread.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::printf("after signals %s\n", AskBoth(command).c_str());
  std::printf("shutdown %d\n", ShutDownClientLibrary());
  std::printf("after shutdown %s\n", AskBoth(command).c_str());
  finalize();
  std::printf("finalized\n");
  return 0;
}
