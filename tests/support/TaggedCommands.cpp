#include "support/TaggedCommands.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "support/CommandBuffers.h"
#include "tPluginHost.h"

std::vector<uint8_t> TaggedCommand(uint32_t tag) {
  auto buffer = MakeCommand(20, 7);
  PutWord(buffer, 16, tag);
  return buffer;
}

bool QueueTaggedFromThreads(tPluginHost& host, int threads, int perThread) {
  std::mutex orderLock;
  uint32_t nextTag = 0;
  std::atomic<bool> allQueued{true};
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t)
    senders.emplace_back([&] {
      for (int i = 0; i < perThread; ++i) {
        std::lock_guard<std::mutex> guard(orderLock);
        auto command = TaggedCommand(nextTag);
        if (host.Command(static_cast<int32_t>(nextTag) + 1000, command) != 0) allQueued = false;
        ++nextTag;
      }
    });
  for (auto& sender : senders) sender.join();
  return allQueued;
}

namespace {
// Finalize_Plugin from inside the first callback of the run.
struct tFinalizingCallback {
  tPluginHost* Host = nullptr;
  std::atomic<bool> Started{false};
  std::atomic<bool> Done{false};

  static void KALVOR_CALL Call(int32_t, const char*, void*, int32_t, intptr_t userValue) {
    auto& self = *reinterpret_cast<tFinalizingCallback*>(userValue);
    if (self.Started.exchange(true)) return;
    self.Host->Finalize();
    self.Done = true;
  }
};

bool SendersEndWithin(std::vector<std::thread>& senders, std::atomic<int>& running,
                      std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (running.load() > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const bool ended = running.load() == 0;
  for (auto& sender : senders) ended ? sender.join() : sender.detach();
  return ended;
}
}  // namespace

int RunsWithSendersStuckInFinalize(tPluginHost& host, tFinalizeFrom from, int runs, int senders) {
  int stuck = 0;
  for (int run = 0; run < runs; ++run) {
    // Left behind with a stuck sender, which may still read it.
    auto* callback = new tFinalizingCallback;
    callback->Host = &host;
    callback->Started = from != tFinalizeFrom::Callback;
    host.InitWith(&tFinalizingCallback::Call, reinterpret_cast<intptr_t>(callback));
    std::atomic<int> running{senders};
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s)
      threads.emplace_back([&host, &running, s] {
        const auto command = TaggedCommand(static_cast<uint32_t>(s));
        while (host.Command(s, command) == 0) {
        }
        --running;
      });
    if (from == tFinalizeFrom::HostThread) {
      std::this_thread::sleep_for(std::chrono::milliseconds(run % 5));
      host.Finalize();
    }
    if (!SendersEndWithin(threads, running, std::chrono::seconds(10))) {
      ++stuck;
      continue;
    }
    // After a host thread's Finalize_Plugin no callback runs any more.
    while (from == tFinalizeFrom::Callback && !callback->Done.load())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete callback;
  }
  return stuck;
}
