// Commands the worker routes nowhere, each carrying a tag, for tests of the
// session's queue: the answers tell by their tags in which order they ran.
#pragma once

#include <cstdint>
#include <vector>

class tPluginHost;

// The envelope of command 7 and the tag, 20 bytes.
std::vector<uint8_t> TaggedCommand(uint32_t tag);

// Queues tags 0 .. threads * perThread - 1 from that many threads at once, in
// tag order, each with the CommandId tag + 1000; false when one was refused.
bool QueueTaggedFromThreads(tPluginHost& host, int threads, int perThread);
