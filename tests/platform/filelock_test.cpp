// The locks of one process on one lock file: the holding thread takes it again without waiting,
// other threads queue until its last level is let go, and their wait can be given up.
#include "TestSupport.h"
#include "platform/FileIo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

TEST(FileLockTest, ThreadsOfOneProcessQueueAndTheHolderTakesItAgain) {
    testsupport::TempDir dir;
    const std::string lockFile = dir / "data.lock";
    auto outer = std::make_unique<FileLock>(lockFile);
    ASSERT_TRUE(outer->held());
    {
        FileLock inner(lockFile); // the same thread: one level deeper, no wait
        EXPECT_TRUE(inner.held());
    }

    // Still held after the inner level went: another thread waits, and gives up through the hook.
    std::atomic<int> told{0};
    SetFileLockWaitHook([&](const FileLockWait& w) {
        if (!w.over)
            ++told;
        return told < 3;
    });
    int error = 0;
    std::thread([&] {
        FileLock other(lockFile);
        error = other.held() ? 0 : other.error();
    }).join();
    EXPECT_EQ(error, EINTR);
    EXPECT_EQ(told.load(), 3);

    // Let go while another thread waits: that one gets it.
    told = 0;
    SetFileLockWaitHook([&](const FileLockWait& w) {
        if (!w.over)
            ++told;
        return true;
    });
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        FileLock other(lockFile);
        got = other.held();
    });
    EXPECT_TRUE(testsupport::WaitFor([&] { return told.load() > 0; }));
    EXPECT_FALSE(got.load());
    outer.reset();
    waiter.join();
    EXPECT_TRUE(got.load());
    SetFileLockWaitHook(nullptr);
}

} // namespace
