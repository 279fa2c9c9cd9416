#include "station/NodeRows.h"

#include "link/NodeStatus.h"
#include "station/NodeLabels.h"
#include "station/StationTexts.h"
#include "store/SystemParameters.h"

namespace {

// Codes a node holds while its task is under way on it, or waits for it: "Line Lost" too, since
// the work waits for the line's return.
bool IsWorkingStatus(int status) {
    switch (status) {
    case NS_IDLE:
    case NS_NEED_HEAD:
    case NS_BAD_REPLY:
    case NS_NO_REPLY:
    case NS_MORE:
    case NS_LIST_CLIPPED:
    case NS_REQUEST_SENT:
    case NS_STOPPED:
    case NS_QUERYING:
    case NS_WAITING:
    case NS_DELETING:
    case NS_RETRY_DELETE:
    case NS_CLEARING:
    case NS_RETRY_CLEAR:
    case NS_SENDING_HEAD:
    case NS_SENDING_PACKAGES:
    case NS_LINE_LOST:
        return true;
    default:
        return false;
    }
}

// The station holds the node's whole list: every counted entry is listed, or nothing is known.
bool ListingWhole(const NodeSnapshot& n) {
    return n.fileCount < 0 || n.listedCount == n.fileCount;
}

} // namespace

NodeSnapshot TakeNodeSnapshot(const NodeRecord& node, bool lineLost) {
    NodeSnapshot s;
    s.pendingTaskCount = node.pendingTaskCount.load();
    s.status = node.status.load();
    s.fileCount = node.fileCount.load();
    s.listedCount = node.listedCount.load();
    s.listChanges = node.listChanges.load();
    s.freeBytes = node.freeBytes.load();
    s.progress = node.progress.load();
    s.currentTaskNo = node.currentTaskNo.load();
    s.missingCount = node.missingCount.load();
    s.lineLost = lineLost;
    return s;
}

bool ChannelLineLost(int channel) {
    CCommCenter* cc = CCommCenter::Instance();
    if (!cc || channel < 0 || channel >= kChannels)
        return false;
    return cc->LineLost(channel);
}

bool IsEndStatus(int status) {
    return status != -1 && !IsWorkingStatus(status);
}

int ShownStatus(const NodeSnapshot& n, bool notesJustRanOut) {
    // A node that already has its answer keeps it; the task layer marks any whose work still
    // waits for the line.
    if (n.lineLost && n.pendingTaskCount != 0 && !IsEndStatus(n.status))
        return NS_LINE_LOST;
    if (n.pendingTaskCount == 0 &&
        (IsWorkingStatus(n.status) || (notesJustRanOut && n.status == -1)))
        return NS_CANCELLED;
    return n.status;
}

std::string NodeInfoText(int status, int missingCount) {
    std::string text = StationText(StatusTextId(status));
    if (status == NS_SENDING_PACKAGES)
        text += std::to_string(missingCount);
    return text;
}

int NodeImage(int status, int current) {
    switch (status) {
    case NS_FILE_DONE:
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_QUERY_END:
    case NS_DELETE_END:
    case NS_CLEAR_END:
    case NS_DELETING:
    case NS_CLEARING:
    case NS_SENDING_HEAD:
    case NS_SENDING_PACKAGES:
    case NS_FILE_UNREADABLE:
    case NS_DUPLICATE_NAME:
    case NS_NO_PROGRESS:
        return 1;
    case NS_QUERYING:
    case NS_WAITING:
    case NS_RETRY_DELETE:
    case NS_RETRY_CLEAR:
    case NS_LINE_LOST:
        return 0;
    default:
        return current;
    }
}

std::string CurrentTaskText(int taskNo) {
    return taskNo < 1 ? std::string() : std::to_string(taskNo);
}

std::string RateText(int progress) {
    return progress < 1 ? std::string() : std::to_string(progress) + "%";
}

std::string FigureText(int32_t figure) {
    return figure < 0 ? std::string() : std::to_string(figure);
}

NodeRowFill FillNodeRow(NodeRow& r, int channel, int node, const NodeSnapshot& n) {
    const SystemParameters& p = Params();
    NodeRowFill fill;
    const bool known = channel >= 0 && channel < SystemParameters::kChannels && node >= 0 &&
                       node < SystemParameters::kNodes;
    r.index = node;
    r.label = NodeLabel(channel, node);
    r.portName = known ? p.comId[channel] : std::string();
    r.machineName = known ? p.machineName[channel][node] : std::string();
    r.pendingTaskCount = n.pendingTaskCount;
    r.currentTaskNo = n.currentTaskNo;
    std::string current, rate;
    if (n.currentTaskNo < 1) {
        r.progress = 0;
        r.status = -1;
    } else {
        r.progress = n.progress;
        r.status = ShownStatus(n, false);
        current = CurrentTaskText(n.currentTaskNo);
        rate = RateText(n.progress);
    }
    const std::string info = NodeInfoText(ShownStatus(n, false), n.missingCount);
    if (!info.empty())
        r.infoText = info;
    r.fileCount = n.fileCount;
    r.listedCount = n.listedCount;
    r.listChanges = n.listChanges;
    r.freeBytes = n.freeBytes;
    r.recordStatus = n.status;

    fill.shown = !(known && p.machineVisible[channel][node] == 1);
    fill.image = r.image;
    fill.texts = {
        r.label,   r.portName, r.machineName,           std::to_string(n.pendingTaskCount),
        current,   rate,       FigureText(n.fileCount), FigureText(n.freeBytes),
        r.infoText};
    return fill;
}

NodeRowChange TickNodeRow(NodeRow& r, const NodeSnapshot& n, bool selected) {
    NodeRowChange change;
    // A task can come and go between two ticks (a query answered within one period, or a timer
    // held back on a busy machine): a record that moved since the row last looked is looked at
    // even when neither side has notes, or the row would keep the previous task's text.
    const bool moved = n.status != r.recordStatus || n.currentTaskNo != r.currentTaskNo ||
                       n.fileCount != r.fileCount || n.freeBytes != r.freeBytes ||
                       n.listChanges != r.listChanges;
    if (n.pendingTaskCount == 0 && r.pendingTaskCount == 0 && !moved)
        return change;
    change.looked = true;
    r.recordStatus = n.status;
    const bool ranOut = n.pendingTaskCount == 0;
    const int shown = ShownStatus(n, ranOut);

    // An entry replaced in place (the same name sent again) moves neither count.
    const bool listMoved = n.fileCount != r.fileCount || n.listedCount != r.listedCount ||
                           n.listChanges != r.listChanges;
    r.listedCount = n.listedCount;
    r.listChanges = n.listChanges;
    // The endings refresh the list once, on entering them: a node keeps "Delete End" while more
    // of its work waits, and a list rebuilt on every tick would lose the operator's ticks.
    const bool entered = shown != r.status;
    if (selected && ((listMoved && ListingWhole(n)) ||
                     (entered && (shown == NS_DELETE_END || shown == NS_QUERY_END))))
        change.refreshFiles = true;
    const int image = NodeImage(shown, r.image);
    if (image != r.image) {
        r.image = image;
        change.image = image;
    }
    if (n.pendingTaskCount != r.pendingTaskCount) {
        r.pendingTaskCount = n.pendingTaskCount;
        change.cells.emplace_back(kColTaskNum, std::to_string(n.pendingTaskCount));
    }
    if (n.currentTaskNo != r.currentTaskNo) {
        r.currentTaskNo = n.currentTaskNo;
        change.cells.emplace_back(kColCurrentTask, CurrentTaskText(n.currentTaskNo));
    }
    if (n.progress != r.progress) {
        r.progress = n.progress;
        change.cells.emplace_back(kColRate, RateText(n.progress));
    }
    if (n.fileCount != r.fileCount) {
        r.fileCount = n.fileCount;
        change.cells.emplace_back(kColFileNum, FigureText(n.fileCount));
    }
    if (n.freeBytes != r.freeBytes) {
        r.freeBytes = n.freeBytes;
        change.cells.emplace_back(kColSpaceRoom, FigureText(n.freeBytes));
    }
    // The text, not only the code, decides: during a send the missing count changes under
    // status 21. A code without a text leaves the last text standing, except "Line Lost", which
    // must not outlast the line's return.
    std::string info = NodeInfoText(shown, n.missingCount);
    const bool leftLineLost = r.status == NS_LINE_LOST && shown != NS_LINE_LOST;
    r.status = shown;
    if ((!info.empty() || leftLineLost) && info != r.infoText) {
        r.infoText = info;
        change.cells.emplace_back(kColInfo, std::move(info));
    }
    return change;
}
