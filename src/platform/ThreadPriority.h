// Threads that serve others (the HTTP API's) give way to the line's: under load the scheduler
// runs the station's own threads first, so answering requests never slows a transfer down.
#pragma once

// Lowers the calling thread's scheduling priority (POSIX: nice 10 for this thread alone; Windows:
// below normal). Best effort: a refusal leaves the priority as it was.
void LowerCurrentThreadPriority();

// Lets the calling thread run only on a processor that no other thread wants (Linux: the
// SCHED_IDLE policy, for this thread alone; Windows: the idle priority; elsewhere as
// LowerCurrentThreadPriority). For threads
// whose work can wait without limit and that hold no lock a thread of higher priority waits for
// long. There is no way back for an unprivileged thread. Best effort.
void IdleCurrentThreadPriority();
