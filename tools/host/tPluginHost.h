// Loads a Kalvor plugin file the way a real host does and collects its callbacks.
#pragma once

#include <kalvor/plugin.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class tHostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One callback as the host saw it; the buffer is copied during the call.
struct tAnswer {
  int32_t CommandId = 0;
  std::string Name;
  std::vector<uint8_t> Buffer;
  int32_t Size = 0;
  intptr_t UserValue = 0;
  std::thread::id Thread;
  std::chrono::steady_clock::time_point At;
};

class tPluginHost {
 public:
  // Loads the plugin by its full path (dlopen, LoadLibrary); raises tHostError when the file or an
  // entry is missing.
  explicit tPluginHost(const std::string& pluginPath);
  ~tPluginHost();
  tPluginHost(const tPluginHost&) = delete;
  tPluginHost& operator=(const tPluginHost&) = delete;

  // Init_Plugin with this host's collecting callback; returns the reported name.
  std::string Init();
  // Init_Plugin with any callback and user value; returns the name pointer.
  char* InitWith(Callback cb, intptr_t userValue);
  char* GetName();
  int32_t Command(int32_t commandId, const void* buffer, int32_t size);
  int32_t Command(int32_t commandId, const std::vector<uint8_t>& buffer);
  void Finalize();
  // Unloads now (the destructor does it otherwise).
  void Unload();

  std::optional<tAnswer> WaitAnswer(std::chrono::milliseconds timeout);
  std::vector<tAnswer> WaitAnswers(size_t count, std::chrono::milliseconds timeout);
  size_t AnswerCount();

  // The callback this host registers; UserValue carries the host object.
  static void KALVOR_CALL CollectAnswer(int32_t commandId, const char* name, void* buffer,
                                        int32_t size, intptr_t userValue);

 private:
  void* Library = nullptr;
  decltype(&Init_Plugin) InitEntry = nullptr;
  decltype(&GetName_Plugin) GetNameEntry = nullptr;
  decltype(&Command_Plugin) CommandEntry = nullptr;
  decltype(&Finalize_Plugin) FinalizeEntry = nullptr;

  std::mutex AnswersLock;
  std::condition_variable AnswerArrived;
  std::deque<tAnswer> Answers;
};
