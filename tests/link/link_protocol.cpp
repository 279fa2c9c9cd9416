// The link over a real pseudo-terminal against the node simulator, with the real threads and
// periods. Commands are started by hand here; no task is queued, so the scheduler stays idle.
#include "SimLines.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace testsupport;

namespace {

class LinkOverPty : public ::testing::Test {
protected:
    void TearDown() override { CCommCenter::Destroy(); }

    CCommCenter& Centre() { return *CCommCenter::Instance(); }

    // Starts a command as the task layer would and waits until the channel is idle again.
    void Run(CTransTask cmd) {
        CCommCenter& cc = Centre();
        ASSERT_TRUE(WaitFor([&] { return cc.ChannelIdle(0); }));
        cc.StartCommand(0, cmd);
        ASSERT_TRUE(WaitFor([&] { return cc.ChannelIdle(0); }, std::chrono::seconds(120)))
            << "command " << cmd.type << " did not end";
    }
    static CTransTask Command(int type, std::initializer_list<int> nodes) {
        CTransTask cmd;
        cmd.type = type;
        for (int n : nodes)
            cmd.nodeMask[n] = 1;
        return cmd;
    }
};

TEST_F(LinkOverPty, QueryReadsBackEveryNameAndLength) {
    nodesim::Config config;
    config.nodeCount = 3;
    config.capacityBytes = 16 * 1024 * 1024;
    config.clusterBytes = 1024;
    SimLine line(config);
    for (int node : {1, 2}) {
        const int files = node == 1 ? 40 : 224;
        for (int i = 0; i < files; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "F%03d.DST", i);
            ASSERT_TRUE(line.sim().AddFile(node, nodesim::NodeNameField(name),
                                           std::vector<uint8_t>(100 + i + node, 1)));
        }
    }
    std::string error;
    ASSERT_TRUE(line.Start(&error)) << error;
    ASSERT_EQ(CreateCentre(&line, 3), 1);

    for (int node : {0, 1, 2}) {
        Run(Command(CMD_QUERY_NODE, {node}));
        NodeRecord& rec = Centre().nodes[0][node];
        EXPECT_EQ(rec.status.load(), NS_QUERY_END) << node;
        const auto expected = line.sim().files(node);
        const auto listed = rec.ListedFiles();
        ASSERT_EQ(listed.size(), expected.size()) << node;
        for (size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(listed[i].name), 12),
                      expected[i].name);
            EXPECT_EQ(listed[i].length, expected[i].length);
        }
        EXPECT_EQ(rec.freeBytes.load(), static_cast<int32_t>(line.sim().storage(node).freeUnits) *
                                            static_cast<int32_t>(config.clusterBytes));
        EXPECT_EQ(rec.maxFiles.load(), 224);
    }
}

TEST_F(LinkOverPty, FileGoesOutAsHeadCheckPackagesCheckAndResendsOnlyWhatIsMissing) {
    nodesim::Config config;
    config.nodeCount = 3;
    config.seed = 7;
    config.setNodeDropRate(2, 0.10);
    SimLine line(config);
    std::string error;
    ASSERT_TRUE(line.Start(&error)) << error;
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    CCommCenter& cc = Centre();

    const auto bytes = DesignBytes(100000, 11);
    const std::string path = line.dir() / "pattern.dst";
    ASSERT_TRUE(WriteFile(path, bytes));
    uint8_t tag[4];
    ASSERT_TRUE(ComputeFileTag(path, kMaxSendBytes, tag));
    auto fileCommand = [&](int type) {
        CTransTask cmd = Command(type, {0, 1, 2});
        cmd.fileName = path;
        std::memcpy(cmd.fileTag, tag, 4);
        return cmd;
    };
    auto done = [&](int n) { return cc.nodes[0][n].status.load() == NS_FILE_DONE; };

    // Head and checks until every node has taken the head (a dropped head is sent again).
    for (int round = 0; round < 10; ++round) {
        Run(fileCommand(CMD_SEND_HEAD));
        Run(fileCommand(CMD_CHECK_FILE));
        bool allHaveHead = true;
        for (int n = 0; n < 3; ++n)
            allHaveHead = allHaveHead && cc.nodes[0][n].status.load() == NS_MORE;
        if (allHaveHead)
            break;
    }
    ASSERT_EQ(cc.stores[0].packageCount.load(), 196);
    Run(fileCommand(CMD_SEND_PACKAGES));
    // Nodes 0 and 1 drop nothing and hold the file after one round.
    for (int round = 0; round < 5 && !(done(0) && done(1)); ++round)
        Run(fileCommand(CMD_CHECK_FILE));
    ASSERT_TRUE(done(0));
    ASSERT_TRUE(done(1));

    // Node 2 lost some packages (or its check): each further packages command carries exactly
    // what it still lacks, and nothing to the nodes that are complete.
    for (int round = 0; round < 20 && !done(2); ++round) {
        if (cc.nodes[0][2].status.load() != NS_MORE) {
            Run(fileCommand(CMD_CHECK_FILE)); // the check itself was dropped
            continue;
        }
        std::set<int> lacking;
        for (int i = 1; i <= 196; ++i) {
            if (cc.nodes[0][2].needPackage[i].load())
                lacking.insert(i);
        }
        const auto before0 = line.sim().nodeStats(0).dataFramesAddressed;
        const auto before2 = line.sim().nodeStats(2).dataFramesAddressed;
        CTransTask resend = fileCommand(CMD_SEND_PACKAGES);
        resend.nodeMask[0] = resend.nodeMask[1] = 0;
        Run(resend);
        // The command ends once the port has taken the packages; the simulator reads them from the
        // line a moment later, in order, so once node 2 has all of its own nothing else is coming.
        WaitFor(
            [&] { return line.sim().nodeStats(2).dataFramesAddressed - before2 >= lacking.size(); },
            std::chrono::seconds(10));
        EXPECT_EQ(line.sim().nodeStats(0).dataFramesAddressed, before0);
        EXPECT_EQ(line.sim().nodeStats(2).dataFramesAddressed - before2, lacking.size());
        CTransTask check = fileCommand(CMD_CHECK_FILE);
        check.nodeMask[0] = check.nodeMask[1] = 0;
        Run(check);
    }
    ASSERT_TRUE(done(2));

    uint8_t field[12];
    NodeNameField(path, field);
    const std::string name(reinterpret_cast<const char*>(field), 12);
    for (int n = 0; n < 3; ++n) {
        const auto held = line.sim().fileBytes(n, name);
        ASSERT_TRUE(held.has_value()) << n;
        EXPECT_TRUE(*held == bytes) << "node " << n << " holds different bytes";
    }
}

TEST_F(LinkOverPty, SilentNodeLeavesRequestSentAndTheChannelMovesOn) {
    nodesim::Config config;
    config.nodeCount = 2;
    config.setSilent(1);
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    Run(Command(CMD_QUERY_NODE, {1}));
    EXPECT_EQ(Centre().nodes[0][1].status.load(), NS_REQUEST_SENT);
    Run(Command(CMD_QUERY_NODE, {0}));
    EXPECT_EQ(Centre().nodes[0][0].status.load(), NS_QUERY_END);
}

TEST_F(LinkOverPty, DeleteAndClearReachTheNodes) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    for (int n = 0; n < 2; ++n)
        for (const char* f : {"A.DST", "B.DSB", "C.UPT"})
            ASSERT_TRUE(line.sim().AddFile(n, nodesim::NodeNameField(f), {1, 2, 3}));
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    CTransTask del = Command(CMD_DELETE_FILES, {0});
    del.files = {nodesim::NodeNameField("A.DST"), nodesim::NodeNameField("C.UPT")};
    Run(del);
    ASSERT_TRUE(WaitFor([&] { return line.sim().files(0).size() == 1; }));
    EXPECT_EQ(line.sim().files(0)[0].name, nodesim::NodeNameField("B.DSB"));
    EXPECT_EQ(line.sim().files(1).size(), 3u);
    Run(Command(CMD_CLEAR_NODE, {0, 1}));
    ASSERT_TRUE(WaitFor([&] { return line.sim().files(1).empty(); }));
    EXPECT_TRUE(line.sim().files(0).empty());
}

} // namespace
