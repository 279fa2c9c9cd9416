#include "LinkFixture.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"

#include <cstring>
#include <limits>

namespace {

class Parser : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        Open(8);
    }
    // A query of `node` awaiting the reply to `block`.
    void AwaitQuery(int node, int block) {
        ChannelState& ch = cc->channels[0];
        uint8_t m[8] = {};
        MaskSet(m, node);
        ch.SetTargetMask(m);
        ch.replyNode.store(node);
        ch.queryBlock.store(block);
        ch.cmdType.store(CMD_QUERY_NODE);
        cc->nodes[0][node].status.store(NS_REQUEST_SENT);
        cc->replyGate[0].Reset();
    }
    void AwaitCheck(int node) {
        ChannelState& ch = cc->channels[0];
        uint8_t m[8] = {};
        MaskSet(m, node);
        ch.SetTargetMask(m);
        ch.replyNode.store(node);
        ch.cmdType.store(CMD_CHECK_FILE);
        cc->nodes[0][node].status.store(NS_REQUEST_SENT);
        cc->replyGate[0].Reset();
    }
    std::vector<uint8_t> Storage(uint16_t files, uint16_t maxFiles, uint16_t freeUnits = 100) {
        StorageInfo info{1457664, 512, maxFiles, files, freeUnits};
        std::vector<uint8_t> body(13);
        BuildStorageBody(body.data(), info);
        return body;
    }
    std::vector<uint8_t> ListBody(uint8_t block, int count, int firstIndex) {
        std::vector<uint8_t> body{block, static_cast<uint8_t>(count)};
        for (int j = 0; j < count; ++j) {
            char name[13];
            std::snprintf(name, sizeof name, "N%03d    DST", firstIndex + j);
            body.insert(body.end(), name, name + 12);
            uint8_t len[4];
            PutLe32(len, 1000u + static_cast<uint32_t>(firstIndex + j));
            body.insert(body.end(), len, len + 4);
        }
        return body;
    }
    NodeRecord& Node(int n) { return cc->nodes[0][n]; }
};

TEST_F(Parser, SyncSplitAcrossTwoPollsIsFound) {
    Raw({0x00, 0xEB, 0x90, 0xEB});
    EXPECT_FALSE(cc->FindSync(0));
    Raw({0x90, 0xEB, 0x90, 0x42});
    EXPECT_TRUE(cc->FindSync(0));
    EXPECT_EQ(cc->RingCount(0), 1); // the byte after the sync stays for the header
}

TEST_F(Parser, RepeatedFirstSyncByteDoesNotRestartTheMatch) {
    Raw({0xEB, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90});
    EXPECT_FALSE(cc->FindSync(0));
    EXPECT_EQ(cc->channels[0].syncMatch.load(), 4);
}

TEST_F(Parser, StorageReplyFillsTheRecord) {
    AwaitQuery(3, 0);
    Reply(Storage(5, 224, 40));
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_MORE);
    EXPECT_EQ(Node(3).fileCount.load(), 5);
    EXPECT_EQ(Node(3).maxFiles.load(), 224);
    EXPECT_EQ(Node(3).freeBytes.load(), 40 * 512);
    EXPECT_EQ(Node(3).replied.load(), 1);
    EXPECT_TRUE(cc->replyGate[0].IsSet());
}

TEST_F(Parser, EmptyNodeEndsQueryAndTooManyFilesAreClipped) {
    AwaitQuery(0, 0);
    Reply(Storage(0, 224));
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_QUERY_END);
    EXPECT_EQ(Node(0).listedCount.load(), 0);

    AwaitQuery(0, 0);
    Reply(Storage(300, 224));
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_LIST_CLIPPED);
    EXPECT_EQ(Node(0).fileCount.load(), 224);
}

TEST_F(Parser, ListBlocksFillEntriesUntilTheCountIsReached) {
    AwaitQuery(1, 0);
    Reply(Storage(40, 224));
    cc->ParserStep(0);
    AwaitQuery(1, 1);
    Reply(ListBody(1, 32, 0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).status.load(), NS_MORE);
    EXPECT_EQ(Node(1).listedCount.load(), 32);
    AwaitQuery(1, 2);
    Reply(ListBody(2, 8, 32));
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).status.load(), NS_QUERY_END);
    const auto files = Node(1).ListedFiles();
    ASSERT_EQ(files.size(), 40u);
    EXPECT_EQ(0, std::memcmp(files[39].name, "N039    DST", 12));
    EXPECT_EQ(files[39].length, 1039u);
    EXPECT_EQ(Node(1).entries[39][12], 0);
}

TEST_F(Parser, OverLongListOnLastBlockTakesWhatArrived) {
    AwaitQuery(1, 0);
    Reply(Storage(3, 224));
    cc->ParserStep(0);
    AwaitQuery(1, 7);
    Reply(ListBody(7, 5, 0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).status.load(), NS_QUERY_END);
    EXPECT_EQ(Node(1).fileCount.load(), 5);
}

TEST_F(Parser, OverLongListBeforeLastBlockAsksForMore) {
    AwaitQuery(1, 0);
    Reply(Storage(3, 224));
    cc->ParserStep(0);
    AwaitQuery(1, 1);
    Reply(ListBody(1, 5, 0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).status.load(), NS_MORE);
    EXPECT_EQ(Node(1).fileCount.load(), 224);
}

TEST_F(Parser, EntriesPastTheTableAreIgnored) {
    // Node 2's record is followed by node 3's; neither it nor anything else may be written.
    Node(2).listedCount.store(220);
    Node(2).fileCount.store(300);
    std::memset(Node(3).entries, 0x5A, sizeof Node(3).entries);
    AwaitQuery(2, 6);
    Reply(ListBody(6, 32, 220));
    cc->ParserStep(0);
    EXPECT_EQ(0, std::memcmp(Node(2).entries[223], "N223    DST", 12));
    for (size_t i = 0; i < sizeof Node(3).entries; ++i)
        ASSERT_EQ(reinterpret_cast<uint8_t*>(Node(3).entries)[i], 0x5A);
}

TEST_F(Parser, HugeListedCountNeitherOverflowsNorWrites) {
    Node(2).listedCount.store(std::numeric_limits<int32_t>::max() - 3);
    Node(2).fileCount.store(5);
    std::memset(Node(2).entries, 0x5A, sizeof Node(2).entries);
    AwaitQuery(2, 3);
    Reply(ListBody(3, 32, 0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(2).listedCount.load(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Node(2).status.load(), NS_MORE);
    for (size_t i = 0; i < sizeof Node(2).entries; ++i)
        ASSERT_EQ(reinterpret_cast<uint8_t*>(Node(2).entries)[i], 0x5A);
}

TEST_F(Parser, BlockAnnouncingMoreEntriesThanItCarriesReadsOnlyWhatArrived) {
    AwaitQuery(1, 0);
    Reply(Storage(10, 224));
    cc->ParserStep(0);
    auto body = ListBody(1, 2, 0);
    body[1] = 32; // claims 32, carries 2
    AwaitQuery(1, 1);
    Reply(body);
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).listedCount.load(), 2);
    EXPECT_EQ(Node(1).status.load(), NS_MORE);
}

TEST_F(Parser, QueryReplyWithBadHeaderCheckFailsWithoutWaiting) {
    AwaitQuery(0, 0);
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 14, 0, 0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_TRUE(pauses.empty());
    EXPECT_TRUE(cc->replyGate[0].IsSet());
}

TEST_F(Parser, CheckReplyWithBadHeaderCheckDrainsFirst) {
    AwaitCheck(0);
    // The line stays busy for three polls, then goes quiet.
    onPause = [this](int n) {
        if (n <= 3)
            ports.back()->QueueInput(reinterpret_cast<const uint8_t*>("xx"), 2);
    };
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 2, 0, 0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_GE(pauses.size(), 3u);
    EXPECT_LE(pauses.size(), 5u);
}

TEST_F(Parser, BodyLongerThanTheRingEndsAsNoReply) {
    AwaitQuery(0, 0);
    uint8_t hdr[3];
    PutLe16(hdr, 3000);
    hdr[2] = Crc8(hdr, 2);
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, hdr[0], hdr[1], hdr[2], 1, 2, 3});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), kReplyPollMs) >= kBodyWaitPolls, true);
}

TEST_F(Parser, BodyArrivingLateIsStillRead) {
    AwaitQuery(0, 0);
    std::vector<uint8_t> frame(64);
    const auto body = Storage(0, 224);
    const size_t n = BuildReplyFrame(frame.data(), body.data(), body.size());
    Raw(std::vector<uint8_t>(frame.begin(), frame.begin() + 12));
    onPause = [&](int k) {
        if (k == 5)
            ports.back()->QueueInput(frame.data() + 12, n - 12);
    };
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_QUERY_END);
}

TEST_F(Parser, WrongBodyCheck) {
    AwaitQuery(0, 0);
    std::vector<uint8_t> frame(64);
    const auto body = Storage(0, 224);
    size_t n = BuildReplyFrame(frame.data(), body.data(), body.size());
    frame[n - 1] ^= 0xFF;
    Raw(std::vector<uint8_t>(frame.begin(), frame.begin() + n));
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_BAD_REPLY);

    AwaitCheck(0);
    const uint8_t s = 0;
    n = BuildReplyFrame(frame.data(), &s, 1);
    frame[n - 1] ^= 0xFF;
    Raw(std::vector<uint8_t>(frame.begin(), frame.begin() + n));
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_REQUEST_SENT);
    EXPECT_TRUE(cc->replyGate[0].IsSet());
}

TEST_F(Parser, CheckStatusPrecedence) {
    const struct {
        uint8_t s;
        int expect;
    } cases[] = {{0x00, NS_FILE_DONE},       {0x80, NS_NEED_HEAD}, {0xC0, NS_NO_ROOM},
                 {0xE0, NS_FILE_NUM_EXCEED}, {0x30, NS_MORE},      {0x01, NS_REQUEST_SENT}};
    for (const auto& c : cases) {
        AwaitCheck(4);
        cc->channels[0].nodePending[4].store(1);
        std::vector<uint8_t> body{c.s};
        if (c.s & 0x10)
            body.resize(361, 0);
        Reply(body);
        cc->ParserStep(0);
        EXPECT_EQ(Node(4).status.load(), c.expect) << int(c.s);
        EXPECT_EQ(cc->channels[0].nodePending[4].load(), c.expect == NS_REQUEST_SENT ? 1 : 0);
        EXPECT_EQ(Node(4).replied.load(), 1);
    }
}

TEST_F(Parser, NeedBitmapIsCopiedWholeButCountedUpToPackageCount) {
    cc->stores[0].packageCount.store(10);
    AwaitCheck(2);
    std::vector<uint8_t> body(361, 0);
    body[0] = 0x10;
    body[1] = 0x06;   // packages 1, 2
    body[2] = 0x80;   // package 15: beyond the file
    body[360] = 0x80; // package 2879
    Reply(body);
    cc->ParserStep(0);
    EXPECT_EQ(Node(2).status.load(), NS_MORE);
    EXPECT_EQ(Node(2).missingCount.load(), 2);
    EXPECT_EQ(Node(2).needPackage[0].load(), 0);
    EXPECT_EQ(Node(2).needPackage[1].load(), 1);
    EXPECT_EQ(Node(2).needPackage[3].load(), 0);
    EXPECT_EQ(Node(2).needPackage[15].load(), 1);
    EXPECT_EQ(Node(2).needPackage[2879].load(), 1);
}

TEST_F(Parser, ShortBitmapCountsMissingBytesAsNeeded) {
    cc->stores[0].packageCount.store(100);
    AwaitCheck(2);
    std::vector<uint8_t> body{0x10, 0x00, 0x00}; // covers packages 0..15 only
    Reply(body);
    cc->ParserStep(0);
    EXPECT_EQ(Node(2).status.load(), NS_MORE);
    EXPECT_EQ(Node(2).needPackage[15].load(), 0);
    EXPECT_EQ(Node(2).needPackage[16].load(), 1);
    EXPECT_EQ(Node(2).needPackage[100].load(), 1);
    EXPECT_EQ(Node(2).missingCount.load(), 100 - 16 + 1);
}

TEST_F(Parser, ReplyForANodeNoLongerAddressedIsDropped) {
    AwaitCheck(3);
    cc->channels[0].SetTargetMask(std::array<uint8_t, 8>{}.data()); // cancelled meanwhile
    Node(3).status.store(NS_CANCELLED);
    Reply({0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_CANCELLED);
    EXPECT_TRUE(cc->replyGate[0].IsSet());
}

TEST_F(Parser, SyncDuringOtherCommandsIsConsumedOnly) {
    cc->channels[0].cmdType.store(CMD_SEND_HEAD);
    cc->channels[0].replyNode.store(0);
    Node(0).status.store(NS_IDLE);
    Reply({0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_IDLE);
}

} // namespace
