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
#include <numeric>
#include <random>
#include <sstream>
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
    void WriteParameters(int nodes, int firstNumber, int speedIndex = 3) {
        std::ofstream(workDir_ + "/Para.ini")
            << "[SYS_PARA]\nChannel1ComID=COM1\nChannel1ComSum=" << nodes
            << "\nChannel1ComOne=" << firstNumber << "\nChannel1ComSpeed=" << speedIndex
            << "\nChannel2ComID=\nChannel2ComSum=4\nChannel2ComOne=32\n"
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

TEST(CliProtocolTest, SendDeleteClearByTheNumbersShownAndTheEventLog) {
    // Numbered from 1, as the demo does: the node numbers typed are the ones printed.
    CliLine line(Nodes(3));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(3, 1);
    const auto aBytes = Bytes(3000, 3), bBytes = Bytes(60000, 4);
    const std::string a = line.WriteFile("a.dst", aBytes);
    const std::string b = line.WriteFile("b.dsb", bBytes);
    const std::string aField = nodesim::NodeNameField("A.DST");
    const std::string bField = nodesim::NodeNameField("B.DSB");

    ProcessResult r = line.Cli({"send", "1-3", a, b});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "001\tSend File End\n002\tSend File End\n003\tSend File End\n");
    EXPECT_NE(r.err.find("sending " + a + " as A.DST\nsending " + b + " as B.DSB\n"),
              std::string::npos)
        << r.err;
    for (int n : {0, 1, 2}) {
        EXPECT_EQ(line.sim().fileBytes(n, aField), aBytes) << n;
        EXPECT_EQ(line.sim().fileBytes(n, bField), bBytes) << n;
    }

    // A name the node does not hold: nothing is deleted, nothing logged.
    r = line.Cli({"delete", "1", "B.DSB", "NOPE.DST"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NOPE.DST: no such file on node 001"), std::string::npos) << r.err;
    EXPECT_EQ(line.sim().files(0).size(), 2u);

    WaitForNextSecond();
    r = line.Cli({"delete", "2", "A.DST"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "002\tDelete End\n");
    EXPECT_FALSE(line.sim().fileBytes(1, aField).has_value());
    EXPECT_TRUE(line.sim().fileBytes(1, bField).has_value());
    EXPECT_TRUE(line.sim().fileBytes(0, aField).has_value());

    // "clear 3" clears the machine shown as 003, and no other.
    WaitForNextSecond();
    r = line.Cli({"clear", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "003\tClear End\n");
    EXPECT_TRUE(line.sim().files(2).empty());
    EXPECT_EQ(line.sim().files(0).size(), 2u);
    EXPECT_EQ(line.sim().files(1).size(), 1u);

    // A number the channel does not show: nothing runs.
    r = line.Cli({"clear", "0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("node 0 is out of range (the channel's nodes are 001 to 003)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(line.sim().files(0).size(), 2u);

    // The log holds the three commands as the main window writes them, by node index.
    ResetParameters();
    Params().workDir = line.workDir();
    const auto records = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].event, EV_SEND_FILE);
    EXPECT_EQ(records[1].event, EV_DELETE_FILE);
    EXPECT_EQ(records[2].event, EV_CLEAR_FILE);
    EXPECT_FALSE(records[0].user.empty());
    const std::string item = EventItemPath(0);
    EXPECT_EQ(ReadIniString("item0", "node", item), "11100000000000000000000000000000");
    EXPECT_EQ(ReadIniString("item1", "node", item), "01000000000000000000000000000000");
    EXPECT_EQ(ReadIniString("item2", "node", item), "00100000000000000000000000000000");
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

TEST(CliProtocolTest, ASilentLineEndsWithTheNodesThatDidNotAnswer) {
    // Nothing answers on the line: the nodes are named after the silence, not at a time-out.
    nodesim::Config config = Nodes(2);
    config.setSilent(0).setSilent(1);
    CliLine line(config);
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 1);

    // A node never heard from is given the time a slow machine takes to answer late (1.5 s)
    // before the next is asked: the silence lets both fail first.
    const ProcessResult r = line.Cli({"--silence", "3", "query", "1-2"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "001\tNo Answer\n002\tNo Answer\n");
    EXPECT_NE(r.err.find("node 001 has not answered for "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("node 002 has not answered for "), std::string::npos) << r.err;
    EXPECT_LT(r.seconds, 60);
}

TEST(CliProtocolTest, AnEarlyEndCancelsOnlyTheNodesThatHadNotEnded) {
    // Node 000 holds nothing and is queried at once; each of the others lists a full table, so
    // the query of all eight runs on long after node 000 has reached its end (at 19200 bps a
    // list block takes 300 ms on the line).
    nodesim::Config config = Nodes(8);
    config.baud = 19200;
    CliLine line(config);
    for (int n = 1; n < 8; ++n)
        for (int k = 0; k < kMaxEntries; ++k)
            line.sim().AddFile(n, nodesim::NodeNameField("F" + std::to_string(k) + ".DST"),
                               {static_cast<uint8_t>(k)});
    ASSERT_TRUE(line.Start());
    line.WriteParameters(8, 0, 0);
    const std::string firstLine = "000\tQuery End\ttotal 1457664 free 1457664 files 0\n";

    // Ctrl-C once node 001's query is under way: 000 keeps its result, exit 130.
    ChildProcess child({kCli, "--workdir", line.workDir(), "query", "0-7"});
    ASSERT_TRUE(child.started());
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (line.sim().nodeStats(1).repliesSent == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(line.sim().nodeStats(1).repliesSent, 0u);
    child.Signal(SIGINT);
    ProcessResult r = child.Finish(60s);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(r.out.rfind(firstLine, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("007\tUser Has Cancelled Task\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;

    // The same at the time-out, with exit status 1.
    r = line.Cli({"--timeout", "4", "query", "0-7"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind(firstLine, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("007\tUser Has Cancelled Task\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("timed out after 4 s"), std::string::npos) << r.err;
    // Every node says either its result or that it was cancelled.
    std::istringstream lines(r.out);
    std::string text;
    int count = 0;
    while (std::getline(lines, text)) {
        ++count;
        EXPECT_TRUE(text.find("\tQuery End\ttotal ") == 3 ||
                    text.substr(3) == "\tUser Has Cancelled Task")
            << text;
    }
    EXPECT_EQ(count, 8);

    // SIGTERM: exit 143.
    ChildProcess term({kCli, "--workdir", line.workDir(), "query", "7"});
    ASSERT_TRUE(term.started());
    const auto before = line.sim().nodeStats(7).repliesSent;
    while (line.sim().nodeStats(7).repliesSent == before &&
           std::chrono::steady_clock::now() < until + 60s)
        std::this_thread::sleep_for(10ms);
    term.Signal(SIGTERM);
    r = term.Finish(60s);
    EXPECT_EQ(r.status, 143) << r.err;
    EXPECT_EQ(r.out, "007\tUser Has Cancelled Task\n");
}

TEST(CliProtocolTest, ALineLostMidSendEndsTheRunAtOnce) {
    nodesim::Config config = Nodes(2);
    config.baud = 115200; // the packages take their time on the line
    CliLine line(config);
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 1);
    const std::string file = line.WriteFile("big.dst", Bytes(200000, 7));

    ChildProcess child({kCli, "--workdir", line.workDir(), "send", "1-2", file});
    ASSERT_TRUE(child.started());
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (line.sim().nodeStats(0).packagesAccepted == 0 &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(line.sim().nodeStats(0).packagesAccepted, 0u);
    // The machines' end of the line goes away mid-send.
    line.sim().Stop();
    const auto stopped = std::chrono::steady_clock::now();
    const ProcessResult r = child.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "001\tLine Lost\n002\tLine Lost\n");
    EXPECT_NE(r.err.find("the line of channel 1 is lost"), std::string::npos) << r.err;
    // At once: not after the silence, let alone a time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 25s);
}

TEST(CliProtocolTest, ALineLostDuringACheckKeepsTheAnswersItHad) {
    // Node 002 never answers; node 001 takes the file and answers the last check "complete".
    // The line goes away right after that answer, while the check goes on to node 002.
    nodesim::Config config = Nodes(2);
    config.setSilent(1);
    CliLine line(config);
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 1);
    const std::string file = line.WriteFile("kept.dst", Bytes(3000, 11));

    ChildProcess child({kCli, "--workdir", line.workDir(), "send", "1-2", file});
    ASSERT_TRUE(child.started());
    const auto until = std::chrono::steady_clock::now() + 60s;
    // Its query, the check before the packages and the one after them.
    while (line.sim().nodeStats(0).repliesSent < 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(line.sim().nodeStats(0).repliesSent, 3u);
    ASSERT_EQ(line.sim().nodeStats(0).filesCompleted, 1u);
    // The reply leaves the simulator a few milliseconds after it was made; the check then waits
    // at least 200 ms for node 002, never heard from, which is when the line goes.
    std::this_thread::sleep_for(100ms);
    line.sim().Stop();
    const ProcessResult r = child.Finish(60s);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "001\tSend File End\n002\tLine Lost\n") << r.err;
}

TEST(CliProtocolTest, NamesOnTheMachineAreDeletedAsPrinted) {
    CliLine line(Nodes(1));
    // A name with a blank and a byte outside ASCII, as another station may have left it.
    const std::string odd = std::string("MY FIL\xE9 DST ", 12);
    line.sim().AddFile(0, odd, Bytes(500, 8));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(1, 1);
    const std::string file = line.WriteFile("night-shift-batch-07.dst", Bytes(5000, 9));

    // send prints the name the long-named file gets on the machine.
    ProcessResult r = line.Cli({"send", "1", file});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string prefix = "sending " + file + " as ";
    const size_t at = r.err.find(prefix);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string name =
        r.err.substr(at + prefix.size(), r.err.find('\n', at) - at - prefix.size());
    EXPECT_EQ(name.rfind("NIG~", 0), 0u) << name;
    EXPECT_EQ(line.sim().fileBytes(0, nodesim::NodeNameField(name)), Bytes(5000, 9)) << name;

    // list prints both names as delete takes them.
    r = line.Cli({"list", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string printedOdd = "'MY\\x20FIL\\xE9.DST'";
    EXPECT_EQ(r.out, printedOdd + "\t500\n" + name + "\t5000\n");

    // Both pasted into a shell command line as list printed them.
    r = RunProcess(
        {"/bin/sh", "-c",
         kCli + " --workdir '" + line.workDir() + "' delete 1 " + name + " " + printedOdd},
        kRunDeadline);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "001\tDelete End\n");
    EXPECT_TRUE(line.sim().files(0).empty());
}

TEST(CliProtocolTest, ANameThatTwoFilesGoByDeletesNothing) {
    // Two files that the window shows alike, "A.B.C": base "A.B" with extension "C", and base
    // "A" with extension "B.C", as another station may have left them.
    CliLine line(Nodes(1));
    const std::string first = std::string("A.B     C   ", 12);
    const std::string second = std::string("A       B.C ", 12);
    line.sim().AddFile(0, first, Bytes(300, 10));
    line.sim().AddFile(0, second, Bytes(400, 11));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(1, 1);

    ProcessResult r = line.Cli({"delete", "1", "A.B.C"});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("A.B.C: more than one file on node 001"), std::string::npos) << r.err;
    EXPECT_EQ(line.sim().files(0).size(), 2u);

    // As list prints them, each names its own file.
    r = line.Cli({"list", "1"});
    EXPECT_EQ(r.out, "'A\\x2EB.C'\t300\n'A.B\\x2EC'\t400\n");
    r = line.Cli({"delete", "1", "A\\x2EB.C"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(line.sim().files(0).size(), 1u);
    EXPECT_EQ(line.sim().files(0)[0].name, second);
}

TEST(CliProtocolTest, UsageAndConfigurationErrorsExitTwo) {
    CliLine line(Nodes(2));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(2, 1);
    const std::string file = line.WriteFile("a.dst", Bytes(100, 6));

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"query", "3"}, "node 3 is out of range (the channel's nodes are 001 to 002)"},
        {{"list", "1-2"}, "one node"},
        {{"send", "1", line.dir() + "/none.dst"}, "no such file"},
        {{"--port", line.dir() + "/ttyNone", "query", "1"}, "does not exist"},
        {{"--port", file, "send", "1", file}, "not a terminal"},
        {{"--channel", "2", "query", "32"}, "channel 2 has no port"},
        {{"query", "1", "--timeout", "0"}, "--timeout: must be a number of seconds above 0"},
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
    const ProcessResult r = line.Cli({"query", "1"});
    ::close(holder);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("port COM1 (" + line.link() + "): the device is busy"), std::string::npos)
        << r.err;

    // A missing working folder is not created.
    const ProcessResult missing =
        RunProcess({kCli, "--workdir", line.dir() + "/nowhere", "query", "1"}, kRunDeadline);
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(fs::exists(line.dir() + "/nowhere"));
}

TEST(CliProtocolTest, CtrlCEndsAWaitForTheEventLog) {
    // Another program holds the event log's lock and does not let go (a talvorn-cli stopped with
    // Ctrl-Z, say): the clear waits, says so, and Ctrl-C ends it with nothing queued.
    CliLine line(Nodes(1));
    ASSERT_TRUE(line.Start());
    line.WriteParameters(1, 1);
    const std::string lock = line.workDir() + "/item1.ini.lock";
    const int holder = ::open(lock.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    ChildProcess cli({kCli, "--workdir", line.workDir(), "clear", "1"});
    ASSERT_TRUE(cli.started());
    EXPECT_TRUE(cli.ReadUntil(
        [](const ProcessResult& r) { return r.err.find("waiting for") != std::string::npos; },
        60s));
    cli.Signal(SIGINT);
    const ProcessResult r = cli.Finish(60s);
    ::close(holder);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("waiting for " + lock), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was queued"), std::string::npos) << r.err;
    const auto frames = line.sim().stats().framesByCode;
    EXPECT_EQ(std::accumulate(frames.begin(), frames.end(), uint64_t{0}), 0u)
        << "a request left the station";
    EXPECT_FALSE(fs::exists(line.workDir() + "/item1.ini"));
}

TEST(CliProtocolTest, DemoRunsToTheEnd) {
    // The executables of this build, so that the demo builds nothing.
    ::setenv("TALVORN_BUILD_DIR", TALVORN_BINARY_DIR, 1);
    // The command-line demo runs in every build; the windows' demo where this build has windows
    // (the sanitizer builds have none).
    std::vector<std::vector<std::string>> runs = {{TALVORN_SOURCE_DIR "/scripts/demo", "--cli"}};
    if (fs::exists(TALVORN_BINARY_DIR "/tools/demo/talvorn-demo"))
        runs.push_back({TALVORN_SOURCE_DIR "/scripts/demo"});
    for (const auto& args : runs) {
        const ProcessResult r = RunProcess(args, 400s);
        EXPECT_EQ(r.status, 0) << args.back() << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("Send File End"), std::string::npos) << args.back() << "\n" << r.out;
        EXPECT_NE(r.out.find("[subitem0]"), std::string::npos) << args.back() << "\n" << r.out;
    }
}

} // namespace
} // namespace clitest
