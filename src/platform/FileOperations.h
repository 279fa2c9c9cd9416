// The file library's file operations: copy, move, move to the trash, delete permanently, rename
// and new folder, done so that an operator's mistake or a failing disk never loses a file.
//
// - A name clash is decided by the clash callback (replace, skip, keep both, cancel); without a
//   callback nothing is ever overwritten.
// - A folder is never copied or moved into itself or its own sub-folder.
// - Symbolic links are copied, moved and deleted as links, never followed.
// - Every copy is written under a hidden temporary name in the destination folder and renamed into
//   place only when whole, so a failed or cancelled copy leaves nothing under the destination name.
// - A move across file systems deletes the source only after the whole copy is in place and its
//   folder entries are on disk, and only while the source is still the item that was copied.
// - Items are told apart by their identity (device and inode), not by their paths: a folder
//   reachable under two paths (a bind mount, a linked parent) holds one item, not two.
// - A replace never deletes into a mount point inside the replaced folder.
// - A crash mid-operation leaves hidden holders (".talvorn-copy-*", ".talvorn-old-*") or a hidden
//   ".talvorn-rename-*" item in the folder; recoverLeftovers() puts back what they hold of the
//   operator's items and removes unfinished copies.
// - The trash is the desktop's (freedesktop.org): $XDG_DATA_HOME/Trash for the home volume,
//   $topdir/.Trash/$uid or $topdir/.Trash-$uid on other volumes. When an item cannot go to the
//   trash, that is reported; it is never deleted permanently instead.
//
// Paths are absolute. Nothing here throws; every outcome is in the returned FileOpReport.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class ClashAnswer { Replace, Skip, KeepBoth, Cancel };

// An item of the same name already exists where a copy or move would put one.
struct FileClash {
    std::string source;      // the item being copied or moved
    std::string destination; // the existing item
    bool sourceIsFolder = false;
    bool destinationIsFolder = false;
    bool sameItem = false; // the destination is the source itself (copied into its own folder)
};

struct FileProgress {
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    int itemsDone = 0;
    int itemsTotal = 0;
    std::string current; // the item being worked on
};

enum class FileOpStatus {
    Done,      // everything asked for was done (skipped clashes included)
    Failed,    // at least one item failed; see failures
    Cancelled, // stopped by the operator; what was finished stays finished
    Refused,   // nothing was done: a rule forbids the operation
};

enum class FileFault {
    IntoItself,       // a folder into itself or its own sub-folder, or a replace of what holds it
    NameExists,       // rename or new folder onto an existing name
    BadName,          // empty, ".", "..", or containing '/'
    Protected,        // "/" or a mount point
    NotSupported,     // a device, pipe or socket: never copied
    System,           // a system call failed; see error
    TrashUnavailable, // the item could not be moved to the trash; it is still in place
    SourceKept,       // moved across file systems: the copy is whole, the source stays (partly)
};

struct FileFailure {
    std::string path;
    FileFault fault = FileFault::System;
    int error = 0; // errno, when there is one
};

struct FileOpReport {
    FileOpStatus status = FileOpStatus::Done;
    std::vector<FileFailure> failures;
    std::vector<std::string> done;    // sources handled: copied, moved, trashed or deleted
    std::vector<std::string> created; // new paths: copies, moved items, renamed item, new folder
    int skipped = 0;                  // clashes answered with skip, moves onto themselves
    bool ok() const { return status == FileOpStatus::Done; }
};

class FileOperations {
public:
    using ClashFn = std::function<ClashAnswer(const FileClash&)>;
    // Called often during an operation; returning false cancels it.
    using ProgressFn = std::function<bool(const FileProgress&)>;
    // rename(2): 0 or an errno. `replace` false must not overwrite an existing destination.
    using RenameFn =
        std::function<int(const std::string& from, const std::string& to, bool replace)>;
    // write(2): bytes written or -1 with errno set.
    using WriteFn = std::function<long(int fd, const void* data, size_t size)>;
    // Makes a folder's entries durable (fsync of the folder): 0 or an errno.
    using SyncFn = std::function<int(const std::string& folder)>;

    void onClash(ClashFn f) { clash_ = std::move(f); }
    void onProgress(ProgressFn f) { progress_ = std::move(f); }
    // Tests inject a rename that reports EXDEV, or a write that fails part-way.
    void setRename(RenameFn f) { rename_ = std::move(f); }
    void setWrite(WriteFn f) { write_ = std::move(f); }
    void setSyncFolder(SyncFn f) { sync_ = std::move(f); }

    // Copies or moves the sources into `folder`. Stops at the first failure; the items finished
    // before it stay finished.
    FileOpReport copy(const std::vector<std::string>& sources, const std::string& folder);
    FileOpReport move(const std::vector<std::string>& sources, const std::string& folder);
    // Moves each path to the trash. Goes on past failures, so the report lists every item that
    // is still in place.
    FileOpReport moveToTrash(const std::vector<std::string>& paths);
    // Deletes each path for good (folders with all they hold, links as links). Goes on past
    // failures.
    FileOpReport removePermanently(const std::vector<std::string>& paths);
    // Gives `path` the name `newName` in the same folder; never onto an existing name.
    FileOpReport rename(const std::string& path, const std::string& newName);
    FileOpReport makeFolder(const std::string& parent, const std::string& name);

    // What an interrupted operation left in a folder, and what became of it.
    struct Leftovers {
        std::vector<std::string> restored; // items put back under their own names
        std::vector<std::string> removed;  // unfinished copies (by the name they were to get)
                                           // and replaced items whose replacement is in place
        std::vector<std::string> kept;     // hidden leftovers that could be neither put back
                                           // nor removed; they stay as they are
        bool empty() const { return restored.empty() && removed.empty() && kept.empty(); }
    };
    // Repairs what a crash (or a kill) in the middle of a copy, move, replace or rename left in
    // `folder`: an item moved aside by a replace whose replacement never arrived goes back under
    // its name, an item renamed half-way gets its new name, and unfinished copies are removed.
    // Holders that an operation still works in (in this process or another) are left alone.
    static Leftovers recoverLeftovers(const std::string& folder);

    // ---- The rules, as plain functions ----
    // The rename(2) used unless a test injects another.
    static int systemRename(const std::string& from, const std::string& to, bool replace);
    // fsync(2) of a folder, used unless a test injects another; 0 or an errno. A file system that
    // cannot sync folders counts as done.
    static int systemSyncFolder(const std::string& folder);
    // True when `to` differs from `from` in letter case alone ("a.bin" -> "A.BIN"). On a volume
    // that ignores case such a rename goes through a temporary name: renamed directly, the
    // volume finds the item under its new name already and changes nothing.
    static bool isCaseOnlyChange(const std::string& from, const std::string& to);
    // "name (n).ext" for files, "name (n)" for folders and names without an extension.
    static std::string keepBothName(const std::string& name, bool isFolder, int n);
    // True when `path` is `folder` or lies inside it (whole path components, lexically).
    static bool isSameOrInside(const std::string& folder, const std::string& path);
    // "/", a mount point (bind mounts included), or a path that is not absolute: never deleted,
    // moved or trashed.
    static bool isProtected(const std::string& path);
    // True when the folder `path` holds a mount point anywhere below it (links not followed).
    static bool holdsMountPoint(const std::string& path);
    // A name for an item in a folder: not empty, not "." or "..", no '/', no NUL, <= 255 bytes.
    static bool isValidName(const std::string& name);
    // The home trash: $XDG_DATA_HOME/Trash, or $HOME/.local/share/Trash; "" without either.
    static std::string homeTrashFolder();
    // A .trashinfo file's text for `pathField` (already relative or absolute) deleted at `when`.
    static std::string trashInfo(const std::string& pathField, std::time_t when);
    // Percent-encodes a path for a .trashinfo file ('/' and unreserved characters kept).
    static std::string encodeTrashPath(const std::string& path);
    // Absolute, lexically normal, without a trailing '/'; "" when `path` is not absolute.
    static std::string normalPath(const std::string& path);

private:
    struct Run;
    FileOpReport transfer(const std::vector<std::string>& sources, const std::string& folder,
                          bool moving);

    ClashFn clash_;
    ProgressFn progress_;
    RenameFn rename_;
    WriteFn write_;
    SyncFn sync_;
};

// Runs one file operation on a thread of its own, so that the windows stay live while it runs.
// The window polls it: progress, a pending clash question it answers, the report at the end.
class FileJob {
public:
    using Work = std::function<FileOpReport(FileOperations&)>;

    // Starts `work` at once with a FileOperations whose clash and progress callbacks go through
    // this job (`work` may still inject a rename or write).
    explicit FileJob(Work work);
    // Cancels, answers a pending question with Cancel, and waits for the thread.
    ~FileJob();
    FileJob(const FileJob&) = delete;
    FileJob& operator=(const FileJob&) = delete;

    void cancel();
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    FileProgress progress() const;
    // True while the operation waits for an answer to `clash`.
    bool pendingClash(FileClash& clash) const;
    void answerClash(ClashAnswer answer);
    // The outcome; valid once finished() is true.
    const FileOpReport& report() const { return report_; }

private:
    ClashAnswer ask(const FileClash& clash);
    bool progressed(const FileProgress& progress);

    mutable std::mutex mutex_;
    std::condition_variable answered_;
    bool cancelled_ = false;
    bool asking_ = false;
    bool hasAnswer_ = false;
    ClashAnswer answer_ = ClashAnswer::Cancel;
    FileClash clash_;
    FileProgress progress_;
    FileOpReport report_; // written by the thread before finished_ is released
    std::atomic<bool> finished_{false};
    std::thread thread_; // last: starts once everything above exists
};
