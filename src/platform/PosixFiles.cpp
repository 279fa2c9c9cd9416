#include "platform/FileIo.h"
#include "platform/PosixFileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileInfo infoOf(const struct stat& st) {
    FileInfo i;
    i.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
             : S_ISDIR(st.st_mode) ? FileKind::Folder
                                   : FileKind::Other;
    i.volume = static_cast<uint64_t>(st.st_dev);
    i.id = static_cast<uint64_t>(st.st_ino);
    i.size = static_cast<uint64_t>(st.st_size);
    i.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return i;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

} // namespace

int StatPath(const std::string& path, FileInfo& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        out = FileInfo{};
        return errno;
    }
    out = infoOf(st);
    return 0;
}

int CheckReadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

int ReadFileBytes(const std::string& path, size_t limit, std::string& data, FileInfo* before,
                  FileInfo* after, bool noFollow) {
    data.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0)
        return errno;
    struct stat st1 {};
    if (::fstat(fd, &st1) != 0 || !S_ISREG(st1.st_mode)) {
        const int e = S_ISREG(st1.st_mode) ? errno : EINVAL;
        ::close(fd);
        return e;
    }
    // Read no more than the size seen at open (and the limit): a file that grows meanwhile is
    // read again by a caller that compares `before` and `after`.
    data.assign(std::min<size_t>(static_cast<size_t>(st1.st_size), limit), '\0');
    size_t got = 0;
    int error = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    struct stat st2 {};
    if (error == 0 && ::fstat(fd, &st2) != 0)
        error = errno;
    ::close(fd);
    if (error != 0) {
        data.clear();
        return error;
    }
    data.resize(got);
    if (before)
        *before = infoOf(st1);
    if (after)
        *after = infoOf(st2);
    return 0;
}

bool ReplaceFileContent(const std::string& path, const std::string& tempPrefix, const void* data,
                        size_t size, bool ownerOnly, FileInfo* written) {
    struct stat old {};
    const bool hadOld = ::stat(path.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return false;
    std::string temp;
    const int fd = CreateTemporaryFile(folderOf(path), tempPrefix, ownerOnly ? 0600 : 0666, &temp);
    if (fd < 0)
        return false;
    if (!ownerOnly && hadOld)
        (void)::fchmod(fd, old.st_mode & 07777);
    struct stat st {};
    bool ok = WriteAllToFd(fd, data, size) && ::fsync(fd) == 0 && ::fstat(fd, &st) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    SyncFolder(folderOf(path));
    if (written)
        *written = infoOf(st);
    return true;
}

bool CopyFileDurably(const std::string& from, const std::string& to) {
    const std::string folder = folderOf(to);
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string tmp;
    const int out = CreateTemporaryFile(folder, nameOf(to) + ".tmp", 0666, &tmp);
    bool ok = out >= 0;
    char buf[64 * 1024];
    while (ok) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteAllToFd(out, buf, static_cast<size_t>(n));
    }
    ::close(in);
    if (out >= 0) {
        ok = ::fsync(out) == 0 && ok;
        ok = ::close(out) == 0 && ok;
    }
    if (!ok || ::rename(tmp.c_str(), to.c_str()) != 0) {
        if (!tmp.empty())
            ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

void KeepCopyOf(const std::string& path, const std::string& keep) {
    // A hard link leaves no moment without the original.
    ::unlink(keep.c_str());
    ::link(path.c_str(), keep.c_str());
}

bool MakeFolders(const std::string& path, bool ownerOnly) {
    const mode_t mode = ownerOnly ? 0700 : 0777;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int CheckRoomFor(const std::string& folder, const std::string& probePrefix, uint64_t bytes) {
    std::string probe;
    const int fd = CreateTemporaryFile(folder, probePrefix, 0600, &probe);
    if (fd < 0)
        return errno;
    const int err = bytes > 0 ? ::posix_fallocate(fd, 0, static_cast<off_t>(bytes)) : 0;
    ::close(fd);
    ::unlink(probe.c_str());
    // A file system that cannot reserve room is taken at its word that it has some.
    return (err == EOPNOTSUPP || err == ENOSYS) ? 0 : err;
}

std::string UserSettingsFolder() {
    auto absoluteEnv = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v != nullptr && v[0] == '/' ? v : "";
    };
    std::string base = absoluteEnv("XDG_CONFIG_HOME");
    if (base.empty()) {
        std::string home = absoluteEnv("HOME");
        if (home.empty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
                home = pw->pw_dir;
        }
        if (home.empty())
            return {};
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string ErrorText(int error) {
    return std::strerror(error);
}
