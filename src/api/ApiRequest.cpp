#include "api/ApiRequest.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cctype>

namespace api {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kChannelsPrefix = "/api/v1/channels";

bool Fail(std::string* error, std::string message) {
    *error = std::move(message);
    return false;
}

// The segments of a path rest that begins with "/": "/1/nodes" -> {"1", "nodes"}. None when it
// does not begin with "/".
std::vector<std::string_view> Segments(std::string_view rest) {
    std::vector<std::string_view> out;
    if (rest.empty() || rest.front() != '/')
        return out;
    rest.remove_prefix(1);
    for (;;) {
        const size_t slash = rest.find('/');
        out.push_back(rest.substr(0, slash));
        if (slash == std::string_view::npos)
            return out;
        rest.remove_prefix(slash + 1);
    }
}

// Parses without exceptions: a body that is no JSON gives false.
bool ParseObject(std::string_view body, Json* out, std::string* error) {
    Json j = Json::parse(body.begin(), body.end(), nullptr, false);
    if (j.is_discarded())
        return Fail(error, "the body is not JSON");
    if (!j.is_object())
        return Fail(error, "the body must be a JSON object");
    *out = std::move(j);
    return true;
}

bool Strings(const Json& object, const char* member, std::vector<std::string>* out,
             std::string* error, const char* what) {
    const auto it = object.find(member);
    const std::string expected = std::string(member) + ": expected a non-empty array of " + what;
    if (it == object.end() || !it->is_array() || it->empty())
        return Fail(error, expected);
    std::vector<std::string> values;
    for (const Json& v : *it) {
        if (!v.is_string())
            return Fail(error, expected);
        values.push_back(v.get_ref<const std::string&>());
    }
    *out = std::move(values);
    return true;
}

} // namespace

Route MatchRoute(std::string_view path) {
    Route r;
    if (path == "/metrics") {
        r.resource = Resource::Metrics;
        r.method = "GET";
        return r;
    }
    if (path == "/api/v1/events") {
        r.resource = Resource::Events;
        r.method = "GET";
        return r;
    }
    if (path.substr(0, kChannelsPrefix.size()) != kChannelsPrefix)
        return r;
    const std::vector<std::string_view> s = Segments(path.substr(kChannelsPrefix.size()));
    if (path.size() == kChannelsPrefix.size()) {
        r.resource = Resource::Channels;
        r.method = "GET";
        return r;
    }
    if (s.size() < 2 || (s[0] != "1" && s[0] != "2"))
        return r;
    const int channel = s[0][0] - '1';
    Route found;
    found.channel = channel;
    if (s.size() == 2) {
        static const std::array<std::pair<std::string_view, Resource>, 6> kPlain = {{
            {"nodes", Resource::Nodes},
            {"send", Resource::Send},
            {"query", Resource::Query},
            {"clear", Resource::Clear},
            {"delete", Resource::Delete},
            {"cancel", Resource::Cancel},
        }};
        for (const auto& [name, resource] : kPlain) {
            if (s[1] == name) {
                found.resource = resource;
                found.method = resource == Resource::Nodes ? "GET" : "POST";
                return found;
            }
        }
        return r;
    }
    if (s.size() == 4 && s[1] == "nodes" && !s[2].empty() && s[3] == "files") {
        found.resource = Resource::NodeFiles;
        found.node = std::string(s[2]);
        found.method = "GET";
        return found;
    }
    return r;
}

int RouteStatus(const Route& route, std::string_view method) {
    if (route.resource == Resource::None)
        return 404;
    if (method == route.method || (method == "HEAD" && std::string_view(route.method) == "GET"))
        return 0;
    return 405;
}

bool DecodeNodesBody(std::string_view body, NodesBody* out, std::string* error) {
    Json j;
    NodesBody b;
    if (!ParseObject(body, &j, error) || !Strings(j, "nodes", &b.nodes, error, "node numbers"))
        return false;
    *out = std::move(b);
    return true;
}

bool DecodeSendBody(std::string_view body, SendBody* out, std::string* error) {
    Json j;
    SendBody b;
    if (!ParseObject(body, &j, error) || !Strings(j, "nodes", &b.nodes, error, "node numbers") ||
        !Strings(j, "files", &b.files, error, "file paths"))
        return false;
    for (const std::string& f : b.files) {
        if (f.empty() || f.front() != '/')
            return Fail(error, "files: '" + f + "' is not an absolute path");
    }
    *out = std::move(b);
    return true;
}

bool DecodeDeleteBody(std::string_view body, DeleteBody* out, std::string* error) {
    Json j;
    DeleteBody b;
    if (!ParseObject(body, &j, error))
        return false;
    const auto node = j.find("node");
    if (node == j.end() || !node->is_string() || node->get_ref<const std::string&>().empty())
        return Fail(error, "node: expected one node number");
    b.node = node->get_ref<const std::string&>();
    if (!Strings(j, "names", &b.names, error, "file names"))
        return false;
    *out = std::move(b);
    return true;
}

bool DecodeCancelBody(std::string_view body, CancelBody* out, std::string* error) {
    Json j;
    CancelBody b;
    if (!ParseObject(body, &j, error) || !Strings(j, "nodes", &b.nodes, error, "node numbers"))
        return false;
    if (const auto tasks = j.find("tasks"); tasks != j.end()) {
        const char* expected = "tasks: expected an array of task numbers";
        if (!tasks->is_array())
            return Fail(error, expected);
        for (const Json& t : *tasks) {
            if (!t.is_number_integer() || t.get<int64_t>() < 1 || t.get<int64_t>() > INT32_MAX)
                return Fail(error, expected);
            b.tasks.push_back(static_cast<int32_t>(t.get<int64_t>()));
        }
    }
    *out = std::move(b);
    return true;
}

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

bool DecodeBase64(std::string_view text, std::string* out) {
    if (text.size() % 4 != 0)
        return false;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<size_t>(k)];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad > 0 || (v[k] = Base64Value(c)) < 0)
                return false;
        }
        const uint32_t n = static_cast<uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        bytes.push_back(static_cast<char>(n >> 16));
        if (pad < 2)
            bytes.push_back(static_cast<char>(n >> 8 & 0xFF));
        if (pad < 1)
            bytes.push_back(static_cast<char>(n & 0xFF));
    }
    *out = std::move(bytes);
    return true;
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<uint8_t>(bytes[i + 2]);
        out.push_back(kAlphabet[n >> 18 & 63]);
        out.push_back(kAlphabet[n >> 12 & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[n >> 6 & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kAlphabet[n & 63] : '=');
    }
    return out;
}

bool ParseBasicAuthorization(std::string_view header, std::string* user, std::string* password) {
    constexpr std::string_view kScheme = "basic ";
    if (header.size() <= kScheme.size())
        return false;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(header[i])) != kScheme[i])
            return false;
    }
    std::string_view token = header.substr(kScheme.size());
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    std::string decoded;
    if (!DecodeBase64(token, &decoded))
        return false;
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos)
        return false;
    *user = decoded.substr(0, colon);
    *password = decoded.substr(colon + 1);
    return true;
}

bool ParseDay(std::string_view text, std::string* logDate) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    const int month = (text[5] - '0') * 10 + (text[6] - '0');
    const int day = (text[8] - '0') * 10 + (text[9] - '0');
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    std::string date(text);
    date[4] = '/';
    date[7] = '/';
    *logDate = std::move(date);
    return true;
}

} // namespace api
