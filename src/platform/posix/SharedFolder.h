// Log folders shared by a group of accounts.
#pragma once

#include <string>

// A log folder shared by a group (a service account's host and an operator's
// tool) must stay usable by every member, whoever writes first on a day: a
// folder or file just made in a group-writable folder is made group-writable
// too, whatever the process's umask. Elsewhere the umask's modes stand.
void ShareWithGroupLikeParent(const std::string& path);
