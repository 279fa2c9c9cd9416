#include "platform/ThreadPriority.h"

#include <windows.h>

void LowerCurrentThreadPriority() {
    // The pseudo-handle names the calling thread alone.
    HANDLE self = GetCurrentThread();
    const int current = GetThreadPriority(self);
    if (current != THREAD_PRIORITY_ERROR_RETURN && current > THREAD_PRIORITY_BELOW_NORMAL)
        (void)SetThreadPriority(self, THREAD_PRIORITY_BELOW_NORMAL);
}

void IdleCurrentThreadPriority() {
    // Runs only when no thread of a higher priority in the process's class wants the processor.
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}
