// Closing the station: refused without "Close System" from the close box, the menu and the tray;
// honoured with it, and then the centre's threads are gone and its ports closed.
#include "StationFixture.h"

#include "gui/app/StationTray.h"
#include "gui/browser/LibraryOperations.h"
#include "gui/browser/LibraryView.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>

#include <dirent.h>

#include <fstream>
#include <iterator>

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

TEST_F(StationTest, CloseDuringALibraryCopyAsksFirst) {
    writeParameters({"", 0, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    auto* library = qobject_cast<LibraryView*>(win().libraryView());
    ASSERT_NE(library, nullptr);
    LibraryOperations* ops = library->operations();
    // A copy onto a file of the same name: it runs until the operator answers the clash.
    const std::string src = makeFile("src/a.dst", 5000, 1);
    const std::string old = makeFile("dst/a.dst", 700, 2);
    const auto copy = [&] {
        ops->transfer({QString::fromStdString(src)}, QString::fromStdString(file("dst")), false,
                      false);
        ASSERT_TRUE(ops->busy());
    };
    prompts.clear();

    // Keep Open: nothing closes, the copy goes on.
    copy();
    prompts.pick(2);
    EXPECT_FALSE(win().close());
    ASSERT_EQ(prompts.shownOf("choose").size(), 1u);
    EXPECT_EQ(prompts.shownOf("choose")[0].text,
              "The file library is still copying, moving or deleting files. Closing now stops "
              "it, and what it has not done yet is not done.\n"
              "[Close When Done|Stop and Close|Keep Open]");
    EXPECT_TRUE(win().isVisible());
    EXPECT_TRUE(ops->busy());

    // Close When Done: the window closes once the copy has ended (here, the clash answered with
    // Replace).
    prompts.pick(0);
    EXPECT_FALSE(win().close());
    EXPECT_TRUE(win().isVisible());
    prompts.pick(0); // the clash: Replace
    QSignalSpy closed(&win(), &CTransferDlg::closed);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        QApplication::processEvents();
        return win().shutDown();
    }));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(testsupport::DesignBytes(5000, 1), [&] {
        std::ifstream in(old, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }());

    // Stop and Close: closed at once; the copy stopped, nothing half done left behind.
    const std::string newer = makeFile("src/a.dst", 6000, 3);
    ASSERT_TRUE(restart());
    library = qobject_cast<LibraryView*>(win().libraryView());
    ASSERT_NE(library, nullptr);
    ops = library->operations();
    copy();
    prompts.pick(1);
    EXPECT_TRUE(win().close());
    EXPECT_TRUE(win().shutDown());
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(file("dst")))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"a.dst"});
}
