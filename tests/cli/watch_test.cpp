// When a run stops waiting: which nodes have reached their end, which do not answer, and when
// nothing moves any more. Fed by hand, one poll at a time.
#include "Watch.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

TEST(ReachedEndTest, TheEndOfTheRunsCommandNotOfAStep) {
    EXPECT_TRUE(ReachedEnd(Command::Query, NS_QUERY_END, false));
    EXPECT_TRUE(ReachedEnd(Command::List, NS_QUERY_END, false));
    // The query that opens a send or follows a delete or a clear is a step.
    for (Command c : {Command::Send, Command::Delete, Command::Clear})
        EXPECT_FALSE(ReachedEnd(c, NS_QUERY_END, true));
    // Send File End after one file of several is a step; after the last, the end.
    EXPECT_FALSE(ReachedEnd(Command::Send, NS_FILE_DONE, false));
    EXPECT_TRUE(ReachedEnd(Command::Send, NS_FILE_DONE, true));
    EXPECT_TRUE(ReachedEnd(Command::Send, NS_NO_ROOM, false));
    EXPECT_TRUE(ReachedEnd(Command::Send, NS_FILE_NUM_EXCEED, false));
    EXPECT_TRUE(ReachedEnd(Command::Send, NS_FILE_UNREADABLE, false));
    EXPECT_TRUE(ReachedEnd(Command::Send, NS_DUPLICATE_NAME, false));
    EXPECT_TRUE(ReachedEnd(Command::Delete, NS_DELETE_END, false));
    EXPECT_TRUE(ReachedEnd(Command::Clear, NS_CLEAR_END, false));
    for (Command c : {Command::Query, Command::Send, Command::Delete, Command::Clear})
        EXPECT_TRUE(ReachedEnd(c, NS_CANCELLED, false));
    // Working codes, and a lost line, whose work waits for the line to come back.
    for (int s :
         {-1, int{NS_IDLE}, int{NS_MORE}, int{NS_REQUEST_SENT}, int{NS_WAITING}, int{NS_NO_REPLY},
          int{NS_RETRY_DELETE}, int{NS_SENDING_PACKAGES}, int{NS_LINE_LOST}})
        for (Command c : {Command::Query, Command::Send, Command::Delete, Command::Clear})
            EXPECT_FALSE(ReachedEnd(c, s, true)) << s;
}

NodeObservation At(int status, bool replied = false, int progress = 0) {
    NodeObservation n;
    n.status = status;
    n.replied = replied;
    n.progress = progress;
    return n;
}

TEST(WatchTest, AnswersAndFailures) {
    // A reply: the flag rises, or the figures or the status change under it.
    EXPECT_TRUE(AnsweredSince(At(NS_REQUEST_SENT), At(NS_MORE, true)));
    NodeObservation more = At(NS_MORE, true);
    NodeObservation nextBlock = more;
    nextBlock.fileCount = 12;
    EXPECT_TRUE(AnsweredSince(more, nextBlock));
    EXPECT_FALSE(AnsweredSince(more, more));
    // Statuses that only a reply leads to.
    EXPECT_TRUE(AnsweredSince(At(NS_REQUEST_SENT), At(NS_QUERY_END)));
    EXPECT_TRUE(AnsweredSince(At(NS_QUERYING), At(NS_SENDING_PACKAGES)));
    EXPECT_FALSE(AnsweredSince(At(NS_SENDING_PACKAGES), At(NS_SENDING_PACKAGES, false, 50)));
    // A new request is no answer; neither are the statuses the station sets by itself.
    EXPECT_FALSE(AnsweredSince(At(NS_QUERY_END, true), At(NS_REQUEST_SENT)));
    EXPECT_FALSE(AnsweredSince(At(NS_WAITING), At(NS_MORE)));

    EXPECT_TRUE(FailedSince(At(NS_REQUEST_SENT), At(NS_NO_REPLY)));
    EXPECT_TRUE(FailedSince(At(NS_REQUEST_SENT), At(NS_BAD_REPLY)));
    EXPECT_TRUE(FailedSince(At(NS_MORE), At(NS_WAITING)));
    EXPECT_TRUE(FailedSince(At(NS_REQUEST_SENT), At(NS_MORE))); // the next round already began
    EXPECT_FALSE(FailedSince(At(NS_NO_REPLY), At(NS_WAITING))); // the same failure
    EXPECT_FALSE(FailedSince(At(NS_REQUEST_SENT), At(NS_REQUEST_SENT)));
    EXPECT_FALSE(FailedSince(At(NS_REQUEST_SENT), At(NS_QUERY_END)));
}

// One silent node beside one that takes packages, polled every 100 ms on a made-up clock.
TEST(WatchTest, ANodeThatNeverAnswersIsGivenUpAtItsNextFailure) {
    RunWatch watch(2, 30, 0);
    // Node 1 fails a request every 1.5 s.
    std::vector<NodeObservation> nodes = {At(NS_SENDING_PACKAGES), At(NS_REQUEST_SENT)};
    std::vector<double> givenUp;
    for (double t = 0.1; t < 40; t += 0.1) {
        const int phase = static_cast<int>(t * 10) % 15;
        nodes[1] = At(phase < 10 ? NS_REQUEST_SENT : NS_WAITING);
        const RunWatch::Verdict v = watch.Observe(t, nodes, true);
        EXPECT_FALSE(v.stalled) << t;
        if (!v.silent.empty()) {
            EXPECT_EQ(v.silent, std::vector<size_t>{1});
            givenUp.push_back(t);
            watch.GiveUp(1);
            EXPECT_GE(watch.SilentFor(1, t).value_or(0), 30);
        }
    }
    ASSERT_EQ(givenUp.size(), 1u);
    EXPECT_GE(givenUp[0], 30.0);
    EXPECT_LT(givenUp[0], 33.0); // at the first failure after the silence
}

TEST(WatchTest, ANodeThatGlitchedOnceIsNotGivenUpWhileItWaitsItsTurn) {
    RunWatch watch(2, 30, 0);
    // Node 1 fails once and waits while node 0 takes packages for two minutes.
    std::vector<NodeObservation> nodes = {At(NS_SENDING_PACKAGES), At(NS_REQUEST_SENT)};
    watch.Observe(0.1, nodes, false);
    nodes[1] = At(NS_WAITING);
    for (double t = 0.2; t < 120; t += 0.1) {
        nodes[0].progress = static_cast<int>(t / 1.2);
        const RunWatch::Verdict v = watch.Observe(t, nodes, true);
        EXPECT_TRUE(v.silent.empty()) << t;
        EXPECT_FALSE(v.stalled) << t;
    }
    // Its turn: it answers, and its failure is forgotten.
    nodes[1] = At(NS_REQUEST_SENT);
    EXPECT_TRUE(watch.Observe(120.1, nodes, true).silent.empty());
    nodes[1] = At(NS_QUERY_END, true);
    watch.Observe(120.2, nodes, true);
    EXPECT_FALSE(watch.SilentFor(1, 120.2).has_value());
    // Had it failed again instead, it would have gone.
    RunWatch again(1, 30, 0);
    again.Observe(0.1, {At(NS_REQUEST_SENT)}, false);
    again.Observe(0.2, {At(NS_WAITING)}, false);
    again.Observe(119.9, {At(NS_REQUEST_SENT)}, true);
    EXPECT_EQ(again.Observe(120, {At(NS_NO_REPLY)}, true).silent, std::vector<size_t>{0});
}

TEST(WatchTest, TheRunStallsWhenNothingMoves) {
    // Packages going out are progress even while no node answers.
    RunWatch sending(1, 30, 0);
    for (double t = 0.1; t < 100; t += 0.1)
        EXPECT_FALSE(sending.Observe(t, {At(NS_SENDING_PACKAGES)}, true).stalled) << t;

    // A node stuck without a word from it or the station.
    RunWatch stuck(2, 30, 0);
    std::vector<NodeObservation> nodes = {At(NS_QUERY_END, true), At(NS_REQUEST_SENT)};
    bool stalled = false;
    double at = 0;
    for (double t = 0.1; t < 40 && !stalled; t += 0.1) {
        stalled = stuck.Observe(t, nodes, false).stalled;
        at = t;
    }
    EXPECT_TRUE(stalled);
    EXPECT_NEAR(at, 30.1, 0.15); // counted from the last answer, at 0.1 s

    // A silent line: every request fails, nothing else happens; the run ends after the
    // silence, with each node's failures counted from its first.
    RunWatch silent(2, 30, 0);
    stalled = false;
    for (double t = 0.1; t < 40 && !stalled; t += 0.1) {
        const int phase = static_cast<int>(t * 10) % 15;
        const NodeObservation n = At(phase < 10 ? NS_REQUEST_SENT : NS_WAITING);
        stalled = silent.Observe(t, {n, n}, false).stalled;
        at = t;
    }
    EXPECT_TRUE(stalled);
    EXPECT_NEAR(at, 30, 0.15);
    EXPECT_NEAR(silent.SilentFor(0, at).value_or(0), 29, 0.2);

    // Nothing unfinished: no stall, however long.
    RunWatch done(1, 30, 0);
    NodeObservation ended = At(NS_QUERY_END, true);
    ended.ended = true;
    EXPECT_FALSE(done.Observe(1000, {ended}, false).stalled);
}

TEST(WatchTest, AnswersThatGetNowhereDoNotKeepARunAlive) {
    // A node that answers every check, naming the same missing package each time, while the
    // station sends it again and again: answers, but no progress.
    RunWatch looping(1, 30, 0);
    bool stalled = false;
    double at = 0;
    for (double t = 0.1; t < 40 && !stalled; t += 0.1) {
        NodeObservation n = At(static_cast<int>(t * 10) % 2 ? NS_SENDING_PACKAGES : NS_MORE, true);
        n.missingCount = 1;
        n.replied = static_cast<int>(t * 10) % 2 == 0;
        stalled = looping.Observe(t, {n}, false).stalled;
        at = t;
    }
    EXPECT_TRUE(stalled);
    EXPECT_NEAR(at, 30.1, 0.15);
    EXPECT_FALSE(looping.SilentFor(0, at).has_value()); // it answers: not silent, just stuck

    // Fewer packages missing than ever before is progress, the same count again is not; so is a
    // file of the send that the node holds, once.
    RunWatch resending(1, 30, 0);
    NodeObservation n = At(NS_SENDING_PACKAGES, true);
    n.missingCount = 40;
    resending.Observe(0.1, {n}, false);
    for (int missing : {30, 20, 10}) {
        n.missingCount = missing;
        EXPECT_FALSE(resending.Observe(25.0 + (40 - missing), {n}, false).stalled) << missing;
    }
    n.missingCount = 12; // a new count above the lowest: no progress
    EXPECT_TRUE(resending.Observe(85.1, {n}, false).stalled);
    RunWatch files(1, 30, 0);
    n = At(NS_FILE_DONE, true);
    n.filesHeld = 1;
    EXPECT_FALSE(files.Observe(29, {n}, false).stalled);
    n.status = NS_SENDING_HEAD;
    EXPECT_FALSE(files.Observe(58, {n}, false).stalled);
    n.status = NS_FILE_DONE; // the same file again: no step
    EXPECT_TRUE(files.Observe(60, {n}, false).stalled);
}

} // namespace
} // namespace cli
