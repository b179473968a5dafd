#include "platform/CountingSemaphore.h"

#include <semaphore.h>
#include <time.h>

#include <cerrno>
#include <system_error>

struct tCountingSemaphore::tHandle {
  sem_t Semaphore;
};

tCountingSemaphore::tCountingSemaphore() : Handle(std::make_unique<tHandle>()) {
  if (sem_init(&Handle->Semaphore, 0, 0) != 0)
    throw std::system_error(errno, std::generic_category(), "sem_init");
}

tCountingSemaphore::~tCountingSemaphore() {
  sem_destroy(&Handle->Semaphore);
}

void tCountingSemaphore::Release() noexcept {
  sem_post(&Handle->Semaphore);
}

// A signal delivered to the thread interrupts the wait; it goes on.
void tCountingSemaphore::Acquire() noexcept {
  while (sem_wait(&Handle->Semaphore) != 0 && errno == EINTR) {
  }
}

// The wait ends at a point of the wall clock (the monotonic wait is unknown to
// the thread sanitizer): one set back meanwhile lengthens it by as much.
bool tCountingSemaphore::AcquireFor(std::chrono::milliseconds timeout) noexcept {
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  const auto end = std::chrono::nanoseconds(deadline.tv_nsec) + timeout;
  deadline.tv_sec += static_cast<time_t>(std::chrono::floor<std::chrono::seconds>(end).count());
  deadline.tv_nsec = static_cast<long>((end % std::chrono::seconds(1)).count());
  while (sem_timedwait(&Handle->Semaphore, &deadline) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}
