// libFuzzer target over the command path. Each input is one command buffer,
// handed to Command_Plugin exactly as a host would (Size is the input's
// length, the size word, command number and fields are whatever the input
// holds) and answered from the menu database named in the ini file beside
// this program. A broken invariant traps, which libFuzzer reports as a crash:
//   - a command that is refused gets no callback, an accepted one exactly one,
//     in order, within the time limit;
//   - the callback's Size is the answer's size word;
//   - outcome and result code are 0/0, 1/1, 1/2 or 1/3;
//   - a command 101 answered with success decodes without contradiction
//     within its size.
#include <kalvor/plugin.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "dynmenu/uPlugInDynMenuTypes.h"
#include "uMenuItemAnswer.h"
#include "worker/uByteOrder.h"

namespace {
constexpr auto AnswerPatience = std::chrono::seconds(20);

struct tAnswer {
  int32_t CommandId = 0;
  int32_t Size = 0;
  std::vector<uint8_t> Bytes;
};

std::mutex AnswerLock;
std::condition_variable AnswerArrived;
std::vector<tAnswer> Answers;
int32_t NextCommandId = 1;

[[noreturn]] void Broken(const char* invariant) {
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::fflush(stderr);
  __builtin_trap();
}

void OnAnswer(int32_t commandId, const char*, void* buffer, int32_t size, intptr_t) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  if (ReadLE32(bytes) != static_cast<uint32_t>(size))
    Broken("the callback's Size is the answer's size word");
  tAnswer answer;
  answer.CommandId = commandId;
  answer.Size = size;
  // The envelope is there even when the size word says less.
  answer.Bytes.assign(bytes, bytes + std::max<int32_t>(size, 16));
  std::lock_guard<std::mutex> guard(AnswerLock);
  Answers.push_back(std::move(answer));
  AnswerArrived.notify_all();
}

tAnswer AwaitAnswer(int32_t commandId) {
  std::unique_lock<std::mutex> guard(AnswerLock);
  if (!AnswerArrived.wait_for(guard, AnswerPatience, [] { return !Answers.empty(); }))
    Broken("an accepted command is called back");
  if (Answers.size() != 1 || Answers.front().CommandId != commandId)
    Broken("exactly one callback per accepted command, in order");
  tAnswer answer = std::move(Answers.front());
  Answers.clear();
  return answer;
}

void CheckAnswer(const tAnswer& answer) {
  const uint8_t* bytes = answer.Bytes.data();
  const uint32_t outcome = ReadLE32(bytes + 8);
  const uint32_t resultCode = ReadLE32(bytes + 12);
  const bool knownPair =
      (outcome == 0 && resultCode == 0) || (outcome == 1 && resultCode >= 1 && resultCode <= 3);
  if (!knownPair) Broken("the answer pair is 0/0, 1/1, 1/2 or 1/3");
  const int32_t command = static_cast<int32_t>(ReadLE32(bytes + 4));
  if (command != DynMenuCmd_GetMenuItemDesc || outcome != 0) return;
  try {
    DecodeMenuItemAnswer(tAnswerReader(bytes, static_cast<uint32_t>(answer.Size)));
  } catch (const tAnswerError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    Broken("a command 101 success is self-consistent within its size");
  }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char* name = nullptr;
  Init_Plugin(&name, &OnAnswer, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7fffffff) return -1;
  const int32_t commandId = NextCommandId++;
  std::vector<uint8_t> buffer(data, data + size);
  const int32_t queued = Command_Plugin(commandId, buffer.data(), static_cast<int32_t>(size));
  if (queued == 3) {
    std::lock_guard<std::mutex> guard(AnswerLock);
    if (!Answers.empty()) Broken("a refused command gets no callback");
    return 0;
  }
  if (queued != 0) Broken("Command_Plugin answers 0 or 3 while the session runs");
  CheckAnswer(AwaitAnswer(commandId));
  return 0;
}
