#include "platform/FileOperations.h"

#include "platform/PosixFileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 1 << 20;
// Hidden folders in the destination folder: a copy is built inside ".talvorn-copy-*" and renamed
// out of it when whole; a replaced item waits in ".talvorn-old-*" until the new one is in place.
constexpr const char* kCopyHolder = ".talvorn-copy-XXXXXX";
constexpr const char* kOldHolder = ".talvorn-old-XXXXXX";
constexpr const char* kCopyPrefix = ".talvorn-copy-";
constexpr const char* kOldPrefix = ".talvorn-old-";
// A case-only rename passes through ".talvorn-rename-<new name>" (a name too long for that
// through ".talvorn-renaming-*", which no recovery touches).
constexpr const char* kRenamePrefix = ".talvorn-rename-";
constexpr const char* kRenamingPrefix = ".talvorn-renaming-";
constexpr int kMaxKeepBoth = 10000;

std::string join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string baseName(const std::string& p) {
    return p.substr(p.rfind('/') + 1);
}

std::string parentOf(const std::string& p) {
    const size_t i = p.rfind('/');
    return i == 0 || i == std::string::npos ? "/" : p.substr(0, i);
}

bool exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Both paths name one item (one device, one inode), links not followed. Paths cannot tell: a
// bind mount or a linked parent shows one folder under two.
bool sameInode(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sameIdentity(sa, sb);
}

std::string realPath(const std::string& p) {
    char* r = ::realpath(p.c_str(), nullptr);
    if (!r)
        return {};
    std::string s(r);
    std::free(r);
    return s;
}

// The item's own real path: its folder resolved, the item itself not followed (a link stays the
// link).
std::string realItem(const std::string& p) {
    if (p == "/")
        return p;
    const std::string folder = realPath(parentOf(p));
    return folder.empty() ? p : join(folder, baseName(p));
}

// The folders above `item` (its resolved path) include the folder `folder` itself, by identity.
bool holdsByIdentity(const std::string& folder, const std::string& item) {
    struct stat f;
    if (::lstat(folder.c_str(), &f) != 0 || !S_ISDIR(f.st_mode))
        return false;
    std::string cur = realItem(item);
    for (;;) {
        struct stat c;
        if (::lstat(cur.c_str(), &c) == 0 && sameIdentity(c, f))
            return true;
        if (cur == "/")
            return false;
        cur = parentOf(cur);
    }
}

// An exclusive lock on a holder folder for as long as an operation works in it, so that a
// recovery (in this process or another) leaves the holder alone. A crash releases it.
class HolderLock {
public:
    explicit HolderLock(const std::string& holder)
        : fd_(::open(holder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~HolderLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    HolderLock(const HolderLock&) = delete;
    HolderLock& operator=(const HolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// Renames an item; a folder that its owner cannot write (a copy of a read-only share, say)
// cannot change its parent, so it is made writable for the rename and given its mode back after.
template <typename Rename>
int renameItem(Rename&& doRename, const std::string& from, const std::string& to, bool replace) {
    int r = doRename(from, to, replace);
    struct stat st;
    if ((r != EACCES && r != EPERM) || ::lstat(from.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid() || (st.st_mode & S_IWUSR))
        return r;
    if (::chmod(from.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
        return r;
    r = doRename(from, to, replace);
    ::chmod((r == 0 ? to : from).c_str(), st.st_mode & 07777);
    return r;
}

std::string makeHolder(const std::string& folder, const char* pattern, int& error) {
    std::string tmpl = join(folder, pattern);
    if (!::mkdtemp(tmpl.data())) {
        error = errno;
        return {};
    }
    error = 0;
    return tmpl;
}

// Removes a temporary tree without asking or reporting: what it removes was made by us. A mount
// point inside is never entered: what it holds is not ours.
void removeQuietly(const std::string& p) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(p.c_str());
        return;
    }
    if (FileOperations::isProtected(p))
        return;
    ::chmod(p.c_str(), 0700); // a copied read-only folder must be emptied too
    if (DIR* d = ::opendir(p.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                removeQuietly(join(p, n));
        }
        ::closedir(d);
    }
    ::rmdir(p.c_str());
}

// Creates `dir` and the folders above it that are missing (mode 0700, as the trash wants).
int makeFolders(const std::string& dir) {
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (dir != "/") {
        const int e = makeFolders(parentOf(dir));
        if (e)
            return e;
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// A trash folder with its "files" and "info" folders, made when missing. A trash on another
// volume must be a real folder of ours, not a link someone planted.
int makeTrash(const std::string& dir, bool home) {
    struct stat st;
    if (home) {
        if (const int e = makeFolders(dir))
            return e;
    } else if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return errno;
    }
    if (::lstat(dir.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (!home && st.st_uid != ::getuid())
        return EPERM;
    for (const char* sub : {"files", "info"}) {
        const std::string p = join(dir, sub);
        if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (::lstat(p.c_str(), &st) != 0)
            return errno;
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
    }
    return 0;
}

// The top folder of the volume that holds `realFolder` (a resolved folder on device `dev`).
std::string mountTop(std::string cur, dev_t dev) {
    while (cur != "/") {
        struct stat st;
        const std::string up = parentOf(cur);
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != dev)
            return cur;
        cur = up;
    }
    return cur;
}

struct TrashPlace {
    std::string dir;
    std::string top; // "" for the home trash
    int error = 0;
};

TrashPlace trashFor(const std::string& p, dev_t dev) {
    const std::string home = FileOperations::homeTrashFolder();
    if (!home.empty()) {
        // The device the home trash is on, or would be on once made.
        std::string probe = home;
        struct stat hs;
        while (::stat(probe.c_str(), &hs) != 0 && probe != "/")
            probe = parentOf(probe);
        if (hs.st_dev == dev)
            return {home, "", makeTrash(home, true)};
    }
    const std::string folder = realPath(parentOf(p));
    if (folder.empty())
        return {"", "", errno};
    const std::string top = mountTop(folder, dev);
    const std::string uid = std::to_string(::getuid());
    // An administrator's $topdir/.Trash (sticky, not a link) holds one folder per user.
    struct stat ss;
    const std::string shared = join(top, ".Trash");
    if (::lstat(shared.c_str(), &ss) == 0 && S_ISDIR(ss.st_mode) && (ss.st_mode & S_ISVTX)) {
        const std::string mine = join(shared, uid);
        if (makeTrash(mine, false) == 0)
            return {mine, top, 0};
    }
    const std::string own = join(top, ".Trash-" + uid);
    return {own, top, makeTrash(own, false)};
}

} // namespace

// ---- One operation's state ----

enum class Step { Ok, Skipped, Failed, Cancelled };

struct FileOperations::Run {
    FileOperations& ops;
    FileOpReport report;
    FileProgress progress;
    bool cancelled = false;
    std::vector<char> buffer;
    // A move: its copies must be on disk, folder entries included, before a source goes.
    bool durable = false;

    // Where the item goes, and whether it replaces what is there.
    struct Target {
        std::string path;
        bool replace = false;
    };

    bool tick() {
        if (!cancelled && ops.progress_ && !ops.progress_(progress))
            cancelled = true;
        return !cancelled;
    }
    int doRename(const std::string& from, const std::string& to, bool replace) {
        return ops.rename_ ? ops.rename_(from, to, replace) : systemRename(from, to, replace);
    }
    long doWrite(int fd, const void* data, size_t size) {
        return ops.write_ ? ops.write_(fd, data, size) : ::write(fd, data, size);
    }
    int doSync(const std::string& folder) {
        return ops.sync_ ? ops.sync_(folder) : systemSyncFolder(folder);
    }
    int moveItem(const std::string& from, const std::string& to, bool replace) {
        return renameItem([this](const std::string& a, const std::string& b,
                                 bool r) { return doRename(a, b, r); },
                          from, to, replace);
    }
    void fail(const std::string& path, FileFault fault, int error) {
        report.failures.push_back({path, fault, error});
    }
    FileOpReport refuse(const std::string& path, FileFault fault, int error = 0) {
        fail(path, fault, error);
        report.status = FileOpStatus::Refused;
        return report;
    }
    FileOpReport finish() {
        if (cancelled)
            report.status = FileOpStatus::Cancelled;
        else if (!report.failures.empty())
            report.status = FileOpStatus::Failed;
        return report;
    }

    // Counts what `p` holds, links not followed; false when cancelled.
    bool scan(const std::string& p, uint64_t& bytes, int& items) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0)
            return true;
        ++items;
        if (S_ISREG(st.st_mode))
            bytes += static_cast<uint64_t>(st.st_size);
        if (!S_ISDIR(st.st_mode))
            return true;
        if ((items & 255) == 0 && !tick())
            return false;
        DIR* d = ::opendir(p.c_str());
        if (!d)
            return true;
        bool go = true;
        while (go) {
            dirent* e = ::readdir(d);
            if (!e)
                break;
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                go = scan(join(p, n), bytes, items);
        }
        ::closedir(d);
        return go;
    }

    // Copies a regular file's bytes into `out`, then its permissions and times, and makes it
    // durable: a move deletes the source right after.
    Step copyBytes(const std::string& src, int out) {
        // O_NONBLOCK: a pipe swapped in after the check must not hang the copy.
        const int in = ::open(src.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (in < 0) {
            fail(src, FileFault::System, errno);
            return Step::Failed;
        }
        struct stat st;
        if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(in);
            fail(src, FileFault::NotSupported, 0);
            return Step::Failed;
        }
        ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
        if (buffer.empty())
            buffer.resize(kChunk);
        Step result = Step::Ok;
        for (;;) {
            const ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                fail(src, FileFault::System, errno);
                result = Step::Failed;
                break;
            }
            if (n == 0)
                break;
            size_t done = 0;
            while (done < static_cast<size_t>(n)) {
                const long w = doWrite(out, buffer.data() + done, static_cast<size_t>(n) - done);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    fail(src, FileFault::System, w < 0 ? errno : EIO);
                    result = Step::Failed;
                    break;
                }
                done += static_cast<size_t>(w);
            }
            if (result != Step::Ok)
                break;
            progress.bytesDone += static_cast<uint64_t>(n);
            if (!tick()) {
                result = Step::Cancelled;
                break;
            }
        }
        ::close(in);
        if (result != Step::Ok)
            return result;
        ::fchmod(out, st.st_mode & 0777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (::fsync(out) != 0) {
            fail(src, FileFault::System, errno);
            return Step::Failed;
        }
        return Step::Ok;
    }

    // Makes `dst` (which does not exist yet) a copy of `src`: folders with all they hold, links as
    // links, regular files with their bytes. Anything else is refused. With `topMode`, a folder
    // `src` leaves its permissions to the caller (there, -1 otherwise).
    Step copyInto(const std::string& src, const std::string& dst, int* topMode = nullptr) {
        struct stat st;
        if (::lstat(src.c_str(), &st) != 0) {
            fail(src, FileFault::System, errno);
            return Step::Failed;
        }
        progress.current = src;
        if (S_ISLNK(st.st_mode)) {
            std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
            const ssize_t n = ::readlink(src.c_str(), target.data(), target.size());
            if (n < 0 || static_cast<size_t>(n) >= target.size()) {
                fail(src, FileFault::System, n < 0 ? errno : ENAMETOOLONG);
                return Step::Failed;
            }
            target.resize(static_cast<size_t>(n));
            if (::symlink(target.c_str(), dst.c_str()) != 0) {
                fail(src, FileFault::System, errno);
                return Step::Failed;
            }
        } else if (S_ISREG(st.st_mode)) {
            const int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (out < 0) {
                fail(src, FileFault::System, errno);
                return Step::Failed;
            }
            Step s = copyBytes(src, out);
            if (::close(out) != 0 && s == Step::Ok) {
                fail(src, FileFault::System, errno);
                s = Step::Failed;
            }
            if (s != Step::Ok)
                return s;
        } else if (S_ISDIR(st.st_mode)) {
            if (::mkdir(dst.c_str(), 0700) != 0) {
                fail(src, FileFault::System, errno);
                return Step::Failed;
            }
            DIR* d = ::opendir(src.c_str());
            if (!d) {
                fail(src, FileFault::System, errno);
                return Step::Failed;
            }
            Step s = Step::Ok;
            while (s == Step::Ok) {
                errno = 0;
                dirent* e = ::readdir(d);
                if (!e) {
                    if (errno) {
                        fail(src, FileFault::System, errno);
                        s = Step::Failed;
                    }
                    break;
                }
                const std::string n = e->d_name;
                if (n != "." && n != "..")
                    s = copyInto(join(src, n), join(dst, n));
            }
            ::closedir(d);
            if (s != Step::Ok)
                return s;
            if (durable) {
                if (const int e = doSync(dst)) {
                    fail(src, FileFault::System, e);
                    return Step::Failed;
                }
            }
            // Permissions last, so that a read-only folder could be filled first; the top
            // folder's once it has left its holder, since a folder that its owner cannot write
            // cannot change its parent.
            if (topMode)
                *topMode = static_cast<int>(st.st_mode & 0777);
            else
                ::chmod(dst.c_str(), st.st_mode & 0777);
        } else {
            fail(src, FileFault::NotSupported, 0);
            return Step::Failed;
        }
        ++progress.itemsDone;
        return tick() ? Step::Ok : Step::Cancelled;
    }

    // Deletes `p` for good, links as links; a mount point inside is not entered. A removal that
    // finishes a completed move is not cancellable: the copy is already in place.
    Step removeTree(const std::string& p, bool cancellable) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0) {
            fail(p, FileFault::System, errno);
            return Step::Failed;
        }
        progress.current = p;
        if (S_ISDIR(st.st_mode)) {
            if (isProtected(p)) {
                fail(p, FileFault::Protected, 0);
                return Step::Failed;
            }
            DIR* d = ::opendir(p.c_str());
            if (!d) {
                fail(p, FileFault::System, errno);
                return Step::Failed;
            }
            Step s = Step::Ok;
            while (s == Step::Ok) {
                dirent* e = ::readdir(d);
                if (!e)
                    break;
                const std::string n = e->d_name;
                if (n != "." && n != "..")
                    s = removeTree(join(p, n), cancellable);
            }
            ::closedir(d);
            if (s != Step::Ok)
                return s;
            if (::rmdir(p.c_str()) != 0) {
                fail(p, FileFault::System, errno);
                return Step::Failed;
            }
        } else if (::unlink(p.c_str()) != 0) {
            fail(p, FileFault::System, errno);
            return Step::Failed;
        }
        ++progress.itemsDone;
        if (!cancellable)
            return Step::Ok;
        return tick() ? Step::Ok : Step::Cancelled;
    }

    // The first free "name (n)" in `folder`; "" when none is.
    std::string freeName(const std::string& folder, const std::string& name, bool isFolder) {
        for (int n = 2; n < kMaxKeepBoth; ++n) {
            const std::string p = join(folder, keepBothName(name, isFolder, n));
            if (!exists(p))
                return p;
        }
        return {};
    }

    // Asks what to do when `t.path` is taken; Ok means go on with `t` as changed.
    Step decide(const std::string& src, bool srcIsFolder, Target& t) {
        struct stat dst;
        if (::lstat(t.path.c_str(), &dst) != 0) {
            t.replace = false;
            return Step::Ok;
        }
        FileClash c;
        c.source = src;
        c.destination = t.path;
        c.sourceIsFolder = srcIsFolder;
        c.destinationIsFolder = S_ISDIR(dst.st_mode);
        c.sameItem = realItem(src) == realItem(t.path) || sameInode(src, t.path);
        const ClashAnswer a = ops.clash_ ? ops.clash_(c) : ClashAnswer::Skip;
        switch (a) {
        case ClashAnswer::Cancel:
            cancelled = true;
            return Step::Cancelled;
        case ClashAnswer::Skip:
            ++report.skipped;
            return Step::Skipped;
        case ClashAnswer::KeepBoth:
            t.path = freeName(parentOf(t.path), baseName(src), srcIsFolder);
            t.replace = false;
            if (t.path.empty()) {
                fail(src, FileFault::NameExists, EEXIST);
                return Step::Failed;
            }
            return Step::Ok;
        case ClashAnswer::Replace:
            // Replacing an item with itself would only lose it.
            if (c.sameItem) {
                ++report.skipped;
                return Step::Skipped;
            }
            // Nor may the replaced item hold the source.
            if (isSameOrInside(realItem(t.path), realItem(src)) || holdsByIdentity(t.path, src)) {
                fail(t.path, FileFault::IntoItself, 0);
                return Step::Failed;
            }
            // A replaced folder is deleted as the permanent delete would: never into a mount.
            if (c.destinationIsFolder && (isProtected(t.path) || holdsMountPoint(t.path))) {
                fail(t.path, FileFault::Protected, 0);
                return Step::Failed;
            }
            t.replace = true;
            return Step::Ok;
        }
        return Step::Failed;
    }

    // Puts `from` where `to` is, replacing it. A folder on either side cannot be replaced by one
    // rename, so the old item is first moved aside in the same folder and deleted only after the
    // new one is in place; if that fails, the old one goes back.
    int replaceWith(const std::string& from, const std::string& to) {
        struct stat a, b;
        if (::lstat(from.c_str(), &a) != 0)
            return errno;
        if (::lstat(to.c_str(), &b) != 0)
            return doRename(from, to, false);
        if (!S_ISDIR(a.st_mode) && !S_ISDIR(b.st_mode))
            return doRename(from, to, true);
        int e = 0;
        const std::string holder = makeHolder(parentOf(to), kOldHolder, e);
        if (holder.empty())
            return e;
        const HolderLock lock(holder);
        const std::string aside = join(holder, baseName(to));
        if ((e = moveItem(to, aside, false)) != 0) {
            ::rmdir(holder.c_str());
            return e;
        }
        if ((e = moveItem(from, to, false)) != 0) {
            moveItem(aside, to, false);
            ::rmdir(holder.c_str());
            return e;
        }
        removeQuietly(holder);
        return 0;
    }

    // Renames the finished copy `temp` into place, asking again if the name was taken meanwhile.
    Step place(const std::string& src, bool srcIsFolder, const std::string& temp, Target& t) {
        for (;;) {
            const int r = t.replace ? replaceWith(temp, t.path) : moveItem(temp, t.path, false);
            if (r == 0)
                return Step::Ok;
            if (r != EEXIST || t.replace) {
                fail(src, FileFault::System, r);
                return Step::Failed;
            }
            const Step d = decide(src, srcIsFolder, t);
            if (d != Step::Ok)
                return d;
        }
    }

    // Copies `src` under a temporary name beside the target, then renames it into place.
    Step copyTo(const std::string& src, bool srcIsFolder, Target& t) {
        int e = 0;
        const std::string holder = makeHolder(parentOf(t.path), kCopyHolder, e);
        if (holder.empty()) {
            fail(src, FileFault::System, e);
            return Step::Failed;
        }
        const HolderLock lock(holder);
        const std::string temp = join(holder, baseName(t.path));
        int folderMode = -1;
        Step s = copyInto(src, temp, &folderMode);
        if (s == Step::Ok && durable && (e = doSync(holder)) != 0) {
            fail(src, FileFault::System, e);
            s = Step::Failed;
        }
        if (s == Step::Ok)
            s = place(src, srcIsFolder, temp, t);
        if (s == Step::Ok && folderMode >= 0)
            ::chmod(t.path.c_str(), static_cast<mode_t>(folderMode));
        removeQuietly(holder); // empty after a good place; the partial copy otherwise
        // The copy's own name in its folder, on disk before a move deletes the source.
        if (s == Step::Ok && durable && (e = doSync(parentOf(t.path))) != 0) {
            fail(src, FileFault::SourceKept, e);
            report.created.push_back(t.path);
            s = Step::Failed;
        }
        return s;
    }

    Step moveTo(const std::string& src, bool srcIsFolder, Target& t) {
        for (;;) {
            const int r = t.replace ? replaceWith(src, t.path) : moveItem(src, t.path, false);
            if (r == 0)
                return Step::Ok;
            if (r == EXDEV)
                return moveAcross(src, srcIsFolder, t);
            if (r == EEXIST && !t.replace) {
                const Step d = decide(src, srcIsFolder, t);
                if (d != Step::Ok)
                    return d;
                continue;
            }
            fail(src, FileFault::System, r);
            return Step::Failed;
        }
    }

    // Another file system: copy the whole item, and only then delete the source.
    Step moveAcross(const std::string& src, bool srcIsFolder, Target& t) {
        struct stat before, now;
        if (::lstat(src.c_str(), &before) != 0) {
            fail(src, FileFault::System, errno);
            return Step::Failed;
        }
        durable = true;
        const Step s = copyTo(src, srcIsFolder, t);
        durable = false;
        if (s != Step::Ok)
            return s;
        // The source goes only while it is still the item that was copied: saved anew meanwhile,
        // or reached through the destination under another path, it is not ours to delete.
        if (::lstat(src.c_str(), &now) != 0 || !sameIdentity(before, now) ||
            sameInode(src, t.path)) {
            fail(src, FileFault::SourceKept, 0);
            report.created.push_back(t.path);
            return Step::Failed;
        }
        if (removeTree(src, false) != Step::Ok) {
            report.failures.back().fault = FileFault::SourceKept;
            report.created.push_back(t.path);
            return Step::Failed;
        }
        return Step::Ok;
    }

    Step transferOne(const std::string& src, const std::string& folder, bool moving) {
        struct stat st;
        if (::lstat(src.c_str(), &st) != 0) {
            fail(src, FileFault::System, errno);
            return Step::Failed;
        }
        const bool srcIsFolder = S_ISDIR(st.st_mode);
        Target t{join(folder, baseName(src)), false};
        progress.current = src;
        if (moving && (realItem(src) == realItem(t.path) || sameInode(src, t.path))) {
            ++report.skipped; // already where it should go
            return Step::Skipped;
        }
        const Step d = decide(src, srcIsFolder, t);
        if (d != Step::Ok)
            return d;
        const Step s = moving ? moveTo(src, srcIsFolder, t) : copyTo(src, srcIsFolder, t);
        if (s == Step::Ok) {
            report.done.push_back(src);
            report.created.push_back(t.path);
        }
        return s;
    }
};

// ---- Operations ----

FileOpReport FileOperations::transfer(const std::vector<std::string>& sources,
                                      const std::string& folderIn, bool moving) {
    Run run{*this, {}, {}, false, {}};
    const std::string folder = normalPath(folderIn);
    struct stat fst;
    if (folder.empty())
        return run.refuse(folderIn, FileFault::System, EINVAL);
    if (::stat(folder.c_str(), &fst) != 0)
        return run.refuse(folder, FileFault::System, errno);
    if (!S_ISDIR(fst.st_mode))
        return run.refuse(folder, FileFault::System, ENOTDIR);
    const std::string folderReal = realPath(folder);

    // Every rule is checked before anything is touched.
    std::vector<std::string> items;
    for (const std::string& s : sources) {
        const std::string p = normalPath(s);
        struct stat st;
        if (p.empty())
            return run.refuse(s, FileFault::System, EINVAL);
        if (::lstat(p.c_str(), &st) != 0)
            return run.refuse(p, FileFault::System, errno);
        if (moving && isProtected(p))
            return run.refuse(p, FileFault::Protected);
        if (S_ISDIR(st.st_mode) &&
            (isSameOrInside(realPath(p), folderReal) || holdsByIdentity(p, folder)))
            return run.refuse(p, FileFault::IntoItself);
        items.push_back(p);
    }

    std::vector<std::pair<uint64_t, int>> sizes;
    for (const std::string& p : items) {
        uint64_t bytes = 0;
        int count = 0;
        if (!run.scan(p, bytes, count))
            return run.finish();
        sizes.emplace_back(bytes, count);
        run.progress.bytesTotal += bytes;
        run.progress.itemsTotal += count;
    }

    uint64_t bytesBefore = 0;
    int itemsBefore = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const Step s = run.transferOne(items[i], folder, moving);
        if (s == Step::Failed || s == Step::Cancelled)
            break;
        // Whatever happened to the item (copied, renamed, skipped), it is behind us now.
        bytesBefore += sizes[i].first;
        itemsBefore += sizes[i].second;
        run.progress.bytesDone = bytesBefore;
        run.progress.itemsDone = itemsBefore;
        if (!run.tick())
            break;
    }
    return run.finish();
}

FileOpReport FileOperations::copy(const std::vector<std::string>& sources,
                                  const std::string& folder) {
    return transfer(sources, folder, false);
}

FileOpReport FileOperations::move(const std::vector<std::string>& sources,
                                  const std::string& folder) {
    return transfer(sources, folder, true);
}

FileOpReport FileOperations::moveToTrash(const std::vector<std::string>& paths) {
    Run run{*this, {}, {}, false, {}};
    run.progress.itemsTotal = static_cast<int>(paths.size());
    for (const std::string& given : paths) {
        if (!run.tick())
            break;
        const std::string p = normalPath(given);
        run.progress.current = p;
        struct stat st;
        if (p.empty() || ::lstat(p.c_str(), &st) != 0) {
            run.fail(given, FileFault::System, p.empty() ? EINVAL : errno);
            continue;
        }
        if (isProtected(p)) {
            run.fail(p, FileFault::Protected, 0);
            continue;
        }
        const TrashPlace t = trashFor(p, st.st_dev);
        if (t.error) {
            run.fail(p, FileFault::TrashUnavailable, t.error);
            continue;
        }
        std::string pathField = p;
        if (!t.top.empty()) {
            // On another volume the path is kept relative to the volume's top folder, so the
            // entry stays right wherever the volume is mounted next.
            const std::string real = realItem(p);
            pathField = t.top == "/" ? real.substr(1) : real.substr(t.top.size() + 1);
        }
        const std::string text = trashInfo(pathField, std::time(nullptr));
        const std::string name = baseName(p);
        bool trashed = false;
        int error = EEXIST;
        for (int n = 1; n < kMaxKeepBoth && !trashed; ++n) {
            const std::string entry = n == 1 ? name : keepBothName(name, S_ISDIR(st.st_mode), n);
            const std::string info = join(join(t.dir, "info"), entry + ".trashinfo");
            const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                error = errno;
                if (error == EEXIST)
                    continue;
                break;
            }
            const std::string file = join(join(t.dir, "files"), entry);
            if (exists(file)) {
                ::close(fd);
                ::unlink(info.c_str());
                continue;
            }
            const bool written = WriteAllToFd(fd, text.data(), text.size()) && ::fsync(fd) == 0;
            error = written ? 0 : (errno ? errno : EIO);
            if (::close(fd) != 0 && written)
                error = errno;
            else if (written)
                error = run.doRename(p, file, false);
            if (error != 0) {
                ::unlink(info.c_str());
                break;
            }
            trashed = true;
        }
        if (!trashed) {
            run.fail(p, FileFault::TrashUnavailable, error);
            continue;
        }
        run.report.done.push_back(p);
        ++run.progress.itemsDone;
    }
    return run.finish();
}

FileOpReport FileOperations::removePermanently(const std::vector<std::string>& paths) {
    Run run{*this, {}, {}, false, {}};
    std::vector<std::string> items;
    for (const std::string& given : paths) {
        const std::string p = normalPath(given);
        if (p.empty()) {
            run.fail(given, FileFault::System, EINVAL);
            continue;
        }
        uint64_t bytes = 0;
        if (!run.scan(p, bytes, run.progress.itemsTotal))
            return run.finish();
        items.push_back(p);
    }
    for (const std::string& p : items) {
        if (isProtected(p)) {
            run.fail(p, FileFault::Protected, 0);
            continue;
        }
        const Step s = run.removeTree(p, true);
        if (s == Step::Cancelled)
            break;
        if (s == Step::Ok)
            run.report.done.push_back(p);
    }
    return run.finish();
}

FileOpReport FileOperations::rename(const std::string& path, const std::string& newName) {
    Run run{*this, {}, {}, false, {}};
    const std::string p = normalPath(path);
    if (p.empty())
        return run.refuse(path, FileFault::System, EINVAL);
    if (!isValidName(newName))
        return run.refuse(p, FileFault::BadName);
    if (isProtected(p))
        return run.refuse(p, FileFault::Protected);
    struct stat st, other;
    if (::lstat(p.c_str(), &st) != 0)
        return run.refuse(p, FileFault::System, errno);
    const std::string target = join(parentOf(p), newName);
    if (target == p)
        return run.report;
    int r;
    if (isCaseOnlyChange(baseName(p), newName)) {
        // Two items whose names differ in case alone: a volume that keeps case apart. On one that
        // ignores case the target is the item itself, which a direct rename would leave as it
        // is; through a temporary name it takes its new name on either kind.
        if (::lstat(target.c_str(), &other) == 0 && !sameIdentity(other, st))
            return run.refuse(target, FileFault::NameExists, EEXIST);
        std::string temp = join(parentOf(p), kRenamePrefix + newName);
        if (!isValidName(baseName(temp))) {
            std::random_device random;
            temp = join(parentOf(p), kRenamingPrefix + std::to_string(random()));
        }
        r = run.moveItem(p, temp, false);
        if (r == 0 && (r = run.moveItem(temp, target, false)) != 0)
            run.moveItem(temp, p, false);
    } else {
        r = run.moveItem(p, target, false);
    }
    if (r == EEXIST)
        return run.refuse(target, FileFault::NameExists, r);
    if (r != 0) {
        run.fail(p, FileFault::System, r);
        return run.finish();
    }
    run.report.done.push_back(p);
    run.report.created.push_back(target);
    return run.report;
}

FileOpReport FileOperations::makeFolder(const std::string& parent, const std::string& name) {
    Run run{*this, {}, {}, false, {}};
    const std::string folder = normalPath(parent);
    if (folder.empty())
        return run.refuse(parent, FileFault::System, EINVAL);
    if (!isValidName(name))
        return run.refuse(join(folder, name), FileFault::BadName);
    const std::string p = join(folder, name);
    if (::mkdir(p.c_str(), 0777) != 0) {
        if (errno == EEXIST)
            return run.refuse(p, FileFault::NameExists, EEXIST);
        run.fail(p, FileFault::System, errno);
        return run.finish();
    }
    run.report.created.push_back(p);
    return run.report;
}

FileOperations::Leftovers FileOperations::recoverLeftovers(const std::string& given) {
    Leftovers out;
    const std::string folder = normalPath(given);
    if (folder.empty())
        return out;
    const auto names = [](const std::string& dir, bool oursOnly) {
        std::vector<std::string> found;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != ".." && (!oursOnly || startsWith(n, ".talvorn-")))
                    found.push_back(n);
            }
            ::closedir(d);
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    for (const std::string& name : names(folder, true)) {
        const std::string p = join(folder, name);
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0)
            continue;
        if (startsWith(name, kRenamePrefix)) {
            // Renamed half-way: it takes the name it was being given, if that is still free.
            const std::string want = name.substr(std::strlen(kRenamePrefix));
            if (isValidName(want) && renameItem(systemRename, p, join(folder, want), false) == 0)
                out.restored.push_back(want);
            else
                out.kept.push_back(name);
            continue;
        }
        const bool oldHolder = startsWith(name, kOldPrefix);
        if ((!oldHolder && !startsWith(name, kCopyPrefix)) || !S_ISDIR(st.st_mode))
            continue;
        const HolderLock lock(p);
        if (!lock.held())
            continue; // an operation still works in it, or it is not ours to lock
        for (const std::string& item : names(p, false)) {
            const std::string inside = join(p, item);
            const std::string home = join(folder, item);
            if (oldHolder && !exists(home)) {
                // Moved aside for a replace that never came about: it goes back.
                if (renameItem(systemRename, inside, home, false) == 0)
                    out.restored.push_back(item);
                else
                    out.kept.push_back(item);
                continue;
            }
            // An unfinished copy, or an item whose replacement is in place: neither is wanted.
            removeQuietly(inside);
            if (exists(inside))
                out.kept.push_back(item);
            else
                out.removed.push_back(item);
        }
        ::rmdir(p.c_str());
    }
    return out;
}

// ---- Rules ----

int FileOperations::systemSyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int r = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // A file system that cannot sync a folder has nothing better to offer.
    if (r == EINVAL || r == EROFS || r == ENOTSUP)
        r = 0;
    return r;
}

bool FileOperations::isCaseOnlyChange(const std::string& from, const std::string& to) {
    if (from == to || from.size() != to.size())
        return false;
    for (size_t i = 0; i < from.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(from[i]) != lower(to[i]))
            return false;
    }
    return true;
}

bool FileOperations::holdsMountPoint(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    DIR* d = ::opendir(path.c_str());
    if (!d)
        return false;
    bool found = false;
    while (!found) {
        dirent* e = ::readdir(d);
        if (!e)
            break;
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        const std::string sub = join(path, n);
        struct stat sst;
        if (::lstat(sub.c_str(), &sst) != 0 || !S_ISDIR(sst.st_mode))
            continue;
        found = isProtected(sub) || holdsMountPoint(sub);
    }
    ::closedir(d);
    return found;
}

int FileOperations::systemRename(const std::string& from, const std::string& to, bool replace) {
    if (replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: check, then rename (a narrow race, the best there).
    if (exists(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string FileOperations::keepBothName(const std::string& name, bool isFolder, int n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (!isFolder) {
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0 && dot + 1 < name.size())
            return name.substr(0, dot) + suffix + name.substr(dot);
    }
    return name + suffix;
}

bool FileOperations::isSameOrInside(const std::string& folder, const std::string& path) {
    const std::string f = normalPath(folder);
    const std::string p = normalPath(path);
    if (f.empty() || p.empty())
        return false;
    if (f == "/")
        return true;
    return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/');
}

bool FileOperations::isProtected(const std::string& path) {
    const std::string p = normalPath(path);
    if (p.empty() || p == "/")
        return true;
    struct stat st, up;
    if (::lstat(p.c_str(), &st) != 0)
        return false; // nothing there to protect
    // The real folder above: a link on the way must not make an ordinary item look mounted.
    if (::stat(parentOf(p).c_str(), &up) != 0)
        return true;
    if (st.st_dev != up.st_dev || st.st_ino == up.st_ino)
        return true;
    // A bind mount of a folder of the same volume keeps the device: the kernel knows it.
    struct statx sx {};
    return ::statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &sx) == 0 &&
           (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
           (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

bool FileOperations::isValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= 255 &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string FileOperations::homeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return normalPath(std::string(data) + "/Trash");
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return normalPath(std::string(home) + "/.local/share/Trash");
    return {};
}

std::string FileOperations::encodeTrashPath(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                          c == '/';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string FileOperations::trashInfo(const std::string& pathField, std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + encodeTrashPath(pathField) + "\nDeletionDate=" + date + "\n";
}

std::string FileOperations::normalPath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return {};
    std::string p = std::filesystem::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// ---- FileJob ----

FileJob::FileJob(Work work)
    : thread_([this, work = std::move(work)] {
          FileOperations ops;
          ops.onClash([this](const FileClash& c) { return ask(c); });
          ops.onProgress([this](const FileProgress& p) { return progressed(p); });
          report_ = work(ops);
          finished_.store(true, std::memory_order_release);
      }) {}

FileJob::~FileJob() {
    cancel();
    if (thread_.joinable())
        thread_.join();
}

void FileJob::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    answered_.notify_all();
}

FileProgress FileJob::progress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

bool FileJob::pendingClash(FileClash& clash) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!asking_ || hasAnswer_)
        return false;
    clash = clash_;
    return true;
}

void FileJob::answerClash(ClashAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!asking_)
        return;
    answer_ = answer;
    hasAnswer_ = true;
    answered_.notify_all();
}

ClashAnswer FileJob::ask(const FileClash& clash) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancelled_)
        return ClashAnswer::Cancel;
    clash_ = clash;
    asking_ = true;
    hasAnswer_ = false;
    answered_.wait(lock, [this] { return hasAnswer_ || cancelled_; });
    asking_ = false;
    return hasAnswer_ ? answer_ : ClashAnswer::Cancel;
}

bool FileJob::progressed(const FileProgress& progress) {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_ = progress;
    return !cancelled_;
}
