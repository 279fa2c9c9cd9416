// The task layer end to end: the real centre with its threads, over pseudo-terminals to the node
// simulator.
#include "CentreTest.h"
#include "SimLines.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

std::string Field(const std::string& path) {
    return NameFieldOf(path);
}

class Tasks : public CentreTest {
protected:
    static CTransTask Request(std::initializer_list<int> nodes) {
        CTransTask r;
        for (int n : nodes)
            r.nodeMask[n] = 1;
        return r;
    }
    ::testing::AssertionResult WaitQuiet(int c = 0, std::chrono::milliseconds d = 120s) {
        if (WaitFor([&] { return Quiet(c); }, d))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "channel " << c << " still busy";
    }
    // The station's copy of the node's list and room equals the node's own.
    void ExpectStationCopyMatches(SimLine& line, int n, int c = 0) {
        const auto own = line.sim().files(n);
        const auto copy = Node(n, c).ListedFiles();
        ASSERT_EQ(copy.size(), own.size()) << "node " << n;
        std::set<std::pair<std::string, uint32_t>> a, b;
        for (const auto& f : own)
            a.insert({f.name, f.length});
        for (const auto& f : copy)
            b.insert({std::string(reinterpret_cast<const char*>(f.name), 12), f.length});
        EXPECT_EQ(a, b) << "node " << n;
        EXPECT_EQ(Node(n, c).freeBytes.load(),
                  static_cast<int32_t>(line.sim().storage(n).freeUnits *
                                       line.sim().storage(n).clusterBytes))
            << "node " << n;
    }
};

TEST_F(Tasks, QueryTaskOverThreeNodes) {
    nodesim::Config config;
    config.nodeCount = 3;
    SimLine line(config);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(line.sim().AddFile(2, nodesim::NodeNameField("F" + std::to_string(i) + ".DST"),
                                       std::vector<uint8_t>(700, 3)));
    ASSERT_TRUE(line.sim().AddFile(1, nodesim::NodeNameField("ONE.UPT"), {1, 2}));
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    CTransTask req = Request({0, 1, 2});
    ASSERT_EQ(CreateQueryTask(0, req), 1);
    ASSERT_TRUE(WaitQuiet());
    for (int n = 0; n < 3; ++n) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Query End") << n;
        ExpectStationCopyMatches(line, n);
        EXPECT_EQ(Node(n).pendingTaskCount.load(), 0);
        EXPECT_EQ(Node(n).currentTaskNo.load(), 1);
    }
}

TEST_F(Tasks, SendToFullSmallAndLossyNodes) {
    nodesim::Config config;
    config.nodeCount = 4;
    config.seed = 3;
    config.setNodeDropRate(2, 0.10);
    SimLine line(config);
    // Node 3 has room for one of the files only.
    ASSERT_TRUE(line.sim().AddFile(3, nodesim::NodeNameField("BIG.DST"),
                                   std::vector<uint8_t>(1457664 - 100 * 1024, 7)));
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 4), 1);
    std::vector<std::string> paths;
    std::vector<std::vector<uint8_t>> contents;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(line.dir() / ("design" + std::to_string(i) + ".dst"));
        contents.push_back(DesignBytes(60000 + 777 * i, 100 + i));
        ASSERT_TRUE(WriteFile(paths.back(), contents.back()));
    }
    CTransTask req = Request({0, 1, 2, 3});
    req.files = paths;
    ASSERT_EQ(CreateSendTask(0, req), 1);
    ASSERT_TRUE(WaitQuiet(0, 240s));

    for (int n : {0, 1, 2}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "Send File End") << n;
        for (int i = 0; i < 3; ++i) {
            const auto held = line.sim().fileBytes(n, Field(paths[i]));
            ASSERT_TRUE(held.has_value()) << "node " << n << " file " << i;
            EXPECT_TRUE(*held == contents[i]) << "node " << n << " file " << i;
        }
        ExpectStationCopyMatches(line, n);
    }
    EXPECT_STREQ(NodeStatusText(Status(3)), "No Sufficient Room");
    EXPECT_TRUE(line.sim().fileBytes(3, Field(paths[0])).has_value());
    EXPECT_FALSE(line.sim().fileBytes(3, Field(paths[1])).has_value());
    ExpectStationCopyMatches(line, 3);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(Node(n).pendingTaskCount.load(), 0) << n;
}

TEST_F(Tasks, FileThatVanishesIsSkippedAndTheTaskEnds) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(line.dir() / ("f" + std::to_string(i) + ".dst"));
        ASSERT_TRUE(WriteFile(paths.back(), DesignBytes(i == 0 ? 150000 : 5000, i)));
    }
    CTransTask req = Request({0, 1});
    req.files = paths;
    ASSERT_EQ(CreateSendTask(0, req), 1);
    // Once prepared (the task has started), the second file disappears.
    ASSERT_TRUE(WaitFor([&] { return Cc().preparedFiles[0].Count() == 3; }));
    std::filesystem::remove(paths[1]);
    ASSERT_TRUE(WaitQuiet(0, 120s));
    for (int n : {0, 1}) {
        EXPECT_TRUE(line.sim().fileBytes(n, Field(paths[0])).has_value());
        EXPECT_FALSE(line.sim().fileBytes(n, Field(paths[1])).has_value());
        EXPECT_TRUE(line.sim().fileBytes(n, Field(paths[2])).has_value());
        // The later file went out, but the send as a whole failed: not a cancel, not a success.
        EXPECT_STREQ(NodeStatusText(Status(n)), "File Cannot Be Read");
        EXPECT_EQ(Node(n).pendingTaskCount.load(), 0);
        EXPECT_EQ(Node(n).ListedFiles().size(), 2u); // the skipped file is not recorded
    }

    // A send whose only file is gone before it starts ends the same way.
    CTransTask again = Request({0});
    again.files = {paths[1]};
    ASSERT_EQ(CreateSendTask(0, again), 1);
    ASSERT_TRUE(WaitQuiet(0, 60s));
    EXPECT_STREQ(NodeStatusText(Status(0)), "File Cannot Be Read");
}

TEST_F(Tasks, FilesOfOneSendNeverShareANodeName) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    // The first two have one short form; the third has the first one's long name.
    std::filesystem::create_directories(line.dir() / "a");
    std::filesystem::create_directories(line.dir() / "b");
    const std::vector<std::string> paths = {line.dir() / "a/samplefile06758.dst",
                                            line.dir() / "b/samplefile09966.dst",
                                            line.dir() / "b/SAMPLEFILE06758.DST"};
    std::vector<std::vector<uint8_t>> contents;
    for (size_t i = 0; i < paths.size(); ++i) {
        contents.push_back(DesignBytes(3000 + 100 * i, 60 + static_cast<uint32_t>(i)));
        ASSERT_TRUE(WriteFile(paths[i], contents[i]));
    }
    const auto names = AssignNodeNames(paths);
    CTransTask req = Request({0, 1});
    req.files = paths;
    ASSERT_EQ(CreateSendTask(0, req), 1);
    ASSERT_TRUE(WaitQuiet(0, 120s));
    for (int n : {0, 1}) {
        ASSERT_EQ(line.sim().files(n).size(), 2u) << n;
        for (size_t i = 0; i < 2; ++i) {
            const std::string field(reinterpret_cast<const char*>(names[i].field), 12);
            EXPECT_TRUE(line.sim().fileBytes(n, field) == contents[i]) << n << " " << i;
        }
        EXPECT_STREQ(NodeStatusText(Status(n)), "Duplicate File Name");
        ExpectStationCopyMatches(line, n);
    }
}

TEST_F(Tasks, CancelDoesNotWaitForFilesBeingRead) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    const std::string path = line.dir() / "held.dst";
    ASSERT_TRUE(WriteFile(path, DesignBytes(5000, 7)));
    // The scheduler thread is held inside its file work until the test lets it go. The state
    // outlives the test body: the thread may pass the hook again until the centre is gone.
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, release = false;
    };
    auto gate = std::make_shared<Gate>();
    // Set before any send exists: until then the scheduler thread never looks at it.
    Cc().fileWorkHook = [gate](int) {
        std::unique_lock lock(gate->m);
        gate->entered = true;
        gate->cv.notify_all();
        gate->cv.wait(lock, [&] { return gate->release; });
    };
    auto letGo = [&] {
        std::lock_guard lock(gate->m);
        gate->release = true;
        gate->cv.notify_all();
    };
    auto& m = gate->m;
    auto& cv = gate->cv;
    auto& entered = gate->entered;
    CTransTask req = Request({0, 1});
    req.files = {path};
    ASSERT_EQ(CreateSendTask(0, req), 1);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 60s, [&] { return entered; }));
    }
    CTransTask cancel = Request({0, 1});
    cancel.cancelTaskNos[0] = req.taskNo;
    cancel.cancelTaskNos[1] = -1;
    auto done = std::async(std::launch::async, [&] { return Cc().CancelTasks(0, cancel); });
    const bool returned = done.wait_for(30s) == std::future_status::ready;
    letGo();
    EXPECT_TRUE(returned) << "cancel waited for the files being read";
    EXPECT_EQ(done.get(), 1);
    ASSERT_TRUE(WaitQuiet(0, 60s));
    EXPECT_EQ(Node(0).pendingTaskCount.load(), 0);
    EXPECT_TRUE(line.sim().files(0).empty()); // the cancelled send never started
}

TEST_F(Tasks, DeleteThatTheNodeIgnoresOnceIsRetried) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine line(config);
    for (const char* f : {"A.DST", "B.DST"})
        ASSERT_TRUE(line.sim().AddFile(1, nodesim::NodeNameField(f), {1, 2, 3}));
    line.sim().IgnoreNextDeletes(1, 1);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    CTransTask req = Request({1});
    req.files = {nodesim::NodeNameField("A.DST")};
    ASSERT_EQ(CreateDeleteTask(0, req), 1);
    bool sawRetry = false;
    ASSERT_TRUE(WaitFor([&] {
        sawRetry = sawRetry || Status(1) == NS_RETRY_DELETE;
        return Quiet();
    }));
    EXPECT_TRUE(sawRetry);
    EXPECT_STREQ(NodeStatusText(Status(1)), "Delete End");
    EXPECT_EQ(line.sim().nodeStats(1).deletesIgnored, 1u);
    EXPECT_EQ(line.sim().stats().framesByCode[FRAME_DELETE - FRAME_QUERY], 2u);
    ASSERT_EQ(line.sim().files(1).size(), 1u);
    EXPECT_EQ(line.sim().files(1)[0].name, nodesim::NodeNameField("B.DST"));
    ExpectStationCopyMatches(line, 1);
}

TEST_F(Tasks, ClearOfTwoNodesIsOneBroadcastAndTwoQueries) {
    nodesim::Config config;
    config.nodeCount = 3;
    SimLine line(config);
    for (int n : {0, 2})
        ASSERT_TRUE(line.sim().AddFile(n, nodesim::NodeNameField("X.DST"), {9}));
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    CTransTask req = Request({0, 2});
    ASSERT_EQ(CreateClearTask(0, req), 1);
    ASSERT_TRUE(WaitQuiet());
    EXPECT_STREQ(NodeStatusText(Status(0)), "Clear End");
    EXPECT_STREQ(NodeStatusText(Status(2)), "Clear End");
    const auto stats = line.sim().stats();
    EXPECT_EQ(stats.framesByCode[FRAME_DELETE - FRAME_QUERY], 1u);
    EXPECT_EQ(stats.framesByCode[FRAME_QUERY - FRAME_QUERY], 2u); // block 0 of each empty node
    EXPECT_TRUE(line.sim().files(0).empty());
    EXPECT_TRUE(line.sim().files(2).empty());
}

TEST_F(Tasks, SilentNodeWaitsWhileNewTasksRunFirst) {
    nodesim::Config config;
    config.nodeCount = 2;
    config.setSilent(1);
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    CTransTask first = Request({0, 1});
    ASSERT_EQ(CreateQueryTask(0, first), 1);
    ASSERT_TRUE(WaitFor([&] { return Status(1) == NS_WAITING; }));
    EXPECT_STREQ(NodeStatusText(Status(1)), "Waiting...");
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 1); // the deferred copy is still pending there

    CTransTask second = Request({0});
    ASSERT_EQ(CreateQueryTask(0, second), 1);
    ASSERT_TRUE(WaitFor([&] {
        return Node(0).currentTaskNo.load() == 2 && Status(0) == NS_QUERY_END &&
               Cc().taskQueue[0].Count() == 0;
    }));
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 1);

    line.sim().SetSilent(1, false);
    ASSERT_TRUE(WaitQuiet());
    EXPECT_STREQ(NodeStatusText(Status(1)), "Query End");
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 0);
}

TEST_F(Tasks, CancelQueuedTaskOnOneOfItsNodes) {
    nodesim::Config config;
    config.nodeCount = 3;
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    // A send keeps the channel busy while the second task waits.
    const std::string path = line.dir() / "busy.dst";
    ASSERT_TRUE(WriteFile(path, DesignBytes(200000, 5)));
    CTransTask busy = Request({2});
    busy.files = {path};
    ASSERT_EQ(CreateSendTask(0, busy), 1);
    ASSERT_TRUE(WaitFor([&] { return Cc().taskQueue[0].Count() == 0; }));
    CTransTask waiting = Request({0, 1});
    ASSERT_EQ(CreateQueryTask(0, waiting), 1);
    const auto repliesBefore = line.sim().nodeStats(1).repliesSent;

    CTransTask cancel = Request({1});
    auto list = CollectCancelList(Cc(), 0, cancel);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].taskNo, 2);
    list[0].ticked = 1;
    ASSERT_TRUE(FillCancelNumbers(list, cancel));
    EXPECT_EQ(Cc().CancelTasks(0, cancel), 1);
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 0);
    ASSERT_EQ(Cc().taskQueue[0].Count(), 1u);

    ASSERT_TRUE(WaitQuiet());
    EXPECT_STREQ(NodeStatusText(Status(0)), "Query End");
    EXPECT_EQ(line.sim().nodeStats(1).repliesSent, repliesBefore); // never asked
    EXPECT_STREQ(NodeStatusText(Status(2)), "Send File End");
}

TEST_F(Tasks, CancelRunningSendOnOneNode) {
    nodesim::Config config;
    config.nodeCount = 2;
    config.baud = 115200; // slow enough to cancel in the middle
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    const std::string path = line.dir() / "long.dst";
    const auto bytes = DesignBytes(120000, 9);
    ASSERT_TRUE(WriteFile(path, bytes));
    CTransTask req = Request({0, 1});
    req.files = {path};
    ASSERT_EQ(CreateSendTask(0, req), 1);
    ASSERT_TRUE(WaitFor([&] { return Node(0).progress.load() > 0; }));

    CTransTask cancel = Request({0});
    cancel.cancelTaskNos[0] = 1;
    cancel.cancelTaskNos[1] = -1;
    Cc().CancelTasks(0, cancel);
    ASSERT_TRUE(WaitQuiet(0, 180s));
    EXPECT_STREQ(NodeStatusText(Status(0)), "User Has Cancelled Task");
    EXPECT_EQ(Node(0).pendingTaskCount.load(), 0);
    EXPECT_FALSE(line.sim().fileBytes(0, Field(path)).has_value());
    // The other node was stopped with the command, then carried on to the end.
    EXPECT_STREQ(NodeStatusText(Status(1)), "Send File End");
    const auto held = line.sim().fileBytes(1, Field(path));
    ASSERT_TRUE(held.has_value());
    EXPECT_TRUE(*held == bytes);
}

TEST_F(Tasks, CancelDeferredCopy) {
    nodesim::Config config;
    config.nodeCount = 2;
    config.setSilent(1);
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 2), 1);
    CTransTask req = Request({1});
    ASSERT_EQ(CreateQueryTask(0, req), 1);
    ASSERT_TRUE(WaitFor([&] { return Status(1) == NS_WAITING; }));
    CTransTask cancel = Request({1});
    auto list = CollectCancelList(Cc(), 0, cancel);
    ASSERT_EQ(list.size(), 1u);
    list[0].ticked = 1;
    FillCancelNumbers(list, cancel);
    Cc().CancelTasks(0, cancel);
    ASSERT_TRUE(WaitQuiet());
    EXPECT_STREQ(NodeStatusText(Status(1)), "User Has Cancelled Task");
    EXPECT_EQ(Node(1).pendingTaskCount.load(), 0);
}

TEST_F(Tasks, BothChannelsWorkAtTheSameTime) {
    nodesim::Config config;
    config.nodeCount = 2;
    SimLine one(config), two(config);
    ASSERT_TRUE(one.Start());
    ASSERT_TRUE(two.Start());
    ASSERT_EQ(CreateCentre(&one, 2, &two, 2), 3);
    const std::string a = one.dir() / "one.dst", b = two.dir() / "two.dsb";
    const auto bytesA = DesignBytes(80000, 1), bytesB = DesignBytes(90000, 2);
    ASSERT_TRUE(WriteFile(a, bytesA));
    ASSERT_TRUE(WriteFile(b, bytesB));
    CTransTask r1 = Request({0, 1}), r2 = Request({0, 1});
    r1.files = {a};
    r2.files = {b};
    ASSERT_EQ(CreateSendTask(0, r1), 1);
    ASSERT_EQ(CreateSendTask(1, r2), 1);
    EXPECT_EQ(r1.taskNo, 1);
    EXPECT_EQ(r2.taskNo, 1);
    // Both run at once: each channel is under way before either has finished.
    ASSERT_TRUE(
        WaitFor([&] { return Node(0, 0).progress.load() > 0 || Status(0, 0) == NS_FILE_DONE; }));
    ASSERT_TRUE(
        WaitFor([&] { return Node(0, 1).progress.load() > 0 || Status(0, 1) == NS_FILE_DONE; }));
    ASSERT_TRUE(WaitQuiet(0));
    ASSERT_TRUE(WaitQuiet(1));
    for (int n : {0, 1}) {
        EXPECT_TRUE(one.sim().fileBytes(n, Field(a)) == bytesA);
        EXPECT_TRUE(two.sim().fileBytes(n, Field(b)) == bytesB);
        EXPECT_STREQ(NodeStatusText(Status(n, 0)), "Send File End");
        EXPECT_STREQ(NodeStatusText(Status(n, 1)), "Send File End");
    }
}

} // namespace
