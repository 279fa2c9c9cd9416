// Lets one thread wake another out of its period: the reader wakes the parser when bytes have
// come, a reply or a new command wakes the sender, a command that ends wakes the scheduler. The
// periods stay as the longest sleep; a wake only shortens it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class WakeSignal {
public:
    void Notify() {
        {
            std::lock_guard lock(mutex_);
            ++count_;
        }
        cv_.notify_all();
    }
    // The count to pass to WaitFor: a Notify after this call ends that wait at once.
    uint64_t Seen() {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Waits until a Notify after `seen`, or `ms` pass; `seen` becomes the count now. True when
    // woken.
    bool WaitFor(int ms, uint64_t& seen) {
        std::unique_lock lock(mutex_);
        const bool woken = ms <= 0 ? count_ != seen
                                   : cv_.wait_for(lock, std::chrono::milliseconds(ms),
                                                  [&] { return count_ != seen; });
        seen = count_;
        return woken;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t count_ = 0;
};
