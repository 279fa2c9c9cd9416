// The task commands' rules: the nodes a command addresses, what a send takes from the checked
// groups, and that a command which cannot be queued leaves the event log alone.
#include "TestSupport.h"
#include "link/CommCenter.h"
#include "link/Frame.h"
#include "station/CommandRules.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

std::vector<int> Marked(const int32_t (&mask)[kTaskNodes]) {
    std::vector<int> out;
    for (int n = 0; n < kTaskNodes; ++n)
        if (mask[n])
            out.push_back(n);
    return out;
}

TEST(CommandRules, NodesAreMarkedInsideTheMaskAndTheChannel) {
    int32_t mask[kTaskNodes];
    std::fill(std::begin(mask), std::end(mask), 1); // a request reused from the last command
    // A node count above 32 (as a parameter file may hold) never reaches past the mask.
    EXPECT_TRUE(MarkNodes({0, 5, 31, 32, 40, -1}, 40, mask));
    EXPECT_EQ(Marked(mask), (std::vector<int>{0, 5, 31}));
    EXPECT_TRUE(MarkNodes({0, 5}, 4, mask));
    EXPECT_EQ(Marked(mask), std::vector<int>{0});
    // A closed channel has no nodes.
    EXPECT_FALSE(MarkNodes({0, 1}, 0, mask));
    EXPECT_TRUE(Marked(mask).empty());
}

TEST(CommandRules, SendTakesWhatANodeHoldsAndSaysWhatItLeavesOut) {
    TempDir dir;
    TaskList<FileGroup> groups;
    const auto make = [&](const std::string& name, size_t size) {
        std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
        EXPECT_TRUE(WriteFile(dir / name, DesignBytes(size, static_cast<uint32_t>(size))));
        return dir / name;
    };
    std::vector<std::string> many;
    for (int i = 0; i < kMaxEntries; ++i)
        many.push_back(make("many/F" + std::to_string(i) + ".DST", 1 + i % 3));
    NewGroupFromFiles(many, groups);                                        // 0: 224 files
    NewGroupFromFiles({make("X.DST", 8), make("other/F0.DST", 9)}, groups); // 1
    NewGroupFromFiles({make("E.DST", 0), make("E2.DST", 0)}, groups);       // 2: only empty files
    NewGroupFromFiles({make("solo/F0.DST", 0), make("solo/Y.DSB", 7)}, groups); // 3

    EXPECT_EQ(PlanSend({}, groups).refusal, SendRefusal::NoFiles);
    EXPECT_EQ(PlanSend({9}, groups).refusal, SendRefusal::NoFiles);

    // 224 files go; one more is refused whole, not cut: a duplicate does not count.
    SendPlan plan = PlanSend({0}, groups);
    EXPECT_EQ(plan.refusal, SendRefusal::None);
    EXPECT_EQ(plan.collection.files.size(), static_cast<size_t>(kMaxEntries));
    plan = PlanSend({0, 1}, groups);
    EXPECT_EQ(plan.refusal, SendRefusal::TooMany);
    EXPECT_EQ(plan.sendable, static_cast<size_t>(kMaxEntries) + 1);

    // Every file left out: nothing to send, and the reasons.
    plan = PlanSend({2}, groups);
    EXPECT_EQ(plan.refusal, SendRefusal::NothingToSend);
    EXPECT_EQ(plan.collection.problems.size(), 2u);

    // Some left out: the rest goes, and the problems are there to be shown.
    plan = PlanSend({3}, groups);
    EXPECT_EQ(plan.refusal, SendRefusal::None);
    EXPECT_EQ(plan.collection.Paths(), std::vector<std::string>{dir / "solo/Y.DSB"});
    ASSERT_EQ(plan.collection.problems.size(), 1u);
    EXPECT_EQ(plan.collection.problems[0].kind, FileProblemKind::Empty);
}

TEST(CommandRules, NothingIsLoggedWhenNoCentreTakesTheTask) {
    TempDir dir;
    ResetParameters();
    Params().workDir = dir.path();
    ASSERT_EQ(CCommCenter::Instance(), nullptr);
    CTransTask request;
    request.nodeMask[0] = request.nodeMask[1] = 1;
    request.files = {dir / "A.DST"};
    std::string reason;
    for (LoggedCommand c : {LoggedCommand::Send, LoggedCommand::Delete, LoggedCommand::Clear})
        EXPECT_EQ(LogAndQueue(c, 0, request, "Line Operator", &reason), HandOver::NotQueued);
    EXPECT_FALSE(std::filesystem::exists(EventItemPath(0)));
    EXPECT_TRUE(QueryEvents(0, "", EV_ALL_EVENTS, -1).empty());
    ResetParameters();
}

} // namespace
