// POSIX-only file steps shared by the POSIX implementations of the platform layer.
#pragma once

#include <cstddef>
#include <string>

// Writes all `size` bytes to fd, repeating short writes; false on an error.
bool WriteAllToFd(int fd, const void* data, size_t size);
// Makes a rename inside `folder` durable ("" is the current folder); errors are ignored.
void SyncFolder(const std::string& folder);
