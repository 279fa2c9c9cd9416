// The centre started from the working folder's parameters, over two simulated lines.
#include "CentreTest.h"
#include "SimLines.h"
#include "link/NodeStatus.h"
#include "platform/PrivateProfile.h"
#include "station/Centre.h"
#include "store/IniFile.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testsupport;

namespace {

class StationCentreLines : public CentreTest {
protected:
    void TearDown() override {
        CentreTest::TearDown();
        ResetParameters();
    }
};

TEST_F(StationCentreLines, PortsOfTheWorkingFolderAreOpened) {
    nodesim::Config one;
    one.nodeCount = 2;
    SimLine lineA(one);
    nodesim::Config two;
    two.nodeCount = 3;
    SimLine lineB(two);
    ASSERT_TRUE(lineB.sim().AddFile(0, nodesim::NodeNameField("F1.DST"), {1, 2, 3}));
    ASSERT_TRUE(lineA.Start());
    ASSERT_TRUE(lineB.Start());

    TempDir work;
    std::ofstream(work / "Para.ini")
        << "[SYS_PARA]\r\nChannel1ComID=COM1\r\nChannel1ComSum=2\r\nChannel1ComOne=0\r\n"
           "Channel1ComSpeed=3\r\nChannel2ComID=com4\r\nChannel2ComSum=3\r\nChannel2ComOne=32\r\n"
           "Channel2ComSpeed=3\r\n[PORTS]\r\nCOM1="
        << lineA.link() << "\r\nCOM4=" << lineB.link() << "\r\n";
    ResetParameters();
    ProfileClearCache();
    Params().workDir = work.path();
    ASSERT_TRUE(LoadParameters());

    ASSERT_EQ(StartCentreFromParameters(), 3);
    EXPECT_EQ(StationDevice("COM4"), lineB.link());
    // Channel 2 is line B: its node 0 holds one file.
    CTransTask request;
    request.nodeMask[0] = 1;
    ASSERT_EQ(CreateQueryTask(1, request), 1);
    EXPECT_TRUE(CentreBusy());
    ASSERT_TRUE(WaitFor([] { return !CentreBusy(); }));
    EXPECT_EQ(Status(0, 1), NS_QUERY_END);
    EXPECT_EQ(Node(0, 1).fileCount.load(), 1);

    // Each start reads the folder's ports again.
    ASSERT_TRUE(WriteIniString("PORTS", "COM1", work / "no-such-line", ParametersPath()));
    EXPECT_EQ(StartCentreFromParameters(), 2);
}

} // namespace
