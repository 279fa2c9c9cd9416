#include "StationDaemon.h"

#include "api/ApiServer.h"
#include "api/ApiSettings.h"
#include "link/CommCenter.h"
#include "platform/KeyStore.h"
#include "station/Centre.h"
#include "store/MachineTable.h"
#include "store/SystemParameters.h"
#include "users/UserStore.h"

#include <filesystem>

namespace stationd {

namespace {

const char kUsage[] =
    "Usage: talvorn-stationd [--workdir DIR]\n"
    "\n"
    "The transfer station without windows: opens the channels of Para.ini in the working folder\n"
    "and serves the station's HTTP API (section [API] of Para.ini: Listen=HOST:PORT) until\n"
    "SIGTERM or SIGINT, then stops cleanly and exits with status 0. Messages go to stderr.\n"
    "\n"
    "  --workdir DIR  folder of Para.ini, RTU.ini and the event log (default: the current one)\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "Exit status: 0 after a clean stop; 1 when Para.ini can be neither read nor created; 2 for a\n"
    "usage error or an API that cannot listen (no [API] Listen, an address taken, a remote "
    "address\n"
    "without AllowRemote=1).\n";

// The lines as last reported: a change is said once.
class LineReport {
public:
    explicit LineReport(std::ostream& err) : err_(err) {}
    void Poll(int openResult) {
        const int lost = LostLines(openResult);
        for (int c = 0; c < kChannels; ++c) {
            const int bit = 1 << c;
            if ((lost & bit) != (lost_ & bit))
                err_ << "talvorn-stationd: channel " << c + 1
                     << ((lost & bit) ? ": line lost; the station tries to open it again every "
                                        "second\n"
                                      : ": line back\n")
                     << std::flush;
        }
        lost_ = lost;
    }

private:
    std::ostream& err_;
    int lost_ = 0;
};

} // namespace

bool ParseArguments(const std::vector<std::string>& args, Options* out, std::string* message,
                    bool* printed) {
    *printed = false;
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            *message = kUsage;
            *printed = true;
            return false;
        }
        if (a == "--version") {
            *message = "talvorn-stationd 0.1\n";
            *printed = true;
            return false;
        }
        if (a == "--workdir" || a.rfind("--workdir=", 0) == 0) {
            const bool inline_ = a.size() > 9;
            if (!inline_ && i + 1 >= args.size()) {
                *message = "--workdir needs a folder";
                return false;
            }
            o.workDir = inline_ ? a.substr(10) : args[++i];
            if (o.workDir.empty()) {
                *message = "--workdir needs a folder";
                return false;
            }
            continue;
        }
        *message = "unknown argument '" + a + "'";
        return false;
    }
    *out = std::move(o);
    return true;
}

int Run(const Options& o, std::ostream& err,
        const std::function<void(const std::function<void()>& poll)>& waitForStop) {
    namespace fs = std::filesystem;
    const auto say = [&](const std::string& text) {
        err << "talvorn-stationd: " << text << '\n' << std::flush;
    };
    std::error_code ec;
    const fs::path dir = o.workDir.empty() ? fs::current_path(ec) : fs::absolute(o.workDir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        say("working folder " + (o.workDir.empty() ? std::string(".") : o.workDir) +
            " is not a folder");
        return kExitUsage;
    }
    ResetParameters();
    Params().workDir = dir.lexically_normal().string();
    if (!LoadParameters()) {
        say("Loading Data Base Failed! (" + ParametersPath() + " can be neither read nor created)");
        return kExitFailed;
    }
    (void)LoadMachineTable(); // without it the machines are unnamed

    const ApiSettings api = LoadApiSettings();
    if (api.listen.empty()) {
        say("no API to serve: " + ParametersPath() +
            " has no Listen=HOST:PORT in section [API] (for example Listen=127.0.0.1:8470)");
        return kExitUsage;
    }
    std::string host, error;
    int port = 0;
    if (!ListenAddress(api, &host, &port, &error)) {
        say(error);
        return kExitUsage;
    }

    // The users of the API are the users of Log On: the same table, the same first administrator.
    switch (userTableState()) {
    case UserTableState::kUnreadable:
        say("the user table " + KeyStore::keyFile(kUserKey) +
            " cannot be read: the API admits nobody until it is repaired or removed");
        break;
    case UserTableState::kMissing:
        (void)CheckUser(""); // creates it with the default administrator, as a first log-on does
        [[fallthrough]];
    case UserTableState::kReadable:
        if (CheckUser(kDefaultAdminName, kDefaultAdminPassword) >= 1)
            say(std::string("user ") + kDefaultAdminName +
                " still has its first password; change it (Modify Password in a windowed "
                "station) before anyone else can reach this station");
        break;
    }

    const int opened = StartCentreFromParameters();
    say(std::string(CCommCenter::ResultText(opened)) + " (" + Params().workDir + ")");
    api::ApiServer server;
    if (!server.Start(api, &error)) {
        say(error);
        StopCentre();
        return kExitUsage;
    }
    say("serving " + server.Url());
    LineReport lines(err);
    waitForStop([&] { lines.Poll(opened); });
    say("stopping");
    server.Stop();
    StopCentre();
    say("stopped");
    return kExitOk;
}

} // namespace stationd
