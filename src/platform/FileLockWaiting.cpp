#include "platform/FileLockWaiting.h"

#include <mutex>
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
