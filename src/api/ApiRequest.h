// What the HTTP API reads from a request, as plain functions over text: which resource a path
// names, the JSON bodies of the commands, HTTP Basic credentials, and a day of the event log.
// Nothing here touches the station; the fuzz target feeds these arbitrary bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace api {

// Bodies larger than this are refused with 413 before they are read.
constexpr size_t kMaxBodyBytes = 64 * 1024;

enum class Resource {
    None,      // no such path: 404
    Channels,  // GET  /api/v1/channels
    Nodes,     // GET  /api/v1/channels/{c}/nodes
    NodeFiles, // GET  /api/v1/channels/{c}/nodes/{node}/files
    Send,      // POST /api/v1/channels/{c}/send
    Query,     // POST /api/v1/channels/{c}/query
    Clear,     // POST /api/v1/channels/{c}/clear
    Delete,    // POST /api/v1/channels/{c}/delete
    Cancel,    // POST /api/v1/channels/{c}/cancel
    Events,    // GET  /api/v1/events
    Metrics,   // GET  /metrics
};

struct Route {
    Resource resource = Resource::None;
    int channel = -1;        // 0 or 1 for the channel's resources
    std::string node;        // NodeFiles: the node number as it stands in the path
    const char* method = ""; // the one method the resource takes ("GET" or "POST")
};

// The resource of a path (without its query). A channel other than 1 or 2 names none.
Route MatchRoute(std::string_view path);

// The status a request of `method` for `route` gets before anything else is looked at: 0 to go
// on, 404 for no resource, 405 for a method the resource does not take (HEAD goes with GET).
int RouteStatus(const Route& route, std::string_view method);

// The command bodies. Node numbers stay as written ("000", "7"); the channel's numbering checks
// them later. Unknown members are ignored.
struct NodesBody { // query, clear
    std::vector<std::string> nodes;
};
struct SendBody {
    std::vector<std::string> nodes;
    std::vector<std::string> files; // absolute paths on the station's host
};
struct DeleteBody {
    std::string node;
    std::vector<std::string> names; // node file names, as the node list shows them
};
struct CancelBody {
    std::vector<std::string> nodes;
    std::vector<int32_t> tasks; // empty: every task of those nodes
};

// Each decodes a JSON object; false with a message ("nodes: expected an array of node numbers")
// for bad JSON, a missing or mistyped member, or an empty list.
bool DecodeNodesBody(std::string_view body, NodesBody* out, std::string* error);
bool DecodeSendBody(std::string_view body, SendBody* out, std::string* error);
bool DecodeDeleteBody(std::string_view body, DeleteBody* out, std::string* error);
bool DecodeCancelBody(std::string_view body, CancelBody* out, std::string* error);

// Standard base64 (padding required); false for anything else.
bool DecodeBase64(std::string_view text, std::string* out);
std::string EncodeBase64(std::string_view bytes);

// The user name and password of an "Authorization: Basic ..." header (scheme in any case); false
// when the header is of another kind or malformed.
bool ParseBasicAuthorization(std::string_view header, std::string* user, std::string* password);

// "YYYY-MM-DD" to the event log's date form "YYYY/MM/DD"; false for anything else.
bool ParseDay(std::string_view text, std::string* logDate);

} // namespace api
