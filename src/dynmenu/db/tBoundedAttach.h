#pragma once

#include <chrono>
#include <string>

#include "dynmenu/db/tFbHandle.h"

// An attach that ends within its limit, however the server behaves. The
// client library's connect time-out covers only the server's first answer: a
// server that answers it and then nothing (one out of descriptors does) holds
// the attach for good. The attach runs on a thread of its own; one that
// outlasts the limit is left behind to end on its own, detaching what it got.
// Only a few are left behind at once: while they are, an attach fails at once.
struct tAttachLimit {
  std::chrono::milliseconds Within{0};
  // How the failure names the limit, as "ConnectTimeout=5 s".
  std::string Name;
};

// The attachment; raises tDBError with the client's words, or with the
// limit's name when the attach did not end within it. A lost connection is
// the latter's kind, with its status code, as with the client's own time-out.
tFbHandle AttachWithin(const std::string& databaseName, const std::string& parameterBlock,
                       const tAttachLimit& limit);
