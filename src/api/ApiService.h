// The HTTP API's decisions, without sockets: one request in, one response out. It parses, checks
// the user and the right, calls the rules the windows and talvorn-cli use (src/station: node
// numbers, file checks, log before queue, cancel) and puts their outcomes into JSON and status
// codes. The server (ApiServer) only carries requests here and answers back.
//
// Called on the server's threads: it reads the station under StationStateGate() (shared) and
// never calls into a window.
#pragma once

#include "api/ApiAuth.h"
#include "link/CommCenter.h"
#include "station/NodeRows.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace api {

struct HttpRequest {
    std::string method;
    std::string path;                                       // without the query
    std::vector<std::pair<std::string, std::string>> query; // decoded, in order
    std::string body;
    std::string authorization; // the Authorization header, "" without one
    std::string address;       // the peer's address
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// {"error": message} with the status.
HttpResponse ErrorResponse(int status, const std::string& message);

class ApiService {
public:
    explicit ApiService(Authenticator& auth);
    HttpResponse Handle(const HttpRequest& request);
    // One tick of the node list's rows, as the window's status timer makes them every 100 ms: a
    // task that comes and goes between two reads of the nodes still leaves its text (a cancel
    // before the task began shows "User Has Cancelled Task"). The server calls it on its timer.
    void Tick();

private:
    HttpResponse Channels();
    HttpResponse Nodes(int channel, bool withHidden);
    HttpResponse NodeFiles(int channel, const std::string& node);
    HttpResponse Events(const HttpRequest& request);
    HttpResponse Command(int resource, int channel, const ApiUser& user, const std::string& body);
    // Brings the channel's rows up to date (filled afresh for a new centre); under the cache's
    // lock and StationStateGate(). False for a closed channel. `withLocks`: also the figures that
    // the line's threads guard with locks (the timer's ticks only).
    bool TickRows(int channel, bool withLocks);
    // A task just queued by a request: its number goes on the nodes' cached notes at once.
    void NoteQueued(int channel, const std::vector<int>& nodes, int32_t taskNo);

    Authenticator& auth_;
    // The node list's rows as the window keeps them, one cache per channel, ticked by the timer
    // and by each read of the nodes, so that "status" shows the texts the list shows (the last
    // one while a step has none of its own).
    //
    // What the line's threads guard with locks (each node's task notes, its reply timer, the task
    // queues) is read by the timer alone, ten times a second: a request never takes one of those
    // locks, so a serving thread that loses the processor can never hold up the line. Those
    // figures are at most one tick old; a task a request queues is noted at once.
    struct RowCache {
        std::mutex mutex;
        uint64_t generation = 0;
        bool filled = false;
        std::vector<NodeRow> rows;
        std::vector<std::vector<int32_t>> taskNumbers; // per node: the tasks noted on it
        std::vector<double> delaySeconds;              // per node: -1 while not timed
        int64_t queued = 0;                            // tasks waiting, deferred copies included
    };
    RowCache rows_[kChannels];
};

} // namespace api
