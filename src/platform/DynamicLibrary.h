// A dynamic library loaded at run time; unloaded when the object goes.
#pragma once

#include <string>

// The file-name extension of dynamic libraries here: ".so", or ".dll" on Windows.
extern const char* const DynamicLibraryExtension;

class tDynamicLibrary {
 public:
  tDynamicLibrary() = default;
  // A name without a folder part goes through the platform's search order,
  // a name with one is loaded as it is. Empty on failure.
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
