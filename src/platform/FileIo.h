// Small POSIX file steps shared by the writers that replace files atomically, and the advisory
// lock that serialises their read-modify-write steps across processes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Writes all `size` bytes to fd, repeating short writes; false on an error.
bool WriteAllToFd(int fd, const void* data, size_t size);
// Makes a rename inside `folder` durable ("" is the current folder); errors are ignored.
void SyncFolder(const std::string& folder);

// A new file in `folder` ("" is the current folder) named `prefix` followed by six random
// characters (mkstemp), so that no leftover of another writer can ever stand in its way; mode
// `mode` less the umask. Returns the descriptor (write access, close-on-exec) and sets `path`, or
// -1 with errno set.
int CreateTemporaryFile(const std::string& folder, const std::string& prefix, unsigned mode,
                        std::string* path);
// Removes the regular files in `folder` whose names begin with `prefix`: what writers that
// crashed left of their temporary files. Only while holding the lock that every writer of those
// files takes, so that no temporary file still in use is among them.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix);

// A wait for a lock that another holder has.
struct FileLockWait {
    std::string lockPath;
    std::chrono::milliseconds waited{0}; // so far
    bool over = false; // the wait has ended: the lock is held now, or the wait was given up
};
// Told about every wait for a lock, on the waiting thread: before each slice of the wait (every
// kFileLockWaitSlice, the first at once), and once more with `over` when a wait it was told about
// ends. Returning false (to a call without `over`) gives the wait up: the lock is then not held and
// its error() is EINTR. A program installs one so that an operator can see a wait and end it
// (talvorn-cli: Ctrl-C; the station: a "waiting" notice with Cancel).
using FileLockWaitHook = std::function<bool(const FileLockWait&)>;
constexpr std::chrono::milliseconds kFileLockWaitSlice{50};
// The process's hook (empty: waits go on until the lock comes). Returns the one it replaces.
FileLockWaitHook SetFileLockWaitHook(FileLockWaitHook hook);

// An exclusive advisory lock (flock) on the file `lockPath`, held for the object's life. The lock
// file is created when missing (with `mode`, less the umask) and never removed: removing it would
// let a newcomer lock a new file while an old holder still works. Every writer of a data file takes
// the lock of "<file>.lock" before it reads the file and keeps it until its atomic rewrite is done,
// so two processes can no longer both read the old content and each write back its own change.
//
// Within a process the lock is re-entrant for the thread that holds it (the steps of one change may
// take it again) and other threads wait for it; it is keyed by the lock file's identity, so two
// spellings of one path are one lock. Not held when the lock file cannot be opened or the wait was
// given up (error() tells why); a caller must then not write. A lock that is taken is waited for
// in slices, never in one blocking call, so the wait hook can end it.
class FileLock {
public:
    explicit FileLock(const std::string& lockPath, unsigned mode = 0666);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }
    int error() const { return error_; } // errno of the failed open or lock; 0 when held

private:
    bool held_ = false;
    int error_ = 0;
    uint64_t dev_ = 0;
    uint64_t ino_ = 0;
};
