// Runs a program as a child process with its stdout and stderr captured, under a deadline.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace clitest {

struct ProcessResult {
    int status = -1; // exit status; -1 when the child did not end by itself in time
    std::string out;
    std::string err;
    double seconds = 0;
};

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    // Starts argv[0] (a path) with this process's environment and stdin from /dev/null.
    explicit ChildProcess(const std::vector<std::string>& argv) : start_(Clock::now()) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        fds_[0] = out[0];
        fds_[1] = err[0];
    }

    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void Signal(int sig) { ::kill(pid_, sig); }

    // Collects output until `until` holds for what has been read so far, or the deadline passes.
    bool ReadUntil(const std::function<bool(const ProcessResult&)>& until,
                   std::chrono::milliseconds deadline) {
        const auto end = Clock::now() + deadline;
        while (!until(result_) && Clock::now() < end && Pump())
            ;
        return until(result_);
    }

    // Waits for the child to end (both pipes closed and the process reaped); after the deadline
    // the destructor kills it and the status stays -1.
    ProcessResult Finish(std::chrono::milliseconds deadline) {
        const auto end = Clock::now() + deadline;
        while (Clock::now() < end && Pump())
            ;
        int status = 0;
        while (pid_ > 0 && Clock::now() < end) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = -1;
            } else {
                ::usleep(20000);
            }
        }
        EXPECT_EQ(pid_, -1) << "child still running after the deadline";
        result_.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return result_;
    }

private:
    // Reads what is there; false once both pipes are closed.
    bool Pump() {
        pollfd p[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        if (fds_[0] < 0 && fds_[1] < 0)
            return false;
        if (::poll(p, 2, 50) <= 0)
            return true;
        for (int i = 0; i < 2; ++i) {
            if (fds_[i] < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t got = ::read(fds_[i], buf, sizeof buf);
            if (got > 0) {
                (i == 0 ? result_.out : result_.err).append(buf, static_cast<size_t>(got));
            } else {
                ::close(fds_[i]);
                fds_[i] = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1}; // stdout, stderr
    Clock::time_point start_;
    ProcessResult result_;
};

inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds deadline) {
    ChildProcess child(argv);
    EXPECT_TRUE(child.started()) << argv[0];
    return child.Finish(deadline);
}

} // namespace clitest
