#include "platform/SocketWait.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {
// A thread's system call as the kernel reports it while the thread is blocked in it.
struct tBlockedCall {
  long Number = -1;
  std::array<unsigned long, 6> Arguments{};

  bool operator==(const tBlockedCall&) const = default;
};

std::optional<tBlockedCall> ReadBlockedCall(int64_t thread) {
  std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/syscall");
  tBlockedCall call;
  if (!(file >> call.Number)) return std::nullopt;  // "running"
  for (unsigned long& argument : call.Arguments)
    if (!(file >> std::hex >> argument)) return std::nullopt;
  return call;
}

bool IsPoll(long number) {
#ifdef SYS_poll
  if (number == SYS_poll) return true;
#endif
  return number == SYS_ppoll;
}

// Read through the kernel: a failed read is an error, never a fault.
std::vector<pollfd> ReadPollSet(unsigned long address, unsigned long count) {
  constexpr unsigned long MostDescriptors = 64;
  if (count == 0 || count > MostDescriptors) return {};
  std::vector<pollfd> set(count);
  const iovec local{set.data(), count * sizeof(pollfd)};
  const iovec remote{reinterpret_cast<void*>(address), count * sizeof(pollfd)};
  if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != static_cast<ssize_t>(local.iov_len))
    return {};
  return set;
}

// Descriptors with their inodes, so a number closed and given out again is not taken for them.
using tSockets = std::vector<std::pair<int, ino_t>>;

tSockets SocketsOf(const tBlockedCall& call) {
  std::vector<int> descriptors;
  if (IsPoll(call.Number)) {
    for (const pollfd& entry : ReadPollSet(call.Arguments[0], call.Arguments[1]))
      descriptors.push_back(entry.fd);
  } else if (call.Number == SYS_connect) {
    descriptors.push_back(static_cast<int>(call.Arguments[0]));
  }
  tSockets sockets;
  for (const int descriptor : descriptors) {
    struct stat status {};
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISSOCK(status.st_mode))
      sockets.emplace_back(descriptor, status.st_ino);
  }
  return sockets;
}

bool StillTheSame(int descriptor, ino_t inode) {
  struct stat status {};
  return fstat(descriptor, &status) == 0 && status.st_ino == inode;
}
}  // namespace

int64_t CurrentThreadNumber() {
  return static_cast<int64_t>(syscall(SYS_gettid));
}

// The call is read twice: only sockets of a wait that lasted across both reads are shut down.
bool EndSocketWait(int64_t thread) {
  const std::optional<tBlockedCall> call = ReadBlockedCall(thread);
  if (!call) return false;
  const tSockets sockets = SocketsOf(*call);
  if (sockets.empty() || ReadBlockedCall(thread) != call) return false;
  bool ended = false;
  for (const auto& [descriptor, inode] : sockets)
    if (StillTheSame(descriptor, inode) && shutdown(descriptor, SHUT_RDWR) == 0) ended = true;
  return ended;
}
