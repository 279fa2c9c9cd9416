// talvorn-cli: the transfer station without its windows.
#include "CliArgs.h"
#include "CliRun.h"
#include "CliSystem.h"

#include "platform/FileIo.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args = cli::Arguments(argc, argv);
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
    cli::InstallStopHandlers();
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
        return cli::StopRequested().count == 0;
    });
    const bool terminal = cli::ErrorsGoToTerminal();
    cli::RunIo io{std::cout, std::cerr, terminal, terminal ? cli::TerminalWidth() : 80,
                  [] { return cli::StopRequested(); }};
    return cli::Run(options, io);
}
