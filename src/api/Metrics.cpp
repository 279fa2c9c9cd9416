#include "api/Metrics.h"

#include "link/CommCenter.h"
#include "station/NodeRows.h"
#include "store/NodeNumbers.h"
#include "store/SystemParameters.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace api {

namespace {

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

constexpr Family kLineUp = {"talvorn_line_up", "gauge",
                            "Whether the channel's port is open and its line not lost (1) or not "
                            "(0)."};
constexpr Family kNodeStatus = {
    "talvorn_node_status", "gauge",
    "The node's status code as the node list shows it: -1 none yet, 4 Send File End, 5 No "
    "Sufficient Room, 6 File Num Exceed, 10 Query End, 11 Delete End, 12 Clear End, 14 "
    "querying, 15 waiting, 17 and 19 retrying, 20 and 21 sending, 22 User Has Cancelled Task, "
    "23 File Cannot Be Read, 24 Line Lost, 25 Duplicate File Name; other codes are steps under "
    "way."};
constexpr Family kNodeFree = {"talvorn_node_free_bytes", "gauge",
                              "Free room on the node in bytes, as last reported (absent while "
                              "not known)."};
constexpr Family kReplyDelay = {"talvorn_reply_delay_seconds", "gauge",
                                "The node's smoothed reply delay, learned from its replies as the "
                                "station times them (absent until one was timed)."};
constexpr Family kTasksQueued = {"talvorn_tasks_queued", "gauge",
                                 "Tasks of the channel waiting to run, deferred copies included."};
constexpr Family kRequests = {"talvorn_requests_total", "counter",
                              "Requests sent on the channel, by kind."};
constexpr Family kReplies = {"talvorn_replies_total", "counter",
                             "Requests awaiting a reply, by what came of them: ok (a good "
                             "reply), bad (a reply that failed its checks), timeout (none in "
                             "time)."};
constexpr Family kPackages = {"talvorn_packages_sent_total", "counter",
                              "Data packages sent on the channel."};
constexpr Family kFiles = {"talvorn_files_delivered_total", "counter",
                           "Files that a node reported whole, counted once per node."};

void Header(std::string& out, const Family& f) {
    out += "# HELP ";
    out += f.name;
    out += ' ';
    out += f.help;
    out += "\n# TYPE ";
    out += f.name;
    out += ' ';
    out += f.type;
    out += '\n';
}

void SampleSeconds(std::string& out, const Family& f, const std::string& labels, double seconds) {
    char value[32];
    std::snprintf(value, sizeof value, "%.4f", seconds);
    out += f.name;
    out += '{';
    out += labels;
    out += "} ";
    out += value;
    out += '\n';
}

void Sample(std::string& out, const Family& f, const std::string& labels, int64_t value) {
    out += f.name;
    out += '{';
    out += labels;
    out += "} ";
    out += std::to_string(value);
    out += '\n';
}

std::string ChannelLabel(int c) {
    return "channel=\"" + std::to_string(c + 1) + "\"";
}

// What one pass reads of a channel.
struct ChannelFigures {
    bool up = false;
    int64_t queued = 0;
    uint64_t requests[kRequestKinds] = {};
    uint64_t ok = 0, bad = 0, timedOut = 0, files = 0;
    struct Node {
        std::string label;
        int status = -1;
        int32_t freeBytes = kUnknownFigure;
        double delaySeconds = -1; // not timed yet
    };
    std::vector<Node> nodes;
};

ChannelFigures Read(CCommCenter* cc, int c, const MetricsFromTicks& ticks) {
    ChannelFigures f;
    if (!cc)
        return f;
    ChannelState& ch = cc->channels[c];
    for (int k = 0; k < kRequestKinds; ++k)
        f.requests[k] = ch.requestsSent[k].load(std::memory_order_relaxed);
    f.ok = ch.repliesOk.load(std::memory_order_relaxed);
    f.bad = ch.repliesBad.load(std::memory_order_relaxed);
    f.timedOut = ch.repliesTimedOut.load(std::memory_order_relaxed);
    f.files = ch.filesDelivered.load(std::memory_order_relaxed);
    if (CCommCenter::NodeTable(c) == nullptr)
        return f;
    const bool lost = cc->LineLost(c);
    f.up = !lost;
    f.queued = ticks.queued[c];
    const SystemParameters& p = Params();
    const int count = ch.nodeCount.load();
    for (int n = 0; n < count && n < kMaxNodes; ++n) {
        if (p.machineVisible[c][n] == 1)
            continue; // hidden in the machine table: no row, no figures
        const NodeSnapshot s = TakeNodeSnapshot(cc->nodes[c][n], lost);
        f.nodes.push_back(
            {NodeLabel(c, n), ShownStatus(s, false), s.freeBytes, ticks.delaySeconds[c][n]});
    }
    return f;
}

} // namespace

std::string LabelValue(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == '"')
            out += "\\\"";
        else if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

std::string MetricsText(CCommCenter* cc, const MetricsFromTicks& ticks) {
    ChannelFigures figures[kChannels];
    for (int c = 0; c < kChannels; ++c)
        figures[c] = Read(cc, c, ticks);
    std::string out;
    out.reserve(8192);
    Header(out, kLineUp);
    for (int c = 0; c < kChannels; ++c)
        Sample(out, kLineUp, ChannelLabel(c), figures[c].up ? 1 : 0);
    Header(out, kNodeStatus);
    for (int c = 0; c < kChannels; ++c)
        for (const auto& n : figures[c].nodes)
            Sample(out, kNodeStatus, ChannelLabel(c) + ",node=\"" + LabelValue(n.label) + "\"",
                   n.status);
    Header(out, kNodeFree);
    for (int c = 0; c < kChannels; ++c)
        for (const auto& n : figures[c].nodes)
            if (n.freeBytes >= 0)
                Sample(out, kNodeFree, ChannelLabel(c) + ",node=\"" + LabelValue(n.label) + "\"",
                       n.freeBytes);
    Header(out, kReplyDelay);
    for (int c = 0; c < kChannels; ++c)
        for (const auto& n : figures[c].nodes)
            if (n.delaySeconds >= 0)
                SampleSeconds(out, kReplyDelay,
                              ChannelLabel(c) + ",node=\"" + LabelValue(n.label) + "\"",
                              n.delaySeconds);
    Header(out, kTasksQueued);
    for (int c = 0; c < kChannels; ++c)
        Sample(out, kTasksQueued, ChannelLabel(c), figures[c].queued);
    Header(out, kRequests);
    for (int c = 0; c < kChannels; ++c)
        for (int k = 0; k < kRequestKinds; ++k)
            Sample(out, kRequests, ChannelLabel(c) + ",kind=\"" + RequestKindName(k) + "\"",
                   static_cast<int64_t>(figures[c].requests[k]));
    Header(out, kReplies);
    for (int c = 0; c < kChannels; ++c) {
        Sample(out, kReplies, ChannelLabel(c) + ",result=\"ok\"",
               static_cast<int64_t>(figures[c].ok));
        Sample(out, kReplies, ChannelLabel(c) + ",result=\"timeout\"",
               static_cast<int64_t>(figures[c].timedOut));
        Sample(out, kReplies, ChannelLabel(c) + ",result=\"bad\"",
               static_cast<int64_t>(figures[c].bad));
    }
    Header(out, kPackages);
    for (int c = 0; c < kChannels; ++c)
        Sample(out, kPackages, ChannelLabel(c),
               static_cast<int64_t>(figures[c].requests[kRequestPackage]));
    Header(out, kFiles);
    for (int c = 0; c < kChannels; ++c)
        Sample(out, kFiles, ChannelLabel(c), static_cast<int64_t>(figures[c].files));
    return out;
}

} // namespace api
