// One wait for a FileLock, as both systems' locks tell the process's wait hook about it. Shared by
// PosixFileIo.cpp and Win32FileIo.cpp; the hook itself is set through SetFileLockWaitHook.
#pragma once

#include "platform/FileIo.h"

#include <chrono>
#include <string>

// Made when a lock turns out to be taken: tells the hook, slice by slice, and once more when the
// wait is over (at destruction, if the hook was told anything).
class FileLockWaiting {
public:
    explicit FileLockWaiting(const std::string& lockPath);
    ~FileLockWaiting();
    FileLockWaiting(const FileLockWaiting&) = delete;
    FileLockWaiting& operator=(const FileLockWaiting&) = delete;

    // Before a slice: false when the wait is given up.
    bool goOn();

private:
    FileLockWaitHook hook_;
    std::chrono::steady_clock::time_point start_;
    FileLockWait state_;
    bool told_ = false;
};
