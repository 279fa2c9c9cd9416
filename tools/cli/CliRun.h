// One run of talvorn-cli: load the station's configuration, open the channel, run the task, wait
// for it on every target node, report, and tear the centre down again.
#pragma once

#include "CliArgs.h"

#include <functional>
#include <ostream>

namespace cli {

struct RunIo {
    std::ostream& out; // the result lines
    std::ostream& err; // messages and progress
    bool errIsTerminal = false;
    int terminalWidth = 80;
    // Polled while waiting; true once the user asked to stop (SIGINT, SIGTERM).
    std::function<bool()> stopRequested;
};

// Returns the exit status (kExitOk, kExitFailed, kExitUsage).
int Run(const Options& options, RunIo& io);

} // namespace cli
