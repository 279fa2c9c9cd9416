// The line under real conditions, end to end against the simulator: slow speeds, a node that
// answers late, and a line whose port dies and comes back.
#include "CentreTest.h"
#include "SimLines.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

class Line : public CentreTest {
protected:
    static CTransTask Request(std::initializer_list<int> nodes) {
        CTransTask r;
        for (int n : nodes)
            r.nodeMask[n] = 1;
        return r;
    }
    ::testing::AssertionResult WaitQuiet(std::chrono::milliseconds d) {
        if (WaitFor([&] { return Quiet(); }, d))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the channel is still busy";
    }
};

// 19200 bps: a list block takes about 300 ms on the line and a check reply with its bitmap about
// 210 ms, both longer than the give-up time of a fast line.
TEST_F(Line, SlowSpeedsCarryLongRepliesAndWholeFiles) {
    nodesim::Config config;
    config.nodeCount = 4;
    config.baud = 19200;
    config.capacityBytes = 16 * 1024 * 1024;
    config.clusterBytes = 1024;
    SimLine line(config);
    for (int i = 0; i < kMaxEntries; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%03d.DST", i);
        ASSERT_TRUE(line.sim().AddFile(3, nodesim::NodeNameField(name), {uint8_t(i), 1, 2}));
    }
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 4, nullptr, 0, 0), 1);

    CTransTask query = Request({3});
    ASSERT_EQ(CreateQueryTask(0, query), 1);
    ASSERT_TRUE(WaitQuiet(120s));
    EXPECT_STREQ(NodeStatusText(Status(3)), "Query End");
    EXPECT_EQ(Node(3).ListedFiles().size(), static_cast<size_t>(kMaxEntries));
    EXPECT_EQ(line.sim().stats().framesByCode[0], 8u); // storage and seven blocks, each once

    const std::string path = line.dir() / "thirty.dst";
    const auto bytes = DesignBytes(30 * 1024, 19200);
    ASSERT_TRUE(WriteFile(path, bytes));
    CTransTask send = Request({0, 1, 2});
    send.files = {path};
    ASSERT_EQ(CreateSendTask(0, send), 1);
    ASSERT_TRUE(WaitQuiet(240s));
    for (int n : {0, 1, 2}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Send File End") << n;
        EXPECT_TRUE(line.sim().fileBytes(n, NameFieldOf(path)) == bytes) << n;
    }
}

TEST_F(Line, SendAt38400) {
    nodesim::Config config;
    config.nodeCount = 2;
    config.baud = 38400;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2, nullptr, 0, 1), 1);
    const std::string path = line.dir() / "medium.dsb";
    const auto bytes = DesignBytes(40000, 38400);
    ASSERT_TRUE(WriteFile(path, bytes));
    CTransTask send = Request({0, 1});
    send.files = {path};
    ASSERT_EQ(CreateSendTask(0, send), 1);
    ASSERT_TRUE(WaitQuiet(240s));
    for (int n : {0, 1}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Send File End") << n;
        EXPECT_TRUE(line.sim().fileBytes(n, NameFieldOf(path)) == bytes) << n;
    }
}

// Node 1 already holds the file and answers every request 400 ms late, after the station has given
// up on it, while node 2 (asked next) is silent: node 1's late "complete" must never be taken as
// node 2's answer. The station learns from that late reply how late node 1 answers, and waits
// for it from then on: node 1's later replies (its file check) are its own answers in time.
TEST_F(Line, ALateReplyIsNeverCreditedToTheNextNode) {
    TempDir storeDir;
    const std::string store = storeDir.path();
    nodesim::Config config;
    config.nodeCount = 3;
    config.setNodeLateMs(1, 400);
    config.setSilent(2);
    config.storeDir = store;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    const std::string path = line.dir() / "late.dst";
    const auto bytes = DesignBytes(20000, 500);
    ASSERT_TRUE(WriteFile(path, bytes));
    uint8_t tag[4];
    ASSERT_TRUE(ComputeFileTag(path, kMaxSendBytes, tag));
    ASSERT_TRUE(line.sim().AddFile(1, NameFieldOf(path), bytes, {tag[0], tag[1], tag[2], tag[3]}));
    const std::string mirror = store + "/node-%02d/" +
                               nodesim::MirrorFileName(nodesim::FieldFromString(NameFieldOf(path)));
    auto held = [&](int n) {
        char file[512];
        std::snprintf(file, sizeof file, mirror.c_str(), n);
        std::ifstream in(file, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}) == bytes;
    };

    CTransTask send = Request({0, 1, 2});
    send.files = {path};
    ASSERT_EQ(CreateSendTask(0, send), 1);
    // Every node that says "Send File End" holds the file, at every moment.
    bool falseEnd = false, waited1 = false, waited2 = false;
    auto watch = [&] {
        for (int n : {0, 1, 2})
            if (Status(n) == NS_FILE_DONE && !held(n))
                falseEnd = true;
        waited1 = waited1 || Status(1) == NS_WAITING;
        waited2 = waited2 || Status(2) == NS_WAITING;
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            watch();
            return falseEnd || (Status(0) == NS_FILE_DONE && waited1 && waited2 &&
                                line.sim().nodeStats(1).repliesSent >= 2);
        },
        120s));
    EXPECT_FALSE(falseEnd);

    // Once node 1 answers in time and node 2 hears again, the deferred work completes.
    line.sim().SetLateMs(1, -1);
    line.sim().SetSilent(2, false);
    ASSERT_TRUE(WaitFor(
        [&] {
            watch();
            return Quiet();
        },
        180s));
    EXPECT_FALSE(falseEnd);
    for (int n : {0, 1, 2}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Send File End") << n;
        EXPECT_TRUE(held(n)) << n;
    }
}

// The simulator goes away (as a pulled adapter would) and comes back on the same device name.
TEST_F(Line, ALostLineIsReportedAndItsWorkResumesWhenItIsBack) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    ASSERT_TRUE(line.sim().AddFile(1, nodesim::NodeNameField("KEEP.DST"), {1, 2, 3}));
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    CTransTask first = Request({0, 1});
    ASSERT_EQ(CreateQueryTask(0, first), 1);
    ASSERT_TRUE(WaitQuiet(60s));
    EXPECT_FALSE(Cc().LineLost(0));

    line.sim().Stop();
    ASSERT_TRUE(WaitFor([&] { return Cc().LineLost(0); }, 30s));
    CTransTask second = Request({0, 1});
    ASSERT_EQ(CreateQueryTask(0, second), 1);
    ASSERT_TRUE(WaitFor([&] { return Status(0) == NS_LINE_LOST && Status(1) == NS_LINE_LOST; }));
    EXPECT_STREQ(NodeStatusText(Status(1)), "Line Lost");
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 1); // the work is kept, not dropped

    ASSERT_TRUE(line.Start());
    ASSERT_TRUE(WaitFor([&] { return !Cc().LineLost(0); }, 30s));
    ASSERT_TRUE(WaitQuiet(60s));
    for (int n : {0, 1}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Query End") << n;
        EXPECT_EQ(Node(n).currentTaskNo.load(), 2) << n;
    }
    EXPECT_EQ(Node(1).ListedFiles().size(), 1u);
}

} // namespace
