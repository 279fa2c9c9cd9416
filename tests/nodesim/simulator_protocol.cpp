// The simulator over a real pseudo-terminal, and the executable, driven the way the station's
// serial code drives them.
#include "NodeSim.h"
#include "TestFrames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace nodesim::test {
namespace {

constexpr auto kDeadline = 30s;
const std::string kBinary = TALVORN_BINARY_DIR "/tools/nodesim/talvorn-nodesim";

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/nodesim-proto-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The station's side of the line: plain POSIX, raw.
class Port {
public:
    explicit Port(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
            tcflush(fd_, TCIOFLUSH);
        }
    }
    ~Port() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    bool Write(const Bytes& bytes) {
        size_t done = 0;
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (done < bytes.size() && std::chrono::steady_clock::now() < end) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else
                Wait(POLLOUT, 10);
        }
        return done == bytes.size();
    }

    // One whole reply frame, or empty after the deadline.
    Bytes ReadReply() {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < end) {
            uint8_t buf[600];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
            else
                Wait(POLLIN, 10);
            if (got.size() >= 9 && got.size() >= 9 + GetLe16(got.data() + 6))
                return got;
        }
        return {};
    }

private:
    void Wait(short events, int ms) {
        pollfd p{fd_, events, 0};
        poll(&p, 1, ms);
    }
    int fd_ = -1;
};

TEST(SimulatorPty, AnswersAQueryAndSurvivesThePortBeingReopened) {
    TempDir dir;
    Config c;
    c.nodeCount = 4;
    Simulator sim(c);
    const std::string link = (dir.path() / "line").string();
    std::string error;
    ASSERT_TRUE(sim.Start(link, &error)) << error;
    EXPECT_EQ(fs::read_symlink(link).string(), sim.slavePath());
    ASSERT_TRUE(sim.AddFile(2, NodeNameField("a.dst"), Bytes(1000)));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Port port(link);
        ASSERT_TRUE(port.ok());
        ASSERT_TRUE(port.Write(QueryFrame({2}, 0)));
        const Bytes body = ReplyBody(port.ReadReply());
        StorageInfo info;
        ASSERT_TRUE(DecodeStorageInfo(body.data(), body.size(), info));
        EXPECT_EQ(info.fileCount, 1);
        EXPECT_EQ(info.freeUnits, 2847 - 2);
    }
    EXPECT_EQ(sim.stats().framesByCode[0], 2u);
    EXPECT_EQ(sim.stats().repliesSent, 2u);

    sim.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SimulatorPty, TransfersAFileAtLineRate) {
    TempDir dir;
    Config c;
    c.nodeCount = 2;
    c.baud = 115200;
    c.storeDir = (dir.path() / "store").string();
    Simulator sim(c);
    const std::string link = (dir.path() / "line").string();
    std::string error;
    ASSERT_TRUE(sim.Start(link, &error)) << error;
    Port port(link);
    ASSERT_TRUE(port.ok());

    const Bytes content = Pattern(5 * 512 + 100, 11);
    const FileTag tag{1, 2, 3, 4};
    const std::string name = NodeNameField("line.dst");
    std::vector<Bytes> frames = {
        HeadFrame({0, 1}, name, static_cast<uint32_t>(content.size()), tag)};
    for (int i = 1; i <= PackageCount(content.size()); ++i)
        frames.push_back(PackageFrame({0, 1}, content, i));
    size_t lineBytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Bytes& f : frames) {
        ASSERT_TRUE(port.Write(f));
        lineBytes += f.size();
    }
    ASSERT_TRUE(port.Write(CheckFrame({1}, tag)));
    const Bytes body = ReplyBody(port.ReadReply());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0], 0); // complete
    // Never faster than 11 bits a byte allow.
    EXPECT_GE(std::chrono::duration<double>(elapsed).count(), 0.9 * lineBytes * 11 / 115200);

    for (int node : {0, 1}) {
        std::ifstream in(dir.path() / "store" / ("node-0" + std::to_string(node)) / "LINE.DST",
                         std::ios::binary);
        EXPECT_TRUE(Bytes(std::istreambuf_iterator<char>(in), {}) == content) << node;
    }
}

TEST(SimulatorPty, SilenceAndLateAnswersChangeWhileServing) {
    TempDir dir;
    Config c;
    c.nodeCount = 2;
    Simulator sim(c);
    const std::string link = (dir.path() / "line").string();
    std::string error;
    ASSERT_TRUE(sim.Start(link, &error)) << error;
    Port port(link);
    ASSERT_TRUE(port.ok());

    // The silenced node lets block 1 go unanswered: the first reply is the one to block 2.
    sim.SetSilent(1, true);
    ASSERT_TRUE(port.Write(QueryFrame({1}, 1)));
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (sim.stats().framesByCode[0] < 1 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(sim.stats().framesByCode[0], 1u);
    sim.SetSilent(1, false);
    sim.SetLateMs(300);
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.Write(QueryFrame({1}, 2)));
    const Bytes body = ReplyBody(port.ReadReply());
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms);
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[0], 2);
}

TEST(SimulatorPty, ReplacesAStaleLinkButNoOtherFile) {
    TempDir dir;
    const fs::path stale = dir.path() / "stale";
    fs::create_symlink("/nonexistent/pts", stale);
    const fs::path plain = dir.path() / "plain";
    std::ofstream(plain) << "keep";

    Simulator sim(Config{});
    std::string error;
    EXPECT_FALSE(sim.Start(plain.string(), &error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(plain));
    ASSERT_TRUE(sim.Start(stale.string(), &error)) << error;
    EXPECT_EQ(fs::read_symlink(stale).string(), sim.slavePath());
}

// --- The executable

struct ProcessResult {
    int status = -1;
    std::string out;
};

ProcessResult RunBinary(const std::vector<std::string>& args) {
    std::string command = kBinary;
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " 2>&1";
    ProcessResult r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        r.out.append(buf, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(NodesimExecutable, HelpListsEveryOption) {
    const ProcessResult r = RunBinary({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--link", "--nodes", "--capacity", "--cluster", "--max-files", "--preload", "--store",
          "--clear-store", "--drop", "--drop-node", "--corrupt", "--silent", "--late",
          "--late-node", "--baud", "--seed", "--verbose", "--help"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(NodesimExecutable, BadValuesExitWithStatusTwo) {
    const ProcessResult r = RunBinary({"--link", "/tmp/x", "--drop", "2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("--drop"), std::string::npos) << r.out;
    EXPECT_EQ(RunBinary({"--nodes", "3"}).status, 2); // no --link
}

TEST(NodesimExecutable, ServesUntilSigtermThenRemovesItsLink) {
    TempDir dir;
    const std::string link = (dir.path() / "line").string();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(kBinary.c_str(), kBinary.c_str(), "--link", link.c_str(), "--nodes", "3",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[256];
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
    }
    close(out[0]);
    const std::string slave = fs::is_symlink(link) ? fs::read_symlink(link).string() : "";
    EXPECT_EQ(line, "ready " + link + " -> " + slave + "\n");

    {
        Port port(link);
        ASSERT_TRUE(port.ok());
        ASSERT_TRUE(port.Write(QueryFrame({2}, 1)));
        EXPECT_EQ(ReplyBody(port.ReadReply()), (Bytes{1, 0, Crc8(Bytes{1, 0}.data(), 2)}));
        EXPECT_TRUE(port.Write(QueryFrame({3}, 0))); // node 3 does not exist
    }

    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

} // namespace
} // namespace nodesim::test
