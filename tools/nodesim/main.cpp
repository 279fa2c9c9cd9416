// talvorn-nodesim: the nodes of one serial line, served over a pseudo-terminal until SIGINT or
// SIGTERM.
#include "NodeSim.h"
#include "Options.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv) {
    nodesim::Options options;
    std::string error;
    if (!nodesim::ParseOptions(argc, argv, &options, &error)) {
        std::cerr << "talvorn-nodesim: " << error << "\n"
                  << "Try 'talvorn-nodesim --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << nodesim::UsageText();
        return 0;
    }
    if (options.verbose)
        options.config.log = [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
        };

    // Block the stop signals in every thread; the main thread takes them with sigwait, so no work
    // happens in a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    nodesim::Simulator simulator(options.config);
    if (!simulator.Start(options.linkPath, &error)) {
        std::cerr << "talvorn-nodesim: " << error << "\n";
        return 1;
    }
    std::cout << "ready " << options.linkPath << " -> " << simulator.slavePath() << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.Stop();
    if (options.verbose) {
        const nodesim::Statistics s = simulator.stats();
        std::fprintf(
            stderr, "frames: query %llu data %llu check %llu delete %llu, bad %llu, replies %llu\n",
            static_cast<unsigned long long>(s.framesByCode[0]),
            static_cast<unsigned long long>(s.framesByCode[1]),
            static_cast<unsigned long long>(s.framesByCode[2]),
            static_cast<unsigned long long>(s.framesByCode[3]),
            static_cast<unsigned long long>(s.badFrames),
            static_cast<unsigned long long>(s.repliesSent));
    }
    return 0;
}
