// Test bodies run in forked child processes: several at once, released together (writers in two
// processes on one file), one that cannot ignore folder permissions (as root it drops to the
// account "nobody" first), so that read-only-folder checks fail when they should, also in CI, or
// one with mounts of its own (bind mounts, a small tmpfs) that nobody else sees.
// A child reports through its exit status: 0 for what the test expects, another small number for
// the step that went wrong. Fork only from a test without threads of its own.
#pragma once

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// Exit status of a child, -1 when it did not exit by itself.
inline int WaitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts each body in its own child; all of them begin their work at the same moment.
// Returns the exit statuses in the order of the bodies.
inline std::vector<int> RunTogether(const std::vector<std::function<int()>>& bodies) {
    int gate[2];
    if (::pipe(gate) != 0)
        return std::vector<int>(bodies.size(), -1);
    std::fflush(nullptr);
    std::vector<pid_t> pids;
    for (const auto& body : bodies) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(gate[1]);
            char c;
            while (::read(gate[0], &c, 1) < 0 && errno == EINTR) {
            }
            ::_exit(body());
        }
        pids.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]); // the children's reads return: go
    std::vector<int> statuses;
    for (pid_t pid : pids)
        statuses.push_back(pid > 0 ? WaitForChild(pid) : -1);
    return statuses;
}

// Runs the body in a child that folder permissions apply to: as root the child first becomes
// "nobody" (exit status 125 when it cannot); otherwise it keeps the caller's account. The paths
// the body uses must be reachable by that account.
inline int RunUnprivileged(const std::function<int()>& body) {
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* pw = ::getpwnam("nobody")) {
        uid = pw->pw_uid;
        gid = pw->pw_gid;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 ||
                                 ::setuid(uid) != 0 || ::geteuid() == 0))
            ::_exit(125);
        ::_exit(body());
    }
    return WaitForChild(pid);
}

// The exit status of a child whose system refuses it a mount namespace (or mounts in it); the
// test then skips with a message.
constexpr int kNoNamespace = 77;

namespace detail {
inline bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}
} // namespace detail

// Runs the body in a child with a mount namespace of its own (for an ordinary account inside a
// user namespace in which it is root, as `unshare -Urm` does), where it may mount what it needs;
// its mounts vanish with it. The body returns kNoNamespace when a mount it needs is refused.
inline int RunWithOwnMounts(const std::function<int()>& body) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (uid == 0) {
            if (::unshare(CLONE_NEWNS) != 0)
                ::_exit(kNoNamespace);
        } else if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
                   !detail::WriteProcFile("/proc/self/setgroups", "deny") ||
                   !detail::WriteProcFile("/proc/self/uid_map",
                                          "0 " + std::to_string(uid) + " 1") ||
                   !detail::WriteProcFile("/proc/self/gid_map",
                                          "0 " + std::to_string(gid) + " 1")) {
            ::_exit(kNoNamespace);
        }
        // Nothing mounted here propagates back to the machine.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(kNoNamespace);
        ::_exit(body());
    }
    return WaitForChild(pid);
}

} // namespace testsupport
