// The file steps the data files need from the system: what a path names, bounded reads, atomic
// replacement, durable copies, and the advisory lock that serialises read-modify-write steps
// across processes. One implementation per system (PosixFileIo.cpp, Win32FileIo.cpp); paths are
// UTF-8 and may use '/' on both. Failures are errno values (ENOENT for a path that is not there),
// also on Windows, so that callers report them the same way everywhere.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum class FileKind { Missing, Regular, Folder, Other };

// What a path names, following links. The identity (device and inode, or volume serial and file
// index) tells two spellings of one file apart from two files.
struct FileInfo {
    FileKind kind = FileKind::Missing;
    uint64_t volume = 0;
    uint64_t id = 0;
    uint64_t size = 0;
    int64_t mtimeNs = 0; // last change, nanoseconds since the epoch
    bool operator==(const FileInfo&) const = default;
};

// 0, or the errno of the failure (ENOENT or ENOTDIR when nothing is there); `out` describes the
// item when 0.
int StatPath(const std::string& path, FileInfo& out);
// Opens the file for reading and closes it again: 0 when that works, else the errno.
int CheckReadable(const std::string& path);

// Reads a regular file, at most `limit` bytes of it. 0, or the errno (EINVAL: not a regular
// file). `before` and `after` (when given) describe the file as opened and as left after the
// read, so that a caller can tell a file that changed while it was read. `noFollow` refuses a
// symbolic link in the last component.
int ReadFileBytes(const std::string& path, size_t limit, std::string& data, FileInfo* before,
                  FileInfo* after, bool noFollow = false);

// Temporary files are named by their writer's prefix followed by six random characters, so that
// no leftover of another writer can ever stand in their way; each is made new, never opened over
// an existing file.
//
// Removes the regular files in `folder` ("" is the current folder) whose names begin with
// `prefix`: what writers that crashed left of their temporary files. Only while holding the lock
// that every writer of those files takes, so that no temporary file still in use is among them.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix);

// Replaces `path` with `size` bytes atomically: a new file in the same folder (named `tempPrefix`
// and six random characters), flushed to the disk, then renamed over the old one, and the rename
// itself made durable. A crash leaves the old file or the new one. `ownerOnly` makes the file
// readable by its owner alone (mode 0600 on POSIX); otherwise a replaced file keeps its
// permissions. `written` (when given) describes the new file. False when the old file is left as
// it was.
bool ReplaceFileContent(const std::string& path, const std::string& tempPrefix, const void* data,
                        size_t size, bool ownerOnly, FileInfo* written = nullptr);
// Copies a file so that the copy is whole on disk, under its final name `to`, before this returns
// true. The copy is made beside `to` under a name of its own ("<to's name>.tmp" and six random
// characters) and renamed when whole; on false, nothing of it is left.
bool CopyFileDurably(const std::string& from, const std::string& to);
// Keeps a copy of `path` as `keep` (replacing an older one) without any moment in which `path`
// is missing; errors are ignored.
void KeepCopyOf(const std::string& path, const std::string& keep);
// Creates the missing folders of an absolute path (for `ownerOnly`, accessible to the owner
// alone); true when the folder exists afterwards.
bool MakeFolders(const std::string& path, bool ownerOnly);
// Whether `folder` can take a new file of `bytes` bytes now: 0, or the errno (EACCES, ENOSPC...).
// A read-only folder or a full disk shows only when a file is made there and given room; the
// probe file is named `probePrefix` and six random characters and removed again.
int CheckRoomFor(const std::string& folder, const std::string& probePrefix, uint64_t bytes);

// The folder under which a program keeps its per-user settings: $XDG_CONFIG_HOME (or
// $HOME/.config) on POSIX, %APPDATA% on Windows; empty when none is known.
std::string UserSettingsFolder();
// Whether `path` is absolute on this system.
bool IsAbsolutePath(const std::string& path);
// The text of an errno value.
std::string ErrorText(int error);

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

// An exclusive advisory lock on the file `lockPath`, held for the object's life. The lock file is
// created when missing (with `mode`, less the umask, where modes exist) and never removed:
// removing it would let a newcomer lock a new file while an old holder still works. Every writer
// of a data file takes the lock of "<file>.lock" before it reads the file and keeps it until its
// atomic rewrite is done, so two processes can no longer both read the old content and each write
// back its own change.
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
