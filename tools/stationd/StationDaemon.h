// One run of talvorn-stationd: the station's core in a working folder, without windows, serving
// its HTTP API until it is told to stop.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace stationd {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // the working folder's files cannot be used
constexpr int kExitUsage = 2;  // a bad command line, or an API that cannot listen

struct Options {
    std::string workDir; // empty: the current folder
};

// Parses argv[1..]: false with a message (or with `printed` set for --help and --version, whose
// text is in `message`).
bool ParseArguments(const std::vector<std::string>& args, Options* out, std::string* message,
                    bool* printed);

// Starts the station, then calls `waitForStop` with a function that reports the lines' state
// (call it now and then while waiting); returns once `waitForStop` returns, after a clean stop.
// Messages go to `err`. Returns the exit status.
int Run(const Options& options, std::ostream& err,
        const std::function<void(const std::function<void()>& poll)>& waitForStop);

} // namespace stationd
