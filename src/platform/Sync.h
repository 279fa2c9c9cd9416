// Small synchronisation pieces: a manual-reset event and an interruptible sleep.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Stays signalled until reset, like the platform's manual-reset event.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}
    void Set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    // True when signalled within the time-out.
    bool Wait(int timeoutMs) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return signalled_; });
    }
    bool IsSet() {
        std::lock_guard lock(mutex_);
        return signalled_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
};

// Sleeps that a stop request cuts short, so tearing threads down never waits out a period.
class StopSignal {
public:
    // False when a stop was requested (before or during the sleep).
    bool SleepFor(int ms) {
        std::unique_lock lock(mutex_);
        if (ms <= 0)
            return !stopped_;
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopped_; });
        return !stopped_;
    }
    void RequestStop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        cv_.notify_all();
    }
    void Rearm() {
        std::lock_guard lock(mutex_);
        stopped_ = false;
    }
    bool Stopped() {
        std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopped_ = false;
};

// A lock that many readers share and one writer holds alone. A writer that waits keeps new
// readers out, so a steady stream of readers (an HTTP client in a loop) cannot hold it off.
// Meets SharedLockable: use it with std::shared_lock and std::unique_lock.
class SharedGate {
public:
    void lock() {
        std::unique_lock guard(mutex_);
        ++writersWaiting_;
        cv_.wait(guard, [&] { return !writing_ && readers_ == 0; });
        --writersWaiting_;
        writing_ = true;
    }
    void unlock() {
        {
            std::lock_guard guard(mutex_);
            writing_ = false;
        }
        cv_.notify_all();
    }
    void lock_shared() {
        std::unique_lock guard(mutex_);
        cv_.wait(guard, [&] { return !writing_ && writersWaiting_ == 0; });
        ++readers_;
    }
    void unlock_shared() {
        bool last;
        {
            std::lock_guard guard(mutex_);
            last = --readers_ == 0;
        }
        if (last)
            cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int readers_ = 0;
    int writersWaiting_ = 0;
    bool writing_ = false;
};
