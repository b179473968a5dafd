// The soak's host side: sender threads that queue a mixed stream of commands
// 100, 101 and 102 (each 102 with a key of its own), and the callback that
// records every answer in the order it comes. The records are laid out before
// the soak begins, so filling them does not count as the plugin's memory.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tPluginHost.h"

struct tSentCommand {
  int32_t Command = 0;
  // Which of the reading requests a 100 or 101 is; -1 for 102.
  int32_t Reading = -1;
  float SentAtMs = 0;
};

// Answers against what the same reading got without faults.
enum class tMatch : int8_t { NotReading, Same, Different };

struct tCallback {
  int32_t Id = 0;
  int32_t ResultCode = 0;
  tMatch Match = tMatch::NotReading;
  float AtMs = 0;
};

class tSoakTraffic {
 public:
  tSoakTraffic(std::chrono::steady_clock::time_point start, size_t capacity);
  ~tSoakTraffic();
  tSoakTraffic(const tSoakTraffic&) = delete;
  tSoakTraffic& operator=(const tSoakTraffic&) = delete;

  // Initialises the plugin with this object's callback.
  void Attach(tPluginHost& host);
  // Asks each reading request once, with the server sound: its answer is the
  // one every later answer of the same request must equal.
  void AskEveryReadingOnce();
  // rate: commands a second from all of them, answered or not; 0: each as
  // fast as answers come, with few outstanding.
  void StartSenders(int count, int rate);
  void StopSenders();
  // Waits until every accepted command has been called back.
  bool WaitDrained(std::chrono::seconds patience);

  // Milliseconds since the soak began.
  double Now() const;
  // The key command 102 number id carries.
  static std::string KeyOf(int32_t id);
  // Indexed by command id; entry 0 unused.
  std::vector<tSentCommand> Sent() const;
  std::vector<tCallback> Callbacks() const;
  size_t Refused() const { return Refused_; }
  bool RanOutOfRoom() const { return RanOutOfRoom_; }

 private:
  static void OnCallback(int32_t commandId, const char* name, void* buffer, int32_t size,
                         intptr_t userValue);
  tMatch Compare(const tSentCommand& sent, const uint8_t* answer, int32_t size);
  void SendLoop(int sender, int rate);
  // Before each command of the loop: false once it should stop.
  bool AwaitTurn(std::chrono::steady_clock::time_point& next,
                 std::chrono::steady_clock::duration interval);
  int32_t Send(int32_t command, int32_t reading, int sender);
  size_t Outstanding();

  std::chrono::steady_clock::time_point Start_;
  tPluginHost* Host_ = nullptr;
  std::atomic<bool> Stopping_{false};
  std::vector<std::thread> Senders_;
  std::vector<std::vector<uint8_t>> Readings_;
  std::vector<std::vector<uint8_t>> FaultFreeAnswers_;

  // Held while a command is numbered and queued, so the queue order is known.
  mutable std::mutex SendLock_;
  std::vector<tSentCommand> Sent_;
  size_t SentCount_ = 0;
  size_t Refused_ = 0;
  std::atomic<bool> RanOutOfRoom_{false};

  mutable std::mutex AnswerLock_;
  std::condition_variable Answered_;
  std::vector<tCallback> Callbacks_;
  size_t CallbackCount_ = 0;
};
