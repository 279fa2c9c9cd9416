#include "api/ApiServer.h"

#include "api/ApiRequest.h"
#include "platform/Network.h"
#include "platform/ThreadPriority.h"

#include <httplib.h>

#include <cerrno>
#include <cstring>

namespace api {

namespace {

// The library's pool, with its threads run only when the station's own leave a processor free:
// requests wait a little under load, the line does not. Below the line's threads by nice alone,
// fifty clients as fast as they are answered still slowed a send by a fifth on two cores (the
// sockets' own work counts to the serving threads too). A request holds the line's locks only in
// a command's few steps (queueing, noting), never while it reads: what it reads is the timer's.
class ServingPool : public httplib::TaskQueue {
public:
    explicit ServingPool(size_t threads) : pool_(threads) {}
    void enqueue(std::function<void()> fn) override {
        pool_.enqueue([fn = std::move(fn)] {
            thread_local bool lowered = false;
            if (!lowered) {
                IdleCurrentThreadPriority();
                lowered = true;
            }
            fn();
        });
    }
    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
};

HttpRequest FromHttplib(const httplib::Request& req) {
    HttpRequest r;
    r.method = req.method;
    r.path = req.path;
    for (const auto& [key, value] : req.params)
        r.query.emplace_back(key, value);
    r.body = req.body;
    r.authorization = req.get_header_value("Authorization");
    r.address = req.remote_addr;
    return r;
}

void Answer(const HttpResponse& out, httplib::Response& res) {
    res.status = out.status;
    for (const auto& [name, value] : out.headers)
        res.set_header(name, value);
    res.set_content(out.body, out.contentType);
}

} // namespace

ApiServer::ApiServer() : service_(auth_) {}

ApiServer::~ApiServer() {
    Stop();
}

bool ApiServer::Start(const ApiSettings& settings, std::string* error) {
    Stop();
    std::string host;
    int port = 0;
    if (!ListenAddress(settings, &host, &port, error))
        return false;
    auto server = std::make_unique<httplib::Server>();
    server->new_task_queue = [] { return new ServingPool(kServerThreads); };
    std::intptr_t listening = -1;
    server->set_socket_options([&listening](socket_t sock) {
        AllowAddressReuse(static_cast<std::intptr_t>(sock));
        listening = static_cast<std::intptr_t>(sock);
    });
    server->set_payload_max_length(kMaxBodyBytes);
    // An answer goes out in two writes (head, body): without this a kept connection waits for
    // the client's delayed acknowledgement between them.
    server->set_tcp_nodelay(true);
    server->set_keep_alive_timeout(kKeepAliveSeconds);
    server->set_read_timeout(kReadTimeoutSeconds, 0);
    server->set_write_timeout(kReadTimeoutSeconds, 0);
    const auto handle = [this](const httplib::Request& req, httplib::Response& res) {
        Answer(service_.Handle(FromHttplib(req)), res);
    };
    // Every path and method comes to the service, which tells 404 from 405 itself.
    server->Get(".*", handle);
    server->Post(".*", handle);
    server->Put(".*", handle);
    server->Patch(".*", handle);
    server->Delete(".*", handle);
    server->Options(".*", handle);
    // What the library answers on its own (a body over the limit, a request it cannot read)
    // still gets a JSON body.
    server->set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            const std::string message =
                res.status == 413
                    ? "the request body is over " + std::to_string(kMaxBodyBytes / 1024) + " KiB"
                    : "the request could not be read (status " + std::to_string(res.status) + ")";
            Answer(ErrorResponse(res.status, message), res);
            return httplib::Server::HandlerResponse::Handled;
        }));
    const int bound = port == 0                          ? server->bind_to_any_port(host)
                      : server->bind_to_port(host, port) ? port
                                                         : -1;
    if (bound <= 0) {
        *error = "cannot listen on " + settings.listen + ": " + std::strerror(errno);
        return false;
    }
    // The library listens with a backlog of 5: a burst of clients connecting at once would have
    // their connections dropped and tried again a second later. Listening again raises it.
    if (listening >= 0)
        ListenWithFullBacklog(listening);
    host_ = host;
    port_ = bound;
    server_ = std::move(server);
    thread_ = std::thread([s = server_.get()] { s->listen_after_bind(); });
    stopTicking_.Rearm();
    // The timer takes the line's locks ten times a second: below the line, but not idle, so that
    // it never sits on one of them while other work has the processors.
    ticker_ = std::thread([this] {
        LowerCurrentThreadPriority();
        while (stopTicking_.SleepFor(kRowTickMs))
            service_.Tick();
    });
    return true;
}

void ApiServer::Stop() {
    stopTicking_.RequestStop();
    if (ticker_.joinable())
        ticker_.join();
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
}

} // namespace api
