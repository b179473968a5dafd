// A host that ends without Finalize_Plugin or dlclose while the plugin is
// attached and busy: it returns from main with commands still queued.
//
//   kalvor_exit_host PLUGIN_PATH [unloaded | initialized]
//
// First it records two actions whose keys test the log (one that would forge
// a line, one longer than a line) and waits for their answers; then it queues
// a flood of start-item commands and returns at once. Prints the plugin's name
// and the answers it had. Exits 4 when called back while its own statics are
// being destroyed.
//
// unloaded: Init_Plugin, Finalize_Plugin and dlclose, then it returns from
// main; initialized: Init_Plugin, then it returns from main. Against a server
// that never answers, the plugin's attach is then still under way at exit.
#include <dlfcn.h>
#include <kalvor/plugin.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "uCommandRequests.h"

namespace {
constexpr int FloodCommands = 300;

std::atomic<bool> TornDown{false};
std::mutex AnswersLock;
std::condition_variable AnswerArrived;
int Answers = 0;

// Constructed before Init_Plugin, so destroyed after the plugin's exit
// handler: from here on the host's state is gone.
struct tTeardownWitness {
  ~tTeardownWitness() { TornDown = true; }
} TeardownWitness;

void OnAnswer(int32_t, const char*, void*, int32_t, intptr_t) {
  if (TornDown) {
    static const char text[] = "called back during teardown\n";
    (void)!write(STDERR_FILENO, text, sizeof(text) - 1);
    _exit(4);
  }
  {
    std::lock_guard<std::mutex> guard(AnswersLock);
    ++Answers;
  }
  AnswerArrived.notify_all();
}

bool WaitForAnswers(int count) {
  std::unique_lock<std::mutex> guard(AnswersLock);
  return AnswerArrived.wait_for(guard, std::chrono::seconds(60), [&] { return Answers >= count; });
}

template <typename tEntry>
tEntry EntryOf(void* library, const char* name) {
  return reinterpret_cast<tEntry>(dlsym(library, name));
}

int RunAndLeave(void* library, bool unload) {
  EntryOf<decltype(&Init_Plugin)>(library, "Init_Plugin")(nullptr, &OnAnswer, 0);
  if (!unload) return 0;
  EntryOf<decltype(&Finalize_Plugin)>(library, "Finalize_Plugin")();
  dlclose(library);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[2] : "";
  const bool leaves = mode == "unloaded" || mode == "initialized";
  if (argc != 2 && !leaves) {
    std::fprintf(stderr, "usage: %s PLUGIN_PATH [unloaded | initialized]\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  if (leaves) return RunAndLeave(library, mode == "unloaded");
  const auto init = EntryOf<decltype(&Init_Plugin)>(library, "Init_Plugin");
  const auto command = EntryOf<decltype(&Command_Plugin)>(library, "Command_Plugin");
  char* name = nullptr;
  init(&name, &OnAnswer, 0);
  std::printf("name %s\n", name);

  const std::vector<std::vector<uint8_t>> actions = {
      BuildActionRequest(1, 10, "1\r\n12:00:00.000 Finalize Close Database connection."),
      BuildActionRequest(2, 10, std::string(9000, 'k'))};
  for (const auto& action : actions)
    command(1, const_cast<uint8_t*>(action.data()), static_cast<int32_t>(action.size()));
  if (!WaitForAnswers(static_cast<int>(actions.size()))) {
    std::fprintf(stderr, "no answers to the actions\n");
    return 3;
  }
  const std::vector<uint8_t> start = BuildStartItemRequest(1);
  for (int i = 0; i < FloodCommands; ++i)
    command(100 + i, const_cast<uint8_t*>(start.data()), static_cast<int32_t>(start.size()));
  std::printf("queued %d\n", FloodCommands);
  std::fflush(stdout);
  return 0;
}
