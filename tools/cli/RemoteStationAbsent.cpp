// talvorn-cli without the station's HTTP API (built with TALVORN_BUILD_API=OFF, as on Windows):
// it runs on a port of its own and cannot go through a running station.
#include "StationAccess.h"

namespace cli {

std::unique_ptr<StationLink> ReachStation(const std::string& url, const std::string&,
                                          const std::string&, int, std::string* error,
                                          int* exitStatus) {
    *error = "this build of talvorn-cli cannot reach a station (it has no HTTP client), so it "
             "cannot use " +
             url + "; run the command on the station's own talvorn-cli, or here with --port";
    *exitStatus = kExitUsage;
    return nullptr;
}

bool CanReachStations() {
    return false;
}

std::string PortHolderHint() {
    return "";
}

} // namespace cli
