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

// Host threads send tagged commands without pause while the plugin is
// finalized, from inside its callback (the first answer) or from another host
// thread, once per run; each sender stops at its first 1. Returns in how many
// runs a sender was still inside Command_Plugin after the patience: it is
// then left there, and the caller should end the process soon.
enum class tFinalizeFrom { Callback, HostThread };
int RunsWithSendersStuckInFinalize(tPluginHost& host, tFinalizeFrom from, int runs, int senders);
