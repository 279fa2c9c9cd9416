#include "LinkFixture.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"

#include <cstring>

namespace {

using Written = std::vector<ScriptedSerialPort::WrittenByte>;

// Splits what went out into frames: each begins with a mark-parity byte after a space one.
std::vector<Written> Frames(const Written& w) {
    std::vector<Written> out;
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i].parity == Parity::Mark && (i == 0 || w[i - 1].parity != Parity::Mark))
            out.emplace_back();
        if (!out.empty())
            out.back().push_back(w[i]);
    }
    return out;
}

// Every request frame: exactly six sync bytes, each alone in its write and with mark parity, the
// rest with space parity.
void ExpectFrameShape(const Written& f, size_t length) {
    ASSERT_EQ(f.size(), length);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(f[i].value, kSyncPattern[i]) << i;
        EXPECT_EQ(f[i].parity, Parity::Mark) << i;
        if (i > 0) {
            EXPECT_NE(f[i].writeCall, f[i - 1].writeCall) << "sync byte " << i << " not alone";
        }
    }
    for (size_t i = 6; i < f.size(); ++i)
        EXPECT_EQ(f[i].parity, Parity::Space) << i;
}

std::vector<uint8_t> Bytes(const Written& f, size_t from = 6) {
    std::vector<uint8_t> out;
    for (size_t i = from; i < f.size(); ++i)
        out.push_back(f[i].value);
    return out;
}

void SetMask(ChannelState& ch, std::initializer_list<int> nodes) {
    uint8_t m[8] = {};
    for (int n : nodes)
        MaskSet(m, n);
    ch.SetTargetMask(m);
}

class Transmitters : public LinkFixture {};

TEST_F(Transmitters, ClearIsEighteenBytesWithSixMarkSyncBytes) {
    ScriptedSerialPort* port = Open();
    SetMask(cc->channels[0], {0, 2});
    cc->channels[0].cmdType.store(CMD_CLEAR_NODE);
    cc->SenderStep(0);
    const auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    ExpectFrameShape(frames[0], 18);
    const auto b = Bytes(frames[0]);
    EXPECT_EQ(b[0], 0x05);
    EXPECT_EQ(b[8], 0);
    EXPECT_EQ(b[9], 0);
    EXPECT_EQ(b[10], FRAME_DELETE);
    EXPECT_EQ(b[11], Crc8(b.data(), 11));
    EXPECT_GE(port->TransmitEmptyWaits(), 6);
    EXPECT_EQ(port->Settings().parity, Parity::Space);
    EXPECT_EQ(cc->channels[0].cmdType.load(), CMD_IDLE);
    EXPECT_EQ(pauses, std::vector<int>{kAfterClearMs});
}

TEST_F(Transmitters, QueryAsksNextBlockAndAwaitsReply) {
    ScriptedSerialPort* port = Open();
    ChannelState& ch = cc->channels[0];
    SetMask(ch, {9});
    ch.requestNode.store(9);
    ch.replyNode.store(9);
    ch.queryBlock.store(-1);
    cc->nodes[0][9].status.store(NS_MORE);
    ch.cmdType.store(CMD_QUERY_NODE);
    cc->TransmitQuery(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    ExpectFrameShape(frames[0], 20);
    const auto b = Bytes(frames[0]);
    EXPECT_EQ(b[1], 0x02); // node 9
    EXPECT_EQ(b[10], FRAME_QUERY);
    EXPECT_EQ(b[12], 0); // block 0 first
    EXPECT_EQ(b[13], Crc8(&b[12], 1));
    EXPECT_EQ(cc->nodes[0][9].status.load(), NS_REQUEST_SENT);
    EXPECT_EQ(ch.queryBlock.load(), 0);
    EXPECT_FALSE(cc->replyGate[0].IsSet());

    // While the gate is closed nothing more goes out.
    cc->TransmitQuery(0);
    EXPECT_EQ(Frames(port->Written()).size(), 1u);
}

TEST_F(Transmitters, QueryEndsWhenStatusLeavesMoreOrBlocksRunOut) {
    Open();
    ChannelState& ch = cc->channels[0];
    SetMask(ch, {1});
    ch.requestNode.store(1);
    ch.queryBlock.store(0);
    cc->nodes[0][1].status.store(NS_QUERY_END);
    ch.cmdType.store(CMD_QUERY_NODE);
    cc->TransmitQuery(0);
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
    EXPECT_EQ(pauses, std::vector<int>{kQueryEndMs});

    cc->nodes[0][1].status.store(NS_MORE);
    ch.queryBlock.store(7);
    ch.cmdType.store(CMD_QUERY_NODE);
    cc->TransmitQuery(0);
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_MORE);
}

TEST_F(Transmitters, HeadSendsStoredPackageZero) {
    ScriptedSerialPort* port = Open();
    SetMask(cc->channels[0], {3});
    for (size_t i = 0; i < kHeadSize; ++i)
        cc->stores[0].packages[0][i] = static_cast<uint8_t>(i + 1);
    cc->channels[0].cmdType.store(CMD_SEND_HEAD);
    cc->SenderStep(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    ExpectFrameShape(frames[0], 41);
    const auto b = Bytes(frames[0]);
    EXPECT_EQ(b[8], 23);
    EXPECT_EQ(b[10], FRAME_DATA);
    EXPECT_EQ(0, std::memcmp(&b[12], cc->stores[0].packages[0], kHeadSize));
    EXPECT_EQ(cc->channels[0].cmdType.load(), CMD_IDLE);
}

TEST_F(Transmitters, PackageNeededNarrowsTheMaskPerPackage) {
    Open();
    SetMask(cc->channels[0], {1, 4});
    cc->nodes[0][1].needPackage[5].store(1);
    cc->nodes[0][4].needPackage[6].store(1);
    cc->nodes[0][7].needPackage[5].store(1); // not addressed: never looked at
    uint8_t mask[8];
    EXPECT_EQ(cc->PackageNeeded(0, 5, mask), 1);
    EXPECT_EQ(mask[0], 0x02);
    EXPECT_EQ(cc->PackageNeeded(0, 6, mask), 1);
    EXPECT_EQ(mask[0], 0x10);
    EXPECT_EQ(cc->PackageNeeded(0, 7, mask), 0);
    SetMask(cc->channels[0], {});
    EXPECT_EQ(cc->PackageNeeded(0, 5, mask), -1);
}

TEST_F(Transmitters, PackagesGoOnlyWhereNeededWithPauseAndProgress) {
    ScriptedSerialPort* port = Open();
    ChannelState& ch = cc->channels[0];
    ch.packageDelayMs.store(15);
    cc->stores[0].packageCount.store(6);
    for (int i = 1; i <= 6; ++i)
        cc->stores[0].packages[i][0] = static_cast<uint8_t>(i);
    SetMask(ch, {0, 1});
    cc->nodes[0][0].needPackage[2].store(1);
    cc->nodes[0][0].needPackage[5].store(1);
    cc->nodes[0][1].needPackage[5].store(1);
    ch.progressBusy.store(1);
    ch.cmdType.store(CMD_SEND_PACKAGES);
    // Each package has left the port before its pause: six waits for the sync bytes and one for
    // the whole frame, counted at the moment the pause begins.
    std::vector<int> drainsAtPause;
    onPause = [&](int) { drainsAtPause.push_back(port->TransmitEmptyWaits()); };
    cc->SenderStep(0);
    EXPECT_EQ(drainsAtPause, (std::vector<int>{7, 14}));
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 2u);
    ExpectFrameShape(frames[0], 533);
    EXPECT_EQ(Bytes(frames[0])[0], 0x01); // package 2 to node 0 alone
    EXPECT_EQ(Bytes(frames[0])[12], 2);
    EXPECT_EQ(Bytes(frames[1])[0], 0x03); // package 5 to both
    EXPECT_EQ(Bytes(frames[1])[12], 5);
    EXPECT_EQ(pauses, (std::vector<int>{15, 15}));
    EXPECT_EQ(ch.progressDone.load(), 2);
    EXPECT_EQ(ch.progressBusy.load(), 0);
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
}

// A port may take a file's packages at once (a pseudo-terminal, an adapter's buffer) while the line
// carries them for seconds: the file check behind them leaves only then, and no node can answer it
// sooner. Its reply wait counts from there.
TEST_F(Transmitters, ACheckBehindPackagesIsAwaitedFromWhenItLeavesTheLine) {
    // The reckoning of the line: frames back to back, but never more than a port can hold.
    EXPECT_EQ(LineFreeAtMs(0, 1000, 38400, 533), 1000 + 153);
    EXPECT_EQ(LineFreeAtMs(5000, 1000, 38400, 533), 5000 + 153);
    EXPECT_EQ(LineFreeAtMs(900000, 1000, 38400, 533),
              1000 + LineMs(38400, kUnsentBytesLimit + 533));

    Open(2, 1); // 38400 bps; the scripted port takes each frame at once
    cc->linkRun.store(1);
    ChannelState& ch = cc->channels[0];
    constexpr int kPackages = 20; // 3 s on the line
    auto sendPackages = [&] {
        cc->stores[0].packageCount.store(kPackages);
        SetMask(ch, {0, 1});
        for (int n : {0, 1})
            for (int i = 1; i <= kPackages; ++i)
                cc->nodes[0][n].needPackage[i].store(1);
        ch.progressBusy.store(1);
        ch.cmdType.store(CMD_SEND_PACKAGES);
        cc->SenderStep(0);
        ASSERT_EQ(ch.cmdType.load(), CMD_IDLE);
    };
    auto startCheck = [&] {
        SetMask(ch, {0, 1});
        ch.nodePending[0].store(1);
        ch.nodePending[1].store(1);
        ch.replyNode.store(-1);
        ch.progressBusy.store(1);
        ch.cmdType.store(CMD_CHECK_FILE);
    };
    // The node answers "complete" once the line has carried everything written before `at`.
    int64_t answerAt = 0;
    onPause = [&](int) {
        if (answerAt != 0 && nowMs >= answerAt) {
            answerAt = 0;
            Reply({0x00});
            cc->ParserStep(0);
        }
    };

    const int64_t start = nowMs;
    sendPackages();
    EXPECT_LT(nowMs - start, 100); // the port took them at once
    startCheck();
    cc->SenderStep(0); // asks node 0
    ASSERT_EQ(cc->nodes[0][0].status.load(), NS_REQUEST_SENT);
    answerAt = start + LineMs(38400, kPackages * 533 + 23) + 20;
    cc->SenderStep(0); // waits for its reply, then asks node 1
    EXPECT_EQ(cc->nodes[0][0].status.load(), NS_FILE_DONE);
    EXPECT_GE(nowMs, start + 3000);

    // A peer that takes the bytes faster than the line rate answers at once; its reply shows the
    // line free, and the next request is not waited for as if the packages were still going out.
    ch.cmdType.store(CMD_IDLE);
    cc->replyGate[0].Set();
    ch.openRequest.store(0);
    sendPackages();
    startCheck();
    cc->SenderStep(0); // asks node 0
    answerAt = nowMs;
    cc->SenderStep(0); // takes its reply at once, asks node 1
    EXPECT_EQ(cc->nodes[0][0].status.load(), NS_FILE_DONE);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_REQUEST_SENT);
    EXPECT_LE(ch.requestSentMs.load() + ch.replyWaitMs.load() - nowMs, 400);
}

TEST_F(Transmitters, PackagesWithEmptyMaskEndAtOnce) {
    ScriptedSerialPort* port = Open();
    cc->stores[0].packageCount.store(3);
    cc->channels[0].cmdType.store(CMD_SEND_PACKAGES);
    cc->channels[0].progressBusy.store(1);
    cc->SenderStep(0);
    EXPECT_TRUE(port->Written().empty());
    EXPECT_EQ(cc->channels[0].cmdType.load(), CMD_IDLE);
    EXPECT_EQ(cc->channels[0].progressBusy.load(), 0);
}

TEST_F(Transmitters, CheckAsksOnePendingNodePerPass) {
    ScriptedSerialPort* port = Open(8);
    ChannelState& ch = cc->channels[0];
    SetMask(ch, {2, 5});
    ch.nodePending[2].store(1);
    ch.nodePending[5].store(1);
    ch.replyNode.store(-1);
    ch.progressDone.store(0);
    ch.progressBusy.store(1);
    const uint8_t tag[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::memcpy(ch.command.fileTag, tag, 4);
    ch.cmdType.store(CMD_CHECK_FILE);

    cc->TransmitCheck(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    ExpectFrameShape(frames[0], 23);
    auto b = Bytes(frames[0]);
    EXPECT_EQ(b[0], 0x04); // node 2 alone
    EXPECT_EQ(b[10], FRAME_CHECK);
    EXPECT_EQ(0, std::memcmp(&b[12], tag, 4));
    EXPECT_EQ(b[16], Crc8(tag, 4));
    EXPECT_EQ(ch.replyNode.load(), 2);
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_REQUEST_SENT);

    cc->replyGate[0].Set(); // the reply (or the give-up) opens the gate
    cc->TransmitCheck(0);
    frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Bytes(frames[1])[0], 0x20); // node 5

    cc->replyGate[0].Set();
    cc->TransmitCheck(0);
    EXPECT_EQ(Frames(port->Written()).size(), 2u);
    EXPECT_EQ(ch.progressDone.load(), 8);
    EXPECT_EQ(ch.progressBusy.load(), 0);
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
}

TEST_F(Transmitters, CheckSkipsNodesTakenOutOfTheCommand) {
    ScriptedSerialPort* port = Open(4);
    ChannelState& ch = cc->channels[0];
    SetMask(ch, {3});
    ch.nodePending[1].store(1); // pending, but stopped: its mask bit is gone
    ch.nodePending[3].store(1);
    ch.replyNode.store(-1);
    cc->nodes[0][1].status.store(NS_CANCELLED);
    ch.cmdType.store(CMD_CHECK_FILE);
    cc->TransmitCheck(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Bytes(frames[0])[0], 0x08);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_CANCELLED);
}

TEST_F(Transmitters, DeleteOfFortyFiveNamesGoesOutAsThirtyTwoAndThirteen) {
    ScriptedSerialPort* port = Open();
    ChannelState& ch = cc->channels[0];
    SetMask(ch, {0});
    for (int i = 0; i < 45; ++i) {
        char name[13];
        std::snprintf(name, sizeof name, "F%02d     DST", i);
        ch.command.files.push_back(name);
    }
    ch.cmdType.store(CMD_DELETE_FILES);
    cc->SenderStep(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 2u);
    ExpectFrameShape(frames[0], 404);
    ExpectFrameShape(frames[1], 6 + 12 + 13 * 12 + 2);
    auto b0 = Bytes(frames[0]), b1 = Bytes(frames[1]);
    EXPECT_EQ(b0[12], 32);
    EXPECT_EQ(b1[12], 13);
    EXPECT_EQ(0, std::memcmp(&b1[13], "F32     DST", 11));
    EXPECT_EQ(b1[13 + 11], 0);
    EXPECT_EQ(b1.back(), Crc8(&b1[12], 13 * 12 + 1));
    EXPECT_EQ(pauses, (std::vector<int>{224, 156}));
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
}

TEST_F(Transmitters, DeletePausesByBatchSize) {
    EXPECT_EQ(DeletePauseMs(10), 200);
    EXPECT_EQ(DeletePauseMs(11), 132);
    EXPECT_EQ(DeletePauseMs(20), 240);
    EXPECT_EQ(DeletePauseMs(21), 147);
}

TEST_F(Transmitters, BadNameEndsTheDeleteAtItsBatch) {
    std::vector<std::string> names(40, "A.DST");
    names[35] = "";
    uint8_t buf[32 * 12];
    EXPECT_EQ(CCommCenter::CollectNames(names, 0, buf), 32);
    EXPECT_EQ(CCommCenter::CollectNames(names, 1, buf), 0);
    names[35] = "THIRTEENCHARS";
    EXPECT_EQ(CCommCenter::CollectNames(names, 1, buf), 0);
    names[35] = "TWELVE_CHARS";
    EXPECT_EQ(CCommCenter::CollectNames(names, 1, buf), 8);
    EXPECT_EQ(CCommCenter::CollectNames(names, 2, buf), 0);
}

TEST_F(Transmitters, PartialWritesAreRepeatedUntilTheFrameIsOut) {
    faults.maxWriteChunk = 5;
    ScriptedSerialPort* port = Open();
    SetMask(cc->channels[0], {0});
    cc->channels[0].cmdType.store(CMD_CLEAR_NODE);
    cc->SenderStep(0);
    auto frames = Frames(port->Written());
    ASSERT_EQ(frames.size(), 1u);
    ExpectFrameShape(frames[0], 18);
}

TEST_F(Transmitters, PreparingAndIdleSendNothing) {
    ScriptedSerialPort* port = Open();
    for (int t : {CMD_IDLE, CMD_PREPARING}) {
        cc->channels[0].cmdType.store(t);
        cc->SenderStep(0);
    }
    EXPECT_TRUE(port->Written().empty());
    EXPECT_EQ(cc->channels[0].cmdType.load(), CMD_PREPARING);
}

} // namespace
