// Fuzzes what the HTTP API reads from a request: the path's route, the JSON bodies of the
// commands, the Authorization header, the day of the event log, a Listen address, and the whole
// service's answer to a request without a centre behind it (users come from the authenticator's
// seam, so no password is hashed). All of it takes bytes from anyone who can reach the port.
//
// Input: a method byte (mod 6: GET, POST, HEAD, PUT, DELETE, PATCH), a header byte (bit 0: an
// Authorization header; bit 1: its credentials are the administrator's, else taken from the
// input; bits 2-4: which reader also takes the body on its own: the nodes, send, delete or cancel
// body, base64, an Authorization header, a day, a Listen address), a path length byte (mod 128)
// and the path; the rest is the body. One reader per input keeps the JSON parses (and their
// allocations, which cost the sanitizers most of an input's time) to what the input needs.
//
// Invariants: nothing throws or reads out of bounds; a route's channel is that of its path and
// its status for its own method is 0; decoded node lists are not empty and a send's files are
// absolute paths; base64 encoding and decoding round-trip; a parsed Authorization header parses
// again, re-encoded, to the same credentials; a parsed day is "YYYY/MM/DD"; a parsed Listen has a
// port of 0 to 65535; the service answers every request with a known status and, for JSON, with
// a body that is JSON.
#include "FuzzSupport.h"

#include "api/ApiAuth.h"
#include "api/ApiRequest.h"
#include "api/ApiService.h"
#include "api/ApiSettings.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace {

using namespace api;

Authenticator& Auth() {
    static Authenticator* auth = [] {
        auto* a = new Authenticator;
        a->checkUser = [](std::string_view name, std::string_view password, uint8_t* isAdmin,
                          uint16_t* rights) {
            if (name != "admin" || password != "pw")
                return -1;
            *isAdmin = 1;
            *rights = 0;
            return 1;
        };
        a->wait = [](Authenticator::Clock::duration) {}; // a slowed address costs no time here
        a->tableStamp = [] { return std::string("fixed"); };
        return a;
    }();
    return *auth;
}

void Decoders(int which, std::string_view text) {
    std::string error;
    switch (which) {
    case 0: {
        NodesBody nodes;
        if (DecodeNodesBody(text, &nodes, &error))
            FUZZ_CHECK(!nodes.nodes.empty(), "an empty node list decoded");
        break;
    }
    case 1: {
        SendBody send;
        if (DecodeSendBody(text, &send, &error)) {
            FUZZ_CHECK(!send.nodes.empty() && !send.files.empty(), "an empty send decoded");
            for (const std::string& f : send.files)
                FUZZ_CHECK(!f.empty() && f.front() == '/', "a relative path: %s", f.c_str());
        }
        break;
    }
    case 2: {
        DeleteBody del;
        if (DecodeDeleteBody(text, &del, &error))
            FUZZ_CHECK(!del.node.empty() && !del.names.empty(), "an empty delete decoded");
        break;
    }
    case 3: {
        CancelBody cancel;
        if (DecodeCancelBody(text, &cancel, &error))
            for (int32_t t : cancel.tasks)
                FUZZ_CHECK(t >= 1, "task number %d decoded", t);
        break;
    }
    case 4: {
        std::string bytes, again;
        if (DecodeBase64(text, &bytes))
            FUZZ_CHECK(DecodeBase64(EncodeBase64(bytes), &again) && again == bytes,
                       "base64 does not round-trip");
        break;
    }
    case 5: {
        std::string user, password, u2, p2;
        if (ParseBasicAuthorization(text, &user, &password)) {
            FUZZ_CHECK(user.find(':') == std::string::npos, "a user name with a colon");
            FUZZ_CHECK(
                ParseBasicAuthorization("Basic " + EncodeBase64(user + ":" + password), &u2, &p2) &&
                    u2 == user && p2 == password,
                "credentials do not round-trip");
        }
        break;
    }
    case 6: {
        std::string date;
        if (ParseDay(text, &date))
            FUZZ_CHECK(date.size() == 10 && date[4] == '/' && date[7] == '/', "day %s",
                       date.c_str());
        break;
    }
    default: {
        std::string host;
        int port = -1;
        if (ParseListen(std::string(text), &host, &port, &error))
            FUZZ_CHECK(!host.empty() && port >= 0 && port <= 65535, "listen port %d", port);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "DELETE", "PATCH"};
    static ApiService service(Auth());
    FuzzInput in(data, size);
    HttpRequest request;
    request.method = kMethods[in.u8() % 6];
    const uint8_t header = in.u8();
    std::string path(in.u8() % 128, '\0');
    in.take(reinterpret_cast<uint8_t*>(path.data()), path.size());
    const std::string_view rest(reinterpret_cast<const char*>(data) + (size - in.remaining()),
                                in.remaining());

    const Route route = MatchRoute(path);
    if (route.resource != Resource::None) {
        FUZZ_CHECK(RouteStatus(route, route.method) == 0, "route refuses its own method");
        FUZZ_CHECK(route.channel >= -1 && route.channel <= 1, "channel %d", route.channel);
    }
    Decoders(header >> 2 & 7, rest);

    request.path = path;
    request.body = std::string(rest);
    request.address = "192.0.2.1";
    if (header & 1)
        request.authorization =
            header & 2 ? "Basic " + EncodeBase64("admin:pw") : "Basic " + std::string(rest);
    const HttpResponse response = service.Handle(request);
    switch (response.status) {
    case 200:
    case 202:
    case 400:
    case 401:
    case 403:
    case 404:
    case 405:
    case 409:
    case 422:
    case 503:
        break;
    default:
        FUZZ_CHECK(false, "status %d", response.status);
    }
    if (response.contentType == "application/json")
        FUZZ_CHECK(!nlohmann::json::parse(response.body, nullptr, false).is_discarded(),
                   "a JSON answer that is no JSON: %s", response.body.c_str());
    return 0;
}
