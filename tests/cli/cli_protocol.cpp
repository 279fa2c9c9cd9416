// talvorn-cli run as a child process against simulated nodes on a pseudo-terminal: each command,
// its output lines, its exit statuses, the time-out and signal paths and the event log it leaves.
#include "CliProcess.h"

#include "NodeSim.h"
#include "store/EventLog.h"
#include "store/IniFile.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/file.h>
#include <thread>

namespace clitest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCli = TALVORN_BINARY_DIR "/tools/cli/talvorn-cli";
constexpr auto kRunDeadline = 120s; // a few seconds normally; generous for a loaded machine

std::vector<uint8_t> Bytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen());
    return out;
}

// One line of simulated nodes and a working folder beside it.
class CliLine {
public:
    explicit CliLine(nodesim::Config config) : sim_(std::move(config)) {
        std::string tmpl = (fs::temp_directory_path() / "talvorn-cli-proto-XXXXXX").string();
        dir_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
        link_ = dir_ + "/line";
        workDir_ = dir_ + "/work";
        fs::create_directory(workDir_);
    }
    ~CliLine() {
        sim_.Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    bool Start() {
        std::string error;
        const bool ok = sim_.Start(link_, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    // Para.ini of the working folder: channel 1 on COM1, which section "PORTS" maps to the link.
    void WriteParameters(int nodes, int firstNumber) {
        std::ofstream(workDir_ + "/Para.ini")
            << "[SYS_PARA]\nChannel1ComID=COM1\nChannel1ComSum=" << nodes
            << "\nChannel1ComOne=" << firstNumber
            << "\nChannel1ComSpeed=3\nChannel2ComID=\nChannel2ComSum=4\nChannel2ComOne=32\n"
               "Channel2ComSpeed=3\n[PORTS]\nCOM1="
            << link_ << "\n";
    }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    ProcessResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {kCli, "--workdir", workDir_});
        return RunProcess(args, kRunDeadline);
    }

    nodesim::Simulator& sim() { return sim_; }
    const std::string& link() const { return link_; }
    const std::string& workDir() const { return workDir_; }
    const std::string& dir() const { return dir_; }

private:
    nodesim::Simulator sim_;
    std::string dir_, link_, workDir_;
};

nodesim::Config Nodes(int count) {
    nodesim::Config c;
    c.nodeCount = count;
    return c;
}

// The event log merges the commands of one second; the next command waits for a new second.
void WaitForNextSecond() {
    const std::time_t now = std::time(nullptr);
    while (std::time(nullptr) == now)
        std::this_thread::sleep_for(20ms);
}

TEST(CliProtocolTest, QueryAndListWithDefaultParameters) {
    CliLine line(Nodes(3));
    const auto a = Bytes(3000, 1), b = Bytes(700, 2);
    line.sim().AddFile(1, nodesim::NodeNameField("A.DST"), a);
    line.sim().AddFile(1, nodesim::NodeNameField("NOTES"), b);
    ASSERT_TRUE(line.Start());

    // No Para.ini yet: it is created with the defaults; --port is for this run only.
    ProcessResult r = line.Cli({"--port", line.link(), "query", "0-2"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Node 1's files take 3072 + 1024 bytes in units of 512.
    EXPECT_EQ(r.out, "000\tQuery End\ttotal 1457664 free 1457664 files 0\n"
                     "001\tQuery End\ttotal 1457664 free 1453568 files 2\n"
                     "002\tQuery End\ttotal 1457664 free 1457664 files 0\n");
    const std::string para = line.workDir() + "/Para.ini";
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel1ComID", para), "Com1");
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel1ComSum", para), 32);

    r = line.Cli({"--port", line.link(), "list", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A.DST\t3000\nNOTES\t700\n");
    EXPECT_NE(r.err.find("001\tQuery End"), std::string::npos) << r.err;

    // Queries are not logged.
    EXPECT_FALSE(fs::exists(line.workDir() + "/item1.ini"));
}

TEST(CliProtocolTest, SendDeleteClearAndTheEventLog) {
    CliLine line(Nodes(2));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 10);
    const auto aBytes = Bytes(3000, 3), bBytes = Bytes(60000, 4);
    const std::string a = line.WriteFile("a.dst", aBytes);
    const std::string b = line.WriteFile("b.dsb", bBytes);
    const std::string aField = nodesim::NodeNameField("A.DST");
    const std::string bField = nodesim::NodeNameField("B.DSB");

    ProcessResult r = line.Cli({"send", "0-1", a, b});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "010\tSend File End\n011\tSend File End\n");
    for (int n : {0, 1}) {
        EXPECT_EQ(line.sim().fileBytes(n, aField), aBytes) << n;
        EXPECT_EQ(line.sim().fileBytes(n, bField), bBytes) << n;
    }

    // A name the node does not hold: nothing is deleted, nothing logged.
    r = line.Cli({"delete", "0", "B.DSB", "NOPE.DST"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NOPE.DST"), std::string::npos) << r.err;
    EXPECT_EQ(line.sim().files(0).size(), 2u);

    WaitForNextSecond();
    r = line.Cli({"delete", "1", "A.DST"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "011\tDelete End\n");
    EXPECT_FALSE(line.sim().fileBytes(1, aField).has_value());
    EXPECT_TRUE(line.sim().fileBytes(1, bField).has_value());
    EXPECT_TRUE(line.sim().fileBytes(0, aField).has_value());

    WaitForNextSecond();
    r = line.Cli({"clear", "0,1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "010\tClear End\n011\tClear End\n");
    EXPECT_TRUE(line.sim().files(0).empty());
    EXPECT_TRUE(line.sim().files(1).empty());

    // The log holds the three commands as the main window writes them.
    ResetParameters();
    Params().workDir = line.workDir();
    const auto records = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].event, EV_SEND_FILE);
    EXPECT_EQ(records[1].event, EV_DELETE_FILE);
    EXPECT_EQ(records[2].event, EV_CLEAR_FILE);
    EXPECT_FALSE(records[0].user.empty());
    const std::string item = EventItemPath(0);
    EXPECT_EQ(ReadIniString("item0", "node", item), "11000000000000000000000000000000");
    EXPECT_EQ(ReadIniString("item1", "node", item), "01000000000000000000000000000000");
    EXPECT_EQ(ReadIniString("item2", "node", item), "11000000000000000000000000000000");
    EXPECT_EQ(ReadIniInt("item2", "subitem", item), -1);
    const auto files = QueryEventFiles(0, {records[0], records[1]});
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "a.dst");
    EXPECT_EQ(files[0].path, fs::path(a).lexically_normal().string());
    EXPECT_EQ(files[1].name, "b.dsb");
    EXPECT_EQ(files[2].name, "A.DST");
    EXPECT_EQ(files[2].path, "");
    ResetParameters();
}

TEST(CliProtocolTest, NodeWithoutRoomFailsTheSend) {
    nodesim::Config config = Nodes(2);
    config.capacityBytes = 8192;
    CliLine line(config);
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 0);
    const std::string big = line.WriteFile("big.dst", Bytes(20000, 5));

    const ProcessResult r = line.Cli({"send", "0-1", big});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "000\tNo Sufficient Room\n001\tNo Sufficient Room\n");
    EXPECT_TRUE(line.sim().files(0).empty());
}

TEST(CliProtocolTest, UnfinishedNodesAreCancelledAtTheTimeoutOrOnSignal) {
    nodesim::Config config = Nodes(2);
    config.setSilent(1);
    CliLine line(config);
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 0);

    ProcessResult r = line.Cli({"--timeout", "2", "query", "0-1"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("000\tQuery End\t", 0), 0u) << r.out;
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "001\tUser Has Cancelled Task\n");
    EXPECT_NE(r.err.find("timed out"), std::string::npos) << r.err;
    EXPECT_LT(r.seconds, 60);

    // SIGTERM while the silent node waits for its retry: cancel, tear down, status 1.
    ChildProcess child({kCli, "--workdir", line.workDir(), "query", "1"});
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(child.ReadUntil(
        [](const ProcessResult& p) { return p.err.find("Waiting...") != std::string::npos; }, 60s));
    child.Signal(SIGTERM);
    r = child.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "001\tUser Has Cancelled Task\n");
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
}

TEST(CliProtocolTest, UsageAndConfigurationErrorsExitTwo) {
    CliLine line(Nodes(2));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 0);
    const std::string file = line.WriteFile("a.dst", Bytes(100, 6));

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"query", "2"}, "out of range"},
        {{"list", "0-1"}, "one node"},
        {{"send", "0", line.dir() + "/none.dst"}, "no such file"},
        {{"--port", line.dir() + "/ttyNone", "query", "0"}, "does not exist"},
        {{"--port", file, "send", "0", file}, "not a terminal"},
        {{"--channel", "2", "query", "0"}, "channel 2 has no port"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = line.Cli(c.args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }

    // COM1 through section "PORTS" to a line that another program holds.
    const int holder = ::open(line.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const ProcessResult r = line.Cli({"query", "0"});
    ::close(holder);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("port COM1 (" + line.link() + "): the device is busy"), std::string::npos)
        << r.err;

    // A missing working folder is not created.
    const ProcessResult missing =
        RunProcess({kCli, "--workdir", line.dir() + "/nowhere", "query", "0"}, kRunDeadline);
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(fs::exists(line.dir() + "/nowhere"));
}

TEST(CliProtocolTest, DemoRunsToTheEnd) {
    // The executables of this build, so that the demo builds nothing.
    ::setenv("TALVORN_BUILD_DIR", TALVORN_BINARY_DIR, 1);
    const ProcessResult r = RunProcess({TALVORN_SOURCE_DIR "/scripts/demo"}, 400s);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Send File End"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[subitem0]"), std::string::npos) << r.out;
}

} // namespace
} // namespace clitest
