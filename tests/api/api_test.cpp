// The HTTP API's decisions without sockets: which resource a path names, what a body decodes to,
// who a header names, where a server may listen, and what the service answers before and without
// a station behind it.
#include "TestSupport.h"

#include "api/ApiAuth.h"
#include "api/ApiRequest.h"
#include "api/ApiService.h"
#include "api/ApiSettings.h"
#include "api/JsonText.h"
#include "api/Metrics.h"
#include "link/CommCenter.h"
#include "store/SystemParameters.h"
#include "users/UserRecord.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <regex>
#include <set>
#include <sstream>

namespace api {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

TEST(ApiRoutes, PathsAndMethods) {
    struct Case {
        const char* path;
        Resource resource;
        int channel;
        const char* method;
    };
    const Case cases[] = {
        {"/api/v1/channels", Resource::Channels, -1, "GET"},
        {"/api/v1/channels/1/nodes", Resource::Nodes, 0, "GET"},
        {"/api/v1/channels/2/nodes/032/files", Resource::NodeFiles, 1, "GET"},
        {"/api/v1/channels/1/send", Resource::Send, 0, "POST"},
        {"/api/v1/channels/2/query", Resource::Query, 1, "POST"},
        {"/api/v1/channels/1/clear", Resource::Clear, 0, "POST"},
        {"/api/v1/channels/1/delete", Resource::Delete, 0, "POST"},
        {"/api/v1/channels/1/cancel", Resource::Cancel, 0, "POST"},
        {"/api/v1/events", Resource::Events, -1, "GET"},
        {"/metrics", Resource::Metrics, -1, "GET"},
    };
    for (const Case& c : cases) {
        const Route r = MatchRoute(c.path);
        EXPECT_EQ(r.resource, c.resource) << c.path;
        EXPECT_EQ(r.channel, c.channel) << c.path;
        EXPECT_STREQ(r.method, c.method) << c.path;
        EXPECT_EQ(RouteStatus(r, c.method), 0) << c.path;
        EXPECT_EQ(RouteStatus(r, std::string(c.method) == "GET" ? "POST" : "GET"), 405) << c.path;
    }
    EXPECT_EQ(MatchRoute("/api/v1/channels/2/nodes/032/files").node, "032");
    EXPECT_EQ(RouteStatus(MatchRoute("/metrics"), "HEAD"), 0);
    EXPECT_EQ(RouteStatus(MatchRoute("/api/v1/channels/1/send"), "HEAD"), 405);
    EXPECT_EQ(RouteStatus(MatchRoute("/api/v1/channels/1/send"), "DELETE"), 405);
    for (const char* path :
         {"/", "", "/api/v1", "/api/v1/channels/", "/api/v1/channels/3/nodes",
          "/api/v1/channels/0/nodes", "/api/v1/channels/1", "/api/v1/channels/1/nodes/",
          "/api/v1/channels/1/nodes//files", "/api/v1/channels/1/nodes/001/files/x",
          "/api/v1/channels/12/nodes", "/api/v1/channelsX", "/metrics/", "/api/v1/events/1",
          "/api/v2/channels"})
        EXPECT_EQ(RouteStatus(MatchRoute(path), "GET"), 404) << path;
}

TEST(ApiBodies, CommandsDecodeOrSayWhatIsWrong) {
    std::string error;
    NodesBody nodes;
    ASSERT_TRUE(DecodeNodesBody(R"({"nodes":["000","7"],"other":1})", &nodes, &error)) << error;
    EXPECT_EQ(nodes.nodes, (std::vector<std::string>{"000", "7"}));

    SendBody send;
    ASSERT_TRUE(
        DecodeSendBody(R"({"nodes":["001"],"files":["/a/A.DST","/b/B.DST"]})", &send, &error));
    EXPECT_EQ(send.files.size(), 2u);
    DeleteBody del;
    ASSERT_TRUE(DecodeDeleteBody(R"({"node":"002","names":["A.DST"]})", &del, &error));
    EXPECT_EQ(del.node, "002");
    EXPECT_EQ(del.names, std::vector<std::string>{"A.DST"});
    CancelBody cancel;
    ASSERT_TRUE(DecodeCancelBody(R"({"nodes":["001"]})", &cancel, &error));
    EXPECT_TRUE(cancel.tasks.empty());
    ASSERT_TRUE(DecodeCancelBody(R"({"nodes":["001"],"tasks":[3,4]})", &cancel, &error));
    EXPECT_EQ(cancel.tasks, (std::vector<int32_t>{3, 4}));

    struct Bad {
        const char* body;
        const char* error;
    };
    for (const Bad& b : {
             Bad{"", "the body is not JSON"},
             Bad{"{", "the body is not JSON"},
             Bad{"[\"000\"]", "the body must be a JSON object"},
             Bad{"{}", "nodes: expected a non-empty array of node numbers"},
             Bad{R"({"nodes":[]})", "nodes: expected a non-empty array of node numbers"},
             Bad{R"({"nodes":"000"})", "nodes: expected a non-empty array of node numbers"},
             Bad{R"({"nodes":[0]})", "nodes: expected a non-empty array of node numbers"},
         }) {
        EXPECT_FALSE(DecodeNodesBody(b.body, &nodes, &error)) << b.body;
        EXPECT_EQ(error, b.error) << b.body;
    }
    EXPECT_FALSE(DecodeSendBody(R"({"nodes":["1"],"files":["A.DST"]})", &send, &error));
    EXPECT_EQ(error, "files: 'A.DST' is not an absolute path");
    EXPECT_FALSE(DecodeSendBody(R"({"nodes":["1"]})", &send, &error));
    EXPECT_EQ(error, "files: expected a non-empty array of file paths");
    EXPECT_FALSE(DecodeDeleteBody(R"({"node":["002"],"names":["A"]})", &del, &error));
    EXPECT_EQ(error, "node: expected one node number");
    EXPECT_FALSE(DecodeDeleteBody(R"({"node":"002","names":[]})", &del, &error));
    for (const char* tasks : {R"("3")", "[0]", "[-1]", "[1.5]", "[\"3\"]", "[4294967296]"}) {
        EXPECT_FALSE(DecodeCancelBody(std::string(R"({"nodes":["1"],"tasks":)") + tasks + "}",
                                      &cancel, &error))
            << tasks;
        EXPECT_EQ(error, "tasks: expected an array of task numbers");
    }
}

TEST(ApiBodies, BasicCredentialsAndDays) {
    for (const std::string& text :
         std::vector<std::string>{"", "a", "ab", "user:pass word", std::string("\0\xff:", 3)}) {
        std::string back;
        ASSERT_TRUE(DecodeBase64(EncodeBase64(text), &back)) << text;
        EXPECT_EQ(back, text);
    }
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    std::string out;
    for (const char* bad : {"a", "ab=c", "a===", "!!!!", "ab==ab==", "YQ=", "Y=Q="})
        EXPECT_FALSE(DecodeBase64(bad, &out)) << bad;

    std::string user, password;
    ASSERT_TRUE(ParseBasicAuthorization("Basic " + EncodeBase64("op:a:b"), &user, &password));
    EXPECT_EQ(user, "op");
    EXPECT_EQ(password, "a:b") << "only the first colon divides";
    ASSERT_TRUE(ParseBasicAuthorization("bASIC  " + EncodeBase64("x:") + " ", &user, &password));
    EXPECT_EQ(password, "");
    for (const std::string& bad :
         {std::string("Bearer abc"), std::string("Basic"), std::string("Basic "),
          "Basic " + EncodeBase64("nocolon"), std::string("Basic ###=")})
        EXPECT_FALSE(ParseBasicAuthorization(bad, &user, &password)) << bad;

    std::string date;
    ASSERT_TRUE(ParseDay("2026-06-04", &date));
    EXPECT_EQ(date, "2026/06/04");
    for (const char* bad :
         {"2026/06/04", "2026-6-04", "2026-13-01", "2026-06-00", "26-06-04", "2026-06-04x", ""})
        EXPECT_FALSE(ParseDay(bad, &date)) << bad;
}

TEST(ApiListen, LoopbackUnlessAllowedAndTheUrlToUse) {
    std::string host, error;
    int port = 0;
    ASSERT_TRUE(ParseListen("127.0.0.1:8470", &host, &port, &error));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8470);
    ASSERT_TRUE(ParseListen("[::1]:0", &host, &port, &error));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 0);
    for (const char* bad : {"", "8470", "127.0.0.1", "127.0.0.1:", ":8470", "127.0.0.1:65536",
                            "127.0.0.1:-1", "::1:8470", "[::1]8470", "host:80x"})
        EXPECT_FALSE(ParseListen(bad, &host, &port, &error)) << bad;

    for (const char* loop : {"127.0.0.1", "127.9.9.9", "::1", "localhost"})
        EXPECT_TRUE(IsLoopbackHost(loop)) << loop;
    for (const char* remote : {"0.0.0.0", "10.0.0.1", "::", "192.168.1.1", "example.org"})
        EXPECT_FALSE(IsLoopbackHost(remote)) << remote;

    ApiSettings s;
    s.listen = "0.0.0.0:8470";
    EXPECT_FALSE(ListenAddress(s, &host, &port, &error));
    EXPECT_NE(error.find("AllowRemote=1"), std::string::npos) << error;
    s.allowRemote = true;
    EXPECT_TRUE(ListenAddress(s, &host, &port, &error));
    EXPECT_EQ(StationUrl("0.0.0.0", 8470), "http://127.0.0.1:8470");
    EXPECT_EQ(StationUrl("::1", 80), "http://[::1]:80");
    EXPECT_EQ(StationUrl("localhost", 1), "http://localhost:1");
}

TEST(ApiJson, TheWriterWritesWhatTheLibraryReadsBack) {
    JsonText w;
    w.BeginArray();
    w.BeginObject().Key("a").Number(-5).Key("b").Null().Key("c").Bool(true);
    w.Key("d").BeginArray().Number(1).Number(2).EndArray();
    w.Key("e").BeginObject().EndObject().EndObject();
    w.String("x").BeginArray().EndArray();
    w.EndArray();
    EXPECT_EQ(w.str(), R"([{"a":-5,"b":null,"c":true,"d":[1,2],"e":{}},"x",[]])");

    // Every byte value, as names and paths may hold them: what comes back is what nlohmann-json
    // makes of the same text (quotes and controls escaped, bytes that are no UTF-8 replaced).
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (const std::string& text :
         {all, std::string("Line A-01 \"quoted\" \\ path\n"),
          std::string("\xE4\xB8\xAD\xE6\x96\x87"), std::string("cut \xE4\xB8"),
          std::string("\xED\xA0\x80 surrogate"), std::string("\xC0\xAF overlong"),
          std::string("\xF4\x90\x80\x80 too high")}) {
        std::string ours;
        AppendJsonString(ours, text);
        const Json back = Json::parse(ours, nullptr, false);
        ASSERT_TRUE(back.is_string()) << ours;
        EXPECT_EQ(ours, Json(text).dump(-1, ' ', false, Json::error_handler_t::replace));
    }
}

// A table of two users behind the authenticator's seams, with a clock the test moves.
class AuthTest : public ::testing::Test {
protected:
    void SetUp() override {
        auth.checkUser = [this](std::string_view name, std::string_view password, uint8_t* admin,
                                uint16_t* rights) {
            ++checks;
            if (name == "op" && password == "pw") {
                *admin = 0;
                *rights = kRightQueryNodeStatus;
                return 2;
            }
            return -1;
        };
        auth.now = [this] { return clock; };
        auth.wait = [this](Authenticator::Clock::duration d) {
            waits.push_back(std::chrono::duration_cast<std::chrono::seconds>(d).count());
            clock += d;
        };
        auth.tableStamp = [this] { return stamp; };
    }
    Authenticator::Outcome As(const std::string& user, const std::string& password,
                              const std::string& from = "10.0.0.1") {
        return auth.Authenticate("Basic " + EncodeBase64(user + ":" + password), from);
    }

    Authenticator auth;
    Authenticator::Clock::time_point clock{};
    std::string stamp = "1";
    int checks = 0;
    std::vector<int64_t> waits;
};

TEST_F(AuthTest, AVerifiedCredentialIsKeptForAWhileAndWhileTheTableStands) {
    EXPECT_EQ(auth.Authenticate("", "a").result, Authenticator::Result::Missing);
    EXPECT_EQ(auth.Authenticate("Bearer x", "a").result, Authenticator::Result::Missing);
    EXPECT_EQ(checks, 0);

    const auto ok = As("op", "pw");
    ASSERT_EQ(ok.result, Authenticator::Result::Ok);
    EXPECT_EQ(ok.user.name, "op");
    EXPECT_TRUE(ok.user.Has(kRightQueryNodeStatus));
    EXPECT_FALSE(ok.user.Has(kRightSendFile));
    EXPECT_EQ(As("op", "pw").result, Authenticator::Result::Ok);
    EXPECT_EQ(checks, 1) << "the second request comes from memory";

    clock += kCredentialLifetime + 1s;
    EXPECT_EQ(As("op", "pw").result, Authenticator::Result::Ok);
    EXPECT_EQ(checks, 2) << "an old one is checked again";

    stamp = "2"; // the user table changed: a deleted user or a new password counts at once
    EXPECT_EQ(As("op", "pw").result, Authenticator::Result::Ok);
    EXPECT_EQ(checks, 3);

    EXPECT_EQ(As("op", "PW").result, Authenticator::Result::Refused);
    EXPECT_EQ(As("op", "PW").result, Authenticator::Result::Refused);
    EXPECT_EQ(checks, 5) << "a refusal is never kept";
    const ApiUser administrator{"a", true, 0};
    EXPECT_TRUE(administrator.Has(kRightSendFile)) << "administrators pass every check";
}

TEST_F(AuthTest, FailuresFromOneAddressSlowItsAnswersDown) {
    for (int i = 0; i < kFailuresBeforeSlowing; ++i)
        EXPECT_EQ(As("op", "guess").result, Authenticator::Result::Refused);
    EXPECT_TRUE(waits.empty()) << "a few typing errors cost nothing";
    for (int i = 0; i < 12; ++i)
        As("op", "guess");
    ASSERT_EQ(waits.size(), 12u);
    EXPECT_EQ(waits[0], 1);
    EXPECT_EQ(waits[1], 2);
    EXPECT_EQ(waits.back(),
              std::chrono::duration_cast<std::chrono::seconds>(kSlowingLimit).count());

    // Another address is not held up; the right password still gets in (after the wait) and
    // clears the address's record.
    waits.clear();
    EXPECT_EQ(As("op", "guess", "10.0.0.2").result, Authenticator::Result::Refused);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(As("op", "pw").result, Authenticator::Result::Ok);
    EXPECT_EQ(waits.size(), 1u);
    waits.clear();
    As("op", "guess");
    EXPECT_TRUE(waits.empty());

    // Failures long past are forgotten.
    for (int i = 0; i < 10; ++i)
        As("op", "guess", "10.0.0.3");
    waits.clear();
    clock += kFailuresForgotten + 1s;
    As("op", "guess", "10.0.0.3");
    EXPECT_TRUE(waits.empty());
}

// The service with no centre behind it, users from the authenticator's seam.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        CCommCenter::Destroy();
        ResetParameters();
        auth.checkUser = [](std::string_view name, std::string_view password, uint8_t* admin,
                            uint16_t* rights) {
            if (password != "pw")
                return -1;
            *admin = name == "admin" ? 1 : 0;
            *rights = name == "viewer" ? kRightViewSoftNote : 0;
            return 1;
        };
    }
    HttpResponse Call(const std::string& method, const std::string& path,
                      const std::string& user = "admin", const std::string& body = "") {
        HttpRequest r;
        r.method = method;
        r.path = path;
        r.body = body;
        r.address = "127.0.0.1";
        if (!user.empty())
            r.authorization = "Basic " + EncodeBase64(user + ":pw");
        return service.Handle(r);
    }
    static std::string Error(const HttpResponse& r) {
        const Json j = Json::parse(r.body, nullptr, false);
        return j.is_object() && j.contains("error") ? j["error"].get<std::string>() : "<none>";
    }

    Authenticator auth;
    ApiService service{auth};
};

TEST_F(ServiceTest, StatusesBeforeAnyStationWork) {
    HttpResponse r = Call("GET", "/api/v1/nowhere");
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(Error(r), "no such resource: /api/v1/nowhere");
    r = Call("PUT", "/api/v1/channels/1/send");
    EXPECT_EQ(r.status, 405);
    ASSERT_EQ(r.headers.size(), 1u);
    EXPECT_EQ(r.headers[0], (std::pair<std::string, std::string>{"Allow", "POST"}));

    for (const char* user : {"", "nobody:"}) {
        HttpRequest req;
        req.method = "GET";
        req.path = "/api/v1/channels";
        req.authorization = *user ? "Basic " + EncodeBase64(std::string(user) + "x") : "";
        r = service.Handle(req);
        EXPECT_EQ(r.status, 401) << user;
        EXPECT_EQ(r.contentType, "application/json");
        ASSERT_EQ(r.headers.size(), 1u);
        EXPECT_EQ(r.headers[0].first, "WWW-Authenticate");
        EXPECT_EQ(r.headers[0].second, "Basic realm=\"talvorn\"");
    }

    // Rights come before the body and the station; a missing one names the menu's right.
    r = Call("POST", "/api/v1/channels/1/send", "viewer", "not json");
    EXPECT_EQ(r.status, 403);
    EXPECT_EQ(Error(r), "user viewer has no right to Send File");
    EXPECT_EQ(Call("POST", "/api/v1/channels/1/cancel", "viewer", "{}").status, 403);
    EXPECT_EQ(Call("POST", "/api/v1/channels/1/clear", "viewer", "{}").status, 403);
    EXPECT_EQ(Call("GET", "/api/v1/events", "operator").status, 403);
    EXPECT_EQ(Call("GET", "/api/v1/events", "viewer").status, 200);

    r = Call("POST", "/api/v1/channels/1/query", "admin", "{\"nodes\":5}");
    EXPECT_EQ(r.status, 400);
    EXPECT_EQ(Error(r), "nodes: expected a non-empty array of node numbers");
    r = Call("POST", "/api/v1/channels/1/query", "admin", R"({"nodes":["000"]})");
    EXPECT_EQ(r.status, 503) << "no centre: the channel is not open";
    EXPECT_EQ(Error(r), "channel 1 is not open");
    EXPECT_EQ(Call("GET", "/api/v1/channels/2/nodes/000/files").status, 503);
    r = Call("GET", "/api/v1/channels/1/nodes");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "[]") << "a closed channel's list is empty";

    r = Call("GET", "/api/v1/channels");
    ASSERT_EQ(r.status, 200);
    const Json channels = Json::parse(r.body);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[1]["channel"], 2);
    EXPECT_EQ(channels[1]["open"], false);
    EXPECT_EQ(channels[1]["lineLost"], false);

    HttpRequest events;
    events.method = "GET";
    events.path = "/api/v1/events";
    events.authorization = "Basic " + EncodeBase64("viewer:pw");
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"day", "yesterday"}, {"channel", "3"}, {"event", "4"}, {"node", "x"}}) {
        events.query = {{key, value}};
        EXPECT_EQ(service.Handle(events).status, 400) << key;
    }
}

// Every sample belongs to the family announced before it, every family has one HELP and one
// TYPE, label values are quoted: what promtool checks, as a plain function of the text.
TEST_F(ServiceTest, MetricsNeedNoUserAndFollowTheTextFormat) {
    const HttpResponse r = Call("GET", "/metrics", "");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/plain; version=0.0.4; charset=utf-8");
    std::istringstream lines(r.body);
    std::string line, family;
    std::set<std::string> families, samples;
    const std::regex help(R"(# HELP ([a-z_]+) \S.*)");
    const std::regex type(R"(# TYPE ([a-z_]+) (gauge|counter))");
    const std::regex sample(
        R"(([a-z_]+)\{([a-z]+="[^"\\]*"(,[a-z]+="[^"\\]*")*)\} -?[0-9]+(\.[0-9]+)?)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, help)) {
            EXPECT_TRUE(families.insert(m[1]).second) << "two HELP lines for " << m[1];
            family = m[1];
        } else if (std::regex_match(line, m, type)) {
            EXPECT_EQ(m[1], family);
            if (m[2] == "counter") {
                EXPECT_TRUE(family.size() > 6 && family.substr(family.size() - 6) == "_total");
            }
        } else {
            ASSERT_TRUE(std::regex_match(line, m, sample)) << line;
            EXPECT_EQ(m[1], family) << line;
            EXPECT_TRUE(samples.insert(line.substr(0, line.rfind(' '))).second) << line;
        }
    }
    for (const char* name :
         {"talvorn_line_up", "talvorn_node_status", "talvorn_node_free_bytes",
          "talvorn_reply_delay_seconds", "talvorn_tasks_queued", "talvorn_requests_total",
          "talvorn_replies_total", "talvorn_packages_sent_total", "talvorn_files_delivered_total"})
        EXPECT_TRUE(families.count(name)) << name;
    EXPECT_TRUE(samples.count("talvorn_line_up{channel=\"1\"}"));
    EXPECT_TRUE(samples.count("talvorn_replies_total{channel=\"2\",result=\"timeout\"}"));
    EXPECT_EQ(LabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
}

} // namespace
} // namespace api
