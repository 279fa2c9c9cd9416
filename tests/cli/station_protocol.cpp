// talvorn-cli through a running station: talvorn-stationd owns the port of a simulated line and
// serves its HTTP API; the command line's commands go through it with the same output and exit
// statuses, in the name of the station's user. talvorn-stationd itself: what it refuses to start
// with, and its clean stop on SIGTERM.
#include "CliProcess.h"
#include "SimLines.h"

#include "store/EventLog.h"
#include "store/SystemParameters.h"
#include "users/UserStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace clitest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::DesignBytes;

const std::string kCli = TALVORN_BINARY_DIR "/tools/cli/talvorn-cli";
const std::string kStationd = TALVORN_BINARY_DIR "/tools/stationd/talvorn-stationd";
constexpr auto kDeadline = 120s;

// The environment of the children for the test's life: the user table, the station's user.
class Environment {
public:
    void Set(const char* name, const std::string& value) {
        names_.push_back(name);
        ::setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        for (const char* name : names_)
            ::unsetenv(name);
    }

private:
    std::vector<const char*> names_;
};

std::string Parameters(const std::string& link, const std::string& api) {
    return "[SYS_PARA]\nChannel1ComID=COM1\nChannel1ComSum=3\nChannel1ComOne=1\n"
           "Channel1ComSpeed=3\nChannel2ComID=\nChannel2ComSum=0\n[PORTS]\nCOM1=" +
           link + "\n" + api;
}

TEST(CliThroughStation, TheSameCommandsThroughARunningStation) {
    testsupport::TempDir dir;
    nodesim::Config config;
    config.nodeCount = 3;
    testsupport::SimLine line(config);
    std::string error;
    ASSERT_TRUE(line.Start(&error)) << error;
    const std::string work = dir / "work";
    fs::create_directory(work);
    const std::string url = "http://127.0.0.1:" + std::to_string(testsupport::FreePort());
    std::ofstream(work + "/Para.ini")
        << Parameters(line.link(), "[API]\nListen=" + url.substr(7) + "\n");

    Environment env;
    env.Set("XDG_CONFIG_HOME", dir / "config");
    testsupport::CheapPasswordHashes cheap;
    ASSERT_EQ(addUser(makeUserRecord("runner", "pw-runner", 0, kDefaultOperatorRights)),
              UserChange::kOk);
    ASSERT_EQ(addUser(makeUserRecord("viewer", "pw-viewer", 0, kRightQueryNodeStatus)),
              UserChange::kOk);

    ChildProcess station({kStationd, "--workdir", work});
    ASSERT_TRUE(station.started());
    ASSERT_TRUE(station.ReadUntil(
        [&](const ProcessResult& r) {
            return r.err.find("serving " + url + "\n") != std::string::npos;
        },
        kDeadline));

    env.Set("TALVORN_USER", "runner");
    env.Set("TALVORN_PASSWORD", "pw-runner");
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), kCli);
        return RunProcess(args, kDeadline);
    };
    const auto aBytes = DesignBytes(3000, 3), bBytes = DesignBytes(60000, 4);
    const std::string a = dir / "a.dst", b = dir / "b.dsb";
    ASSERT_TRUE(testsupport::WriteFile(a, aBytes));
    ASSERT_TRUE(testsupport::WriteFile(b, bBytes));

    ProcessResult r = cli({"--station", url, "send", "1-3", a, b});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "001\tSend File End\n002\tSend File End\n003\tSend File End\n");
    EXPECT_NE(r.err.find("sending " + a + " as A.DST\nsending " + b + " as B.DSB\n"),
              std::string::npos)
        << r.err;
    for (int n : {0, 1, 2})
        EXPECT_EQ(line.sim().fileBytes(n, nodesim::NodeNameField("B.DSB")), bBytes) << n;

    r = cli({"--station", url, "list", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A.DST\t3000\nB.DSB\t60000\n");
    r = cli({"--station", url, "delete", "2", "NOPE.DST"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NOPE.DST: no such file on node 002"), std::string::npos) << r.err;
    r = cli({"--station", url, "delete", "2", "A.DST"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "002\tDelete End\n");
    EXPECT_FALSE(line.sim().fileBytes(1, nodesim::NodeNameField("A.DST")).has_value());
    r = cli({"--station", url, "clear", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "003\tClear End\n");
    EXPECT_TRUE(line.sim().files(2).empty());
    r = cli({"--station", url, "query", "4"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("node 4 is out of range (the channel's nodes are 001 to 003)"),
              std::string::npos)
        << r.err;

    // TALVORN_STATION stands for --station; a run on the port itself is told where to go.
    env.Set("TALVORN_STATION", url);
    r = cli({"query", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("001\tQuery End\ttotal ", 0), 0u) << r.out;
    r = cli({"--workdir", work, "query", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the device is busy (another program has it open); a station serving "
                         "this working folder has it: use --station " +
                         url),
              std::string::npos)
        << r.err;

    // The station's users and rights.
    env.Set("TALVORN_PASSWORD", "wrong");
    r = cli({"query", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("refused user runner: wrong user name or password"), std::string::npos)
        << r.err;
    env.Set("TALVORN_USER", "viewer");
    env.Set("TALVORN_PASSWORD", "pw-viewer");
    r = cli({"clear", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("user viewer has no right to Delete File"), std::string::npos) << r.err;
    EXPECT_EQ(line.sim().files(0).size(), 2u);

    station.Signal(SIGTERM);
    const ProcessResult now = station.Finish(kDeadline);
    EXPECT_EQ(now.status, 0) << now.err;
    EXPECT_NE(now.err.find("talvorn-stationd: stopped\n"), std::string::npos) << now.err;

    // The event log names the station's user, not the account that ran the command line.
    ResetParameters();
    Params().workDir = work;
    const auto records = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(records.size(), 3u);
    for (const EventRecord& rec : records)
        EXPECT_EQ(rec.user, "runner");
    EXPECT_EQ(records[0].event, EV_SEND_FILE);
    EXPECT_EQ(records[1].event, EV_DELETE_FILE);
    EXPECT_EQ(records[2].event, EV_CLEAR_FILE);
    ResetParameters();
}

TEST(CliThroughStation, StationdRefusesWhatItCannotServe) {
    testsupport::TempDir dir;
    Environment env;
    env.Set("XDG_CONFIG_HOME", dir / "config");
    const std::string work = dir / "work";
    fs::create_directory(work);
    struct Case {
        std::string api;
        std::string message;
    };
    for (const Case& c : {Case{"", "has no Listen=HOST:PORT in section [API]"},
                          Case{"[API]\nListen=8470\n", "is not HOST:PORT"},
                          Case{"[API]\nListen=0.0.0.0:0\n", "set AllowRemote=1"}}) {
        std::ofstream(work + "/Para.ini") << Parameters(dir / "no-line", c.api);
        const ProcessResult r = RunProcess({kStationd, "--workdir", work}, kDeadline);
        EXPECT_EQ(r.status, 2) << c.api;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    ProcessResult r = RunProcess({kStationd, "--bogus"}, kDeadline);
    EXPECT_EQ(r.status, 2);
    r = RunProcess({kStationd, "--help"}, kDeadline);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: talvorn-stationd"), std::string::npos);
}

} // namespace
} // namespace clitest
