// Serving threads step aside for the line's: each for itself alone, never the whole process.
#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

int OwnNice() {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
}

TEST(ThreadPriority, OnlyTheCallingThreadStepsAside) {
    const int policy = ::sched_getscheduler(0);
    const int nice = OwnNice();
    int lowered = 0, idled = 0, idledNice = 0, other = -1;
    std::thread([&] {
        LowerCurrentThreadPriority();
        lowered = OwnNice();
    }).join();
    std::thread([&] {
        IdleCurrentThreadPriority();
        idled = ::sched_getscheduler(0);
        idledNice = OwnNice();
        // A thread the idle one starts inherits its place: the pool's own helpers stay below.
        std::thread([&] { other = ::sched_getscheduler(0); }).join();
    }).join();
    EXPECT_GE(lowered, 10);
    EXPECT_EQ(idled, SCHED_IDLE);
    EXPECT_EQ(other, SCHED_IDLE);
    EXPECT_GE(idledNice, 10);
    EXPECT_EQ(::sched_getscheduler(0), policy) << "the caller's threads are left as they were";
    EXPECT_EQ(OwnNice(), nice);
}

} // namespace
