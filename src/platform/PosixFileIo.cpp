#include "platform/PosixFileIo.h"
#include "platform/FileIo.h"
#include "platform/FileLockWaiting.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    const HeldFileLocks::Key key{dev_, ino_};
    std::optional<FileLockWaiting> wait; // made when the lock turns out to be taken
    switch (HeldFileLocks::enter(key, fd, lockPath, wait)) {
    case HeldFileLocks::Entry::HeldAlready:
        ::close(fd);
        held_ = true;
        return;
    case HeldFileLocks::Entry::GivenUp:
        error_ = EINTR;
        ::close(fd);
        return;
    case HeldFileLocks::Entry::Reserved:
        break;
    }

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
        HeldFileLocks::abandon(key);
        ::close(fd);
        return;
    }
    held_ = true;
}

FileLock::~FileLock() {
    // The last level closes the file, which lets the system's lock go.
    if (held_)
        HeldFileLocks::leave({dev_, ino_}, [](intptr_t fd) { ::close(static_cast<int>(fd)); });
}
