// What both systems' FileLocks share (PosixFileIo.cpp, Win32FileIo.cpp): one wait as the
// process's wait hook is told about it (the hook is set through SetFileLockWaitHook), and the
// table of the locks this process holds.
#pragma once

#include "platform/FileIo.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

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

// The file locks this process holds, by the lock file's identity (volume, file id). A system's
// lock belongs to an open file (a description, a handle), so a second open of the same lock file
// in this process would wait for itself: threads of this process queue here instead, and a
// thread that holds a lock takes it again by depth.
class HeldFileLocks {
public:
    using Key = std::pair<uint64_t, uint64_t>;
    enum class Entry {
        Reserved,    // for the calling thread with `handle`: now take the system's lock
        HeldAlready, // by the calling thread, one level deeper: `handle` is not needed
        GivenUp,     // the wait for another thread was given up through the hook
    };

    // Waits, in slices told to `wait` (made on the first one), while another thread of this
    // process holds `key`.
    static Entry enter(const Key& key, intptr_t handle, const std::string& lockPath,
                       std::optional<FileLockWaiting>& wait);
    // The system's lock could not be taken after all: the reservation goes.
    static void abandon(const Key& key);
    // One level less; at the last, `release` gets the handle (under the table's lock, so that
    // no other thread of this process opens the file again before it is let go).
    static void leave(const Key& key, const std::function<void(intptr_t)>& release);
};
