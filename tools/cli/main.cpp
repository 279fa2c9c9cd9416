// talvorn-cli: the transfer station without its windows.
#include "CliArgs.h"
#include "CliRun.h"

#include "platform/FileIo.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_count = 0;

extern "C" void OnStopSignal(int sig) {
    g_signal = sig;
    g_count = g_count + 1;
}

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int TerminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    cli::Options options;
    const cli::ParseOutcome parsed = cli::ParseArguments(args, &options);
    if (parsed.kind == cli::ParseOutcome::Print) {
        std::cout << parsed.text << std::flush;
        return cli::kExitOk;
    }
    if (parsed.kind == cli::ParseOutcome::Error) {
        std::cerr << "talvorn-cli: " << parsed.text << "\n(talvorn-cli --help shows the usage)\n";
        return cli::kExitUsage;
    }
    cli::TakeEnvironment(&options, [](const char* name) { return std::getenv(name); });
    InstallStopHandlers();
    // A data file's lock that another program holds (a station, a stopped talvorn-cli): the wait
    // says so once, and Ctrl-C or SIGTERM ends it.
    SetFileLockWaitHook([said = false](const FileLockWait& w) mutable {
        if (w.over) {
            said = false;
            return true;
        }
        if (!said && w.waited >= std::chrono::seconds(1)) {
            said = true;
            std::cerr << "talvorn-cli: waiting for " << w.lockPath
                      << ", which another program holds (Ctrl-C gives up)" << std::endl;
        }
        return g_count == 0;
    });
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    cli::RunIo io{
        std::cout, std::cerr, terminal, terminal ? TerminalWidth() : 80, [] {
            return cli::StopRequest{static_cast<int>(g_signal), static_cast<int>(g_count)};
        }};
    return cli::Run(options, io);
}
