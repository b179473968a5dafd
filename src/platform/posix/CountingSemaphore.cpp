#include "platform/CountingSemaphore.h"

#include <semaphore.h>

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
