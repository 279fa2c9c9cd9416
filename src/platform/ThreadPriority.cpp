#include "platform/ThreadPriority.h"

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
