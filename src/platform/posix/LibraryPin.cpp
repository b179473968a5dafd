#include "platform/LibraryPin.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

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
    const bool created =
        pthread_key_create(
            &Key, reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&dlclose))) == 0;
    Created.store(created, std::memory_order_release);
  }
  tThreadEndRelease(const tThreadEndRelease&) = delete;
  tThreadEndRelease& operator=(const tThreadEndRelease&) = delete;

  // At unload. Not a destructor: the C++ runtime's exit list gets nothing of
  // this library's.
  void DeleteKey() {
    if (Created.exchange(false, std::memory_order_acq_rel)) pthread_key_delete(Key);
  }

  // False when the thread holds the library already, or the hold cannot be kept.
  bool Hold(void* library) {
    return Created.load(std::memory_order_acquire) && pthread_getspecific(Key) == nullptr &&
           pthread_setspecific(Key, library) == 0;
  }

 private:
  pthread_key_t Key{};
  // Read by threads taking a hold, written at unload after the last hold was
  // let go. The loader's own lock orders the two, but the thread checker
  // cannot see that lock.
  std::atomic<bool> Created{false};
};

tThreadEndRelease ThreadEndRelease;

// A thread holding the library keeps it from being unloaded, so by now no
// thread holds it through the key.
__attribute__((destructor)) void DeleteThreadEndKey() {
  ThreadEndRelease.DeleteKey();
}

// Sealing a mapping (Linux 6.10) makes munmap fail on it, and the loader
// ignores that failure: the library is taken off its lists but stays mapped.
#ifndef SYS_mseal
constexpr long SYS_mseal = 462;
#endif

bool SealRange(uintptr_t start, uintptr_t end) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  start &= ~(page - 1);
  end = (end + page - 1) & ~(page - 1);
  return syscall(SYS_mseal, start, end - start, 0) == 0;
}

bool Contains(const dl_phdr_info& info, uintptr_t address) {
  for (int i = 0; i < info.dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info.dlpi_phdr[i];
    const uintptr_t start = info.dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD && address >= start && address < start + segment.p_memsz)
      return true;
  }
  return false;
}

// Seals every loaded segment of the object that holds the anchor.
int SealOwnSegments(dl_phdr_info* info, size_t, void* sealed) {
  if (!Contains(*info, reinterpret_cast<uintptr_t>(&PinAnchor))) return 0;
  bool all = true;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD) all = SealRange(start, start + segment.p_memsz) && all;
  }
  *static_cast<bool*>(sealed) = all;
  return 1;
}

// A reference of its own to the loaded library that holds the address, or
// null; never loads one.
void* ReferenceLibraryAt(const void* address, int flags) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | flags);
}
}  // namespace

tLibraryHold::~tLibraryHold() {
  if (Library != nullptr) dlclose(Library);
}

tLibraryHold HoldLibrary() {
  return tLibraryHold(ReferenceLibraryAt(reinterpret_cast<const void*>(&PinAnchor), 0));
}

void KeepLoadedUntilThreadEnds(tLibraryHold hold) {
  void* library = hold.Release();
  if (library != nullptr && !ThreadEndRelease.Hold(library)) dlclose(library);
}

void KeepLoadedForTheProcess(const void* addressInLibrary) {
  // The flag stays with the library; the reference taken here is not needed.
  if (void* library = ReferenceLibraryAt(addressInLibrary, RTLD_NODELETE)) dlclose(library);
}

bool KeepMappedThroughUnload() {
  bool sealed = false;
  dl_iterate_phdr(&SealOwnSegments, &sealed);
  return sealed;
}
