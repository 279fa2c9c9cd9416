// talvorn-stationd: the transfer station for a PC without a desktop.
#include "StationDaemon.h"

#include <csignal>
#include <ctime>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    stationd::Options options;
    std::string message;
    bool printed = false;
    if (!stationd::ParseArguments(args, &options, &message, &printed)) {
        if (printed) {
            std::cout << message << std::flush;
            return stationd::kExitOk;
        }
        std::cerr << "talvorn-stationd: " << message
                  << "\n(talvorn-stationd --help shows the usage)\n";
        return stationd::kExitUsage;
    }
    // SIGTERM and SIGINT are taken by sigtimedwait below, never delivered to a thread: blocked
    // before the first thread starts, so every thread inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    return stationd::Run(options, std::cerr, [&](const std::function<void()>& poll) {
        const timespec period{1, 0};
        for (;;) {
            poll();
            const int sig = sigtimedwait(&stops, nullptr, &period);
            if (sig == SIGTERM || sig == SIGINT)
                return;
        }
    });
}
