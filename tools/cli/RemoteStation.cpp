#include "RemoteStation.h"

#include "api/ApiSettings.h"
#include "store/NodeNumbers.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <thread>

namespace cli {

namespace {

using Json = nlohmann::json;

constexpr time_t kConnectSeconds = 5;
constexpr time_t kAnswerSeconds = 30;

Json Parse(const std::string& body) {
    return Json::parse(body, nullptr, false);
}

int Int(const Json& j, const char* member, int fallback) {
    const auto it = j.find(member);
    return it != j.end() && it->is_number_integer() ? it->get<int>() : fallback;
}

int64_t Int64(const Json& j, const char* member) {
    const auto it = j.find(member);
    return it != j.end() && it->is_number_integer() ? it->get<int64_t>() : 0;
}

bool Bool(const Json& j, const char* member) {
    const auto it = j.find(member);
    return it != j.end() && it->is_boolean() && it->get<bool>();
}

std::string Text(const Json& j, const char* member) {
    const auto it = j.find(member);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return -1;
}

} // namespace

RemoteStation::RemoteStation(const std::string& url, const std::string& user,
                             const std::string& password, int channel)
    : url_(url), user_(user), c_(channel) {
    std::string base = url;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    client_ = std::make_unique<httplib::Client>(base);
    client_->set_basic_auth(user, password);
    client_->set_connection_timeout(kConnectSeconds, 0);
    client_->set_read_timeout(kAnswerSeconds, 0);
    client_->set_write_timeout(kAnswerSeconds, 0);
    client_->set_keep_alive(true);
    client_->set_tcp_nodelay(true);
}

RemoteStation::~RemoteStation() = default;

template <typename Exchange> RemoteStation::Reply RemoteStation::Ask(Exchange exchange) {
    Reply r;
    if (!client_->is_valid()) {
        r.error = "not a station's URL (expected http://HOST:PORT)";
        return r;
    }
    auto res = exchange(*client_);
    if (!res) {
        r.error = httplib::to_string(res.error());
        return r;
    }
    r.status = res->status;
    r.body = res->body;
    return r;
}

RemoteStation::Reply RemoteStation::Get(const std::string& path) {
    return Ask([&](httplib::Client& c) { return c.Get(path); });
}

RemoteStation::Reply RemoteStation::Post(const std::string& path, const std::string& body) {
    return Ask([&](httplib::Client& c) { return c.Post(path, body, "application/json"); });
}

std::string RemoteStation::Refusal(const Reply& reply) const {
    if (reply.status == 0)
        return "cannot reach the station at " + url_ + ": " + reply.error;
    if (reply.status == 401)
        return "the station at " + url_ + " refused user " + user_ +
               ": wrong user name or password (TALVORN_USER, TALVORN_PASSWORD)";
    const Json j = Parse(reply.body);
    const std::string message = j.is_object() ? Text(j, "error") : std::string();
    return "the station at " + url_ + " answered " + std::to_string(reply.status) +
           (message.empty() ? std::string() : ": " + message);
}

std::string RemoteStation::ChannelPath() const {
    return "/api/v1/channels/" + std::to_string(c_ + 1);
}

std::string RemoteStation::Label(int node) const {
    return NodeLabelText(first_, node);
}

bool RemoteStation::ReadChannel(std::string* error) {
    const Reply r = Get("/api/v1/channels");
    const Json j = r.status == 200 ? Parse(r.body) : Json();
    if (!j.is_array()) {
        *error = r.status == 200 ? "the station at " + url_ + " answered what is no channel list"
                                 : Refusal(r);
        return false;
    }
    for (const Json& ch : j) {
        if (!ch.is_object() || Int(ch, "channel", 0) != c_ + 1)
            continue;
        open_ = Bool(ch, "open");
        first_ = Int(ch, "firstNumber", 0);
        count_ = Int(ch, "nodes", 0);
        lineLost_ = Bool(ch, "lineLost");
        command_ = Text(ch, "command");
        freshPackages_ = Int64(ch, "freshPackages");
        taskActive_ = Bool(ch, "taskActive");
        queued_ = Int64(ch, "queued");
        return true;
    }
    *error = "the station at " + url_ + " has no channel " + std::to_string(c_ + 1);
    return false;
}

bool RemoteStation::Connect(std::string* error, int* exitStatus) {
    *exitStatus = kExitUsage;
    return ReadChannel(error);
}

QueueResult RemoteStation::Queue(Command kind, const std::vector<int>& nodes,
                                 const std::vector<std::string>& files) {
    Json labels = Json::array();
    for (int n : nodes)
        labels.push_back(Label(n));
    Json body;
    std::string path = ChannelPath();
    switch (kind) {
    case Command::Send:
        body = {{"nodes", labels}, {"files", files}};
        path += "/send";
        break;
    case Command::Delete: {
        Json names = Json::array();
        // As `list` prints them: each names one entry, also where two entries show alike.
        for (const std::string& field : files)
            names.push_back(PrintedNodeName(reinterpret_cast<const uint8_t*>(field.data())));
        body = {{"node", labels.empty() ? Json("") : labels.front()}, {"names", names}};
        path += "/delete";
        break;
    }
    case Command::Clear:
        body = {{"nodes", labels}};
        path += "/clear";
        break;
    default:
        body = {{"nodes", labels}};
        path += "/query";
        break;
    }
    const Reply r = Post(path, body.dump(-1, ' ', false, Json::error_handler_t::replace));
    QueueResult out;
    if (r.status == 202) {
        const Json j = Parse(r.body);
        task_ = j.is_object() ? Int(j, "task", 0) : 0;
        out.kind = task_ > 0 ? QueueResult::Queued : QueueResult::NotQueued;
        return out;
    }
    out.kind = QueueResult::Refused;
    out.message = Refusal(r);
    if (r.status == 422) {
        // The files or names that cannot go, one a line, as the station says.
        const Json j = Parse(r.body);
        for (const char* member : {"files", "names"}) {
            if (j.is_object() && j.contains(member) && j[member].is_object())
                for (const auto& [name, why] : j[member].items())
                    out.message += "\n" + name + ": " +
                                   (why.is_string() ? why.get<std::string>() : std::string());
        }
    }
    // Refused for the event log (409) or a lost line (503): the command was right, the station
    // could not run it. Anything else is the caller's to fix.
    out.exitStatus = r.status == 409 || r.status == 503 ? kExitFailed : kExitUsage;
    return out;
}

bool RemoteStation::Poll(std::string* error) {
    listed_.clear();
    if (!ReadChannel(error))
        return false;
    const Reply r = Get(ChannelPath() + "/nodes?hidden=1");
    const Json j = r.status == 200 ? Parse(r.body) : Json();
    if (!j.is_array()) {
        *error = r.status == 200 ? "the station at " + url_ + " answered what is no node list"
                                 : Refusal(r);
        return false;
    }
    for (const Json& n : j) {
        if (!n.is_object())
            continue;
        long number = 0;
        if (!ParseNodeNumber(Text(n, "node"), &number))
            continue;
        const int index = static_cast<int>(number) - first_;
        if (index < 0 || index >= kMaxNodes)
            continue;
        Node node;
        NodeSnapshot& s = node.reading.snapshot;
        s.status = Int(n, "statusCode", -1);
        s.fileCount = Int(n, "fileCount", kUnknownFigure);
        s.freeBytes = Int(n, "freeBytes", kUnknownFigure);
        s.progress = Int(n, "progress", 0);
        s.pendingTaskCount = Int(n, "tasks", 0);
        s.currentTaskNo = Int(n, "currentTask", 0);
        s.missingCount = Int(n, "missing", 0);
        s.lineLost = lineLost_;
        node.reading.replied = Bool(n, "replied");
        node.reading.totalBytes = static_cast<uint32_t>(Int64(n, "totalBytes"));
        if (const auto t = n.find("taskNumbers"); t != n.end() && t->is_array())
            for (const Json& number : *t)
                if (number.is_number_integer())
                    node.tasks.push_back(number.get<int32_t>());
        nodes_[index] = std::move(node);
    }
    return true;
}

NodeReading RemoteStation::Reading(int node) {
    const auto it = nodes_.find(node);
    return it != nodes_.end() ? it->second.reading : NodeReading{};
}

std::vector<ListedFile> RemoteStation::Listed(int node) {
    if (const auto it = listed_.find(node); it != listed_.end())
        return it->second;
    std::vector<ListedFile> files;
    const Reply r = Get(ChannelPath() + "/nodes/" + Label(node) + "/files");
    const Json j = r.status == 200 ? Parse(r.body) : Json();
    if (j.is_array()) {
        for (const Json& f : j) {
            const std::string hex = f.is_object() ? Text(f, "field") : std::string();
            if (hex.size() != 2 * kNameFieldSize)
                continue;
            ListedFile entry{};
            bool good = true;
            for (size_t i = 0; i < kNameFieldSize && good; ++i) {
                const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
                good = hi >= 0 && lo >= 0;
                entry.name[i] = static_cast<uint8_t>(hi * 16 + lo);
            }
            entry.length = static_cast<uint32_t>(Int64(f, "size"));
            if (good)
                files.push_back(entry);
        }
    }
    listed_[node] = files;
    return files;
}

bool RemoteStation::Busy() {
    for (const auto& [index, node] : nodes_) {
        if (std::find(node.tasks.begin(), node.tasks.end(), task_) != node.tasks.end())
            return true;
    }
    return false;
}

bool RemoteStation::LineMoved() {
    // As on a port: reading a send's files, packages going out for the first time, or a task
    // waiting for its turn.
    const bool moved = (!taskActive_ && queued_ > 0) || command_ == "preparing" ||
                       freshPackages_ != lastFreshPackages_;
    lastFreshPackages_ = freshPackages_;
    return moved;
}

void RemoteStation::SettleLostLine() {
    // The station ends the command under way at once and takes its answers up in its next
    // scheduler cycles: wait for the channel to be idle, then for two cycles.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::string ignored;
    while (std::chrono::steady_clock::now() < until) {
        if (ReadChannel(&ignored) && (command_ == "idle" || command_.empty())) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void RemoteStation::Cancel(const std::vector<int>& nodes) {
    Json labels = Json::array();
    for (int n : nodes)
        labels.push_back(Label(n));
    // Only the run's own task: other work on the line belongs to others.
    const Json body = {{"nodes", labels}, {"tasks", Json::array({task_})}};
    (void)Post(ChannelPath() + "/cancel", body.dump());
}

std::unique_ptr<StationLink> ReachStation(const std::string& url, const std::string& user,
                                          const std::string& password, int channel,
                                          std::string* error, int* exitStatus) {
    auto station = std::make_unique<RemoteStation>(url, user, password, channel);
    if (!station->Connect(error, exitStatus))
        return nullptr;
    return station;
}

bool CanReachStations() {
    return true;
}

std::string PortHolderHint() {
    std::string host, error;
    int apiPort = 0;
    const ApiSettings api = LoadApiSettings();
    if (api.listen.empty() || !ParseListen(api.listen, &host, &apiPort, &error))
        return "";
    return "; a station serving this working folder has it: use --station " +
           StationUrl(host, apiPort);
}

} // namespace cli
