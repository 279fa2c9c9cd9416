// The locked list that every list shared between the scheduler and the window thread uses.
// Each operation takes the list's lock for its own duration only, and no operation holds one
// list's lock while taking another's. Callers iterate by counting and then fetching by index, one
// locked step at a time, and cope with an item that has vanished in between.
//
// Lifetime: ItemAt hands out a raw pointer. Items are removed only by the scheduler thread and by
// cancel, which runs while the scheduler's cycle lock is held, so a pointer taken by either stays
// valid until that same party removes the item. Other threads read through WithItem or Snapshot.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

class TaskLock {
public:
    // The task layer always waits without a limit.
    void Wait() { mutex_.lock(); }
    void Release() { mutex_.unlock(); }
    std::mutex& Native() { return mutex_; }

private:
    std::mutex mutex_;
};

template <class T> class TaskList {
public:
    TaskList() = default;
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    void Append(std::unique_ptr<T> item) {
        std::lock_guard guard(lock_.Native());
        items_.push_back(std::move(item));
    }

    size_t Count() {
        std::lock_guard guard(lock_.Native());
        return items_.size();
    }

    // Null when the index is past the end.
    T* ItemAt(size_t index) {
        std::lock_guard guard(lock_.Native());
        return index < items_.size() ? items_[index].get() : nullptr;
    }

    // Runs fn(item) under the lock; false when the index is past the end.
    template <class F> bool WithItem(size_t index, F&& fn) {
        std::lock_guard guard(lock_.Native());
        if (index >= items_.size())
            return false;
        fn(*items_[index]);
        return true;
    }

    // Removes and deletes the item at index; false when the index is past the end.
    bool RemoveAt(size_t index) {
        std::unique_ptr<T> doomed;
        {
            std::lock_guard guard(lock_.Native());
            if (index >= items_.size())
                return false;
            doomed = std::move(items_[index]);
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
        }
        return true;
    }

    void Clear() {
        std::vector<std::unique_ptr<T>> doomed;
        {
            std::lock_guard guard(lock_.Native());
            doomed.swap(items_);
        }
    }

    // Copies of every item, taken under one lock.
    std::vector<T> Snapshot() {
        std::lock_guard guard(lock_.Native());
        std::vector<T> out;
        out.reserve(items_.size());
        for (auto& p : items_)
            out.push_back(*p);
        return out;
    }

private:
    TaskLock lock_;
    std::vector<std::unique_ptr<T>> items_;
};
