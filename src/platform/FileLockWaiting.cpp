#include "platform/FileLockWaiting.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace {

std::mutex gWaitHookMutex;
FileLockWaitHook gWaitHook;

FileLockWaitHook waitHook() {
    std::lock_guard<std::mutex> guard(gWaitHookMutex);
    return gWaitHook;
}

} // namespace

FileLockWaitHook SetFileLockWaitHook(FileLockWaitHook hook) {
    std::lock_guard<std::mutex> guard(gWaitHookMutex);
    std::swap(gWaitHook, hook);
    return hook;
}

FileLockWaiting::FileLockWaiting(const std::string& lockPath)
    : hook_(waitHook()), start_(std::chrono::steady_clock::now()) {
    state_.lockPath = lockPath;
}

FileLockWaiting::~FileLockWaiting() {
    if (told_) {
        state_.over = true;
        hook_(state_);
    }
}

bool FileLockWaiting::goOn() {
    if (!hook_)
        return true;
    state_.waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    told_ = true;
    return hook_(state_);
}

namespace {

struct HeldLock {
    std::thread::id owner;
    int depth = 0;
    intptr_t handle = 0;
};

std::mutex gLocksMutex;
std::condition_variable gLockReleased;
std::map<HeldFileLocks::Key, HeldLock> gLocks;

} // namespace

HeldFileLocks::Entry HeldFileLocks::enter(const Key& key, intptr_t handle,
                                          const std::string& lockPath,
                                          std::optional<FileLockWaiting>& wait) {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(gLocksMutex);
    for (;;) {
        auto it = gLocks.find(key);
        if (it == gLocks.end())
            break;
        if (it->second.owner == self) {
            ++it->second.depth;
            return Entry::HeldAlready;
        }
        // Another thread of this process holds it.
        if (!wait)
            wait.emplace(lockPath);
        guard.unlock();
        const bool goOn = wait->goOn();
        guard.lock();
        if (!goOn)
            return Entry::GivenUp;
        gLockReleased.wait_for(guard, kFileLockWaitSlice);
    }
    // Reserved for this thread before the wait for other processes, so that other threads of
    // this process queue up here rather than on a second open of the file.
    gLocks[key] = HeldLock{self, 1, handle};
    return Entry::Reserved;
}

void HeldFileLocks::abandon(const Key& key) {
    std::lock_guard<std::mutex> guard(gLocksMutex);
    gLocks.erase(key);
    gLockReleased.notify_all();
}

void HeldFileLocks::leave(const Key& key, const std::function<void(intptr_t)>& release) {
    std::lock_guard<std::mutex> guard(gLocksMutex);
    auto it = gLocks.find(key);
    if (it == gLocks.end() || --it->second.depth > 0)
        return;
    release(it->second.handle);
    gLocks.erase(it);
    gLockReleased.notify_all();
}
