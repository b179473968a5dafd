#pragma once

#include <string>

// The transaction parameter block for a lock time-out in seconds: the server's
// default read-write snapshot that waits on locks, for at most that long. A
// time-out of 0 gives the empty block: the server's defaults, waiting without
// limit (the server refuses a lock time-out of 0).
std::string BuildTransactionParameterBlock(int lockTimeoutSeconds);

// A read-only transaction in which every statement sees what others have
// committed when it starts, without waiting on their locks. The server starts
// it already committed, so it may stay open for good without holding back
// garbage collection.
std::string BuildReadCommittedParameterBlock();
