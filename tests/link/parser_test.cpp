#include "LinkFixture.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"
#include "link/ReplyDecoder.h"

#include <cstring>
#include <limits>

namespace {

// --- Bodies as nodes send them (with their check byte).

std::vector<uint8_t> WithCheck(std::vector<uint8_t> body) {
    body.push_back(Crc8(body.data(), body.size()));
    return body;
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
std::vector<uint8_t> CheckBody(uint8_t status) {
    std::vector<uint8_t> body{status};
    if (status & kCheckNeedPackages)
        body.resize(1 + kBitmapSize, 0);
    return body;
}

ReplyOutcome Decode(const ReplyAsk& ask, const std::vector<uint8_t>& bodyWithoutCheck) {
    static std::vector<uint8_t> keep; // the outcome may point into the body
    keep = WithCheck(bodyWithoutCheck);
    return DecodeReply(ask, keep.data(), keep.size());
}
ReplyAsk Query(int block, int fileCount = 0, int listed = 0) {
    ReplyAsk a;
    a.command = CMD_QUERY_NODE;
    a.block = block;
    a.fileCount = fileCount;
    a.listedCount = listed;
    return a;
}
ReplyAsk Check(int packageCount = 10) {
    ReplyAsk a;
    a.command = CMD_CHECK_FILE;
    a.packageCount = packageCount;
    return a;
}

TEST(ReplyDecoder, StorageFiguresAndANewListEachTime) {
    auto o = Decode(Query(0, 40, 40), Storage(5, 224, 40));
    EXPECT_EQ(o.kind, ReplyOutcome::Storage);
    EXPECT_EQ(o.status, NS_MORE);
    EXPECT_EQ(o.fileCount, 5);
    EXPECT_EQ(o.maxFiles, 224);
    EXPECT_EQ(o.freeBytes, 40 * 512);
    EXPECT_EQ(o.listedCount, 0); // a second query of the node lists from the start again
    EXPECT_TRUE(o.replied);

    EXPECT_EQ(Decode(Query(0), Storage(0, 224)).status, NS_QUERY_END);
    o = Decode(Query(0), Storage(300, 224));
    EXPECT_EQ(o.status, NS_LIST_CLIPPED);
    EXPECT_EQ(o.fileCount, 224);

    StorageInfo huge{1, 65535, 224, 0, 65535};
    std::vector<uint8_t> body(13);
    BuildStorageBody(body.data(), huge);
    EXPECT_EQ(Decode(Query(0), body).freeBytes, std::numeric_limits<int32_t>::max()); // saturated
}

TEST(ReplyDecoder, ListBlockRules) {
    auto o = Decode(Query(1, 40, 0), ListBody(1, 32, 0));
    EXPECT_EQ(o.status, NS_MORE);
    EXPECT_EQ(o.firstEntry, 0);
    EXPECT_EQ(o.entryCount, 32);
    EXPECT_EQ(o.listedCount, 32);
    o = Decode(Query(2, 40, 32), ListBody(2, 8, 32));
    EXPECT_EQ(o.status, NS_QUERY_END);
    EXPECT_EQ(o.firstEntry, 32);
    EXPECT_EQ(0, std::memcmp(o.entryBytes + 16 * 7, "N039    DST", 12));

    // More entries than announced: before block 7 fetch on, on block 7 take what came.
    o = Decode(Query(1, 3, 0), ListBody(1, 5, 0));
    EXPECT_EQ(o.status, NS_MORE);
    EXPECT_EQ(o.fileCount, kMaxEntries);
    o = Decode(Query(7, 3, 0), ListBody(7, 5, 0));
    EXPECT_EQ(o.status, NS_QUERY_END);
    EXPECT_EQ(o.fileCount, 5);

    // Never past the 224 places; counts saturate; a count below zero starts again at 0.
    o = Decode(Query(6, 300, 220), ListBody(6, 32, 220));
    EXPECT_EQ(o.entryCount, 4);
    o = Decode(Query(3, 5, std::numeric_limits<int32_t>::max() - 3), ListBody(3, 32, 0));
    EXPECT_EQ(o.entryCount, 0);
    EXPECT_EQ(o.listedCount, std::numeric_limits<int32_t>::max());
    o = Decode(Query(1, 2, -50), ListBody(1, 2, 0));
    EXPECT_EQ(o.firstEntry, 0);
    EXPECT_EQ(o.status, NS_QUERY_END);
}

TEST(ReplyDecoder, AReplyThatDoesNotFitTheRequestIsBad) {
    // Wrong length, wrong block number, too many entries, a block never asked.
    auto cut = ListBody(1, 2, 0);
    cut[1] = 3; // announces 3, carries 2
    EXPECT_EQ(Decode(Query(1, 10), cut).status, NS_BAD_REPLY);
    EXPECT_EQ(Decode(Query(2, 10, 32), ListBody(1, 2, 0)).status, NS_BAD_REPLY);
    EXPECT_EQ(Decode(Query(1, 40), ListBody(1, 33, 0)).status, NS_BAD_REPLY);
    EXPECT_EQ(Decode(Query(8, 40), ListBody(8, 1, 0)).status, NS_BAD_REPLY);
    auto longer = Storage(1, 224);
    longer.push_back(0);
    EXPECT_EQ(Decode(Query(0), longer).status, NS_BAD_REPLY);
    EXPECT_FALSE(Decode(Query(0), longer).replied);
    auto shorter = Storage(1, 224);
    shorter.pop_back();
    EXPECT_EQ(Decode(Query(0), shorter).status, NS_BAD_REPLY);
    EXPECT_FALSE(Decode(Query(0), shorter).replied);
    // Replies to the other kind of request: a storage block while a check is outstanding must
    // not read as "complete" (its first byte is 0), nor a check reply as a list.
    const ReplyOutcome late = Decode(Check(), Storage(3, 224));
    EXPECT_EQ(late.status, kKeepStatus);
    EXPECT_FALSE(late.replied);
    EXPECT_EQ(Decode(Query(0), CheckBody(0)).status, NS_BAD_REPLY);
    EXPECT_EQ(Decode(Query(1, 5), CheckBody(0x10)).status, NS_BAD_REPLY);
    EXPECT_EQ(Decode(Check(), ListBody(1, 0, 0)).status, kKeepStatus);
    // A need bitmap belongs to bit 4 and only to it.
    auto noBitmap = std::vector<uint8_t>{0x10};
    EXPECT_EQ(Decode(Check(), noBitmap).status, kKeepStatus);
    auto extra = CheckBody(0x80);
    extra.resize(1 + kBitmapSize, 0);
    EXPECT_EQ(Decode(Check(), extra).status, kKeepStatus);
    // A bad check byte: a query fails, a check stays unanswered.
    auto bad = WithCheck(Storage(1, 224));
    bad.back() ^= 1;
    EXPECT_EQ(DecodeReply(Query(0), bad.data(), bad.size()).status, NS_BAD_REPLY);
    bad = WithCheck(CheckBody(0));
    bad.back() ^= 1;
    EXPECT_EQ(DecodeReply(Check(), bad.data(), bad.size()).status, kKeepStatus);
}

TEST(ReplyDecoder, CheckStatusPrecedenceAndBitmapBounds) {
    const struct {
        uint8_t s;
        int expect;
    } cases[] = {{0x00, NS_FILE_DONE},       {0x80, NS_NEED_HEAD}, {0xC0, NS_NO_ROOM},
                 {0xE0, NS_FILE_NUM_EXCEED}, {0x30, NS_MORE},      {0x01, kKeepStatus}};
    for (const auto& c : cases) {
        const ReplyOutcome o = Decode(Check(), CheckBody(c.s));
        EXPECT_EQ(o.status, c.expect) << int(c.s);
        EXPECT_EQ(o.clearPending, c.expect != kKeepStatus) << int(c.s);
        EXPECT_TRUE(o.replied) << int(c.s);
        EXPECT_TRUE(ParserMaySet(CMD_CHECK_FILE, o.status));
    }
    auto body = CheckBody(0x10);
    body[1] = 0x06;   // packages 1, 2
    body[2] = 0x80;   // package 15: beyond the file
    body[360] = 0x80; // package 2879
    auto o = Decode(Check(10), body);
    EXPECT_EQ(o.missingCount, 2);
    ASSERT_NE(o.bitmap, nullptr);
    EXPECT_EQ(o.bitmap[359], 0x80); // copied whole
    EXPECT_EQ(Decode(Check(-5), body).missingCount, 0);
    EXPECT_EQ(Decode(Check(2879), body).missingCount, 4);
    // The count's own package is counted, on either side of a 64-package word.
    body = CheckBody(0x10);
    body[1 + 7] = 0x80; // package 63
    body[1 + 8] = 0x01; // package 64
    EXPECT_EQ(Decode(Check(62), body).missingCount, 0);
    EXPECT_EQ(Decode(Check(63), body).missingCount, 1);
    EXPECT_EQ(Decode(Check(64), body).missingCount, 2);
}

// --- The parser thread's steps on a centre with a scripted port.

class Parser : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        Open(8);
    }
    // A request to `node` is out and awaits its reply, as the transmitters leave it.
    void Await(int command, int node, int block = 0) {
        ChannelState& ch = cc->channels[0];
        uint8_t m[8] = {};
        MaskSet(m, node);
        ch.SetTargetMask(m);
        ch.replyNode.store(node);
        ch.queryBlock.store(block);
        ch.cmdType.store(command);
        ch.nodePending[node].store(1);
        cc->nodes[0][node].status.store(NS_REQUEST_SENT);
        cc->OpenRequest(0);
    }
    NodeRecord& Node(int n) { return cc->nodes[0][n]; }
};

TEST_F(Parser, SyncSplitAcrossTwoPollsIsFound) {
    Raw({0x00, 0xEB, 0x90, 0xEB});
    EXPECT_FALSE(cc->FindSync(0));
    Raw({0x90, 0xEB, 0x90, 0x42});
    EXPECT_TRUE(cc->FindSync(0));
    EXPECT_EQ(cc->RingCount(0), 1); // the byte after the sync stays for the header
    Raw({0xEB, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90});
    EXPECT_FALSE(cc->FindSync(0));
    EXPECT_EQ(cc->channels[0].syncMatch.load(), 4); // the repeated EB did not restart the match
}

TEST_F(Parser, RepliesReachTheAskedNodeOnly) {
    Await(CMD_QUERY_NODE, 3, 0);
    Reply(Storage(40, 224, 40));
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_MORE);
    EXPECT_EQ(Node(3).fileCount.load(), 40);
    EXPECT_EQ(Node(3).freeBytes.load(), 40 * 512);
    EXPECT_EQ(Node(3).replied.load(), 1);
    EXPECT_TRUE(cc->replyGate[0].IsSet());
    EXPECT_EQ(cc->channels[0].openRequest.load(), 0u);

    // Node 3's list fills its entries; node 4's, right after it, stay as they were.
    std::memset(Node(4).entries, 0x5A, sizeof Node(4).entries);
    Await(CMD_QUERY_NODE, 3, 1);
    Reply(ListBody(1, 32, 0));
    cc->ParserStep(0);
    Await(CMD_QUERY_NODE, 3, 2);
    Reply(ListBody(2, 8, 32));
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_QUERY_END);
    const auto files = Node(3).ListedFiles();
    ASSERT_EQ(files.size(), 40u);
    EXPECT_EQ(0, std::memcmp(files[39].name, "N039    DST", 12));
    EXPECT_EQ(files[39].length, 1039u);
    EXPECT_EQ(Node(3).entries[39][12], 0);
    for (size_t i = 0; i < sizeof Node(4).entries; ++i)
        ASSERT_EQ(reinterpret_cast<uint8_t*>(Node(4).entries)[i], 0x5A);

    // The need bitmap of a check reply.
    cc->stores[0].packageCount.store(10);
    Await(CMD_CHECK_FILE, 2);
    auto body = CheckBody(0x10);
    body[1] = 0x06;
    Reply(body);
    cc->ParserStep(0);
    EXPECT_EQ(Node(2).status.load(), NS_MORE);
    EXPECT_EQ(Node(2).missingCount.load(), 2);
    EXPECT_EQ(Node(2).needPackage[1].load(), 1);
    EXPECT_EQ(Node(2).needPackage[3].load(), 0);
    EXPECT_EQ(cc->channels[0].nodePending[2].load(), 0);
}

TEST_F(Parser, AStorageReplyStartsTheNodesListAgain) {
    // Node 3 listed 40 files in an earlier query; its next query's storage reply starts a new
    // list, whose first block goes to the first places.
    Node(3).listedCount.store(40);
    Node(3).fileCount.store(40);
    Await(CMD_QUERY_NODE, 3, 0);
    Reply(Storage(2, 224, 10));
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).listedCount.load(), 0);
    EXPECT_EQ(Node(3).fileCount.load(), 2);
    Await(CMD_QUERY_NODE, 3, 1);
    Reply(ListBody(1, 2, 500));
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_QUERY_END);
    const auto files = Node(3).ListedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(0, std::memcmp(files[0].name, "N500    DST", 12));
}

TEST_F(Parser, BrokenRepliesFailTheRequest) {
    // Bad header check: a query fails at once, a check waits for the line to go quiet first.
    Await(CMD_QUERY_NODE, 0);
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 14, 0, 0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_TRUE(pauses.empty());
    EXPECT_TRUE(cc->replyGate[0].IsSet());

    Await(CMD_CHECK_FILE, 0);
    onPause = [this](int n) {
        if (n <= 3)
            ports.back()->QueueInput(reinterpret_cast<const uint8_t*>("xx"), 2);
    };
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 2, 0, 0x00});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_GE(pauses.size(), 3u);
    EXPECT_LE(pauses.size(), 5u);
    onPause = nullptr;

    // A body longer than the ring never completes.
    pauses.clear();
    Await(CMD_QUERY_NODE, 0);
    uint8_t hdr[3];
    PutLe16(hdr, 3000);
    hdr[2] = Crc8(hdr, 2);
    Raw({0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, hdr[0], hdr[1], hdr[2], 1, 2, 3});
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_NO_REPLY);
    EXPECT_GE(std::count(pauses.begin(), pauses.end(), kReplyPollMs), kBodyWaitPolls);

    // A body that arrives in pieces is still read.
    pauses.clear();
    Await(CMD_QUERY_NODE, 0);
    std::vector<uint8_t> frame(64);
    const auto storage = Storage(0, 224);
    const size_t n = BuildReplyFrame(frame.data(), storage.data(), storage.size());
    Raw(std::vector<uint8_t>(frame.begin(), frame.begin() + 12));
    onPause = [&](int k) {
        if (k == 5)
            ports.back()->QueueInput(frame.data() + 12, n - 12);
    };
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_QUERY_END);
}

TEST_F(Parser, ACancelledNodeStaysCancelled) {
    // A good, a corrupt and a missing reply arriving after the node was taken out of the command.
    const std::vector<std::vector<uint8_t>> arrivals = {
        {},
        {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 2, 0, 0x00},
        {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90},
    };
    for (int command : {CMD_QUERY_NODE, CMD_CHECK_FILE}) {
        for (size_t i = 0; i < arrivals.size(); ++i) {
            Await(command, 3);
            cc->channels[0].SetTargetMask(std::array<uint8_t, 8>{}.data());
            Node(3).status.store(NS_CANCELLED);
            if (i == 0)
                Reply(command == CMD_QUERY_NODE ? Storage(0, 224) : CheckBody(0));
            else
                Raw(arrivals[i]);
            cc->ParserStep(0);
            EXPECT_EQ(Node(3).status.load(), NS_CANCELLED) << command << "/" << i;
            EXPECT_TRUE(cc->replyGate[0].IsSet());
        }
    }
    // Even while still addressed: a cancel that has not yet reached the mask.
    Await(CMD_CHECK_FILE, 3);
    Node(3).status.store(NS_CANCELLED);
    Raw(arrivals[1]);
    cc->ParserStep(0);
    EXPECT_EQ(Node(3).status.load(), NS_CANCELLED);
}

TEST_F(Parser, AReplyAfterTheGiveUpIsCreditedToNobody) {
    Await(CMD_CHECK_FILE, 1);
    cc->channels[0].openRequest.store(0); // the sender gave up on it
    cc->replyGate[0].Set();
    Reply(CheckBody(0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(1).status.load(), NS_REQUEST_SENT);
    EXPECT_EQ(Node(1).replied.load(), 0);

    // During another command the sync is consumed only.
    cc->channels[0].cmdType.store(CMD_SEND_HEAD);
    Node(0).status.store(NS_IDLE);
    cc->channels[0].replyNode.store(0);
    Reply(CheckBody(0));
    cc->ParserStep(0);
    EXPECT_EQ(Node(0).status.load(), NS_IDLE);
}

} // namespace
