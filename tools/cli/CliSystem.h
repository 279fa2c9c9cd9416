// What talvorn-cli needs from the operating system beyond the station's platform layer: the
// account's name, the user's stop requests (Ctrl-C), the terminal, and the arguments as UTF-8.
// One implementation per system (PosixCliSystem.cpp, Win32CliSystem.cpp).
#pragma once

#include "CliRun.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

// The operating-system account, as the event log's user name.
std::string AccountName();

// From now on the user's stop requests (SIGINT and SIGTERM; Ctrl-C, Ctrl-Break and closing the
// console on Windows) are counted instead of ending the process; StopRequested tells them.
void InstallStopHandlers();
StopRequest StopRequested();

// While one lives, the threads started meanwhile never see the stop requests, so that no link
// thread has a read or a sleep cut short by one (POSIX signals; nothing to do on Windows).
class StopRequestsBlocked {
public:
    StopRequestsBlocked();
    ~StopRequestsBlocked();
    StopRequestsBlocked(const StopRequestsBlocked&) = delete;
    StopRequestsBlocked& operator=(const StopRequestsBlocked&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// Whether stderr is a terminal, and its width in columns (80 when unknown).
bool ErrorsGoToTerminal();
int TerminalWidth();

// The command line's arguments after the program's name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

} // namespace cli
