// A data file's lock kept by another program: the window thread shows that it waits, for which
// file, and Cancel ends the wait; the command that waited is refused.
#include "GuiFixture.h"

#include "gui/kit/LockWaitNotice.h"
#include "platform/FileIo.h"
#include "platform/PrivateProfile.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

class LockWait : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        Params().workDir = workDir;
        LockWaitNotice::Install();
    }
    void TearDown() override {
        LockWaitNotice::Uninstall();
        ResetParameters();
        GuiFixture::TearDown();
    }
};

TEST_F(LockWait, TheWindowThreadShowsItsWaitAndCancelEndsIt) {
    // Another holder of the event log's lock that does not let go (here a thread; another
    // program is waited for the same way).
    std::mutex m;
    std::condition_variable cv;
    bool taken = false, release = false;
    std::thread holder([&] {
        FileLock lock(ProfileLockPath(EventItemPath(0)));
        std::unique_lock<std::mutex> g(m);
        taken = lock.held();
        cv.notify_all();
        cv.wait_for(g, std::chrono::seconds(60), [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> g(m);
        ASSERT_TRUE(cv.wait_for(g, std::chrono::seconds(30), [&] { return taken; }));
    }

    // The operator reads the notice and presses Cancel.
    QString told;
    bool visible = false;
    QTimer operatorEyes;
    operatorEyes.setInterval(20);
    QObject::connect(&operatorEyes, &QTimer::timeout, [&] {
        LockWaitNotice* notice = LockWaitNotice::Shown();
        if (notice == nullptr || !told.isEmpty())
            return;
        told = notice->label()->text();
        visible = notice->isVisible() && notice->isModal();
        QTest::mouseClick(notice->cancelButton(), Qt::LeftButton);
    });
    operatorEyes.start();
    std::string reason;
    const bool writable = EventLogWritable(0, &reason);
    operatorEyes.stop();
    {
        std::lock_guard<std::mutex> g(m);
        release = true;
    }
    cv.notify_all();
    holder.join();

    EXPECT_FALSE(writable);
    EXPECT_NE(reason.find("Interrupted"), std::string::npos) << reason;
    EXPECT_TRUE(visible);
    EXPECT_TRUE(told.contains(QString::fromStdString(EventItemPath(0)))) << told.toStdString();
    EXPECT_EQ(LockWaitNotice::Shown(), nullptr) << "the notice goes with the wait";

    // With the lock free again the log is written, and nothing is shown.
    told.clear();
    EXPECT_TRUE(EventLogWritable(0, &reason)) << reason;
    EXPECT_EQ(LockWaitNotice::Shown(), nullptr);
}

} // namespace
