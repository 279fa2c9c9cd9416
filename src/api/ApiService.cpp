#include "api/ApiService.h"

#include "api/ApiRequest.h"
#include "api/JsonText.h"
#include "api/Metrics.h"
#include "link/NodeStatus.h"
#include "station/Centre.h"
#include "station/CommandRules.h"
#include "station/FileGroups.h"
#include "station/NodeFileNames.h"
#include "station/NodeLabels.h"
#include "store/EventLog.h"
#include "store/NodeNumbers.h"
#include "store/SoftNote.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"
#include "users/UserRecord.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <shared_mutex>

namespace api {

namespace {

using Json = nlohmann::json;

std::string Dump(const Json& j) {
    // Names and paths come from files and nodes: bytes that are no UTF-8 are replaced, never
    // thrown over.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpResponse JsonResponse(int status, const Json& j) {
    HttpResponse r;
    r.status = status;
    r.body = Dump(j);
    return r;
}

std::string ChannelName(int c) {
    return "channel " + std::to_string(c + 1);
}

const char* RightText(uint16_t right) {
    for (const RightBox& box : kRightBoxes) {
        if (box.mask == right)
            return box.text;
    }
    return "";
}

const char* CommandTypeName(int type) {
    switch (type) {
    case CMD_IDLE:
        return "idle";
    case CMD_QUERY_NODE:
        return "query";
    case CMD_SEND_HEAD:
        return "head";
    case CMD_SEND_PACKAGES:
        return "packages";
    case CMD_CHECK_FILE:
        return "check";
    case CMD_DELETE_FILES:
        return "delete";
    case CMD_CLEAR_NODE:
        return "clear";
    case CMD_PREPARING:
        return "preparing";
    default:
        return "other";
    }
}

std::string FieldHex(const uint8_t field[kNameFieldSize]) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < kNameFieldSize; ++i) {
        out += kHex[field[i] >> 4];
        out += kHex[field[i] & 15];
    }
    return out;
}

// The node indexes of `labels` on an open channel; false with the response for the first label
// the channel does not have.
bool NodeIndexes(int c, int count, const std::vector<std::string>& labels,
                 int32_t (&mask)[kTaskNodes], std::vector<int>* indexes, HttpResponse* refusal) {
    std::vector<int> out;
    for (const std::string& label : labels) {
        int index = 0;
        std::string error;
        if (!NodeIndexOfNumber(label, Params().comOne[c], count, &index, &error)) {
            *refusal = ErrorResponse(400, error);
            return false;
        }
        if (std::find(out.begin(), out.end(), index) == out.end())
            out.push_back(index);
    }
    std::sort(out.begin(), out.end());
    MarkNodes(out, count, mask);
    *indexes = std::move(out);
    return true;
}

Json Labels(int c, const std::vector<int>& indexes) {
    Json out = Json::array();
    for (int n : indexes)
        out.push_back(NodeLabel(c, n));
    return out;
}

// What a logged command's hand-over means for the caller.
HttpResponse HandOverRefusal(HandOver h, const std::string& reason, int c) {
    switch (h) {
    case HandOver::LogUnwritable:
        return ErrorResponse(409, reason + "; nothing was queued");
    case HandOver::LogFailed:
        return ErrorResponse(409, "the command could not be written to the event log; nothing "
                                  "was queued");
    case HandOver::NotQueued:
        return ErrorResponse(503, ChannelName(c) + " took no task");
    case HandOver::Queued:
        break;
    }
    return ErrorResponse(500, "queued");
}

} // namespace

HttpResponse ErrorResponse(int status, const std::string& message) {
    return JsonResponse(status, Json{{"error", message}});
}

ApiService::ApiService(Authenticator& auth) : auth_(auth) {}

HttpResponse ApiService::Handle(const HttpRequest& request) {
    const Route route = MatchRoute(request.path);
    switch (RouteStatus(route, request.method)) {
    case 404:
        return ErrorResponse(404, "no such resource: " + request.path);
    case 405: {
        HttpResponse r =
            ErrorResponse(405, request.method + " is not allowed here; use " + route.method);
        r.headers.emplace_back("Allow",
                               route.method == std::string("GET") ? "GET, HEAD" : route.method);
        return r;
    }
    default:
        break;
    }
    if (route.resource == Resource::Metrics) {
        std::shared_lock reading(StationStateGate());
        HttpResponse r;
        r.contentType = kMetricsContentType;
        MetricsFromTicks ticks;
        for (int c = 0; c < kChannels; ++c) {
            std::lock_guard lock(rows_[c].mutex);
            ticks.queued[c] = rows_[c].queued;
            for (size_t n = 0; n < rows_[c].delaySeconds.size() && n < kMaxNodes; ++n)
                ticks.delaySeconds[c][n] = rows_[c].delaySeconds[n];
        }
        r.body = MetricsText(CCommCenter::Instance(), ticks);
        return r;
    }

    // Everything else needs a user of the table; a slowed address waits here, holding nothing.
    const Authenticator::Outcome who = auth_.Authenticate(request.authorization, request.address);
    if (who.result != Authenticator::Result::Ok) {
        HttpResponse r = ErrorResponse(401, who.result == Authenticator::Result::Missing
                                                ? "authentication required"
                                                : "wrong user name or password");
        r.headers.emplace_back("WWW-Authenticate", "Basic realm=\"talvorn\"");
        return r;
    }
    uint16_t right = 0;
    switch (route.resource) {
    case Resource::Events:
        right = kRightViewSoftNote;
        break;
    case Resource::Send:
        right = kRightSendFile;
        break;
    case Resource::Query:
        right = kRightQueryNodeStatus;
        break;
    case Resource::Clear:
    case Resource::Delete:
        right = kRightDeleteFile;
        break;
    case Resource::Cancel:
        right = kRightCancelTask;
        break;
    default:
        break;
    }
    if (right != 0 && !who.user.Has(right))
        return ErrorResponse(403, "user " + who.user.name + " has no right to " + RightText(right));

    std::shared_lock reading(StationStateGate());
    switch (route.resource) {
    case Resource::Channels:
        return Channels();
    case Resource::Nodes: {
        // ?hidden=1 adds the machines the list hides (talvorn-cli may address them).
        const bool hidden =
            std::any_of(request.query.begin(), request.query.end(),
                        [](const auto& q) { return q.first == "hidden" && q.second == "1"; });
        return Nodes(route.channel, hidden);
    }
    case Resource::NodeFiles:
        return NodeFiles(route.channel, route.node);
    case Resource::Events:
        return Events(request);
    default:
        return Command(static_cast<int>(route.resource), route.channel, who.user, request.body);
    }
}

HttpResponse ApiService::Channels() {
    const SystemParameters& p = Params();
    CCommCenter* cc = CCommCenter::Instance();
    Json out = Json::array();
    for (int c = 0; c < kChannels; ++c) {
        const bool open = CCommCenter::NodeTable(c) != nullptr;
        Json ch = {
            {"channel", c + 1},     {"port", p.comId[c]},
            {"open", open},         {"lineLost", open && cc->LineLost(c)},
            {"nodes", p.comSum[c]}, {"firstNumber", p.comOne[c]},
        };
        // What talvorn-cli needs to tell a station at work from one that stands still.
        if (open) {
            ChannelState& state = cc->channels[c];
            ch["command"] = CommandTypeName(state.cmdType.load());
            ch["freshPackages"] = state.freshPackages.load();
            ch["taskActive"] = cc->taskActive[c].load() != 0;
            std::lock_guard lock(rows_[c].mutex);
            ch["queued"] = rows_[c].queued;
        }
        out.push_back(std::move(ch));
    }
    return JsonResponse(200, out);
}

bool ApiService::TickRows(int c, bool withLocks) {
    CCommCenter* cc = CCommCenter::Instance();
    if (CCommCenter::NodeTable(c) == nullptr)
        return false;
    const bool lost = cc->LineLost(c);
    const int count = std::clamp(cc->channels[c].nodeCount.load(), 0, kMaxNodes);
    RowCache& cache = rows_[c];
    const bool refill = !cache.filled || cache.generation != CentreGeneration() ||
                        cache.rows.size() != static_cast<size_t>(count);
    if (refill) {
        cache.rows.assign(static_cast<size_t>(count), NodeRow{});
        cache.taskNumbers.assign(static_cast<size_t>(count), {});
        cache.delaySeconds.assign(static_cast<size_t>(count), -1);
        cache.queued = 0;
        withLocks = true; // once per centre: the cache starts whole
    }
    for (int n = 0; n < count; ++n) {
        NodeRecord& node = cc->nodes[c][n];
        const NodeSnapshot s = TakeNodeSnapshot(node, lost);
        NodeRow& row = cache.rows[static_cast<size_t>(n)];
        if (refill)
            FillNodeRow(row, c, n, s);
        else
            TickNodeRow(row, s, false);
        if (!withLocks)
            continue;
        std::vector<int32_t>& tasks = cache.taskNumbers[static_cast<size_t>(n)];
        tasks.clear();
        if (s.pendingTaskCount != 0)
            for (const TaskNote& note : node.pendingTasks.Snapshot())
                tasks.push_back(note.taskNo);
        const ReplyTimer timer = cc->ReplyTimerOf(c, n);
        cache.delaySeconds[static_cast<size_t>(n)] =
            timer.Measured() ? timer.SmoothedMs() / 1000 : -1;
    }
    if (withLocks)
        cache.queued =
            static_cast<int64_t>(cc->taskQueue[c].Count() + cc->deferredQueue[c].Count());
    cache.filled = true;
    cache.generation = CentreGeneration();
    return true;
}

void ApiService::NoteQueued(int c, const std::vector<int>& nodes, int32_t taskNo) {
    RowCache& cache = rows_[c];
    std::lock_guard lock(cache.mutex);
    for (int n : nodes) {
        if (n < 0 || static_cast<size_t>(n) >= cache.taskNumbers.size())
            continue;
        std::vector<int32_t>& tasks = cache.taskNumbers[static_cast<size_t>(n)];
        if (std::find(tasks.begin(), tasks.end(), taskNo) == tasks.end())
            tasks.push_back(taskNo); // the timer may have read it from the notes already
    }
    ++cache.queued;
}

void ApiService::Tick() {
    std::shared_lock reading(StationStateGate());
    for (int c = 0; c < kChannels; ++c) {
        std::lock_guard lock(rows_[c].mutex);
        TickRows(c, true);
    }
}

HttpResponse ApiService::Nodes(int c, bool withHidden) {
    // The rows' texts are taken under the cache's lock, and the answer is written after it: a
    // serving thread that loses the processor while it writes holds no other request up.
    struct Shown {
        int node;
        std::string label;
        std::string status;
        std::vector<int32_t> tasks;
    };
    std::vector<Shown> shown;
    {
        RowCache& cache = rows_[c];
        std::lock_guard lock(cache.mutex);
        if (TickRows(c, false)) {
            shown.reserve(cache.rows.size());
            for (size_t i = 0; i < cache.rows.size(); ++i)
                shown.push_back({static_cast<int>(i), cache.rows[i].label, cache.rows[i].infoText,
                                 cache.taskNumbers[i]});
        }
    }
    // Read by every dashboard many times a second: written straight into its text.
    JsonText out;
    out.BeginArray();
    if (!shown.empty()) {
        CCommCenter* cc = CCommCenter::Instance();
        const SystemParameters& p = Params();
        const bool lost = cc->LineLost(c);
        for (const Shown& row : shown) {
            const int n = row.node;
            const bool hidden = p.machineVisible[c][n] == 1;
            if (hidden && !withHidden)
                continue; // hidden in the machine table: no row
            NodeRecord& node = cc->nodes[c][n];
            const NodeSnapshot s = TakeNodeSnapshot(node, lost);
            const auto figure = [&](const char* key, int32_t value) {
                out.Key(key);
                if (value < 0)
                    out.Null();
                else
                    out.Number(value);
            };
            out.BeginObject();
            out.Key("node").String(row.label);
            out.Key("machine").String(p.machineName[c][n]);
            out.Key("status").String(row.status);
            out.Key("tasks").Number(s.pendingTaskCount);
            out.Key("currentTask").Number(s.currentTaskNo);
            out.Key("rate").String(RateText(s.currentTaskNo < 1 ? 0 : s.progress));
            figure("fileCount", s.fileCount);
            figure("freeBytes", s.freeBytes);
            // Beyond what the list shows, for scripts and talvorn-cli: the record's own code,
            // the figures under the texts and the numbers of the tasks noted on the node.
            out.Key("statusCode").Number(s.status);
            out.Key("progress").Number(s.progress);
            out.Key("missing").Number(s.missingCount);
            out.Key("replied").Bool(node.replied.load() != 0);
            out.Key("totalBytes").Number(node.totalBytes.load());
            out.Key("taskNumbers").BeginArray();
            if (s.pendingTaskCount != 0) // none noted now: none of the last tick's is left
                for (int32_t t : row.tasks)
                    out.Number(t);
            out.EndArray();
            if (hidden)
                out.Key("hidden").Bool(true);
            out.EndObject();
        }
    } // a closed channel's list is empty
    out.EndArray();
    HttpResponse r;
    r.body = out.Take();
    return r;
}

HttpResponse ApiService::NodeFiles(int c, const std::string& label) {
    CCommCenter* cc = CCommCenter::Instance();
    if (CCommCenter::NodeTable(c) == nullptr)
        return ErrorResponse(503, ChannelName(c) + " is not open");
    int n = 0;
    std::string error;
    if (!NodeIndexOfNumber(label, Params().comOne[c], cc->channels[c].nodeCount.load(), &n, &error))
        return ErrorResponse(400, error);
    Json out = Json::array();
    for (const NodeRecord::ListedFile& f : cc->nodes[c][n].ListedFiles())
        out.push_back(
            {{"name", ShownNodeFileName(f.name)}, {"size", f.length}, {"field", FieldHex(f.name)}});
    return JsonResponse(200, out);
}

HttpResponse ApiService::Events(const HttpRequest& request) {
    SoftNoteQuery q;
    q.event = EV_ALL_EVENTS;
    q.node = -1;
    q.day = SoftNoteToday();
    for (const auto& [key, value] : request.query) {
        if (key == "day") {
            std::string date;
            if (!ParseDay(value, &date))
                return ErrorResponse(400, "day: expected YYYY-MM-DD, not '" + value + "'");
            q.day = SoftNoteDay{date, 0, date};
        } else if (key == "channel") {
            if (value != "1" && value != "2")
                return ErrorResponse(400, "channel: expected 1 or 2, not '" + value + "'");
            q.channel = value[0] - '1';
        } else if (key == "user") {
            q.user = value;
        } else if (key == "event") {
            if (value.size() != 1 || value[0] < '0' || value[0] > '3')
                return ErrorResponse(400, "event: expected 0 (Delete File), 1 (Clear File), 2 "
                                          "(Send File) or 3 (all), not '" +
                                              value + "'");
            q.event = value[0] - '0';
        }
    }
    // The node filter is a node number of the chosen channel, so it is read last.
    for (const auto& [key, value] : request.query) {
        if (key != "node")
            continue;
        std::string error;
        if (!NodeIndexOfNumber(value, Params().comOne[q.channel], kMaxNodes, &q.node, &error))
            return ErrorResponse(400, error);
    }
    const SoftNoteResult result = RunSoftNoteQuery(q);
    Json out = Json::array();
    for (size_t i = 0; i < result.records.size(); ++i) {
        const EventRecord& rec = result.records[i];
        Json files = Json::array();
        for (const EventFileEntry& f : SoftNoteRecordFiles(result, static_cast<int>(i))) {
            Json file = {{"name", f.name}, {"path", f.path}};
            if (f.node >= 0)
                file["node"] = NodeLabel(q.channel, f.node);
            files.push_back(std::move(file));
        }
        out.push_back({{"user", rec.user},
                       {"time", rec.time},
                       {"event", EventTypeText(rec.event)},
                       {"eventType", rec.event},
                       {"files", std::move(files)}});
    }
    return JsonResponse(200, out);
}

HttpResponse ApiService::Command(int resource, int c, const ApiUser& user,
                                 const std::string& body) {
    const Resource what = static_cast<Resource>(resource);
    std::string error;
    NodesBody nodesBody;
    SendBody sendBody;
    DeleteBody deleteBody;
    CancelBody cancelBody;
    std::vector<std::string> labels;
    bool decoded = false;
    switch (what) {
    case Resource::Query:
    case Resource::Clear:
        decoded = DecodeNodesBody(body, &nodesBody, &error);
        labels = nodesBody.nodes;
        break;
    case Resource::Send:
        decoded = DecodeSendBody(body, &sendBody, &error);
        labels = sendBody.nodes;
        break;
    case Resource::Delete:
        decoded = DecodeDeleteBody(body, &deleteBody, &error);
        labels = {deleteBody.node};
        break;
    case Resource::Cancel:
        decoded = DecodeCancelBody(body, &cancelBody, &error);
        labels = cancelBody.nodes;
        break;
    default:
        return ErrorResponse(404, "no such resource");
    }
    if (!decoded)
        return ErrorResponse(400, error);

    CCommCenter* cc = CCommCenter::Instance();
    if (CCommCenter::NodeTable(c) == nullptr)
        return ErrorResponse(503, ChannelName(c) + " is not open");
    // Cancel stays possible while the line is lost: its nodes show the cancel, as in the window.
    if (what != Resource::Cancel && cc->LineLost(c))
        return ErrorResponse(503, "the line of " + ChannelName(c) + " is lost");
    const int count = cc->channels[c].nodeCount.load();
    CTransTask request;
    std::vector<int> nodes;
    HttpResponse refusal;
    if (!NodeIndexes(c, count, labels, request.nodeMask, &nodes, &refusal))
        return refusal;

    std::string reason;
    switch (what) {
    case Resource::Query: {
        if (CreateQueryTask(c, request) != 1)
            return ErrorResponse(503, ChannelName(c) + " took no task");
        NoteQueued(c, nodes, request.taskNo);
        return JsonResponse(202, {{"nodes", Labels(c, nodes)}, {"task", request.taskNo}});
    }
    case Resource::Clear: {
        const HandOver h = LogAndQueue(LoggedCommand::Clear, c, request, user.name, &reason);
        if (h != HandOver::Queued)
            return HandOverRefusal(h, reason, c);
        NoteQueued(c, nodes, request.taskNo);
        return JsonResponse(202, {{"nodes", Labels(c, nodes)}, {"task", request.taskNo}});
    }
    case Resource::Send: {
        // The rules of the windows and talvorn-cli: every file must go, or nothing is sent.
        SendCollection collected = CollectSendPaths(sendBody.files);
        if (!collected.problems.empty()) {
            Json files = Json::object();
            for (const FileProblem& problem : collected.problems)
                files[problem.path] = FileProblemText(problem);
            return JsonResponse(422, {{"error", "some files cannot be sent; nothing was queued"},
                                      {"files", std::move(files)}});
        }
        request.files = collected.Paths();
        const std::vector<AssignedName> assigned = AssignNodeNames(request.files);
        Json names = Json::object();
        for (size_t i = 0; i < assigned.size() && i < request.files.size(); ++i)
            names[request.files[i]] = ShownNodeFileName(assigned[i].field);
        const HandOver h = LogAndQueue(LoggedCommand::Send, c, request, user.name, &reason);
        if (h != HandOver::Queued)
            return HandOverRefusal(h, reason, c);
        NoteQueued(c, nodes, request.taskNo);
        return JsonResponse(
            202,
            {{"nodes", Labels(c, nodes)}, {"names", std::move(names)}, {"task", request.taskNo}});
    }
    case Resource::Delete: {
        const int n = nodes.front();
        std::vector<std::string> missing, ambiguous;
        request.files =
            ResolveNodeNames(cc->nodes[c][n].ListedFiles(), deleteBody.names, &missing, &ambiguous);
        if (!missing.empty() || !ambiguous.empty()) {
            // The command line's words for a name that names no file, or more than one.
            const std::string label = NodeLabel(c, n);
            Json names = Json::object();
            for (const std::string& name : missing)
                names[name] = "no such file on node " + label;
            for (const std::string& name : ambiguous)
                names[name] = "more than one file on node " + label +
                              " goes by this name; name it as `list` prints it";
            return JsonResponse(422, {{"error", "a name names no file, or more than one, on node " +
                                                    label + "; nothing was queued"},
                                      {"names", std::move(names)}});
        }
        const HandOver h = LogAndQueue(LoggedCommand::Delete, c, request, user.name, &reason);
        if (h != HandOver::Queued)
            return HandOverRefusal(h, reason, c);
        NoteQueued(c, nodes, request.taskNo);
        Json shown = Json::array();
        for (const std::string& field : request.files)
            shown.push_back(ShownNodeFileName(reinterpret_cast<const uint8_t*>(field.data())));
        return JsonResponse(
            202,
            {{"node", NodeLabel(c, n)}, {"names", std::move(shown)}, {"task", request.taskNo}});
    }
    case Resource::Cancel: {
        // The Cancel Task dialog for these nodes, with the rows of the asked tasks ticked (every
        // row when none is named).
        std::vector<int32_t> numbers;
        for (const CancelEntry& e : CollectCancelList(*cc, c, request)) {
            if (cancelBody.tasks.empty() ||
                std::find(cancelBody.tasks.begin(), cancelBody.tasks.end(), e.taskNo) !=
                    cancelBody.tasks.end())
                numbers.push_back(e.taskNo);
        }
        std::vector<int> withTasks;
        for (int n : nodes) {
            if (request.nodeMask[n] == 1)
                withTasks.push_back(n);
        }
        if (!numbers.empty())
            CancelTaskNumbers(*cc, c, request.nodeMask, numbers);
        return JsonResponse(200, {{"nodes", Labels(c, withTasks)}, {"tasks", numbers}});
    }
    default:
        break;
    }
    return ErrorResponse(404, "no such resource");
}

} // namespace api
