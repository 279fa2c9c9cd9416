#include "link/CommCenter.h"

void CCommCenter::SchedulerThread() {
    while (schedulerRun.load() != 0) {
        if (!stop_.SleepFor(100))
            break;
        if (schedulerHold.load() != 0)
            continue;
        std::lock_guard lock(cycleMutex);
        SchedulerCycle();
    }
}

void CCommCenter::SchedulerCycle() {}
