// The HTTP server of a station: cpp-httplib on threads of its own, carrying every request to
// ApiService. Started by whatever owns the centre (the windowed station, talvorn-stationd) when
// Para.ini has [API] Listen, and stopped before the centre goes.
#pragma once

#include "api/ApiAuth.h"
#include "api/ApiService.h"
#include "api/ApiSettings.h"

#include "platform/Sync.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace api {

// Threads that answer requests. A connection that stays open holds one while it waits for its
// next request, at most kKeepAliveSeconds.
constexpr int kServerThreads = 64;
constexpr int kKeepAliveSeconds = 2;
constexpr int kReadTimeoutSeconds = 10;
// The node rows' timer, as the window's status timer.
constexpr int kRowTickMs = 100;

class ApiServer {
public:
    ApiServer();
    ~ApiServer();
    ApiServer(const ApiServer&) = delete;
    ApiServer& operator=(const ApiServer&) = delete;

    // Listens on the address the settings give (ListenAddress) and serves until Stop. False with
    // a message when the settings refuse the address or it cannot be bound.
    bool Start(const ApiSettings& settings, std::string* error);
    // Stops taking connections and waits for the requests under way. Nothing after a Stop reads
    // the station.
    void Stop();

    bool Running() const { return thread_.joinable(); }
    int Port() const { return port_; } // the port bound (the chosen one for a Listen port of 0)
    const std::string& Host() const { return host_; }
    std::string Url() const { return StationUrl(host_, port_); }

private:
    Authenticator auth_;
    ApiService service_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::thread ticker_;
    StopSignal stopTicking_;
    std::string host_;
    int port_ = 0;
};

} // namespace api
