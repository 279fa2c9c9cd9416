// The busy check before the centre is re-created, and cancelling any number of tasks.
#include "station/Centre.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A centre built by hand: no ports, no threads; pauses are not waited out.
std::unique_ptr<CCommCenter> HandBuiltCentre() {
    auto cc = std::make_unique<CCommCenter>();
    cc->pauseHook = [](int) { return true; };
    cc->channels[0].nodeCount.store(4);
    cc->channels[1].nodeCount.store(4);
    return cc;
}

TEST(StationCentre, BusyWithAnyWorkOnEitherChannel) {
    EXPECT_FALSE(CentreBusy()); // no centre
    auto cc = HandBuiltCentre();
    EXPECT_FALSE(ChannelBusy(*cc, 0));
    EXPECT_FALSE(ChannelBusy(*cc, 2));

    CTransTask request;
    request.nodeMask[2] = 1;
    ASSERT_EQ(cc->CreateTask(1, request, TASK_QUERY_NODE), 1);
    EXPECT_FALSE(ChannelBusy(*cc, 0));
    EXPECT_TRUE(ChannelBusy(*cc, 1)); // queued, with a note on node 2
    cc->taskQueue[1].Clear();
    EXPECT_TRUE(ChannelBusy(*cc, 1)); // the note alone
    cc->nodes[1][2].pendingTasks.Clear();
    cc->nodes[1][2].pendingTaskCount.store(0);
    EXPECT_FALSE(ChannelBusy(*cc, 1));

    cc->deferredQueue[0].Append(std::make_unique<CTransTask>());
    EXPECT_TRUE(ChannelBusy(*cc, 0));
    cc->deferredQueue[0].Clear();
    cc->taskActive[0].store(1);
    EXPECT_TRUE(ChannelBusy(*cc, 0));
}

TEST(StationCentre, LostLinesOfTheOpenChannels) {
    EXPECT_EQ(LostLines(3), 0); // no centre
    auto cc = HandBuiltCentre();
    EXPECT_EQ(LostLines(*cc, 3), 0);
    cc->channels[1].lineLost.store(1);
    EXPECT_EQ(LostLines(*cc, 3), 2);
    EXPECT_EQ(LostLines(*cc, 1), 0); // channel 2 never opened: nothing of it to tell
    cc->channels[0].lineLost.store(1);
    EXPECT_EQ(LostLines(*cc, 3), 3);
    cc->channels[1].lineLost.store(0);
    EXPECT_EQ(LostLines(*cc, 3), 1);
}

TEST(StationCentre, CancelsEveryNumberInBatches) {
    auto cc = HandBuiltCentre();
    std::vector<int32_t> numbers;
    for (int i = 0; i < 120; ++i) {
        CTransTask request;
        request.nodeMask[0] = request.nodeMask[1] = 1;
        ASSERT_EQ(cc->CreateTask(0, request, TASK_QUERY_NODE), 1);
        numbers.push_back(request.taskNo);
    }
    numbers.push_back(numbers.front()); // a repeat and a number that cannot exist go
    numbers.push_back(-1);

    int32_t onlyNode0[kTaskNodes] = {1};
    EXPECT_EQ(CancelTaskNumbers(*cc, 0, onlyNode0, numbers), 3);
    EXPECT_EQ(cc->nodes[0][0].pendingTaskCount.load(), 0);
    EXPECT_EQ(cc->nodes[0][1].pendingTaskCount.load(), 120);
    EXPECT_EQ(cc->taskQueue[0].Count(), 120u); // still queued for node 1

    int32_t node1[kTaskNodes] = {0, 1};
    CancelTaskNumbers(*cc, 0, node1, numbers);
    EXPECT_EQ(cc->nodes[0][1].pendingTaskCount.load(), 0);
    EXPECT_EQ(cc->taskQueue[0].Count(), 0u);
    EXPECT_FALSE(ChannelBusy(*cc, 0));
    EXPECT_EQ(CancelTaskNumbers(*cc, 0, node1, {}), 0);
}

} // namespace
