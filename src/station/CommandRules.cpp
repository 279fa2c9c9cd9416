#include "station/CommandRules.h"

#include "link/CommCenter.h"
#include "link/Frame.h"
#include "store/EventLog.h"
#include "tasks/TaskLayer.h"

#include <algorithm>

bool MarkNodes(const std::vector<int>& nodes, int nodeCount, int32_t (&mask)[kTaskNodes]) {
    std::fill(std::begin(mask), std::end(mask), 0);
    const int limit = std::clamp(nodeCount, 0, kTaskNodes);
    bool any = false;
    for (int n : nodes) {
        if (n < 0 || n >= limit)
            continue;
        mask[n] = 1;
        any = true;
    }
    return any;
}

SendPlan PlanSend(const std::vector<int>& checkedGroups, TaskList<FileGroup>& groups) {
    SendPlan plan;
    size_t offered = 0;
    for (int g : checkedGroups) {
        FileGroup* group = g < 0 ? nullptr : groups.ItemAt(static_cast<size_t>(g));
        offered += group ? group->files.Count() : 0;
    }
    if (offered == 0) {
        plan.refusal = SendRefusal::NoFiles;
        return plan;
    }
    plan.collection = CollectSendFiles(checkedGroups, groups);
    const auto& problems = plan.collection.problems;
    plan.sendable = plan.collection.files.size() +
                    static_cast<size_t>(
                        std::count_if(problems.begin(), problems.end(), [](const FileProblem& p) {
                            return p.kind == FileProblemKind::TooMany;
                        }));
    if (plan.sendable > static_cast<size_t>(kMaxEntries))
        plan.refusal = SendRefusal::TooMany;
    else if (plan.collection.files.empty())
        plan.refusal = SendRefusal::NothingToSend;
    return plan;
}

HandOver LogAndQueue(LoggedCommand command, int channel, CTransTask& request,
                     const std::string& user, std::string* reason) {
    // A task that could not be created after its events were logged would leave the log telling
    // of work that never happened: check first.
    if (CCommCenter::Instance() == nullptr || channel < 0 || channel >= kChannels)
        return HandOver::NotQueued;
    if (!EventLogWritable(channel, reason))
        return HandOver::LogUnwritable;
    EventNodeFlags nodes{};
    for (int n = 0; n < kTaskNodes && n < kEventLogNodes; ++n)
        nodes[static_cast<size_t>(n)] = request.nodeMask[n] == 1;
    bool logged = false;
    int queued = 0;
    switch (command) {
    case LoggedCommand::Send:
        logged = LogSendCommand(channel, user, nodes, request.files);
        queued = logged ? CreateSendTask(channel, request) : 0;
        break;
    case LoggedCommand::Delete:
        logged = LogDeleteCommand(channel, user, request.FirstNode(kTaskNodes), request.files);
        queued = logged ? CreateDeleteTask(channel, request) : 0;
        break;
    case LoggedCommand::Clear:
        logged = LogClearCommand(channel, user, nodes);
        queued = logged ? CreateClearTask(channel, request) : 0;
        break;
    }
    if (!logged)
        return HandOver::LogFailed;
    return queued ? HandOver::Queued : HandOver::NotQueued;
}
