// A picture of the main window on two simulated lines, for review (build/screenshots/).
#include "StationFixture.h"

#include "station/FileGroups.h"
#include "tasks/TaskLayer.h"

#include "NameField.h"

#include <QDir>
#include <QImage>

#include <fstream>

TEST_F(StationTest, MainWindowOnTwoSimulatedLines) {
    nodesim::Config slow;
    slow.baud = 57600; // a send still under way when the picture is taken
    testsupport::SimLine& one = startLine(0, 32, slow);
    startLine(1, 16);
    for (int n = 0; n < 6; ++n)
        for (int k = 0; k <= n % 3; ++k) {
            const std::string name = "PART" + std::to_string(n) + std::to_string(k) + ".DST";
            one.sim().AddFile(n, nodesim::FieldToString(nodesim::MakeNameField(name)),
                              testsupport::DesignBytes(2000 + 517 * k, n * 10 + k));
        }
    writeParameters({"COM1", 32, 0, one.link()}, {lines[1]->link(), 16, 32});
    {
        std::ofstream rtu(file("RTU.ini"));
        rtu << "[RTU_PARA1]\r\n";
        for (int n = 0; n < 32; ++n)
            if (n != 7)
                rtu << "RTU_Name" << n << "=Line A-" << (n < 9 ? "0" : "") << n + 1 << "\r\n";
        rtu << "RTU_Visible7=1\r\n";
    }
    ASSERT_TRUE(start());

    // Some history: nodes 0-5 queried, a send to nodes 8 and 9 under way, one node waiting.
    CTransTask query;
    for (int n = 0; n < 6; ++n)
        query.nodeMask[n] = 1;
    ASSERT_EQ(CreateQueryTask(0, query), 1);
    WAIT_EQ(nodes().cell(5, kColInfo), QString("Query End"), 60000);
    std::vector<std::string> paths;
    for (int i = 1; i <= 3; ++i) {
        paths.push_back(file("SAMPLE0" + std::to_string(i) + ".DST"));
        ASSERT_TRUE(testsupport::WriteFile(paths.back(), testsupport::DesignBytes(60000 * i, i)));
    }
    CTransTask send;
    send.nodeMask[8] = send.nodeMask[9] = 1;
    send.files = {paths[2]};
    ASSERT_EQ(CreateSendTask(0, send), 1);
    CTransTask later;
    later.nodeMask[12] = 1;
    ASSERT_EQ(CreateQueryTask(0, later), 1);
    // Row 7 is node 8 (node 7's machine is hidden).
    WAIT_UNTIL(nodes().cell(7, kColRate).endsWith('%'), 120000);

    const GroupOutcome made = NewGroupFromFiles(paths);
    ASSERT_TRUE(made.problems.empty());
    NewGroupFromFiles({paths[0]});
    win().ShowGroup(made.show, true);
    clickRow(win().nodeList(), 2);
    nodes().setChecked(0, true);
    nodes().setChecked(1, true);
    win().fileGroupList()->checkModel()->setChecked(0, true);
    EXPECT_EQ(nodeFiles().rowCount(), 3);
    EXPECT_EQ(nodes().rowCount(), 31);
    EXPECT_EQ(win().groupFileList()->checkModel()->rowCount(), 3);
    EXPECT_EQ(win().fileGroupList()->checkModel()->rowCount(), 2);

    win().showNormal();
    win().resize(1366, 768);
    QApplication::processEvents();
    const QImage shot = win().grab().toImage();
    const QString dir = QStringLiteral(TALVORN_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QString path = dir + "/main_window.png";
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_EQ(shot.size(), QSize(1366, 768) * shot.devicePixelRatio());
    std::cout << "screenshot: " << path.toStdString() << "\n";
}
