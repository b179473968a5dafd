// Keeps this library loaded while a thread of its own runs in it, so that a
// host unloading the library without Finalize_Plugin cannot take the code
// from under that thread. The thread lets go as its very last act.
#pragma once

class tLibraryHold {
 public:
  // Taken by the thread that starts the library's thread, before it starts.
  static tLibraryHold Take();

  tLibraryHold() = default;
  tLibraryHold(tLibraryHold&& other) noexcept;
  tLibraryHold& operator=(tLibraryHold&&) = delete;
  tLibraryHold(const tLibraryHold&) = delete;
  tLibraryHold& operator=(const tLibraryHold&) = delete;
  // Lets go of a hold whose thread never ran.
  ~tLibraryHold();

  // The last call of the holding thread. On Windows it lets go and ends the
  // thread in one step, never returning into code that letting go may have
  // unmapped. Where the platform waits for the thread while unloading, there
  // is nothing to hold, and it returns.
  void EndThread();

 private:
  void* Module = nullptr;
};
