#include "platform/CountingSemaphore.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <system_error>

struct tCountingSemaphore::tHandle {
  HANDLE Semaphore = nullptr;
};

tCountingSemaphore::tCountingSemaphore() : Handle(std::make_unique<tHandle>()) {
  Handle->Semaphore = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
  if (Handle->Semaphore == nullptr)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateSemaphore");
}

tCountingSemaphore::~tCountingSemaphore() {
  CloseHandle(Handle->Semaphore);
}

void tCountingSemaphore::Release() noexcept {
  ReleaseSemaphore(Handle->Semaphore, 1, nullptr);
}

void tCountingSemaphore::Acquire() noexcept {
  WaitForSingleObject(Handle->Semaphore, INFINITE);
}

bool tCountingSemaphore::AcquireWithin(std::chrono::milliseconds wait) noexcept {
  const auto limit = std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, INFINITE - 1);
  return WaitForSingleObject(Handle->Semaphore, static_cast<DWORD>(limit)) == WAIT_OBJECT_0;
}
