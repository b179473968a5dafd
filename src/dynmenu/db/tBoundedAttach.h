#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "dynmenu/db/tFbHandle.h"
#include "dynmenu/db/tRequestWatchdog.h"

// An attach that ends within its limit, however the server behaves. The
// client library's connect time-out covers only the server's first answer: a
// server that answers it and then nothing (one out of descriptors does) holds
// the attach for good. The attach runs on a thread of its own; one that
// outlasts the limit, or is still under way when the stopping plugin's time
// is up, is left behind, detaching what it got; where the platform lets it,
// the socket it waits on is shut down then, so that it ends at once (the
// client library's exit teardown would wait for it without limit), and any
// attach still inside the client library at process exit ends the same way.
// Only a few are left behind at once: while they are, an attach fails at once.
struct tAttachLimit {
  // None: no limit of its own, only the stop.
  std::optional<std::chrono::milliseconds> Within;
  // How the failure names the limit, as "ConnectTimeout=5 s".
  std::string Name;
  // Its end, once come, ends the wait at once; none for no such end.
  tRequestWatchdog* Stop = nullptr;
  // How the failure names that end.
  std::string StopName;
};

// The attachment; raises tDBError with the client's words, or with the
// limit's name when the attach did not end within it. A lost connection is
// the latter's kind, with its status code, as with the client's own time-out.
tFbHandle AttachWithin(const std::string& databaseName, const std::string& parameterBlock,
                       const tAttachLimit& limit);

// Attaches left behind that have not ended yet, in the whole process.
int AttachesLeftBehind();
