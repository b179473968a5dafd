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

// Measured on the monotonic clock: a step of the wall clock neither cuts nor stretches it.
bool tCountingSemaphore::AcquireWithin(std::chrono::milliseconds wait) noexcept {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  const auto nanoseconds = deadline.tv_nsec + wait.count() % 1000 * 1000000;
  deadline.tv_sec += static_cast<time_t>(wait.count() / 1000 + nanoseconds / 1000000000);
  deadline.tv_nsec = nanoseconds % 1000000000;
  int waited = 0;
  while ((waited = sem_clockwait(&Handle->Semaphore, CLOCK_MONOTONIC, &deadline)) != 0 &&
         errno == EINTR) {
  }
  return waited == 0;
}
