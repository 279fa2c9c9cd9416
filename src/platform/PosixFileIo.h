// POSIX-only file steps shared by the POSIX implementations of the platform layer.
#pragma once

#include <cstddef>
#include <string>

// Writes all `size` bytes to fd, repeating short writes; false on an error.
bool WriteAllToFd(int fd, const void* data, size_t size);
// Makes a rename inside `folder` durable ("" is the current folder); errors are ignored.
void SyncFolder(const std::string& folder);
// A new file in `folder` ("" is the current folder) named `prefix` followed by six random
// characters (mkstemp); mode `mode` less the umask. Returns the descriptor (write access,
// close-on-exec) and sets `path`, or -1 with errno set.
int CreateTemporaryFile(const std::string& folder, const std::string& prefix, unsigned mode,
                        std::string* path);
