// talvorn-cli: the transfer station without its windows.
#include "CliArgs.h"
#include "CliRun.h"

#include <csignal>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
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
    std::vector<std::string> args(argv + 1, argv + argc);
    cli::Options options;
    std::string error;
    if (!cli::ParseArguments(args, &options, &error)) {
        std::cerr << "talvorn-cli: " << error << "\n(talvorn-cli --help shows the usage)\n";
        return cli::kExitUsage;
    }
    if (options.help) {
        std::cout << cli::UsageText();
        return cli::kExitOk;
    }
    InstallStopHandlers();
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    cli::RunIo io{std::cout, std::cerr, terminal, terminal ? TerminalWidth() : 80,
                  [] { return g_stop != 0; }};
    return cli::Run(options, io);
}
