// Where the libraries the plugin loads at run time (the database client, the
// log client) are taken from: beside the plugin, beside the host program,
// then the system's own libraries. Never the current folder or a folder on
// PATH, where anyone may put a library that would then run inside the host.
#pragma once

#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"

// The folders in that order, each once, each with its trailing delimiter; the
// system's may be empty (see SystemLibraryFolder).
std::vector<std::string> LibraryFolders();

// "A, B or C", the system's as "the system's library search" when empty.
std::string FolderList(const std::vector<std::string>& Folders);

// The library of that file name from the first folder that has a loadable
// copy. When none has, Failure gets "<name>: <the first folder's reason>",
// followed by the other folders' reasons where they differ.
tDynamicLibrary LoadFromFolders(const std::vector<std::string>& Folders, const std::string& Name,
                                std::string& Failure);
