// Closing the station: refused without "Close System" from the close box, the menu and the tray;
// honoured with it, and then the centre's threads are gone and its ports closed.
#include "StationFixture.h"

#include "gui/app/StationTray.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>

#include <dirent.h>

namespace {

// Threads of this process.
int threadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        ::closedir(d);
    }
    return n;
}

} // namespace

TEST_F(StationTest, CloseIsRefusedWithoutTheRightAndTearsDownWithIt) {
    startLine(0, 4);
    startLine(1, 2);
    writeParameters({lines[0]->link(), 4, 0}, {lines[1]->link(), 2, 32});
    addOperator("Line Operator", "op", kDefaultOperatorRights); // no "Close System"
    addOperator("Shift Lead", "lead", kDefaultOperatorRights | kRightCloseSystem);

    ASSERT_TRUE(start("Line Operator", "op"));
    ASSERT_NE(CCommCenter::Instance(), nullptr);
    EXPECT_EQ(pane(0), "Two Channel Success");

    // Enter and Esc never close the main window.
    QTest::keyClick(&win(), Qt::Key_Return);
    QTest::keyClick(&win(), Qt::Key_Escape);
    EXPECT_TRUE(win().isVisible());

    // Refused from each of the three places: nothing happens.
    ASSERT_NE(win().command(57665), nullptr);
    ASSERT_NE(win().trayMenu(), nullptr);
    QAction* trayExit = win().trayMenu()->findChild<QAction*>("cmd32803");
    ASSERT_NE(trayExit, nullptr);
    EXPECT_EQ(trayExit->text(), "Exit System");
    EXPECT_FALSE(win().close());
    win().command(57665)->trigger();
    trayExit->trigger();
    EXPECT_TRUE(win().isVisible());
    EXPECT_TRUE(win().timerRunning());
    EXPECT_FALSE(win().shutDown());
    EXPECT_NE(CCommCenter::Instance(), nullptr);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // The tray's menu opens near the desktop's bottom-right corner, wherever the pointer is: it
    // ends 20 pixels left of and above the corner.
    auto* tray = win().findChild<StationTray*>();
    ASSERT_NE(tray, nullptr);
    QCursor::setPos(10, 10);
    tray->openMenu();
    WAIT_UNTIL(win().trayMenu()->isVisible(), 30000);
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(win().trayMenu()->geometry().bottomRight(), desktop.bottomRight() - QPoint(20, 20));
    win().trayMenu()->hide();

    // Accepted with the right, from each place in turn; each time the centre is destroyed and
    // every thread it started has ended.
    app.reset();
    CCommCenter::Destroy();
    // Whatever Qt started for itself by now stays; the centre's threads must not.
    const int baseline = threadCount();
    const auto places = std::vector<std::function<void(CTransferDlg&)>>{
        [](CTransferDlg& w) { w.close(); },
        [](CTransferDlg& w) { w.command(57665)->trigger(); },
        [](CTransferDlg& w) { w.trayMenu()->findChild<QAction*>("cmd32803")->trigger(); },
    };
    for (size_t i = 0; i < places.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(start("Shift Lead", "lead"));
        ASSERT_NE(CCommCenter::Instance(), nullptr);
        EXPECT_GT(threadCount(), baseline);
        if (i == 2) {
            // Not while a modal dialog runs: the dialog would lose what it works on.
            PrompterBusyScope dialogRunning;
            places[i](win());
            EXPECT_TRUE(win().isVisible());
            EXPECT_NE(CCommCenter::Instance(), nullptr);
        }
        QSignalSpy closed(&win(), &CTransferDlg::closed);
        places[i](win());
        EXPECT_EQ(closed.count(), 1);
        EXPECT_TRUE(win().shutDown());
        EXPECT_FALSE(win().isVisible());
        EXPECT_FALSE(win().timerRunning());
        EXPECT_EQ(win().trayIcon(), nullptr);
        EXPECT_EQ(CCommCenter::Instance(), nullptr);
        EXPECT_TRUE(testsupport::WaitFor([&] { return threadCount() == baseline; }))
            << threadCount() << " threads, " << baseline << " before";
        app.reset();
    }
}
