#include "LogWriterHost.h"

#include <chrono>
#include <memory>
#include <vector>

#include "support/PluginCopy.h"
#include "support/TaggedCommands.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

int PlayLogWriter(int commandsPerCopy) {
  std::vector<std::unique_ptr<PluginCopy>> copies;
  std::vector<std::unique_ptr<tPluginHost>> hosts;
  for (int i = 0; i < LogWriterCopies; ++i) {
    copies.push_back(std::make_unique<PluginCopy>("Kalvor.dll"));
    hosts.push_back(std::make_unique<tPluginHost>(copies.back()->LibraryPath()));
    hosts.back()->Init();
  }
  for (int tag = 0; tag < commandsPerCopy; ++tag)
    for (auto& host : hosts)
      if (host->Command(7, TaggedCommand(static_cast<uint32_t>(tag))) != 0) return 1;
  int failures = 0;
  for (auto& host : hosts) {
    if (host->WaitAnswers(static_cast<size_t>(commandsPerCopy), 300s).size() !=
        static_cast<size_t>(commandsPerCopy))
      ++failures;
    host->Finalize();
  }
  return failures;
}
