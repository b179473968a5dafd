// Folder utilities.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Creates the folder and every missing parent; true when it exists afterwards.
// Otherwise reason, when given, gets the system's words for why not.
bool ForceDirectories(const std::string& path, std::string* reason = nullptr);

struct tFolderEntry {
  std::string Name;
  bool IsFolder = false;
};

// The entries of a folder, without "." and ".."; none when it cannot be read.
std::vector<tFolderEntry> ListFolder(const std::string& path);

// Deletes the file, never waiting for a process that has it open: none when
// deleted, else why not. On Windows a file another process holds open
// without sharing its deletion (a viewer) is refused, and stays. On Linux an
// open file is deleted all the same: a process reading it goes on reading
// what it holds, and the space is freed when it lets go. Telling whether it
// is open would take a lease, whose break signals this process (SIGIO ends
// a host that does not handle it), or a look into every process's files.
std::optional<std::string> DeleteFileNotInUse(const std::string& path);

// True when the folder was empty and is gone.
bool RemoveEmptyFolder(const std::string& path);
