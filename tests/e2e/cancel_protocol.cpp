// Cancelling a send that is under way, end to end: the operator selects several nodes at once.
#include "CentreTest.h"
#include "SimLines.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

std::string Field(const std::string& path) {
    return NameFieldOf(path);
}

class CancelE2e : public CentreTest {};

// Two nodes taken out of a running send in one request both show that they were cancelled, and
// the third node still gets the file.
TEST_F(CancelE2e, RunningSendCancelledOnTwoNodesAtOnce) {
    nodesim::Config config;
    config.nodeCount = 3;
    config.baud = 115200; // slow enough to cancel while the packages go out
    SimLine line(config);
    ASSERT_TRUE(line.Start());
    ASSERT_EQ(CreateCentre(&line, 3), 1);
    const std::string path = line.dir() / "long.dst";
    const auto bytes = DesignBytes(120000, 4);
    ASSERT_TRUE(WriteFile(path, bytes));
    CTransTask req;
    for (int n : {0, 1, 2})
        req.nodeMask[n] = 1;
    req.files = {path};
    ASSERT_EQ(CreateSendTask(0, req), 1);
    // The packages are under way (the first check came before them).
    ASSERT_TRUE(WaitFor([&] { return Node(0).progress.load() > 0; }));

    CTransTask cancel;
    cancel.nodeMask[0] = 1;
    cancel.nodeMask[1] = 1;
    cancel.cancelTaskNos[0] = req.taskNo;
    cancel.cancelTaskNos[1] = -1;
    ASSERT_EQ(Cc().CancelTasks(0, cancel), 1);
    ASSERT_TRUE(WaitFor([&] { return Quiet(); }, 180s));

    for (int n : {0, 1}) {
        EXPECT_STREQ(NodeStatusText(Status(n)), "User Has Cancelled Task") << "node " << n;
        EXPECT_EQ(Node(n).pendingTaskCount.load(), 0) << "node " << n;
        EXPECT_FALSE(line.sim().fileBytes(n, Field(path)).has_value()) << "node " << n;
    }
    EXPECT_STREQ(NodeStatusText(Status(2)), "Send File End");
    const auto held = line.sim().fileBytes(2, Field(path));
    ASSERT_TRUE(held.has_value());
    EXPECT_TRUE(*held == bytes);
}

} // namespace
