// The reply window learned from the line: the arithmetic alone, then the link using it on a
// scripted port (a late reply after a give-up is timed, widens the node's wait, and is credited to
// nobody).
#include "LinkFixture.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"
#include "link/ReplyTimer.h"

namespace {

TEST(ReplyTimer, LearnsLikeTcpAndIsCappedAndReset) {
    ReplyTimer t;
    EXPECT_FALSE(t.Measured());
    EXPECT_EQ(t.BoundMs(), -1);
    // Nothing known: the fixed wait of a fast line stands.
    EXPECT_EQ(LearnedWaitMs(t, 230, 2, 28), 230);

    // The first delay: smoothed = it, variation = half of it.
    t.Learn(400);
    EXPECT_DOUBLE_EQ(t.SmoothedMs(), 400);
    EXPECT_DOUBLE_EQ(t.VariationMs(), 200);
    EXPECT_EQ(t.BoundMs(), 1200);
    EXPECT_EQ(LearnedWaitMs(t, 230, 2, 28), 2 + 1200 + 28);
    // Then an eighth and a quarter of the way: variation against the old smoothed delay first.
    t.Learn(480);
    EXPECT_DOUBLE_EQ(t.VariationMs(), 0.75 * 200 + 0.25 * 80);
    EXPECT_DOUBLE_EQ(t.SmoothedMs(), 410);
    // Steady replies shrink the variation and with it the wait, never below the fixed one.
    for (int i = 0; i < 60; ++i)
        t.Learn(410);
    EXPECT_NEAR(t.SmoothedMs(), 410, 0.5);
    EXPECT_LE(t.BoundMs(), 412);
    ReplyTimer fast;
    for (int i = 0; i < 10; ++i)
        fast.Learn(3);
    EXPECT_EQ(LearnedWaitMs(fast, 230, 2, 28), 230);
    // A delay measured below nothing counts as nothing.
    ReplyTimer negative;
    negative.Learn(-7);
    EXPECT_EQ(negative.BoundMs(), 0);

    // However slow a node, its wait is capped.
    ReplyTimer slow;
    slow.Learn(2500);
    EXPECT_EQ(slow.BoundMs(), kReplyDelayCapMs);
    EXPECT_EQ(LearnedWaitMs(slow, 230, 2, 28), 2 + kReplyDelayCapMs + 28);

    // A new line: nothing known again.
    slow.Reset();
    EXPECT_FALSE(slow.Measured());
    EXPECT_EQ(LearnedWaitMs(slow, 230, 2, 28), 230);
}

TEST(ReplyTimer, TheGraceAfterAGiveUpFollowsTheNodesOwnFigures) {
    // A node that always answered at once: the next request goes almost at once, but a late reply
    // is guarded against for as long as one of a node never timed would be awaited.
    ReplyTimer fast;
    for (int i = 0; i < 10; ++i)
        fast.Learn(3);
    LateReplyTimes late = AfterGiveUp(fast, 230, 2, 28);
    EXPECT_EQ(late.graceEndMs, 230 + kMinGraceMs);
    EXPECT_EQ(late.horizonMs, 2 + kUnknownReplyDelayMs + 28);
    // While guarded, it may be asked, with a wait of its own figures only.
    EXPECT_TRUE(AskableWhileGuarded(fast));
    EXPECT_EQ(GuardedWaitMs(fast, 2, 28), 2 + kMinGraceMs + 28);

    // A slow node: the grace its delays call for, and it is not asked while guarded.
    ReplyTimer slow;
    slow.Learn(400);
    for (int i = 0; i < 60; ++i)
        slow.Learn(400);
    const int wait = LearnedWaitMs(slow, 230, 2, 28);
    late = AfterGiveUp(slow, wait, 2, 28);
    EXPECT_EQ(late.graceEndMs, wait + slow.BoundMs());
    EXPECT_GE(late.horizonMs, late.graceEndMs);
    EXPECT_FALSE(AskableWhileGuarded(slow));

    // A node never timed: waited for as long as a slow machine may take, and not asked while
    // another's late reply may come.
    ReplyTimer unknown;
    late = AfterGiveUp(unknown, 230, 2, 28);
    EXPECT_EQ(late.graceEndMs, 2 + kUnknownReplyDelayMs + 28);
    EXPECT_EQ(late.horizonMs, late.graceEndMs);
    EXPECT_FALSE(AskableWhileGuarded(unknown));

    // Never beyond the cap, however slow.
    ReplyTimer capped;
    capped.Learn(2900);
    late = AfterGiveUp(capped, LearnedWaitMs(capped, 230, 2, 28), 2, 28);
    EXPECT_EQ(late.horizonMs, 2 + kReplyDelayCapMs + 28);
    EXPECT_EQ(late.graceEndMs, late.horizonMs);
}

// --- The link using it, on a scripted port with a clock that moves only in pauses.

class Timing : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        Open(8);
        cc->linkRun.store(1);
    }
    // A file check of `node` alone goes out, as the scheduler starts one.
    void StartCheck(std::initializer_list<int> nodes) {
        ChannelState& ch = cc->channels[0];
        uint8_t m[8] = {};
        for (int n : nodes) {
            MaskSet(m, n);
            ch.nodePending[n].store(1);
        }
        ch.SetTargetMask(m);
        ch.replyNode.store(-1);
        ch.progressBusy.store(1);
        ch.cmdType.store(CMD_CHECK_FILE);
    }
    // The node's answer "complete" comes `delayMs` after its request has left.
    void AnswerAfter(int delayMs) {
        const int64_t at = cc->channels[0].askEndMs.load() + delayMs;
        onPause = [this, at](int) {
            if (nowMs >= at) {
                onPause = nullptr;
                Reply({0x00});
                cc->ParserStep(0);
            }
        };
    }
};

TEST_F(Timing, ALateReplyIsTimedWidensTheWaitAndIsCreditedToNobody) {
    ChannelState& ch = cc->channels[0];
    StartCheck({1, 2});
    cc->SenderStep(0); // asks node 1
    ASSERT_EQ(cc->nodes[0][1].status.load(), NS_REQUEST_SENT);
    AnswerAfter(400);
    cc->SenderStep(0); // gives node 1 up; waits for its late reply, then asks node 2
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_REQUEST_SENT) << "credited to nobody";
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_REQUEST_SENT);
    EXPECT_NEAR(cc->nodes[0][1].replyDelayUs.load() / 1000.0, 400, 15);
    // The late reply ended the grace: node 2 went out soon after it, not a second later.
    EXPECT_LT(ch.requestSentMs.load() - ch.lateEndMs.load(), 400 + 2 * kQuietMs);

    // Node 1 asked again: waited for as long as its figures say, and its answer is its own.
    ch.cmdType.store(CMD_IDLE);
    cc->replyGate[0].Set();
    ch.openRequest.store(0);
    StartCheck({1});
    cc->SenderStep(0);
    EXPECT_GE(ch.replyWaitMs.load(), 1200);
    AnswerAfter(450);
    cc->SenderStep(0);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_FILE_DONE);

    // A new line: the figures are gone.
    cc->ResetNodes(0);
    EXPECT_EQ(cc->nodes[0][1].replyDelayUs.load(), -1);
    EXPECT_FALSE(cc->ReplyTimerOf(0, 1).Measured());
}

TEST_F(Timing, AFastNodesLostReplyCostsLittleAndALateOneIsNotTakenForTheNext) {
    ChannelState& ch = cc->channels[0];
    for (int n : {1, 2, 3})
        for (int i = 0; i < 5; ++i)
            cc->LearnReplyDelay(0, n, 3);
    // Node 1 does not answer: node 2 is asked a moment after the give-up, guarded by its own
    // few milliseconds.
    StartCheck({1, 2, 3});
    cc->SenderStep(0);
    const int64_t sent1 = ch.requestSentMs.load();
    const int wait1 = ch.replyWaitMs.load();
    cc->SenderStep(0);
    ASSERT_EQ(cc->nodes[0][2].status.load(), NS_REQUEST_SENT);
    EXPECT_LT(ch.requestSentMs.load() - (sent1 + wait1), 150);
    EXPECT_LT(ch.replyWaitMs.load(), kGateGiveUpMs);
    // Node 1's reply comes late, in node 2's turn and after node 2 could have answered: node 2
    // is given up, not credited with it.
    AnswerAfter(100);
    cc->SenderStep(0);
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_REQUEST_SENT);
    EXPECT_NE(cc->nodes[0][2].replied.load(), 1);
}

} // namespace
