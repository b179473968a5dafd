// A counting semaphore of the operating system: a thread waiting on it costs
// nothing until a count arrives or its time is up.
#pragma once

#include <chrono>
#include <memory>

class tCountingSemaphore {
 public:
  // Count 0. Raises std::system_error when the system refuses one.
  tCountingSemaphore();
  ~tCountingSemaphore();
  tCountingSemaphore(const tCountingSemaphore&) = delete;
  tCountingSemaphore& operator=(const tCountingSemaphore&) = delete;

  // Adds one count; up to 2^31 - 1 are kept.
  void Release() noexcept;
  // Waits for a count and takes it.
  void Acquire() noexcept;
  // The same, for that long at most; false when no count came.
  bool AcquireWithin(std::chrono::milliseconds wait) noexcept;

 private:
  struct tHandle;
  std::unique_ptr<tHandle> Handle;
};
