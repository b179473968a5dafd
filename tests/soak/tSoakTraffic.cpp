#include "tSoakTraffic.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "support/CommandBuffers.h"

namespace {
// Enough queued work to keep the plugin busy through every fault, bounded so
// an outage does not pile up minutes of commands.
constexpr size_t MaxOutstanding = 24;
// Menus and items of sql/demo-data.sql, and some that do not exist.
constexpr int32_t Menus[] = {1, 7};
constexpr int32_t Items[] = {10, 20, 30, 40, 50, 999};
}  // namespace

tSoakTraffic::tSoakTraffic(std::chrono::steady_clock::time_point start, size_t capacity)
    : Start_(start), Sent_(capacity + 1), Callbacks_(capacity) {
  for (const int32_t menu : Menus) Readings_.push_back(StartItemRequest(menu));
  for (const int32_t item : Items) Readings_.push_back(ItemDescRequest(item));
  FaultFreeAnswers_.resize(Readings_.size());
}

tSoakTraffic::~tSoakTraffic() {
  StopSenders();
}

void tSoakTraffic::Attach(tPluginHost& host) {
  Host_ = &host;
  host.InitWith(&tSoakTraffic::OnCallback, reinterpret_cast<intptr_t>(this));
}

double tSoakTraffic::Now() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start_)
      .count();
}

std::string tSoakTraffic::KeyOf(int32_t id) {
  return "k" + std::to_string(id);
}

// The first answer of each reading is the fault-free one.
tMatch tSoakTraffic::Compare(const tSentCommand& sent, const uint8_t* answer, int32_t size) {
  if (sent.Reading < 0) return tMatch::NotReading;
  std::vector<uint8_t>& expected = FaultFreeAnswers_[static_cast<size_t>(sent.Reading)];
  if (expected.empty()) expected.assign(answer, answer + size);
  const bool same = expected.size() == static_cast<size_t>(size) &&
                    std::memcmp(expected.data(), answer, expected.size()) == 0;
  return same ? tMatch::Same : tMatch::Different;
}

void tSoakTraffic::OnCallback(int32_t commandId, const char*, void* buffer, int32_t size,
                              intptr_t userValue) {
  auto* traffic = reinterpret_cast<tSoakTraffic*>(userValue);
  const auto* answer = static_cast<const uint8_t*>(buffer);
  tCallback callback;
  callback.Id = commandId;
  callback.AtMs = static_cast<float>(traffic->Now());
  callback.ResultCode = static_cast<int32_t>(answer[12] | answer[13] << 8 | answer[14] << 16 |
                                             static_cast<uint32_t>(answer[15]) << 24);
  // Entries are written before their command is queued; the queue orders it.
  const tSentCommand& sent = traffic->Sent_.at(static_cast<size_t>(commandId));
  if (callback.ResultCode != 1) callback.Match = traffic->Compare(sent, answer, size);
  {
    std::lock_guard<std::mutex> guard(traffic->AnswerLock_);
    if (traffic->CallbackCount_ < traffic->Callbacks_.size())
      traffic->Callbacks_[traffic->CallbackCount_++] = callback;
  }
  traffic->Answered_.notify_all();
}

int32_t tSoakTraffic::Send(int32_t command, int32_t reading, int sender) {
  std::lock_guard<std::mutex> guard(SendLock_);
  if (SentCount_ + 1 >= Sent_.size()) {
    RanOutOfRoom_ = true;
    return 0;
  }
  const auto id = static_cast<int32_t>(SentCount_ + 1);
  Sent_[static_cast<size_t>(id)] = {command, reading, static_cast<float>(Now())};
  const std::vector<uint8_t> request = reading >= 0
                                           ? Readings_[static_cast<size_t>(reading)]
                                           : ActionRequest(sender + 1, Items[id % 5], KeyOf(id));
  if (Host_->Command(id, request) != 0) {
    ++Refused_;
    Sent_[static_cast<size_t>(id)] = {};
    return 0;
  }
  ++SentCount_;
  return id;
}

size_t tSoakTraffic::Outstanding() {
  size_t sent = 0;
  {
    std::lock_guard<std::mutex> guard(SendLock_);
    sent = SentCount_;
  }
  std::lock_guard<std::mutex> guard(AnswerLock_);
  return sent - std::min(sent, CallbackCount_);
}

void tSoakTraffic::AskEveryReadingOnce() {
  for (size_t reading = 0; reading < Readings_.size(); ++reading) {
    const int32_t id = Send(SignedWordAt(Readings_[reading], 4), static_cast<int32_t>(reading), 0);
    std::unique_lock<std::mutex> guard(AnswerLock_);
    Answered_.wait(guard,
                   [&] { return CallbackCount_ > 0 && Callbacks_[CallbackCount_ - 1].Id == id; });
  }
}

void tSoakTraffic::StartSenders(int count, int rate) {
  Stopping_ = false;
  for (int sender = 0; sender < count; ++sender)
    Senders_.emplace_back([this, sender, share = rate > 0 ? std::max(rate / count, 1) : 0] { SendLoop(sender, share); });
}

void tSoakTraffic::StopSenders() {
  Stopping_ = true;
  for (auto& sender : Senders_) sender.join();
  Senders_.clear();
}

bool tSoakTraffic::AwaitTurn(std::chrono::steady_clock::time_point& next,
                             std::chrono::steady_clock::duration interval) {
  if (interval.count() > 0) {
    std::this_thread::sleep_until(next);
    next += interval;
    return !Stopping_;
  }
  while (!Stopping_ && Outstanding() >= MaxOutstanding) {
    std::unique_lock<std::mutex> guard(AnswerLock_);
    Answered_.wait_for(guard, std::chrono::milliseconds(20));
  }
  return !Stopping_;
}

// Three in ten commands are 100, three 101, four 102.
void tSoakTraffic::SendLoop(int sender, int rate) {
  std::mt19937 random(static_cast<unsigned>(sender) * 7919u + 17u);
  std::uniform_int_distribution<int> kind(0, 9);
  const auto interval = rate > 0 ? std::chrono::steady_clock::duration(std::chrono::seconds(1)) / rate
                                 : std::chrono::steady_clock::duration::zero();
  for (auto next = std::chrono::steady_clock::now(); AwaitTurn(next, interval);) {
    const int draw = kind(random);
    const auto menus = static_cast<int32_t>(std::size(Menus));
    const auto items = static_cast<int32_t>(std::size(Items));
    if (draw < 3)
      Send(100, static_cast<int32_t>(random() % menus), sender);
    else if (draw < 6)
      Send(101, menus + static_cast<int32_t>(random() % items), sender);
    else if (Send(102, -1, sender) == 0 && RanOutOfRoom_)
      return;
  }
}

bool tSoakTraffic::WaitDrained(std::chrono::seconds patience) {
  size_t sent = 0;
  {
    std::lock_guard<std::mutex> guard(SendLock_);
    sent = SentCount_;
  }
  std::unique_lock<std::mutex> guard(AnswerLock_);
  return Answered_.wait_for(guard, patience, [&] { return CallbackCount_ >= sent; });
}

std::vector<tSentCommand> tSoakTraffic::Sent() const {
  std::lock_guard<std::mutex> guard(SendLock_);
  return {Sent_.begin(), Sent_.begin() + static_cast<std::ptrdiff_t>(SentCount_ + 1)};
}

std::vector<tCallback> tSoakTraffic::Callbacks() const {
  std::lock_guard<std::mutex> guard(AnswerLock_);
  return {Callbacks_.begin(), Callbacks_.begin() + static_cast<std::ptrdiff_t>(CallbackCount_)};
}
