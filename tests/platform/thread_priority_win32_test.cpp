// Serving threads step aside for the line's: each for itself alone, never the whole process.
#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#include <thread>
#include <windows.h>

namespace {

TEST(ThreadPriority, OnlyTheCallingThreadStepsAside) {
    const int own = GetThreadPriority(GetCurrentThread());
    int lowered = 0, idled = 0, loweredAgain = 0;
    std::thread([&] {
        LowerCurrentThreadPriority();
        lowered = GetThreadPriority(GetCurrentThread());
    }).join();
    std::thread([&] {
        IdleCurrentThreadPriority();
        idled = GetThreadPriority(GetCurrentThread());
        // Lowering an idle thread never raises it again.
        LowerCurrentThreadPriority();
        loweredAgain = GetThreadPriority(GetCurrentThread());
    }).join();
    EXPECT_EQ(lowered, THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(idled, THREAD_PRIORITY_IDLE);
    EXPECT_EQ(loweredAgain, THREAD_PRIORITY_IDLE);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), own) << "the caller is left as it was";
}

} // namespace
