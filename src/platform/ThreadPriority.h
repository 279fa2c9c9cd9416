// Threads that serve others (the HTTP API's) give way to the line's: under load the scheduler
// runs the station's own threads first, so answering requests never slows a transfer down.
#pragma once

// Lowers the calling thread's scheduling priority (POSIX: nice 10 for this thread alone).
// Best effort: a refusal leaves the priority as it was.
void LowerCurrentThreadPriority();
