#include "platform/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kServingNice = 10;

} // namespace

void LowerCurrentThreadPriority() {
    // On Linux a thread's id names that thread alone to setpriority.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (current < kServingNice)
        (void)::setpriority(PRIO_PROCESS, tid, kServingNice);
}

void IdleCurrentThreadPriority() {
    LowerCurrentThreadPriority(); // where the policy is refused, this much still holds
#ifdef SCHED_IDLE
    // On Linux, 0 names the calling thread alone.
    const sched_param none{};
    (void)::sched_setscheduler(0, SCHED_IDLE, &none);
#endif
}
