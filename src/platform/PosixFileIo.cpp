#include "platform/PosixFileIo.h"
#include "platform/FileIo.h"
#include "platform/FileLockWaiting.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

bool WriteAllToFd(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

namespace {

// The process's umask, read without changing it (umask() would, for every thread at once).
mode_t currentUmask() {
    static const mode_t mask = [] {
        mode_t m = 022;
        if (FILE* f = std::fopen("/proc/self/status", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, f)) {
                unsigned v = 0;
                if (std::sscanf(line, "Umask: %o", &v) == 1) {
                    m = static_cast<mode_t>(v);
                    break;
                }
            }
            std::fclose(f);
        }
        return m;
    }();
    return mask;
}

} // namespace

int CreateTemporaryFile(const std::string& folder, const std::string& prefix, unsigned mode,
                        std::string* path) {
    std::string tmpl = (folder.empty() ? std::string(".") : folder) + "/" + prefix + "XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fchmod(fd, static_cast<mode_t>(mode) & ~currentUmask() & 07777) != 0) {
        const int e = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        errno = e;
        return -1;
    }
    *path = tmpl;
    return fd;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string p = dir + "/" + name;
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(p.c_str());
    }
    ::closedir(d);
}

namespace {

// The locks this process holds. flock() belongs to an open file description, so a second open
// of the same lock file in this process would wait for itself: holders are tracked here instead.
struct HeldLock {
    std::thread::id owner;
    int depth = 0;
    int fd = -1;
};

std::mutex gLocksMutex;
std::condition_variable gLockReleased;
std::map<std::pair<uint64_t, uint64_t>, HeldLock> gLocks;

} // namespace

FileLock::FileLock(const std::string& lockPath, unsigned mode) {
    // Read access is enough for flock, so a lock file made by another account can still be used.
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                          static_cast<mode_t>(mode));
    if (fd < 0) {
        error_ = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = errno != 0 ? errno : EINVAL;
        ::close(fd);
        return;
    }
    dev_ = static_cast<uint64_t>(st.st_dev);
    ino_ = static_cast<uint64_t>(st.st_ino);
    const auto key = std::make_pair(dev_, ino_);
    const auto self = std::this_thread::get_id();

    std::optional<FileLockWaiting> wait; // made when the lock turns out to be taken
    std::unique_lock<std::mutex> guard(gLocksMutex);
    for (;;) {
        auto it = gLocks.find(key);
        if (it == gLocks.end())
            break;
        if (it->second.owner == self) {
            ++it->second.depth;
            ::close(fd);
            held_ = true;
            return;
        }
        // Another thread of this process holds it.
        if (!wait)
            wait.emplace(lockPath);
        guard.unlock();
        const bool goOn = wait->goOn();
        guard.lock();
        if (!goOn) {
            error_ = EINTR;
            ::close(fd);
            return;
        }
        gLockReleased.wait_for(guard, kFileLockWaitSlice);
    }
    // Reserved for this thread before the wait for other processes, so that other threads of
    // this process queue up here rather than on a second open file description.
    gLocks[key] = HeldLock{self, 1, fd};
    guard.unlock();

    // Another process may hold it: asked for in slices, so that the wait can be given up.
    int r;
    while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
        if (!wait)
            wait.emplace(lockPath);
        if (!wait->goOn()) {
            errno = EINTR;
            break;
        }
        std::this_thread::sleep_for(kFileLockWaitSlice);
    }
    if (r != 0) {
        error_ = errno;
        guard.lock();
        gLocks.erase(key);
        gLockReleased.notify_all();
        ::close(fd);
        return;
    }
    held_ = true;
}

FileLock::~FileLock() {
    if (!held_)
        return;
    std::lock_guard<std::mutex> guard(gLocksMutex);
    auto it = gLocks.find(std::make_pair(dev_, ino_));
    if (it == gLocks.end() || --it->second.depth > 0)
        return;
    ::close(it->second.fd); // releases the lock
    gLocks.erase(it);
    gLockReleased.notify_all();
}
