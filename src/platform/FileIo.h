// The file steps the data files need from the system: what a path names, bounded reads, atomic
// replacement, durable copies, and the advisory lock that serialises read-modify-write steps
// across processes. One implementation per system (PosixFileIo.cpp, Win32FileIo.cpp); paths are
// UTF-8 and may use '/' on both. Failures are errno values (ENOENT for a path that is not there),
// also on Windows, so that callers report them the same way everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Replaces `path` with `size` bytes atomically: a new file in the same folder, flushed to the
// disk, then renamed over the old one, and the rename itself made durable. A crash leaves the old
// file or the new one. `ownerOnly` makes the file readable by its owner alone (mode 0600 on
// POSIX); otherwise a replaced file keeps its permissions. `written` (when given) describes the
// new file. False when the old file is left as it was.
bool ReplaceFileContent(const std::string& path, const void* data, size_t size, bool ownerOnly,
                        FileInfo* written = nullptr);
// Copies a file so that the copy is whole on disk before it bears its final name `to`.
bool CopyFileDurably(const std::string& from, const std::string& to);
// Keeps a copy of `path` as `keep` (replacing an older one) without any moment in which `path`
// is missing; errors are ignored.
void KeepCopyOf(const std::string& path, const std::string& keep);
// Creates the missing folders of an absolute path (for `ownerOnly`, accessible to the owner
// alone); true when the folder exists afterwards.
bool MakeFolders(const std::string& path, bool ownerOnly);
// Whether `folder` can take a new file of `bytes` bytes now: 0, or the errno (EACCES, ENOSPC...).
// A read-only folder or a full disk shows only when a file is made there and given room.
int CheckRoomFor(const std::string& folder, uint64_t bytes);

// The folder under which a program keeps its per-user settings: $XDG_CONFIG_HOME (or
// $HOME/.config) on POSIX, %APPDATA% on Windows; empty when none is known.
std::string UserSettingsFolder();
// Whether `path` is absolute on this system.
bool IsAbsolutePath(const std::string& path);
// The text of an errno value.
std::string ErrorText(int error);

// An exclusive advisory lock on the file `lockPath`, held for the object's life. The lock file is
// created when missing (with `mode`, less the umask, where modes exist) and never removed:
// removing it would let a newcomer lock a new file while an old holder still works. Every writer
// of a data file takes the lock of "<file>.lock" before it reads the file and keeps it until its
// atomic rewrite is done, so two processes can no longer both read the old content and each write
// back its own change.
//
// Within a process the lock is re-entrant for the thread that holds it (the steps of one change may
// take it again) and other threads wait for it; it is keyed by the lock file's identity, so two
// spellings of one path are one lock. Not held when the lock file cannot be opened (error() tells
// why); a caller must then not write.
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
