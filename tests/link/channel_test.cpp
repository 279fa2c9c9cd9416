#include "LinkFixture.h"
#include "TestSupport.h"
#include "link/NodeStatus.h"

#include <future>

namespace {

class Channel : public LinkFixture {};

TEST_F(Channel, RingWrapsAtTheEnd) {
    ScriptedSerialPort* port = Open();
    ChannelState& ch = cc->channels[0];
    ch.rxRead.store(2046);
    ch.rxWrite.store(2046);
    const uint8_t data[4] = {1, 2, 3, 4};
    port->QueueInput(data, 4);
    cc->ReaderStep(0);
    EXPECT_EQ(ch.rxWrite.load(), 2);
    EXPECT_EQ(ch.rxRing[2046], 1);
    EXPECT_EQ(ch.rxRing[2047], 2);
    EXPECT_EQ(ch.rxRing[0], 3);
    EXPECT_EQ(ch.rxRing[1], 4);
    EXPECT_EQ(cc->RingCount(0), 4);
    uint8_t out[10];
    EXPECT_EQ(cc->RingRead(0, out, 10), 4);
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(cc->RingCount(0), 0);
    EXPECT_EQ(ch.rxIdle.load(), 0);
}

TEST_F(Channel, FullRingReadsNothingAndEmptyRingTakes2047) {
    ScriptedSerialPort* port = Open();
    ChannelState& ch = cc->channels[0];
    ch.rxRead.store(5);
    ch.rxWrite.store(4);
    EXPECT_EQ(cc->RingCount(0), 2047);
    std::vector<uint8_t> data(3000, 7);
    port->QueueInput(data.data(), data.size());
    cc->ReaderStep(0);
    EXPECT_EQ(cc->RingCount(0), 2047);
    EXPECT_EQ(ch.rxIdle.load(), 1);

    cc->RingReset(0);
    EXPECT_EQ(cc->RingCount(0), 0);
    cc->ReaderStep(0);
    EXPECT_EQ(cc->RingCount(0), 2047);
}

TEST_F(Channel, RingReadTakesNoMoreThanHeld) {
    ScriptedSerialPort* port = Open();
    const uint8_t data[3] = {9, 8, 7};
    port->QueueInput(data, 3);
    cc->ReaderStep(0);
    uint8_t out[10];
    EXPECT_EQ(cc->RingRead(0, out, 10), 3);
    EXPECT_EQ(cc->RingCount(0), 0);
    cc->ReaderStep(0);
    EXPECT_TRUE(cc->IsRxIdle(0));
}

TEST_F(Channel, OpenConfiguresSpeedAndSpaceParity) {
    for (auto [index, baud] : {std::pair{0, 19200u},
                               {1, 38400u},
                               {2, 57600u},
                               {3, 115200u},
                               {7, 38400u},
                               {-1, 38400u}}) {
        cc->channels[0].portOpen.store(0);
        ASSERT_EQ(cc->OpenPort(0, "/dev/x", index), 1);
        EXPECT_EQ(ports.back()->Settings().baud, baud) << index;
        EXPECT_EQ(ports.back()->Settings().parity, Parity::Space);
        EXPECT_EQ(ports.back()->Settings().dataBits, 8);
        EXPECT_TRUE(ports.back()->ReadReturnsAtOnce());
    }
}

TEST_F(Channel, PortWhoseTimeoutsCannotBeSetEndsClosed) {
    faults.failSetTimeouts = true;
    EXPECT_EQ(cc->OpenPort(0, "/dev/x", 3), 0);
    EXPECT_EQ(cc->channels[0].portOpen.load(), 0);
    EXPECT_EQ(cc->channels[0].hPort, nullptr); // released, which closes it
}

TEST_F(Channel, PortThatCannotOpenFails) {
    faults.failOpen = true;
    EXPECT_EQ(cc->OpenPort(0, "/dev/x", 3), 0);
    EXPECT_EQ(cc->channels[0].portOpen.load(), 0);
}

TEST_F(Channel, PortNamesResolve) {
    EXPECT_EQ(ResolveConfiguredPort("/dev/pts/3"), "/dev/pts/3");
    SetPortResolver([](const std::string& n) { return n == "COM1" ? "/dev/ttyUSB0" : ""; });
    EXPECT_EQ(ResolveConfiguredPort("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(cc->OpenPort(0, "COM2", 3), 0);
    SetPortResolver(nullptr);
}

TEST_F(Channel, ResetNodesRejectsBadChannel) {
    EXPECT_EQ(cc->ResetNodes(2), -1);
    EXPECT_EQ(cc->ResetNodes(-1), -1);
    cc->nodes[1][4].status.store(10);
    cc->nodes[1][4].fileCount.store(3);
    EXPECT_EQ(cc->ResetNodes(1), 1);
    EXPECT_EQ(cc->nodes[1][4].status.load(), -1);
    EXPECT_EQ(cc->nodes[1][4].fileCount.load(), 0);
    EXPECT_EQ(cc->nodes[1][4].totalBytes.load(), 1457664u);
    EXPECT_EQ(cc->nodes[1][4].clusterBytes.load(), 512);
}

TEST_F(Channel, ALostLineEndsTheCommandAndIsOpenedAgainWhenItIsBack) {
    ScriptedSerialPort* port = Open(4);
    ChannelState& ch = cc->channels[0];
    uint8_t m[8] = {0x06};
    ch.SetTargetMask(m);
    ch.cmdType.store(CMD_SEND_PACKAGES);
    cc->nodes[0][2].status.store(NS_CANCELLED);
    port->Fail(true); // hang-up, and the device is gone for now
    cc->ReaderStep(0);
    EXPECT_TRUE(cc->LineLost(0));
    cc->SenderStep(0); // the command ends at once, its nodes say why
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_LINE_LOST);
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_CANCELLED);
    EXPECT_STREQ(NodeStatusText(NS_LINE_LOST), "Line Lost");
    cc->linkRun.store(1);
    cc->ReopenPort(0);
    EXPECT_TRUE(cc->LineLost(0));
    port->Restore();
    cc->ReopenPort(0);
    EXPECT_FALSE(cc->LineLost(0));
    EXPECT_EQ(port->Opens(), 2);
    EXPECT_EQ(port->Settings().parity, Parity::Space);
    // A write that fails is seen by the sender just the same.
    port->Fail(false);
    ch.cmdType.store(CMD_CLEAR_NODE);
    cc->SenderStep(0);
    EXPECT_TRUE(cc->LineLost(0));
    // A file check lost half-way: a node that has answered keeps its answer.
    cc->nodes[0][1].status.store(NS_FILE_DONE);
    cc->nodes[0][2].status.store(NS_IDLE);
    ch.nodePending[2].store(1);
    ch.cmdType.store(CMD_CHECK_FILE);
    cc->SenderStep(0);
    EXPECT_EQ(cc->nodes[0][1].status.load(), NS_FILE_DONE);
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_LINE_LOST);
    cc->linkRun.store(0);
}

// The process-wide centre, on scripted ports (threads start but no period is waited for).
class Centre : public ::testing::Test {
protected:
    void SetUp() override {
        SetPortFactory([] { return std::make_unique<ScriptedSerialPort>(); });
    }
    void TearDown() override {
        CCommCenter::Destroy();
        SetPortFactory(nullptr);
    }
};

TEST_F(Centre, CreateReportsWhichChannelsStarted) {
    EXPECT_EQ(CCommCenter::NodeTable(0), nullptr);
    EXPECT_EQ(CCommCenter::NodeTable(1), nullptr);
    std::string names[2] = {"/dev/a", ""};
    int counts[2] = {8, 8}, speeds[2] = {3, 3}, modes[2] = {0, 7};
    EXPECT_EQ(CCommCenter::Create(names, counts, speeds, modes), 1);
    EXPECT_NE(CCommCenter::NodeTable(0), nullptr);
    EXPECT_EQ(CCommCenter::NodeTable(1), nullptr);
    EXPECT_EQ(CCommCenter::Instance()->channels[0].packageDelayMs.load(), 1);
    EXPECT_EQ(CCommCenter::Instance()->threadsStarted[0].load(), 1);
    EXPECT_EQ(CCommCenter::Instance()->schedulerRun.load(), 1);

    names[1] = "/dev/b";
    EXPECT_EQ(CCommCenter::Create(names, counts, speeds, modes), 3);
    EXPECT_EQ(CCommCenter::Instance()->channels[1].packageDelayMs.load(), 35);
    EXPECT_STREQ(CCommCenter::ResultText(3), "Two Channel Success");
    EXPECT_STREQ(CCommCenter::ResultText(2), "Channel One Error, Channel Two Success");
}

TEST_F(Centre, BadCountsOrSpeedsSkipTheChannel) {
    std::string names[2] = {"/dev/a", "/dev/b"};
    int counts[2] = {0, 33}, speeds[2] = {3, 3}, modes[2] = {0, 0};
    EXPECT_EQ(CCommCenter::Create(names, counts, speeds, modes), 0);
    int counts2[2] = {32, 1}, speeds2[2] = {4, -1};
    EXPECT_EQ(CCommCenter::Create(names, counts2, speeds2, modes), 0);
    EXPECT_STREQ(CCommCenter::ResultText(0), "Two Channels Error");
}

TEST_F(Centre, DestroyReturnsWhileAWriteIsBlocked) {
    ScriptedSerialPort* port = nullptr;
    SetPortFactory([&] {
        ScriptedSerialPort::Faults f;
        f.blockWrites = true; // a line nobody reads
        auto p = std::make_unique<ScriptedSerialPort>(f);
        port = p.get();
        return p;
    });
    std::string names[2] = {"/dev/a", ""};
    int counts[2] = {4, 4}, speeds[2] = {3, 3}, modes[2] = {0, 0};
    ASSERT_EQ(CCommCenter::Create(names, counts, speeds, modes), 1);
    CCommCenter& cc = *CCommCenter::Instance();
    uint8_t m[8] = {0x01};
    cc.channels[0].SetTargetMask(m);
    cc.channels[0].cmdType.store(CMD_CLEAR_NODE);
    ASSERT_TRUE(testsupport::WaitFor([&] { return port->WriteBlocked(); }));
    auto done = std::async(std::launch::async, [] { CCommCenter::Destroy(); });
    EXPECT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

TEST_F(Centre, RecreateResetsNodeInformation) {
    std::string names[2] = {"/dev/a", "/dev/b"};
    int counts[2] = {4, 4}, speeds[2] = {0, 1}, modes[2] = {2, 3};
    ASSERT_EQ(CCommCenter::Create(names, counts, speeds, modes), 3);
    CCommCenter* first = CCommCenter::Instance();
    first->nodes[0][1].fileCount.store(12);
    ASSERT_EQ(CCommCenter::Create(names, counts, speeds, modes), 3);
    EXPECT_EQ(CCommCenter::NodeTable(0)[1].fileCount.load(), 0);
    EXPECT_EQ(CCommCenter::NodeTable(0)[1].status.load(), -1);
    CCommCenter::Destroy();
    EXPECT_EQ(CCommCenter::Instance(), nullptr);
    EXPECT_EQ(CCommCenter::NodeTable(0), nullptr);
}

} // namespace
