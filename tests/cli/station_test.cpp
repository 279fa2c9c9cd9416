// --station where no station answers, and in a build without the HTTP API (the Windows build):
// the run ends at once with status 2 and says why, before any port or working folder is touched.
#include "CliArgs.h"
#include "CliRun.h"
#include "StationAccess.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cli {
namespace {

TEST(StationRunTest, EndsWithAPlainReasonWhenNoStationCanBeReached) {
    Options o;
    o.station = "http://127.0.0.1:1"; // a port no station serves
    o.user = "operator";
    o.password = "pw";
    o.command = Command::Query;
    o.nodes = "1";
    std::ostringstream out, errors;
    RunIo io{out, errors, false, 80, {}};
    EXPECT_EQ(cli::Run(o, io), kExitUsage);
    EXPECT_EQ(out.str(), "");
    const std::string reason = TALVORN_WITH_API
                                   ? "talvorn-cli: cannot reach the station at http://127.0.0.1:1"
                                   : "talvorn-cli: this build of talvorn-cli cannot reach a "
                                     "station (it has no HTTP client), so it cannot use "
                                     "http://127.0.0.1:1; run the command on the station's own "
                                     "talvorn-cli, or here with --port\n";
    EXPECT_EQ(errors.str().substr(0, reason.size()), reason) << errors.str();

    // The help says the same before anybody tries.
    EXPECT_EQ(CanReachStations(), bool(TALVORN_WITH_API));
    Options parsed;
    const std::string help = ParseArguments({"--help"}, &parsed).text;
    EXPECT_EQ(help.find("not in this build") == std::string::npos, bool(TALVORN_WITH_API)) << help;
}

} // namespace
} // namespace cli
