// The main window's node list and status panes against simulated lines.
#include "StationFixture.h"

#include "NameField.h"
#include "tasks/TaskLayer.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QPalette>

#include <fstream>

TEST_F(StationTest, StatusPanesForOpenAndClosedChannels) {
    startLine(0, 4);
    startLine(1, 3);

    // Both channels open (channel 1 through the working folder's port table): channel 1 shown.
    writeParameters({"COM1", 4, 0, lines[0]->link()}, {lines[1]->link(), 3, 32});
    ASSERT_TRUE(start());
    EXPECT_EQ(pane(0), "Two Channel Success");
    EXPECT_EQ(pane(3), "Channel1");
    EXPECT_EQ(nodeLabels(), QStringList({"000", "001", "002", "003"}));

    // A line that fails (its adapter pulled) is told in pane 0 for as long as it is lost.
    lines[1]->sim().Stop();
    WAIT_EQ(pane(0), QString("Channel Two Line Lost"), 30000);
    ASSERT_TRUE(lines[1]->Start());
    WAIT_EQ(pane(0), QString("Two Channel Success"), 30000);
    EXPECT_EQ(nodeRow(0), QStringList({"000", "COM1", "", "0", "", "", "0", "0", ""}));

    // View File shows the library's place in the upper half, with its button pressed, and back.
    auto* library = new QLabel("library");
    win().setLibraryView(library);
    QAction* viewFile = win().command(32771);
    ASSERT_NE(viewFile, nullptr);
    viewFile->trigger();
    EXPECT_FALSE(win().nodeViewShown());
    EXPECT_TRUE(viewFile->isChecked());
    EXPECT_TRUE(library->isVisible());
    EXPECT_FALSE(win().nodeList()->isVisible());
    viewFile->trigger();
    EXPECT_TRUE(win().nodeViewShown());
    EXPECT_FALSE(viewFile->isChecked());
    EXPECT_TRUE(win().nodeList()->isVisible());

    // Only channel 2 open: channel 2 and its nodes.
    writeParameters({"", 4, 0}, {lines[1]->link(), 3, 32});
    ASSERT_TRUE(restart());
    EXPECT_EQ(pane(0), "Channel One Error, Channel Two Success");
    EXPECT_EQ(pane(3), "Channel2");
    EXPECT_EQ(nodeLabels(), QStringList({"032", "033", "034"}));
    EXPECT_EQ(win().currentChannel(), 1);

    // None open: channel 1 is shown, with no nodes.
    writeParameters({"", 4, 0}, {"", 3, 32});
    ASSERT_TRUE(restart());
    EXPECT_EQ(pane(0), "Two Channels Error");
    EXPECT_EQ(pane(3), "Channel1");
    EXPECT_EQ(nodes().rowCount(), 0);
    EXPECT_TRUE(win().timerRunning());
}

TEST_F(StationTest, HiddenMachineLeavesNoRowAndRowsStillFindTheirNodes) {
    testsupport::SimLine& line = startLine(0, 4);
    for (int n = 0; n < 4; ++n) {
        const std::string name = "NODE" + std::to_string(n) + ".DST";
        ASSERT_TRUE(line.sim().AddFile(n, nodesim::FieldToString(nodesim::MakeNameField(name)),
                                       testsupport::DesignBytes(700 + n, n)));
    }
    writeParameters({line.link(), 4, 0}, {"", 0, 32});
    {
        std::ofstream rtu(file("RTU.ini"));
        rtu << "[RTU_PARA1]\r\nRTU_Name0=Line A-01 West Bay 7\r\nRTU_Visible1=1\r\n"
            << "RTU_Name2=Line A-03\r\n";
    }
    ASSERT_TRUE(start());
    ASSERT_EQ(nodeLabels(), QStringList({"000", "002", "003"}));
    EXPECT_EQ(nodes().cell(0, kColMachine), "Line A-01 West Bay 7");
    EXPECT_EQ(nodes().cell(1, kColMachine), "Line A-03");
    // A name wider than its column can be read whole from the cell's tooltip.
    EXPECT_EQ(nodes().data(nodes().index(0, kColMachine), Qt::ToolTipRole).toString(),
              "Line A-01 West Bay 7");
    EXPECT_FALSE(nodes().data(nodes().index(2, kColMachine), Qt::ToolTipRole).isValid());

    // Read the nodes' file lists through the core, as Query Node will.
    CTransTask request;
    for (int n = 0; n < 4; ++n)
        request.nodeMask[n] = 1;
    ASSERT_EQ(CreateQueryTask(0, request), 1);
    WAIT_UNTIL(nodes().cell(2, kColInfo) == "Query End" && nodes().cell(1, kColInfo) == "Query End",
               60000);

    // The row below the hidden machine shows node 2's files, the next one node 3's.
    clickRow(win().nodeList(), 1);
    EXPECT_EQ(win().selectedRow(0), 1);
    ASSERT_EQ(nodeFiles().rowCount(), 1);
    EXPECT_EQ(nodeFiles().cell(0, 1), "NODE2.DST");
    EXPECT_EQ(nodeFiles().cell(0, 2), "702");
    clickRow(win().nodeList(), 2);
    ASSERT_EQ(nodeFiles().rowCount(), 1);
    EXPECT_EQ(nodeFiles().cell(0, 1), "NODE3.DST");

    // The check mark: Space on the focused row, wherever the focus sits in it.
    win().nodeList()->setFocus();
    win().nodeList()->setCurrentIndex(nodes().index(1, kColInfo));
    QTest::keyClick(win().nodeList(), Qt::Key_Space);
    EXPECT_TRUE(nodes().isChecked(1));
    EXPECT_EQ(nodes().data(nodes().index(1, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    QTest::keyClick(win().nodeList(), Qt::Key_Space);
    EXPECT_FALSE(nodes().isChecked(1));

    // The selection entries act on the active list: Select Other checks all but the highlighted.
    EXPECT_EQ(win().activeList(), win().nodeList());
    win().nodeList()->selectRow(0);
    win().command(32827)->trigger();
    EXPECT_EQ(nodes().checkedRows(), QVector<int>({1, 2}));
    win().command(32806)->trigger();
    EXPECT_TRUE(nodes().checkedRows().isEmpty());

    // Screen readers get the list's name and exactly the text a cell shows.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(win().nodeList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), "Nodes");
    ASSERT_NE(list->tableInterface(), nullptr);
    QAccessibleInterface* cell = list->tableInterface()->cellAt(1, kColMachine);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "Line A-03");
}

TEST_F(StationTest, ListsStayReadableWithoutColourKeysAndTheNodeFilesStartActive) {
    testsupport::SimLine& line = startLine(0, 3);
    ASSERT_TRUE(line.sim().AddFile(1, nodesim::FieldToString(nodesim::MakeNameField("HELD.DST")),
                                   testsupport::DesignBytes(900, 3)));
    // A Para.ini written by hand, without the three colour keys: they read as 0, black on black.
    writeParameters({line.link(), 3, 0}, {"", 0, 32});
    std::string text;
    {
        std::ifstream in(file("Para.ini"));
        for (std::string l; std::getline(in, l);)
            if (l.rfind("ListColor", 0) != 0 && l.rfind("FontBKColor", 0) != 0 &&
                l.rfind("FontColor", 0) != 0)
                text += l + "\n";
    }
    std::ofstream(file("Para.ini"), std::ios::trunc) << text;
    ASSERT_TRUE(start());

    // Every list takes the style's colours instead.
    for (CheckListView* list :
         {win().nodeList(), win().nodeFileList(), win().groupFileList(), win().fileGroupList()}) {
        const QPalette style = QApplication::palette(list);
        EXPECT_EQ(list->palette().color(QPalette::Base), style.color(QPalette::Base));
        EXPECT_EQ(list->palette().color(QPalette::Text), style.color(QPalette::Text));
    }
    EXPECT_FALSE(nodes().data(nodes().index(0, 0), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(nodes().data(nodes().index(0, 0), Qt::ForegroundRole).isValid());
    win().showNormal();
    win().resize(1100, 700);
    QApplication::processEvents();
    const QString dir = QStringLiteral(TALVORN_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(win().grab().save(dir + "/main_window_style_colours.png"));

    // The node-file list is the active list at start. It is empty, so Select All and Cancel All
    // reach the nodes (and make the node list the active one).
    EXPECT_EQ(win().activeList(), win().nodeFileList());
    win().command(32805)->trigger();
    EXPECT_EQ(nodes().checkedRows(), QVector<int>({0, 1, 2}));
    EXPECT_EQ(win().activeList(), win().nodeList());
    win().command(32806)->trigger();
    EXPECT_TRUE(nodes().checkedRows().isEmpty());
    // The shown node list has a current row, which nobody chose: no node's files are shown.
    EXPECT_TRUE(win().nodeList()->currentIndex().isValid());
    EXPECT_EQ(win().nodeFilesNode(), -1);

    // The file's own colours, when readable, are the lists' colours.
    writeParameters({line.link(), 3, 0}, {"", 0, 32});
    ASSERT_TRUE(restart());
    EXPECT_EQ(nodes().data(nodes().index(0, 0), Qt::BackgroundRole).value<QColor>(),
              QColor(0xBA, 0xBA, 0xFF));
    EXPECT_EQ(win().nodeList()->palette().color(QPalette::Text), QColor(0x28, 0x28, 0x28));
    EXPECT_EQ(win().activeList(), win().nodeFileList());
}
