// Creating tasks and cancelling them: the task layer's window-thread side.
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"
#include "tasks/TaskTiming.h"

#include <algorithm>
#include <mutex>

int CCommCenter::CreateTask(int c, CTransTask& request, int type) {
    if (c < 0 || c >= kChannels)
        return 0;
    std::lock_guard creating(createMutex);
    request.taskNo = taskCounter[c].fetch_add(1) + 1;
    request.type = type;
    return EnqueueTask(c, request);
}

int CCommCenter::EnqueueTask(int c, const CTransTask& request) {
    auto task = std::make_unique<CTransTask>(request);
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (request.nodeMask[n] != 1)
            continue;
        auto note = std::make_unique<TaskNote>();
        note->taskNo = request.taskNo;
        note->type = request.type;
        NodeRecord& node = nodes[c][n];
        node.pendingTasks.Append(std::move(note));
        node.pendingTaskCount.store(static_cast<int32_t>(node.pendingTasks.Count()));
    }
    taskQueue[c].Append(std::move(task));
    schedulerWake.Notify(); // taken up at the next cycle, which need not wait out its period
    return 1;
}

namespace {

int Create(int channel, CTransTask& request, int type) {
    CCommCenter* cc = CCommCenter::Instance();
    if (!cc)
        return 0;
    return cc->CreateTask(channel, request, type);
}

} // namespace

int CreateQueryTask(int channel, CTransTask& request) {
    return Create(channel, request, TASK_QUERY_NODE);
}

int CreateSendTask(int channel, CTransTask& request) {
    return Create(channel, request, TASK_SEND_FILE);
}

int CreateDeleteTask(int channel, CTransTask& request) {
    // A delete serves exactly one node: with more, all but the first would be silently skipped.
    CCommCenter* cc = CCommCenter::Instance();
    if (!cc || channel < 0 || channel >= kChannels)
        return 0;
    const int count = cc->channels[channel].nodeCount.load();
    int targets = 0;
    for (int n = 0; n < count; ++n)
        targets += request.nodeMask[n] ? 1 : 0;
    if (targets > 1)
        return 0;
    return cc->CreateTask(channel, request, TASK_DELETE_FILE);
}

int CreateClearTask(int channel, CTransTask& request) {
    return Create(channel, request, TASK_CLEAR_FILE);
}

const char* TaskTypeName(int type) {
    switch (type) {
    case TASK_QUERY_NODE:
        return "Query Node";
    case TASK_SEND_FILE:
        return "Send File";
    case TASK_DELETE_FILE:
        return "Delete File";
    case TASK_CLEAR_FILE:
        return "Clear File";
    default:
        return "";
    }
}

std::vector<CancelEntry> CollectCancelList(CCommCenter& cc, int c, CTransTask& request) {
    std::vector<CancelEntry> out;
    const int count = cc.channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (request.nodeMask[n] != 1)
            continue;
        const auto notes = cc.nodes[c][n].pendingTasks.Snapshot();
        if (notes.empty()) {
            request.nodeMask[n] = 0;
            continue;
        }
        for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
            const bool known = std::any_of(out.begin(), out.end(), [&](const CancelEntry& e) {
                return e.taskNo == it->taskNo;
            });
            if (!known)
                out.push_back({it->taskNo, it->type, it->text, 0});
        }
    }
    return out;
}

bool FillCancelNumbers(const std::vector<CancelEntry>& entries, CTransTask& request) {
    int k = 0;
    for (const CancelEntry& e : entries) {
        if (e.ticked && k < kMaxCancelTaskNos)
            request.cancelTaskNos[k++] = e.taskNo;
    }
    if (k < kMaxCancelTaskNos)
        request.cancelTaskNos[k] = -1;
    return k > 0;
}

namespace {

// Takes node j out of the first (or last) queued task numbered t; a task left without nodes is
// removed from its queue.
void DropNodeFromTask(TaskList<CTransTask>& queue, int32_t t, int j, int nodeCount, bool last) {
    const size_t n = queue.Count();
    for (size_t i = 0; i < n; ++i) {
        const size_t q = last ? n - 1 - i : i;
        bool hit = false, empty = false;
        queue.WithItem(q, [&](CTransTask& task) {
            if (task.taskNo != t)
                return;
            hit = true;
            task.nodeMask[j] = 0;
            empty = !task.AnyNode(nodeCount);
        });
        if (hit) {
            if (empty)
                queue.RemoveAt(q);
            return;
        }
    }
}

} // namespace

int CCommCenter::CancelTasks(int c, const CTransTask& request) {
    schedulerHold.store(1);
    // Also wait out a cycle that has already begun: the lists are edited below.
    std::lock_guard cycle(cycleMutex);
    int numbers = 0;
    while (numbers < kMaxCancelTaskNos && request.cancelTaskNos[numbers] != -1)
        ++numbers;
    const int count = channels[c].nodeCount.load();
    CTransTask ref;
    for (int i = numbers - 1; i >= 0; --i) {
        const int32_t t = request.cancelTaskNos[i];
        ref.taskNo = t;
        for (int j = 0; j < count; ++j) {
            if (request.nodeMask[j] != 1)
                continue;
            NodeRecord& node = nodes[c][j];
            FinishNode(c, j, &ref, true);
            for (size_t p = 0; p < node.pendingTasks.Count();) {
                bool match = false;
                node.pendingTasks.WithItem(p, [&](TaskNote& note) { match = note.taskNo == t; });
                if (!match) {
                    ++p;
                    continue;
                }
                node.pendingTasks.RemoveAt(p);
                node.pendingTaskCount.store(static_cast<int32_t>(node.pendingTasks.Count()));
                if (t != node.currentTaskNo.load()) {
                    // Still queued: take the node out of the first queued task with that number.
                    DropNodeFromTask(taskQueue[c], t, j, count, false);
                } else {
                    // Running (or last started) on this node. Only a task that runs on the
                    // channel now is stopped; a deferred copy waiting in its queue has no
                    // command under way, and another task's nodes must not be touched.
                    if (taskActive[c].load() && currentTask[c].taskNo == t) {
                        channels[c].targetMask[j / 8].fetch_and(
                            static_cast<uint8_t>(~(1u << (j % 8))));
                        StopNodes(c);
                    }
                    currentTask[c].nodeMask[j] = 0;
                    Pause(kCancelPauseMs);
                    node.status.store(NS_CANCELLED);
                    node.progress.store(0);
                }
            }
            // The last deferred copy with that number.
            DropNodeFromTask(deferredQueue[c], t, j, count, true);
        }
    }
    schedulerHold.store(0);
    return 1;
}
