// The Soft Note dialog through its command, on a prepared log of two days: the filters by user
// (case-sensitive), event type, channel and node, a record's files, and an earlier day kept in
// log/.
#include "DialogReview.h"
#include "GuiFixture.h"

#include "gui/dialogs/SoftNoteDialog.h"
#include "gui/kit/DialogTable.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <ctime>

namespace {

std::time_t gNow = 0;
std::time_t fixedClock() {
    return gNow;
}

std::time_t at(int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

EventNodeFlags nodes(std::initializer_list<int> list) {
    EventNodeFlags f{};
    for (int n : list)
        f[static_cast<size_t>(n)] = true;
    return f;
}

class SoftNoteWindow : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        Params().workDir = workDir;
        ASSERT_TRUE(LoadParameters());
        SetEventLogClock(fixedClock);
        logOn("amy", 0);
        CurrentUser.rightsLo = 0x10; // "View Soft Note" only
        // Day 6: one send on channel 1, kept in log/ when day 7 begins.
        gNow = at(6, 17, 0, 0);
        ASSERT_TRUE(LogSendCommand(0, "eve", nodes({2}), {"/d/OLD.DST"}));
        // Day 7 (today).
        gNow = at(7, 9, 0, 0);
        ASSERT_TRUE(LogSendCommand(0, "amy", nodes({0, 5}), {"/d/A.DST", "/d/B.DSB"}));
        gNow = at(7, 9, 0, 5);
        ASSERT_TRUE(LogClearCommand(0, "Bob", nodes({5})));
        gNow = at(7, 9, 0, 9);
        ASSERT_TRUE(LogDeleteCommand(0, "amy", 0, {std::string("C       UPT ")}));
        ASSERT_TRUE(LogClearCommand(1, "amy", nodes({5})));
        gNow = at(7, 10, 0, 0);
    }
    void TearDown() override {
        SetEventLogClock(nullptr);
        GuiFixture::TearDown();
    }
    static SoftNoteDialog& as(QDialog& d) {
        auto* s = qobject_cast<SoftNoteDialog*>(&d);
        EXPECT_NE(s, nullptr);
        return *s;
    }
    static QStringList column(DialogTableView* list, int c) {
        QStringList out;
        for (int r = 0; r < list->tableModel()->rowCount(); ++r)
            out << list->tableModel()->cell(r, c);
        return out;
    }
};

TEST_F(SoftNoteWindow, FiltersRecordFilesAndAnEarlierDay) {
    prompts.onDialog([&](QDialog& d) {
        SoftNoteDialog& s = as(d);
        EXPECT_EQ(s.windowTitle(), "Soft Note");
        EXPECT_EQ(s.eventBox()->currentText(), "Delete File");
        EXPECT_EQ(s.nodeBox()->currentText(), "0");
        EXPECT_EQ(s.channelBox()->currentText(), "Channel One");
        EXPECT_EQ(s.dayBox()->currentText(), "2026/12/07");
        ExpectLabelledControls(s);

        // Query at once: the delete records of channel 1 that concern node 0.
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(column(s.recordsList(), 2), QStringList{"Delete File"});
        EXPECT_EQ(column(s.recordsList(), 1), QStringList{"2026/12/07/09/00/09"});
        EXPECT_EQ(s.recordNumberEdit()->text(), "1");
        EXPECT_EQ(s.filesList()->tableModel()->rowCount(), 0); // until a record is chosen

        // All events of node 5, from the keyboard: Enter in the user name queries.
        s.eventBox()->setCurrentIndex(3);
        s.nodeBox()->setCurrentIndex(5);
        s.userEdit()->setFocus();
        QTest::keyClick(s.userEdit(), Qt::Key_Return);
        EXPECT_EQ(column(s.recordsList(), 0), (QStringList{"amy", "Bob"}));
        EXPECT_EQ(column(s.recordsList(), 2), (QStringList{"Send File", "Clear File"}));
        EXPECT_EQ(s.recordNumberEdit()->text(), "2");

        // The send's files for node 5.
        s.recordsList()->selectRow(0);
        EXPECT_EQ(column(s.filesList(), 0), (QStringList{"0", "1"}));
        EXPECT_EQ(column(s.filesList(), 1), (QStringList{"5", "5"}));
        EXPECT_EQ(column(s.filesList(), 2), (QStringList{"A.DST", "B.DSB"}));
        EXPECT_EQ(column(s.filesList(), 3), (QStringList{"/d/A.DST", "/d/B.DSB"}));
        SaveReviewShot(s, "soft_note");
        // A clear has no files.
        s.recordsList()->setFocus();
        QTest::keyClick(s.recordsList(), Qt::Key_Down);
        EXPECT_EQ(s.recordsList()->selectedRow(), 1);
        EXPECT_EQ(s.filesList()->tableModel()->rowCount(), 0);

        // The user name is compared case and all.
        QTest::keyClicks(s.userEdit(), "AMY");
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(s.recordNumberEdit()->text(), "0");
        s.userEdit()->setText("amy");
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(column(s.recordsList(), 0), QStringList{"amy"});

        // Channel two has its own log; node 0 is not in it.
        s.channelBox()->setCurrentIndex(1);
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(column(s.recordsList(), 2), QStringList{"Clear File"});
        s.nodeBox()->setCurrentIndex(0);
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(s.recordNumberEdit()->text(), "0");

        // The day before, kept in log/.
        EXPECT_EQ(s.dayBox()->count(), 2);
        s.dayBox()->setCurrentIndex(1);
        EXPECT_EQ(s.dayBox()->currentText(), "2026/12/06");
        s.channelBox()->setCurrentIndex(0);
        s.userEdit()->clear();
        s.nodeBox()->setCurrentIndex(2);
        QTest::mouseClick(s.queryButton(), Qt::LeftButton);
        EXPECT_EQ(column(s.recordsList(), 0), QStringList{"eve"});
        s.recordsList()->selectRow(0);
        EXPECT_EQ(column(s.filesList(), 2), QStringList{"OLD.DST"});

        QTest::mouseClick(s.exitButton(), Qt::LeftButton);
        return -1;
    });
    RunSoftNote(nullptr);
    EXPECT_EQ(prompts.shownOf("exec").size(), 1u);

    // Without "View Soft Note" nothing happens and nothing shows.
    CurrentUser.rightsLo = 0xEE;
    prompts.clear();
    RunSoftNote(nullptr);
    EXPECT_TRUE(prompts.shown().empty());
}

} // namespace
