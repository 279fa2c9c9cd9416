// The scheduler: one thread for both channels. It turns queued tasks into command lists and
// drives each node through its list at its own pace, one start or one completion per channel
// and cycle, never blocking on the line.
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskTiming.h"

namespace {

// True on a scheduler thread: its cycles leave file I/O for after the cycle lock. Steps called
// on any other thread (tests driving them by hand) read the files in place.
thread_local bool t_fileWorkOutsideLock = false;

} // namespace

void CCommCenter::SchedulerThread() {
    // Files are read outside the cycle lock, so that cancel (which takes it on the window thread)
    // never waits for file I/O: at most for one short list step.
    t_fileWorkOutsideLock = true;
    uint64_t seen = schedulerWake.Seen();
    bool again = false;
    while (schedulerRun.load() != 0) {
        // A cycle that ended a command runs the next one at once, to start the command that
        // follows; otherwise the cycle waits its period, or until a command ends or a task comes.
        if (!again)
            schedulerWake.WaitFor(kSchedulerPeriodMs, seen);
        if (schedulerRun.load() == 0 || stop_.Stopped())
            break;
        again = false;
        if (schedulerHold.load() != 0)
            continue;
        PrepareAhead();
        {
            std::lock_guard lock(cycleMutex);
            // A step completes: of a command, or of a task under way (its end, or the end of a
            // send's query phase). An idle channel's empty steps wait their period.
            bool working[kChannels];
            for (int c = 0; c < kChannels; ++c)
                working[c] =
                    stepActive[c] == 1 &&
                    ((runningType[c] >= CMD_QUERY_NODE && runningType[c] <= CMD_CLEAR_NODE) ||
                     taskActive[c].load() != 0);
            SchedulerCycle();
            for (int c = 0; c < kChannels; ++c)
                again = again || (working[c] && stepActive[c] == 0);
        }
        for (int c = 0; c < kChannels; ++c) {
            if (!pendingBuild_[c].active)
                continue;
            if (fileWorkHook)
                fileWorkHook(c);
            // The channel is CMD_PREPARING: the sender leaves the store alone meanwhile.
            const bool built = BuildPackages(c, pendingBuild_[c].path, pendingBuild_[c].fileTag);
            std::lock_guard lock(cycleMutex);
            FinishPendingStart(c, built);
        }
    }
}

namespace {

// A copy of the task StartTask would take next: a new one first, else a deferred one.
bool PeekNextTask(TaskList<CTransTask>& queue, TaskList<CTransTask>& deferred, CTransTask& out) {
    if (queue.WithItem(0, [&](CTransTask& t) { out = t; }))
        return true;
    return deferred.WithItem(0, [&](CTransTask& t) { out = t; });
}

} // namespace

void CCommCenter::PrepareAhead() {
    for (int c = 0; c < kChannels; ++c) {
        if (taskActive[c].load() != 0 || LineLost(c))
            continue;
        CTransTask next;
        if (!PeekNextTask(taskQueue[c], deferredQueue[c], next) || next.type != TASK_SEND_FILE)
            continue;
        Ahead& a = ahead_[c];
        if (a.valid && a.taskNo == next.taskNo && a.files == next.files)
            continue;
        if (fileWorkHook)
            fileWorkHook(c);
        a.set = ReadPreparedFiles(next.files);
        a.taskNo = next.taskNo;
        a.files = next.files;
        a.valid = true;
    }
}

void CCommCenter::FinishPendingStart(int c, bool built) {
    PendingBuild& b = pendingBuild_[c];
    b.active = false;
    ChannelState& ch = channels[c];
    // Cancel may have taken every node out meanwhile and handed the channel back.
    if (ch.cmdType.load() != CMD_PREPARING)
        return;
    if (!built) {
        SkipFile(c, runningCmd[c]); // the working copy of the command, as StartNextCommand left it
        ch.cmdType.store(CMD_IDLE, std::memory_order_release);
        return;
    }
    MarkPackagesNeeded(c);
    if (b.type == CMD_SEND_HEAD) {
        SetPackageTotal(c, stores[c].packageCount.load());
    } else {
        ch.progressTotal.store(stores[c].packageCount.load());
        ch.progressDone.store(0);
        ch.progressBusy.store(1);
    }
    ch.cmdType.store(b.type, std::memory_order_release);
    ch.senderWake.Notify();
}

void CCommCenter::SchedulerCycle() {
    schedulerCycles.fetch_add(1);
    for (int c = 0; c < kChannels; ++c) {
        const bool lost = LineLost(c);
        if (lost || lineWasLost[c])
            ShowLineState(c, lost);
        lineWasLost[c] = lost;
        // No task starts on a lost line: its work waits, queued or deferred, until the line is
        // back. The task under way winds down: its commands end at once and its nodes defer.
        if (taskActive[c].load() == 0 && !lost)
            StartTask(c);
    }
    for (int c = 0; c < kChannels; ++c) {
        if (NowMs() < stopSettleUntil[c].load())
            continue; // a command just lost its nodes: let the sender notice first
        if (stepActive[c] == 0) {
            runningType[c] = StartNextCommand(c);
            if (runningType[c] == -1)
                EndTask(c);
            stepActive[c] = 1;
        } else if (CompleteStep(c, runningType[c])) {
            stepActive[c] = 0;
        }
    }
}

bool CCommCenter::ChannelQuiet(int c) {
    std::lock_guard lock(cycleMutex);
    return taskActive[c].load() == 0 && taskQueue[c].Count() == 0 && deferredQueue[c].Count() == 0;
}

void CCommCenter::ShowLineState(int c, bool lost) {
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        NodeRecord& node = nodes[c][n];
        if (lost) {
            // Every node with work waiting for the line says why it does not go on. One whose
            // part in the running task is over keeps its answer: the task is still noted on it
            // only until the task ends for every node. A node of the command under way is left
            // to that command's end: the sender marks those that had not answered, and the
            // completion rules take up the answers that came (a file check answered "complete"
            // is recorded as sent, not lost).
            if (stepActive[c] == 1 && runningType[c] >= CMD_QUERY_NODE &&
                runningType[c] <= CMD_CLEAR_NODE && runningCmd[c].nodeMask[n])
                continue;
            if (node.pendingTaskCount.load() > 0 && !NodePartOver(c, n))
                StoreStatusUnlessCancelled(node, NS_LINE_LOST);
        } else {
            // The line is back: the work waits for its turn again.
            int expected = NS_LINE_LOST;
            node.status.compare_exchange_strong(expected, NS_WAITING);
        }
    }
}

void CCommCenter::StartTask(int c) {
    TaskList<CTransTask>* queue = &taskQueue[c];
    if (queue->Count() == 0) {
        queue = &deferredQueue[c];
        if (queue->Count() == 0) {
            taskActive[c].store(0);
            stepActive[c] = 0;
            return;
        }
    }
    // Only this thread and cancel (excluded by cycleMutex) remove queued tasks, so the first
    // item stays put while it is started.
    CTransTask* task = queue->ItemAt(0);
    if (!task)
        return;
    if (task->type == TASK_SEND_FILE && t_fileWorkOutsideLock) {
        // Its files were read ahead, outside the cycle lock; if not (yet), the next cycle does.
        Ahead& a = ahead_[c];
        if (!a.valid || a.taskNo != task->taskNo || a.files != task->files)
            return;
    }
    ResetNodeStatus(c, *task);
    if (task->type == TASK_SEND_FILE) {
        sendPrepared[c] = 1;
        if (t_fileWorkOutsideLock) {
            InstallPrepared(c, std::move(ahead_[c].set));
            ahead_[c].valid = false;
        } else {
            PrepareFiles(c, task->files);
        }
        task->type = TASK_QUERY_NODE; // the query phase runs first
    }
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (task->nodeMask[n])
            nodes[c][n].currentTaskNo.store(task->taskNo);
    }
    taskActive[c].store(1);
    ExpandTask(c, *task);
    queue->RemoveAt(0);
}

void CCommCenter::ResetNodeStatus(int c, const CTransTask& task) {
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (task.nodeMask[n]) {
            nodes[c][n].status.store(NS_IDLE);
            nodes[c][n].fileFailure.store(0);
            nodes[c][n].uselessChecks.store(0);
            nodes[c][n].lostChecks.store(0);
            nodeSlots[c][n].cmdCursor.store(0);
        }
    }
}

void CCommCenter::ExpandTask(int c, const CTransTask& task) {
    if (&task != &currentTask[c])
        currentTask[c] = task;
    const CTransTask& t = currentTask[c];
    stepActive[c] = 0;
    rotateIndex[c] = 0;
    commandList[c].Clear();
    const int count = channels[c].nodeCount.load();

    auto make = [&](int type) {
        auto cmd = std::make_unique<CTransTask>();
        cmd->type = type;
        cmd->taskNo = t.taskNo;
        return cmd;
    };
    auto forNode = [&](int type, int n) {
        auto cmd = make(type);
        cmd->nodeMask[n] = 1;
        return cmd;
    };
    auto forTask = [&](int type) {
        auto cmd = make(type);
        std::copy(std::begin(t.nodeMask), std::end(t.nodeMask), cmd->nodeMask);
        return cmd;
    };

    switch (t.type) {
    case TASK_QUERY_NODE: {
        int index = 0;
        for (int n = 0; n < count; ++n) {
            if (!t.nodeMask[n])
                continue;
            commandList[c].Append(forNode(CMD_QUERY_NODE, n));
            nodeSlots[c][n].cmdCursor.store(index++);
        }
        break;
    }
    case TASK_SEND_FILE: {
        const size_t files = preparedFiles[c].Count();
        for (size_t i = 0; i < files; ++i) {
            PreparedFile file;
            if (!preparedFiles[c].WithItem(i, [&](PreparedFile& f) { file = f; }))
                continue;
            for (int type : {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE}) {
                auto cmd = forTask(type);
                cmd->fileName = file.path;
                std::copy(std::begin(file.fileTag), std::end(file.fileTag), cmd->fileTag);
                commandList[c].Append(std::move(cmd));
            }
        }
        break;
    }
    case TASK_DELETE_FILE: {
        auto del = forTask(CMD_DELETE_FILES);
        del->files = t.files;
        commandList[c].Append(std::move(del));
        const int first = t.FirstNode(count);
        if (first >= 0)
            commandList[c].Append(forNode(CMD_QUERY_NODE, first));
        break;
    }
    case TASK_CLEAR_FILE:
        commandList[c].Append(forTask(CMD_CLEAR_NODE));
        for (int n = 0; n < count; ++n) {
            if (t.nodeMask[n])
                commandList[c].Append(forNode(CMD_QUERY_NODE, n));
        }
        break;
    default:
        break;
    }
}

int CCommCenter::StartNextCommand(int c) {
    const int n = static_cast<int>(commandList[c].Count());
    const int count = channels[c].nodeCount.load();
    int k = rotateIndex[c];
    int tries = 0;
    while (k >= 0 && k <= n - 1) {
        CTransTask copy;
        if (commandList[c].WithItem(static_cast<size_t>(k), [&](CTransTask& cmd) { copy = cmd; })) {
            for (int m = 0; m < count; ++m) {
                if (nodeSlots[c][m].cmdCursor.load() != k)
                    copy.nodeMask[m] = 0;
            }
            if (copy.AnyNode(count)) {
                StartCommand(c, copy);
                runningCmd[c] = copy;
                return copy.type;
            }
        }
        k = (k + 1) % n;
        rotateIndex[c] = k;
        if (++tries == n)
            break;
    }
    return -1;
}

bool CCommCenter::Target(int c, const CTransTask& cmd, bool resetStatus) {
    ChannelState& ch = channels[c];
    const int count = ch.nodeCount.load();
    uint8_t mask[kMaskSize] = {};
    bool any = false;
    for (int n = 0; n < count; ++n) {
        if (cmd.nodeMask[n]) {
            MaskSet(mask, n);
            ch.nodePending[n].store(1);
            if (resetStatus) {
                nodes[c][n].status.store(NS_IDLE);
                nodes[c][n].replied.store(0);
            }
            any = true;
        } else {
            ch.nodePending[n].store(0);
        }
    }
    ch.SetTargetMask(mask);
    return any;
}

void CCommCenter::TargetSingle(int c, int node) {
    ChannelState& ch = channels[c];
    uint8_t mask[kMaskSize] = {};
    MaskSet(mask, node);
    ch.SetTargetMask(mask);
    for (int m = 0; m < kMaxNodes; ++m)
        ch.nodePending[m].store(m == node ? 1 : 0);
}

int CCommCenter::StartCommand(int c, CTransTask& cmd) {
    ChannelState& ch = channels[c];
    const int count = ch.nodeCount.load();
    if (&cmd != &ch.command)
        ch.command = cmd;
    ch.cmdType.store(CMD_PREPARING);
    auto giveUp = [&] {
        ch.cmdType.store(CMD_IDLE, std::memory_order_release);
        return 0;
    };
    auto go = [&](int type) {
        ch.cmdType.store(type, std::memory_order_release);
        ch.senderWake.Notify(); // the sender takes the command up at once
        return 1;
    };
    auto clearPending = [&] {
        for (int n = 0; n < count; ++n)
            ch.nodePending[n].store(0);
    };
    // The channel stays CMD_PREPARING while the scheduler thread loads the store after its cycle.
    auto buildLater = [&] {
        PendingBuild& b = pendingBuild_[c];
        b.active = true;
        b.type = cmd.type;
        b.path = cmd.fileName;
        std::copy(std::begin(cmd.fileTag), std::end(cmd.fileTag), b.fileTag);
        return 1;
    };

    switch (cmd.type) {
    case CMD_QUERY_NODE: {
        const int n = cmd.FirstNode(count);
        if (n < 0)
            return giveUp();
        ch.requestNode.store(n);
        TargetSingle(c, n);
        nodes[c][n].status.store(NS_MORE);
        ch.queryBlock.store(-1);
        ch.replyNode.store(n);
        return go(CMD_QUERY_NODE);
    }
    case CMD_SEND_HEAD:
        clearPending();
        if (!Target(c, cmd, false))
            return giveUp();
        if (t_fileWorkOutsideLock)
            return buildLater(); // the head always reloads the file
        if (!BuildPackages(c, cmd.fileName, cmd.fileTag)) {
            SkipFile(c, cmd);
            return giveUp();
        }
        MarkPackagesNeeded(c);
        SetPackageTotal(c, stores[c].packageCount.load());
        return go(CMD_SEND_HEAD);
    case CMD_SEND_PACKAGES:
        clearPending();
        if (!Target(c, cmd, false))
            return giveUp();
        if (stores[c].storedPath != cmd.fileName) {
            if (t_fileWorkOutsideLock)
                return buildLater();
            if (!BuildPackages(c, cmd.fileName, cmd.fileTag)) {
                SkipFile(c, cmd);
                return giveUp();
            }
            MarkPackagesNeeded(c);
        }
        ch.progressTotal.store(stores[c].packageCount.load());
        ch.progressDone.store(0);
        ch.progressBusy.store(1);
        return go(CMD_SEND_PACKAGES);
    case CMD_CHECK_FILE:
        if (!Target(c, cmd, true))
            return giveUp();
        ch.progressDone.store(0);
        ch.progressBusy.store(1);
        ch.progressTotal.store(count);
        ch.replyNode.store(-1);
        return go(CMD_CHECK_FILE);
    case CMD_DELETE_FILES: {
        const int n = cmd.FirstNode(count);
        if (n < 0)
            return giveUp();
        ch.requestNode.store(n);
        TargetSingle(c, n);
        if (cmd.files.empty())
            return giveUp();
        return go(CMD_DELETE_FILES);
    }
    case CMD_CLEAR_NODE:
        if (!Target(c, cmd, false))
            return giveUp();
        return go(CMD_CLEAR_NODE);
    default:
        return giveUp();
    }
}

void CCommCenter::SkipFile(int c, CTransTask& cmd) {
    // Without its file the head would be given up for ever (check → needs head → head fails …).
    // The nodes leave this file's commands and go on to the next file's head; the file is not
    // recorded as sent. They are taken out of the working copy, so no completion rule moves them.
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (!cmd.nodeMask[n])
            continue;
        FinishNode(c, n, &cmd, false);
        SeekCursor(c, n, 4, cmd);
        nodes[c][n].progress.store(0);
        // Not a cancel: the node says that this file could not be read, and its end says so too.
        nodes[c][n].fileFailure.store(NS_FILE_UNREADABLE);
        StoreStatusUnlessCancelled(nodes[c][n], NS_FILE_UNREADABLE);
        cmd.nodeMask[n] = 0;
    }
    uint8_t none[kMaskSize] = {};
    channels[c].SetTargetMask(none);
}

bool CCommCenter::CompleteStep(int c, int type) {
    ChannelState& ch = channels[c];
    const int count = ch.nodeCount.load();
    if (!ChannelIdle(c)) {
        if (type == CMD_SEND_PACKAGES) {
            const int total = ch.progressTotal.load();
            if (ch.progressBusy.load() == 1 && total > 0) {
                const int pct =
                    static_cast<int>(static_cast<double>(ch.progressDone.load()) / total * 100.0);
                for (int n = 0; n < count; ++n) {
                    if (runningCmd[c].nodeMask[n])
                        nodes[c][n].progress.store(pct);
                }
            }
        }
        return false;
    }
    // Acquire the transmitter's results before reading them.
    (void)ch.cmdType.load(std::memory_order_acquire);
    for (int n = 0; n < count; ++n) {
        if (!runningCmd[c].nodeMask[n])
            continue;
        switch (type) {
        case CMD_QUERY_NODE:
            CompleteQuery(c, n);
            break;
        case CMD_SEND_HEAD:
        case CMD_SEND_PACKAGES:
        case CMD_CHECK_FILE:
            CompleteSendStep(c, n, type);
            break;
        case CMD_DELETE_FILES:
        case CMD_CLEAR_NODE:
            CompleteDeleteOrClear(c, n);
            break;
        default:
            break;
        }
    }
    if (type >= CMD_QUERY_NODE && type <= CMD_CLEAR_NODE) {
        // Every node of the command ends it with a status that says something. A rule may leave
        // a code of the link alone: a node stopped as another one was deferred, or one dropped
        // from a task that no longer has a note on it.
        for (int n = 0; n < count; ++n) {
            if (!runningCmd[c].nodeMask[n])
                continue;
            int status = nodes[c][n].status.load();
            const int settled = SettledStatus(status, NodeHasWork(c, n), NodeDeferred(c, n));
            if (settled != status)
                nodes[c][n].status.compare_exchange_strong(status, settled);
        }
    }
    AdvanceRotation(c);
    if (serveNext_[c] >= 0) {
        // A node that fell back within its file is served first: the others wait at their next
        // command, so that the file's later broadcasts (its packages, the next file's head) still
        // reach all of them at once instead of going out again for the one left behind.
        rotateIndex[c] = serveNext_[c];
        serveNext_[c] = -1;
    }
    return true;
}

void CCommCenter::ServeNext(int c, int k) {
    if (k >= 0 && k <= rotateIndex[c] && (serveNext_[c] < 0 || k < serveNext_[c]))
        serveNext_[c] = k;
}

int CCommCenter::DeferredStatus(int c, int status) {
    return status == NS_LINE_LOST && LineLost(c) ? NS_LINE_LOST : NS_WAITING;
}

bool CCommCenter::NodePartOver(int c, int node) {
    const CTransTask& task = currentTask[c];
    // In the query phase of a send every node of the task still has the send ahead.
    if (taskActive[c].load() == 0 || sendPrepared[c] != 0 || !task.nodeMask[node] ||
        nodes[c][node].currentTaskNo.load() != task.taskNo)
        return false;
    if (!EndsNodePart(nodes[c][node].status.load()) || NodeHasWork(c, node))
        return false;
    for (const TaskNote& note : nodes[c][node].pendingTasks.Snapshot()) {
        if (note.taskNo != task.taskNo)
            return false; // more work waits for the line
    }
    return true;
}

bool CCommCenter::NodeDeferred(int c, int node) {
    if (currentTask[c].nodeMask[node])
        return false;
    const int32_t taskNo = currentTask[c].taskNo;
    for (const TaskNote& note : nodes[c][node].pendingTasks.Snapshot()) {
        if (note.taskNo == taskNo)
            return true;
    }
    return false;
}

bool CCommCenter::NodeHasWork(int c, int node) {
    const int cursor = nodeSlots[c][node].cmdCursor.load();
    const size_t n = commandList[c].Count();
    for (size_t k = cursor < 0 ? 0 : static_cast<size_t>(cursor); k < n; ++k) {
        bool includes = false;
        commandList[c].WithItem(k, [&](CTransTask& cmd) { includes = cmd.nodeMask[node] != 0; });
        if (includes)
            return true;
    }
    return false;
}

void CCommCenter::EndTask(int c) {
    commandList[c].Clear();
    if (sendPrepared[c] == 1) {
        // The query phase of a send task is over: the send phase begins.
        sendPrepared[c] = 0;
        currentTask[c].type = TASK_SEND_FILE;
        ResetNodeStatus(c, currentTask[c]);
        // Files left out at preparation (unreadable, or a second file of one name) fail the send
        // on every node, even when no file is left to send.
        const int count = channels[c].nodeCount.load();
        for (int n = 0; n < count; ++n) {
            if (currentTask[c].nodeMask[n])
                nodes[c][n].fileFailure.store(preparedFailure_[c]);
        }
        ExpandTask(c, currentTask[c]);
        taskActive[c].store(1);
        return;
    }
    const int count = channels[c].nodeCount.load();
    const bool send = currentTask[c].type == TASK_SEND_FILE;
    for (int n = 0; n < count; ++n) {
        if (!currentTask[c].nodeMask[n])
            continue;
        currentTask[c].nodeMask[n] = 0;
        NodeRecord& node = nodes[c][n];
        if (send)
            ShowFileFailure(node);
        const int32_t taskNo = node.currentTaskNo.load();
        const size_t notes = node.pendingTasks.Count();
        for (size_t i = 0; i < notes; ++i) {
            bool match = false;
            node.pendingTasks.WithItem(i, [&](TaskNote& note) { match = note.taskNo == taskNo; });
            if (match) {
                node.pendingTasks.RemoveAt(i);
                break;
            }
        }
        node.pendingTaskCount.store(static_cast<int32_t>(node.pendingTasks.Count()));
    }
    currentTask[c].files.clear();
    currentTask[c].type = 0;
    runningCmd[c].type = 0;
    runningType[c] = 0;
    taskActive[c].store(0);
}

// ---------------------------------------------------------------------------------------------
// Cursor operations

void CCommCenter::ShowFileFailure(NodeRecord& node) {
    const int failure = node.fileFailure.load();
    if (failure == 0)
        return;
    // A file that could not go out fails the send, unless the node ended in a failure of its own.
    const int status = node.status.load();
    if (status == NS_NO_ROOM || status == NS_FILE_NUM_EXCEED || status == NS_NO_PROGRESS ||
        status == NS_CANCELLED || status == NS_LINE_LOST || status == NS_WAITING)
        return;
    StoreStatusUnlessCancelled(node, failure);
}

void CCommCenter::FinishNode(int c, int node, const CTransTask* ref, bool byTaskNo) {
    const size_t n = commandList[c].Count();
    for (size_t k = 0; k < n; ++k) {
        commandList[c].WithItem(k, [&](CTransTask& cmd) {
            if (!ref || (byTaskNo && cmd.taskNo == ref->taskNo) ||
                (!byTaskNo && cmd.fileName == ref->fileName))
                cmd.nodeMask[node] = 0;
        });
    }
}

int CCommCenter::SeekCursor(int c, int node, int kind, const CTransTask& ref) {
    std::atomic<int32_t>& cursor = nodeSlots[c][node].cmdCursor;
    const int n = static_cast<int>(commandList[c].Count());
    auto test = [&](int k, auto&& pred) {
        bool hit = false;
        commandList[c].WithItem(static_cast<size_t>(k), [&](CTransTask& cmd) { hit = pred(cmd); });
        return hit;
    };
    if (kind == 0 || kind == 1) {
        for (int k = cursor.load() - 1; k >= 0; --k) {
            if (test(k, [&](const CTransTask& cmd) { return cmd.nodeMask[node] != 0; })) {
                cursor.store(k);
                return 1;
            }
        }
        return 0;
    }
    for (int k = 0; k < n; ++k) {
        const bool hit = test(k, [&](const CTransTask& cmd) {
            if (cmd.fileName != ref.fileName)
                return false;
            switch (kind) {
            case 2:
                return cmd.type == CMD_SEND_HEAD && cmd.nodeMask[node] != 0;
            case 3:
                return cmd.type == CMD_SEND_PACKAGES && cmd.nodeMask[node] != 0;
            case 4:
                return cmd.type == CMD_SEND_PACKAGES;
            default:
                return false;
            }
        });
        if (hit) {
            cursor.store(kind == 4 ? k + 2 : k);
            return 1;
        }
    }
    return 0;
}

void CCommCenter::AdvanceCursor(int c, int node) {
    std::atomic<int32_t>& cursor = nodeSlots[c][node].cmdCursor;
    const int n = static_cast<int>(commandList[c].Count());
    for (int k = cursor.load() + 1; k < n; ++k) {
        bool includes = false;
        commandList[c].WithItem(static_cast<size_t>(k),
                                [&](CTransTask& cmd) { includes = cmd.nodeMask[node] != 0; });
        if (includes) {
            cursor.store(k);
            return;
        }
    }
}

void CCommCenter::AdvanceRotation(int c) {
    const int n = static_cast<int>(commandList[c].Count());
    rotateIndex[c] = n > 0 ? (rotateIndex[c] + 1) % n : 0;
}

void CCommCenter::StopNodes(int c) {
    ChannelState& ch = channels[c];
    const int count = ch.nodeCount.load();
    for (int m = 0; m < count; ++m) {
        if (ch.nodePending[m].load() == 1) {
            ch.targetMask[m / 8].fetch_and(static_cast<uint8_t>(~(1u << (m % 8))));
            // A stopped node is no longer pending: a second stop (cancel on several nodes) must
            // not stop it again, nor turn a cancelled node back into a merely stopped one.
            ch.nodePending[m].store(0);
            int expected = nodes[c][m].status.load();
            if (expected != NS_CANCELLED)
                nodes[c][m].status.compare_exchange_strong(expected, NS_STOPPED);
        }
    }
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    if (MaskEmpty(mask)) {
        ch.cmdType.store(CMD_IDLE, std::memory_order_release);
        // The channel rests for the pause before its next step, without anyone sleeping in it:
        // neither the scheduler under its cycle lock (cancel would wait) nor cancel itself.
        stopSettleUntil[c].store(NowMs() + kStopNodesPauseMs);
    }
}

bool CCommCenter::TaskNoted(int c, int node) {
    for (const TaskNote& note : nodes[c][node].pendingTasks.Snapshot()) {
        if (note.taskNo == currentTask[c].taskNo)
            return true;
    }
    return false;
}

bool CCommCenter::DeferNode(int c, int node) {
    CTransTask& task = currentTask[c];
    bool result = false;
    if (!TaskNoted(c, node)) {
        task.nodeMask[node] = 0;
    } else {
        result = true;
        // In the query phase of a send the node stays in the task for the send phase.
        if (!(task.type == TASK_QUERY_NODE && sendPrepared[c])) {
            bool found = false;
            const size_t n = deferredQueue[c].Count();
            for (size_t i = 0; i < n && !found; ++i) {
                deferredQueue[c].WithItem(i, [&](CTransTask& d) {
                    if (d.taskNo == task.taskNo) {
                        d.nodeMask[node] = 1;
                        found = true;
                    }
                });
            }
            if (!found) {
                auto copy = std::make_unique<CTransTask>(task);
                const int count = channels[c].nodeCount.load();
                for (int m = 0; m < count; ++m)
                    copy->nodeMask[m] = (m == node) ? 1 : 0;
                deferredQueue[c].Append(std::move(copy));
            }
            task.nodeMask[node] = 0; // the node keeps its note: the copy is still pending on it
        }
    }
    StopNodes(c);
    FinishNode(c, node, nullptr, false);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Completion rules of the query, delete and clear commands

void CCommCenter::CompleteQuery(int c, int n) {
    NodeRecord& node = nodes[c][n];
    const int status = node.status.load();
    if (status == NS_QUERY_END) {
        const int type = currentTask[c].type;
        if (type == TASK_DELETE_FILE || type == TASK_CLEAR_FILE) {
            bool again = false;
            if (type == TASK_DELETE_FILE) {
                // Names the refreshed list still holds; compared as 12-byte fields where padding
                // blanks and zero bytes count alike.
                auto trimmed = [](const uint8_t* p, size_t len) {
                    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == 0))
                        --len;
                    return std::string(reinterpret_cast<const char*>(p), len);
                };
                const auto listed = node.ListedFiles();
                for (const std::string& name : currentTask[c].files) {
                    const std::string want =
                        trimmed(reinterpret_cast<const uint8_t*>(name.data()), name.size());
                    for (const auto& f : listed) {
                        if (trimmed(f.name, kNameFieldSize) == want) {
                            again = true;
                            break;
                        }
                    }
                    if (again)
                        break;
                }
                node.status.store(again ? NS_RETRY_DELETE : NS_DELETE_END);
            } else {
                again = node.fileCount.load() != 0;
                node.status.store(again ? NS_RETRY_CLEAR : NS_CLEAR_END);
            }
            if (again)
                SeekCursor(c, n, type == TASK_DELETE_FILE ? 0 : 1, runningCmd[c]);
            else
                FinishNode(c, n, nullptr, false);
        } else {
            FinishNode(c, n, nullptr, false);
        }
    } else if (status == NS_CANCELLED) {
        FinishNode(c, n, nullptr, false);
    } else {
        // A lost line keeps saying so while it lasts; any other failure waits for its deferred
        // turn.
        if (DeferNode(c, n))
            node.status.store(DeferredStatus(c, status));
        node.totalBytes.store(0);
        // What the node holds is not known until a query of it succeeds.
        node.fileCount.store(kUnknownFigure);
        node.freeBytes.store(kUnknownFigure);
        node.listedCount.store(0);
    }
}

void CCommCenter::CompleteDeleteOrClear(int c, int n) {
    NodeRecord& node = nodes[c][n];
    if (node.status.load() == NS_CANCELLED) {
        FinishNode(c, n, nullptr, false);
        node.progress.store(0);
    } else if (node.status.load() == NS_LINE_LOST) {
        // The delete or clear runs again once the line is back; till then the node says why.
        if (DeferNode(c, n))
            node.status.store(DeferredStatus(c, NS_LINE_LOST));
    } else {
        node.status.store(NS_QUERYING);
        AdvanceCursor(c, n);
    }
}
