// Whether commands may attach: once a command's attempts have ended in a
// failed attach, the server is known gone, and commands fail at once, without
// attaching, while one attach at a time probes the server at growing
// intervals; the first probe that attaches lets commands attach again.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dynmenu/db/tDatabaseParameterBlock.h"
#include "dynmenu/uBackOff.h"

class tPlugInLog;
struct tProbeState;

class tServerProbe {
 public:
  // What a probe attaches to, and how long its attach may take.
  struct tTarget {
    std::string DatabaseName;
    tDatabaseParameters Parameters;
    std::chrono::milliseconds AttachLimit{5000};
    // As a failure names it: "ConnectTimeout=5 s".
    std::string AttachLimitName;
  };

  // Writes its lines to log, never once the probe is destroyed. reached:
  // called on the probing thread when a probe attaches, after its line is
  // logged; never once the probe is destroyed.
  tServerProbe(tPlugInLog& log, tTarget target, std::function<void()> reached = {},
               tBackOffPolicy policy = {});
  // A probe under way ends on its own, without a word to the log.
  ~tServerProbe();
  tServerProbe(const tServerProbe&) = delete;
  tServerProbe& operator=(const tServerProbe&) = delete;

  // On the command path: the server was not reached, for the reason given.
  // Probing begins, on a thread of its own, unless it goes on already. True
  // when the server was not known gone before.
  bool ServerGone(const std::string& why);
  // While the server is known gone: why a command does not attach, and when
  // the next probe is due.
  std::optional<std::string> Refusal() const;
  const tBackOffPolicy& Policy() const;

 private:
  std::shared_ptr<tProbeState> State_;
};
