// The Machine Information dialog through its command: the 20-byte limit counted in UTF-8 bytes,
// hide ticks saved, and channel 2's rows kept when channel 1 is configured with more than 32
// nodes.
#include "DialogReview.h"
#include "GuiFixture.h"

#include "gui/dialogs/MachineTableDialog.h"
#include "gui/kit/DialogTable.h"
#include "store/IniFile.h"
#include "store/MachineTable.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"

#include <QApplication>

#include <filesystem>

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class MachineInformation : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        Params().workDir = workDir;
        ASSERT_TRUE(LoadParameters());
        ASSERT_TRUE(WriteDefaultMachineTable());
        logOn("kqzwvx", 1);
    }
    std::string rtu() const { return file("RTU.ini"); }
    std::string name(int channel, int node) const {
        return ReadIniString("RTU_PARA" + std::to_string(channel + 1),
                             "RTU_Name" + std::to_string(node), rtu());
    }
    static MachineTableDialog& as(QDialog& d) {
        auto* m = qobject_cast<MachineTableDialog*>(&d);
        EXPECT_NE(m, nullptr);
        return *m;
    }
    // Edits a cell from the keyboard (F2), the text arriving from an input method.
    static void editCell(MachineTableDialog& m, int row, int column, const QString& text) {
        DialogTableView* t = m.table();
        t->setFocus();
        t->setCurrentIndex(t->model()->index(row, column));
        QTest::keyClick(t, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QInputMethodEvent ev;
        ev.setCommitString(text);
        QApplication::sendEvent(editor, &ev);
        QTest::keyClick(editor, Qt::Key_Return);
    }
};

TEST_F(MachineInformation, TwentyBytesAreTheLimitInStoredBytes) {
    Params().comSum[0] = 2;
    Params().comSum[1] = 2;
    const QString line = QString::fromUtf8("\xe7\xba\xbf"); // one character, three bytes
    const QString seven = line.repeated(7);                 // 21 bytes
    const QString six = line.repeated(6);                   // 18 bytes
    const QString twenty = "Line A-01 model 1234";          // 20 bytes

    prompts.onDialog([&](QDialog& d) {
        MachineTableDialog& m = as(d);
        EXPECT_EQ(m.windowTitle(), "Machine Information Setting Table");
        EXPECT_EQ(m.table()->tableModel()->rowCount(), 4);
        editCell(m, 1, MachineTableDialog::kMachineColumn, seven);
        editCell(m, 1, MachineTableDialog::kModelColumn, twenty);
        EXPECT_EQ(m.table()->tableModel()->cell(1, MachineTableDialog::kMachineColumn), seven);
        QTest::mouseClick(m.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages(), QStringList{seven + "Length Cannot Exceeds 20 ASCII Bytes."});
        EXPECT_EQ(prompts.shown().back().caption, "Please Modify");
        EXPECT_TRUE(m.isVisible());
        EXPECT_EQ(name(0, 1), "");
        // The operator is taken to the cell to shorten.
        EXPECT_EQ(m.table()->currentIndex().row(), 1);
        EXPECT_EQ(m.table()->currentIndex().column(), MachineTableDialog::kMachineColumn);
        EXPECT_EQ(QApplication::focusWidget(), m.table());

        editCell(m, 1, MachineTableDialog::kMachineColumn, six);
        SaveReviewShot(m, "machine_information");
        QTest::mouseClick(m.okButton(), Qt::LeftButton);
        return -1;
    });
    EXPECT_TRUE(RunMachineInformation(nullptr));
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(name(0, 1), six.toStdString());
    EXPECT_EQ(ReadIniString("RTU_PARA1", "RTU_Type1", rtu()), twenty.toStdString());
    EXPECT_EQ(Params().machineName[0][1], six.toStdString());
}

TEST_F(MachineInformation, HideAndChannelTwoRowsAreSavedUnderTheirOwnNodes) {
    // Channel 1 configured with 40 nodes: it shows 32 rows, and channel 2's rows follow them.
    Params().comSum[0] = 40;
    Params().comSum[1] = 3;
    Params().comOne[1] = 100;
    Params().comId[1] = "COM2";
    for (int j = 0; j < 3; ++j)
        ASSERT_TRUE(WriteIniString("RTU_PARA2", "RTU_Name" + std::to_string(j),
                                   "Line B-0" + std::to_string(j + 1), rtu()));
    ASSERT_TRUE(WriteIniString("RTU_PARA1", "RTU_Name1", "Line A-02", rtu()));
    ASSERT_TRUE(LoadMachineTable());

    prompts.onDialog([&](QDialog& d) {
        MachineTableDialog& m = as(d);
        DialogTableModel* model = m.table()->tableModel();
        EXPECT_EQ(model->rowCount(), 35);
        if (model->rowCount() != 35)
            return int(QDialog::Rejected);
        EXPECT_EQ(model->cell(32, MachineTableDialog::kNodeColumn), "100");
        EXPECT_EQ(model->cell(32, MachineTableDialog::kChannelColumn), "COM2");
        EXPECT_EQ(model->cell(33, MachineTableDialog::kMachineColumn), "Line B-02");
        editCell(m, 33, MachineTableDialog::kMachineColumn, "Line B-12");
        // Space ticks the focused row's "Hide" box wherever the focus sits in the row.
        m.table()->setCurrentIndex(model->index(34, MachineTableDialog::kModelColumn));
        QTest::keyClick(m.table(), Qt::Key_Space);
        EXPECT_TRUE(model->isChecked(34));
        m.table()->scrollToBottom();
        SaveReviewShot(m, "machine_information_two_channels");
        QTest::keyClick(m.table(), Qt::Key_Return); // OK
        return -1;
    });
    EXPECT_TRUE(RunMachineInformation(nullptr));
    EXPECT_EQ(name(1, 0), "Line B-01");
    EXPECT_EQ(name(1, 1), "Line B-12");
    EXPECT_EQ(name(1, 2), "Line B-03");
    EXPECT_EQ(name(0, 1), "Line A-02");
    EXPECT_EQ(ReadIniInt("RTU_PARA2", "RTU_Visible2", rtu()), 1);
    EXPECT_EQ(Params().machineVisible[1][2], 1);
    EXPECT_EQ(ReadIniInt("RTU_PARA1", "RTU_Visible2", rtu()), 0);

    // Unticking brings it back; CANCEL keeps file and table as they were.
    prompts.onDialog([&](QDialog& d) {
        MachineTableDialog& m = as(d);
        EXPECT_TRUE(m.table()->tableModel()->isChecked(34));
        m.table()->tableModel()->setChecked(34, false);
        QTest::mouseClick(m.okButton(), Qt::LeftButton);
        return -1;
    });
    EXPECT_TRUE(RunMachineInformation(nullptr));
    EXPECT_EQ(ReadIniInt("RTU_PARA2", "RTU_Visible2", rtu()), 0);
    prompts.onDialog([&](QDialog& d) {
        editCell(as(d), 0, MachineTableDialog::kMachineColumn, "changed");
        QTest::keyClick(&d, Qt::Key_Escape);
        return -1;
    });
    EXPECT_FALSE(RunMachineInformation(nullptr));
    EXPECT_EQ(name(0, 0), "");
    EXPECT_EQ(Params().machineName[0][0], "");

    // Without "Edit Machine Information" nothing happens and nothing shows.
    logOff();
    logOn("amy", 0);
    prompts.clear();
    EXPECT_FALSE(RunMachineInformation(nullptr));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(MachineInformation, AFailedWriteKeepsTheDialogOpenAndTheTableAsItWas) {
    Params().comSum[0] = 2;
    Params().comSum[1] = 0;
    // RTU.ini cannot be rewritten: its writers' lock cannot be taken.
    std::filesystem::remove(rtu() + ".lock");
    std::filesystem::create_directory(rtu() + ".lock");
    prompts.onDialog([&](QDialog& d) {
        MachineTableDialog& m = as(d);
        editCell(m, 1, MachineTableDialog::kMachineColumn, "Line A-02");
        QTest::mouseClick(m.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages(), QStringList{"System Write Error!"});
        EXPECT_TRUE(m.isVisible()) << "the operator's rows are still there to save";
        EXPECT_EQ(m.table()->tableModel()->cell(1, MachineTableDialog::kMachineColumn),
                  "Line A-02");
        EXPECT_EQ(Params().machineName[0][1], "");
        QTest::keyClick(&d, Qt::Key_Escape);
        return -1;
    });
    EXPECT_FALSE(RunMachineInformation(nullptr));
    EXPECT_EQ(Params().machineName[0][1], "");
    EXPECT_EQ(name(0, 1), "");
}

} // namespace
