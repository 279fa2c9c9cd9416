// One run of talvorn-cli: load the station's configuration, open the channel, run the task, wait
// for it on every target node, report, and tear the centre down again.
#pragma once

#include "CliArgs.h"

#include <functional>
#include <ostream>

namespace cli {

// The user's requests to stop: the last signal received (0: none) and how many have come.
struct StopRequest {
    int signal = 0;
    int count = 0;
};

struct RunIo {
    std::ostream& out; // the result lines
    std::ostream& err; // messages and progress
    bool errIsTerminal = false;
    int terminalWidth = 80;
    // Polled while waiting (SIGINT, SIGTERM). The first request cancels what has not ended; a
    // second one stops waiting for the cancel to take effect.
    std::function<StopRequest()> stopRequested;
};

// Returns the exit status: kExitOk, kExitFailed, kExitUsage, or kExitSignalBase + the signal
// that ended the run.
int Run(const Options& options, RunIo& io);

} // namespace cli
