#include "tPluginHost.h"

#include <algorithm>
#include <cstring>

#include "uPluginLibrary.h"

namespace {
constexpr int32_t EnvelopeLength = 16;

template <typename Entry>
Entry LookUp(void* library, const char* name) {
  void* address = PluginLibraryEntry(library, name);
  if (address == nullptr) throw tHostError(std::string("entry ") + name + " not found in plugin");
  return reinterpret_cast<Entry>(address);
}
}  // namespace

tPluginHost::tPluginHost(const std::string& pluginPath) {
  std::string why;
  Library = OpenPluginLibrary(pluginPath, why);
  if (Library == nullptr) throw tHostError("cannot load plugin " + pluginPath + ": " + why);
  try {
    InitEntry = LookUp<decltype(InitEntry)>(Library, "Init_Plugin");
    GetNameEntry = LookUp<decltype(GetNameEntry)>(Library, "GetName_Plugin");
    CommandEntry = LookUp<decltype(CommandEntry)>(Library, "Command_Plugin");
    FinalizeEntry = LookUp<decltype(FinalizeEntry)>(Library, "Finalize_Plugin");
  } catch (...) {
    Unload();
    throw;
  }
}

tPluginHost::~tPluginHost() {
  Unload();
}

void tPluginHost::Unload() {
  if (Library != nullptr) ClosePluginLibrary(Library);
  Library = nullptr;
}

std::string tPluginHost::Init() {
  return InitWith(&tPluginHost::CollectAnswer, reinterpret_cast<intptr_t>(this));
}

char* tPluginHost::InitWith(Callback cb, intptr_t userValue) {
  char* name = nullptr;
  InitEntry(&name, cb, userValue);
  return name;
}

char* tPluginHost::GetName() {
  char* name = nullptr;
  GetNameEntry(&name);
  return name;
}

int32_t tPluginHost::Command(int32_t commandId, const void* buffer, int32_t size) {
  return CommandEntry(commandId, const_cast<void*>(buffer), size);
}

int32_t tPluginHost::Command(int32_t commandId, const std::vector<uint8_t>& buffer) {
  return Command(commandId, buffer.data(), static_cast<int32_t>(buffer.size()));
}

void tPluginHost::Finalize() {
  FinalizeEntry();
}

void KALVOR_CALL tPluginHost::CollectAnswer(int32_t commandId, const char* name, void* buffer,
                                            int32_t size, intptr_t userValue) {
  auto* host = reinterpret_cast<tPluginHost*>(userValue);
  tAnswer answer;
  answer.CommandId = commandId;
  answer.Name = name != nullptr ? name : "";
  answer.Size = size;
  answer.UserValue = userValue;
  answer.Thread = std::this_thread::get_id();
  answer.At = std::chrono::steady_clock::now();
  // The envelope is always there to read, even when the size word says less.
  if (buffer != nullptr && size >= 0) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    answer.Buffer.assign(bytes, bytes + std::max<int32_t>(size, EnvelopeLength));
  }
  {
    std::lock_guard<std::mutex> guard(host->AnswersLock);
    host->Answers.push_back(std::move(answer));
  }
  host->AnswerArrived.notify_all();
}

std::optional<tAnswer> tPluginHost::WaitAnswer(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(AnswersLock);
  if (!AnswerArrived.wait_for(guard, timeout, [this] { return !Answers.empty(); }))
    return std::nullopt;
  tAnswer answer = std::move(Answers.front());
  Answers.pop_front();
  return answer;
}

std::vector<tAnswer> tPluginHost::WaitAnswers(size_t count, std::chrono::milliseconds timeout) {
  std::vector<tAnswer> answers;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (answers.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    auto answer = WaitAnswer(std::max(left, std::chrono::milliseconds(0)));
    if (!answer) break;
    answers.push_back(std::move(*answer));
  }
  return answers;
}

size_t tPluginHost::AnswerCount() {
  std::lock_guard<std::mutex> guard(AnswersLock);
  return Answers.size();
}
