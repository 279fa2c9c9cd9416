// Runs a program as a child process with its stdout and stderr captured, under a deadline.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
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

    // Starts argv[0] (a path) with the environment of this process plus `extraEnv` ("K=V").
    ChildProcess(const std::vector<std::string>& argv,
                 const std::vector<std::string>& extraEnv = {})
        : start_(Clock::now()) {
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e)
            envText.emplace_back(*e);
        envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> env;
        for (const std::string& e : envText)
            env.push_back(const_cast<char*>(e.c_str()));
        env.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        outFd_ = outPipe[0];
        errFd_ = errPipe[0];
    }

    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {outFd_, errFd_})
            if (fd >= 0)
                ::close(fd);
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void Signal(int sig) {
        if (pid_ > 0)
            ::kill(pid_, sig);
    }

    // Collects output until `until` holds for what has been read so far, or the deadline passes.
    bool ReadUntil(const std::function<bool(const ProcessResult&)>& until,
                   std::chrono::milliseconds deadline) {
        const auto end = Clock::now() + deadline;
        while (!until(result_)) {
            if (Clock::now() >= end || (outFd_ < 0 && errFd_ < 0))
                return until(result_);
            Pump(50);
        }
        return true;
    }

    // Waits for the child to end; kills it after the deadline (status stays -1).
    ProcessResult Finish(std::chrono::milliseconds deadline) {
        const auto end = Clock::now() + deadline;
        while ((outFd_ >= 0 || errFd_ >= 0) && Clock::now() < end)
            Pump(100);
        if (pid_ > 0) {
            int status = 0;
            while (true) {
                const pid_t r = ::waitpid(pid_, &status, WNOHANG);
                if (r == pid_) {
                    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                    pid_ = -1;
                    break;
                }
                if (Clock::now() >= end) {
                    ADD_FAILURE() << "child still running after the deadline; killed";
                    break;
                }
                ::usleep(20000);
            }
        }
        result_.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return result_;
    }

private:
    void Pump(int timeoutMs) {
        pollfd fds[2];
        int n = 0;
        if (outFd_ >= 0)
            fds[n++] = {outFd_, POLLIN, 0};
        if (errFd_ >= 0)
            fds[n++] = {errFd_, POLLIN, 0};
        if (n == 0 || ::poll(fds, static_cast<nfds_t>(n), timeoutMs) <= 0)
            return;
        for (int i = 0; i < n; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            int& fd = fds[i].fd == outFd_ ? outFd_ : errFd_;
            std::string& text = fds[i].fd == outFd_ ? result_.out : result_.err;
            if (got > 0) {
                text.append(buf, static_cast<size_t>(got));
            } else {
                ::close(fd);
                fd = -1;
            }
        }
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    Clock::time_point start_;
    ProcessResult result_;
};

inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds deadline,
                                const std::vector<std::string>& extraEnv = {}) {
    ChildProcess child(argv, extraEnv);
    EXPECT_TRUE(child.started()) << argv[0];
    return child.Finish(deadline);
}

} // namespace clitest
