// Machines that answer late, end to end: talvorn-cli against simulated nodes that all answer 150,
// 400 or 900 ms late. The first late reply of each is given up and credited to nobody; the station
// learns from it how late the node answers and waits for it from then on. Every node ends with
// its own answers: its own file count in a query, the file byte for byte after a send.
#include "CliProcess.h"

#include "NodeSim.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace clitest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCli = TALVORN_BINARY_DIR "/tools/cli/talvorn-cli";
constexpr int kNodes = 3;

std::vector<uint8_t> Bytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen());
    return out;
}

class LateNodes : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "talvorn-late-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        fs::create_directory(dir_ + "/work");
        nodesim::Config config;
        config.nodeCount = kNodes;
        config.baud = 115200;
        for (int n = 0; n < kNodes; ++n)
            config.setNodeLateMs(n, GetParam());
        sim_ = std::make_unique<nodesim::Simulator>(config);
        // Node n holds n + 1 files: a query answer credited to another node would show.
        for (int n = 0; n < kNodes; ++n)
            for (int k = 0; k <= n; ++k)
                ASSERT_TRUE(sim_->AddFile(n, nodesim::NodeNameField("HELD" + std::to_string(k)),
                                          Bytes(100 + k, k)));
        std::string error;
        ASSERT_TRUE(sim_->Start(dir_ + "/line", &error)) << error;
        std::ofstream(dir_ + "/work/Para.ini")
            << "[SYS_PARA]\nChannel1ComID=COM1\nChannel1ComSum=" << kNodes
            << "\nChannel1ComOne=1\nChannel1ComSpeed=3\nChannel2ComID=\n[PORTS]\nCOM1=" << dir_
            << "/line\n";
    }
    void TearDown() override {
        sim_->Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    ProcessResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {kCli, "--workdir", dir_ + "/work"});
        return RunProcess(args, 240s);
    }

    std::string dir_;
    std::unique_ptr<nodesim::Simulator> sim_;
};

TEST_P(LateNodes, EveryNodeEndsWithItsOwnAnswers) {
    ProcessResult r = Cli({"query", "1-3"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    for (int n = 0; n < kNodes; ++n) {
        ASSERT_TRUE(std::getline(lines, line)) << r.out;
        EXPECT_EQ(line.rfind("00" + std::to_string(n + 1) + "\tQuery End\t", 0), 0u) << line;
        EXPECT_NE(line.find(" files " + std::to_string(n + 1)), std::string::npos) << line;
    }

    const std::string path = dir_ + "/late.dst";
    const auto bytes = Bytes(20000, 9);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    r = Cli({"send", "1-3", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "001\tSend File End\n002\tSend File End\n003\tSend File End\n") << r.err;
    uint8_t field[12];
    NodeNameField(path, field);
    const std::string name(reinterpret_cast<const char*>(field), 12);
    for (int n = 0; n < kNodes; ++n) {
        EXPECT_TRUE(sim_->fileBytes(n, name) == bytes) << n;
        EXPECT_EQ(sim_->files(n).size(), static_cast<size_t>(n + 2)) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Ms, LateNodes, ::testing::Values(150, 400, 900));

} // namespace
} // namespace clitest
