#include "platform/LibraryPin.h"

#include <dlfcn.h>
#include <pthread.h>

namespace {
// An address inside this library, so dladdr reports the library, not the host.
void PinAnchor() {}

// One key per load of the library; its values are the holds of ending threads.
class tThreadEndRelease {
 public:
  tThreadEndRelease() {
    // The C library calls the destructor after the thread's function has
    // returned, so dlclose itself is the destructor: when it drops the last
    // reference and the library is unmapped, no frame of the library is left
    // to return into. The C library ignores the int it returns.
    Created =
        pthread_key_create(
            &Key, reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&dlclose))) == 0;
  }
  ~tThreadEndRelease() {
    if (Created) pthread_key_delete(Key);
  }
  tThreadEndRelease(const tThreadEndRelease&) = delete;
  tThreadEndRelease& operator=(const tThreadEndRelease&) = delete;

  // False when the thread holds the library already, or the hold cannot be kept.
  bool Hold(void* library) {
    return Created && pthread_getspecific(Key) == nullptr && pthread_setspecific(Key, library) == 0;
  }

 private:
  pthread_key_t Key{};
  bool Created = false;
};

tThreadEndRelease ThreadEndRelease;
}  // namespace

void KeepLoadedUntilThreadEnds() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PinAnchor), &info) == 0 || info.dli_fname == nullptr) return;
  void* library = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (library != nullptr && !ThreadEndRelease.Hold(library)) dlclose(library);
}
