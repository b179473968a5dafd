// A dynamic library loaded at run time; unloaded when the object goes.
#pragma once

#include <string>

// The file-name extension of dynamic libraries here: ".so", or ".dll" on Windows.
extern const char* const DynamicLibraryExtension;

// The folder of the system's own libraries, with its trailing delimiter
// (Windows: System32); empty where libraries are found by name through the
// loader's own search instead.
std::string SystemLibraryFolder();

class tDynamicLibrary {
 public:
  tDynamicLibrary() = default;
  // A name with a folder part is loaded as it is. On Windows, the libraries it
  // needs in turn are looked for beside it and in the system folder alone,
  // where the system can restrict the search so; a name without a folder part
  // is taken from the system folder alone, never from the current folder or
  // PATH. Elsewhere a name without a folder part goes through the loader's
  // search, which never looks in the current folder. Empty on failure.
  static tDynamicLibrary Load(const std::string& name);
  // The same; on failure Failure gets the system's own reason (not found, not
  // a valid image, built for another architecture, ...).
  static tDynamicLibrary Load(const std::string& name, std::string& Failure);

  ~tDynamicLibrary();
  tDynamicLibrary(tDynamicLibrary&& other) noexcept;
  tDynamicLibrary& operator=(tDynamicLibrary&& other) noexcept;
  tDynamicLibrary(const tDynamicLibrary&) = delete;
  tDynamicLibrary& operator=(const tDynamicLibrary&) = delete;

  bool IsLoaded() const { return Handle != nullptr; }
  // The full path of the file loaded, for the log (PathText); empty when nothing is.
  std::string FilePath() const;
  // The address of an exported symbol; null when missing or nothing is loaded.
  void* Symbol(const std::string& name) const;
  void Unload();
  // Lets go of the handle without unloading: for a library whose code faulted,
  // which may still hold threads or state that its unloading would trip over.
  void KeepLoaded();

 private:
  explicit tDynamicLibrary(void* handle) : Handle(handle) {}
  void* Handle = nullptr;
};
