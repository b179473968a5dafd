#include "support/TaggedCommands.h"

#include <atomic>
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
