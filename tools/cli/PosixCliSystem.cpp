#include "CliSystem.h"

#include <csignal>
#include <pthread.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_count = 0;

extern "C" void OnStopSignal(int sig) {
    g_signal = sig;
    g_count = g_count + 1;
}

} // namespace

std::string AccountName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    return "uid" + std::to_string(::geteuid());
}

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

StopRequest StopRequested() {
    return StopRequest{static_cast<int>(g_signal), static_cast<int>(g_count)};
}

struct StopRequestsBlocked::Saved {
    sigset_t old;
};

// SIGINT and SIGTERM go to the main thread alone: the threads started meanwhile inherit the mask.
StopRequestsBlocked::StopRequestsBlocked() : saved_(std::make_unique<Saved>()) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &saved_->old);
}

StopRequestsBlocked::~StopRequestsBlocked() {
    pthread_sigmask(SIG_SETMASK, &saved_->old, nullptr);
}

bool ErrorsGoToTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

int TerminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace cli
