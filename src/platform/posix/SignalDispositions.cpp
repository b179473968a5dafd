#include "platform/SignalDispositions.h"

#include <signal.h>

#include <array>

namespace {
// The signals an operator or a service manager sends to end a process.
constexpr std::array<int, 4> kTerminationSignals = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
}  // namespace

struct tSignalDispositionsKeeper::tSaved {
  std::array<struct sigaction, kTerminationSignals.size()> Actions{};
  std::array<bool, kTerminationSignals.size()> Read{};
};

tSignalDispositionsKeeper::tSignalDispositionsKeeper() : Saved_(std::make_unique<tSaved>()) {
  for (size_t i = 0; i < kTerminationSignals.size(); ++i)
    Saved_->Read[i] = sigaction(kTerminationSignals[i], nullptr, &Saved_->Actions[i]) == 0;
}

tSignalDispositionsKeeper::~tSignalDispositionsKeeper() {
  for (size_t i = 0; i < kTerminationSignals.size(); ++i)
    if (Saved_->Read[i]) sigaction(kTerminationSignals[i], &Saved_->Actions[i], nullptr);
}
