// Keeping this library loaded while one of its threads still has to leave it.
#pragma once

// A reference that keeps this library loaded while it lives. Taken by a thread
// already running in the library and handed to a thread it starts, it covers
// the new thread from its first instruction, before the host could unload.
class tLibraryHold {
 public:
  tLibraryHold() = default;
  explicit tLibraryHold(void* library) : Library(library) {}
  tLibraryHold(tLibraryHold&& other) noexcept : Library(other.Release()) {}
  tLibraryHold& operator=(tLibraryHold&&) = delete;
  tLibraryHold(const tLibraryHold&) = delete;
  tLibraryHold& operator=(const tLibraryHold&) = delete;
  ~tLibraryHold();

  void* Release() {
    void* library = Library;
    Library = nullptr;
    return library;
  }

 private:
  void* Library = nullptr;
};

tLibraryHold HoldLibrary();

// Keeps the hold until the calling thread has ended; it is let go after the
// thread's function has returned, so the library may then be unloaded without
// the thread returning into it. Also for a thread that is stopped from inside
// a call it makes into the host, so that the host may unload the library
// before that call returns.
void KeepLoadedUntilThreadEnds(tLibraryHold hold);

// For a thread inside a call into the host when the host unloads the library
// from inside that call without stopping it first: the unload goes on, but the
// library's memory stays mapped for the rest of the process, so the thread can
// still return through it. False where the platform cannot keep it (Linux before 6.10, 32-bit).
bool KeepMappedThroughUnload();

// Keeps the library that holds the address loaded until the process ends: for
// a library that a thread left behind may still be inside of.
void KeepLoadedForTheProcess(const void* addressInLibrary);
