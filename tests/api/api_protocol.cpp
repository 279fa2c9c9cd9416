// The HTTP API on loopback, in front of a centre on a simulated line: a send asked for over HTTP
// and watched while it runs, the event log's user, cancel, the metrics, and every refusal the
// contract names.
#include "SimLines.h"

#include "api/ApiServer.h"
#include "link/CommCenter.h"
#include "platform/KeyStore.h"
#include "platform/PrivateProfile.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"
#include "users/UserStore.h"

#include <gtest/gtest.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace api {
namespace {

using Json = nlohmann::json;
using testsupport::SimLine;
using testsupport::TempDir;
using testsupport::WaitFor;
using namespace std::chrono_literals;

// Four simulated nodes, numbered 001 to 004, a user table of three and a server on a port of its
// own.
class ApiLine : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ResetParameters();
        ProfileClearCache();
        Params().workDir = dir / "work";
        std::filesystem::create_directories(Params().workDir);
        Params().comId[0] = "COM1";
        Params().comSum[0] = 4;
        Params().comOne[0] = 1;
        ASSERT_EQ(addUser(makeUserRecord("chief", "pw-chief", 1, 0)), UserChange::kOk);
        ASSERT_EQ(addUser(makeUserRecord("sender", "pw-sender", 0, kDefaultOperatorRights)),
                  UserChange::kOk);
        ASSERT_EQ(addUser(makeUserRecord("viewer", "pw-viewer", 0, kRightQueryNodeStatus)),
                  UserChange::kOk);

        nodesim::Config config;
        config.nodeCount = 4;
        config.baud = 115200; // a send takes seconds, long enough to be watched
        line = std::make_unique<SimLine>(config);
        std::string error;
        ASSERT_TRUE(line->Start(&error)) << error;
        ASSERT_EQ(testsupport::CreateCentre(line.get(), 4) & 1, 1);

        ApiSettings settings;
        settings.listen = "127.0.0.1:0";
        ASSERT_TRUE(server.Start(settings, &error)) << error;
        ASSERT_GT(server.Port(), 0);
    }
    void TearDown() override {
        server.Stop();
        CCommCenter::Destroy();
        line.reset();
        ResetParameters();
        ProfileClearCache();
    }

    // A client of the server as `user` (none: no Authorization header).
    httplib::Client As(const std::string& user = "", const std::string& password = "") {
        httplib::Client c("127.0.0.1", server.Port());
        c.set_read_timeout(60, 0);
        if (!user.empty())
            c.set_basic_auth(user, password.empty() ? "pw-" + user : password);
        return c;
    }
    Json Nodes() {
        auto r = As("viewer").Get("/api/v1/channels/1/nodes");
        return r && r->status == 200 ? Json::parse(r->body) : Json();
    }
    static Json NodeOf(const Json& nodes, const std::string& label) {
        for (const Json& n : nodes)
            if (n["node"] == label)
                return n;
        return Json();
    }
    std::string File(const std::string& name, size_t size, uint32_t seed) {
        const std::string path = dir / name;
        EXPECT_TRUE(testsupport::WriteFile(path, testsupport::DesignBytes(size, seed)));
        return path;
    }
    static std::string ErrorOf(const httplib::Result& r) {
        const Json j = r ? Json::parse(r->body, nullptr, false) : Json();
        return j.is_object() && j.contains("error") ? j["error"].get<std::string>() : "<none>";
    }
    // The metrics sample with exactly these name and labels; -1 when there is none.
    double Metric(const std::string& sample) {
        auto r = As().Get("/metrics");
        if (!r)
            return -1;
        std::istringstream lines(r->body);
        for (std::string l; std::getline(lines, l);)
            if (l.rfind(sample + " ", 0) == 0)
                return std::stod(l.substr(sample.size() + 1));
        return -1;
    }

    TempDir dir;
    testsupport::CheapPasswordHashes cheapHashes;
    std::unique_ptr<SimLine> line;
    ApiServer server;
};

TEST_F(ApiLine, ASendAskedOverHttpRunsAsTheWindowsRunItAndIsLoggedUnderItsUser) {
    const std::string a = File("A.DST", 24000, 1);
    const std::string b = File("second-long-name.dst", 9000, 2);
    const Json body = {{"nodes", {"001", "002", "003"}}, {"files", {a, b}}};
    auto r = As("sender").Post("/api/v1/channels/1/send", body.dump(), "application/json");
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 202) << r->body;
    const Json sent = Json::parse(r->body);
    EXPECT_EQ(sent["nodes"], Json({"001", "002", "003"}));
    EXPECT_EQ(sent["names"][a], "A.DST");
    const std::string longName = sent["names"][b];
    EXPECT_EQ(longName.substr(0, 4), "SEC~") << longName;
    const int task = sent["task"];
    EXPECT_GE(task, 1);

    // While it runs, the list shows the task on the nodes and the texts of its steps.
    std::set<std::string> texts;
    bool sawTask = false, sawRate = false;
    ASSERT_TRUE(WaitFor(
        [&] {
            const Json nodes = Nodes();
            int done = 0;
            for (const char* label : {"001", "002", "003"}) {
                const Json n = NodeOf(nodes, label);
                if (n.is_null())
                    return false;
                texts.insert(n["status"].get<std::string>());
                sawTask |=
                    n["tasks"] == 1 && n["currentTask"] == task && n["taskNumbers"] == Json({task});
                sawRate |= !n["rate"].get<std::string>().empty();
                done += n["status"] == "Send File End" && n["tasks"] == 0 ? 1 : 0;
            }
            return done == 3;
        },
        120s));
    EXPECT_TRUE(sawTask);
    EXPECT_TRUE(sawRate) << "a rate while packages go out";
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
        return t.rfind("Sending File's Package...", 0) == 0;
    })) << "the steps of a send are seen while it runs";
    EXPECT_EQ(NodeOf(Nodes(), "004")["status"], "") << "a node outside the send is left alone";

    r = As("viewer").Get("/api/v1/channels/1/nodes/002/files");
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    const Json files = Json::parse(r->body);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["name"], "A.DST");
    EXPECT_EQ(files[0]["size"], 24000);
    EXPECT_EQ(files[1]["name"], longName);

    // The event log names the user who asked, as Soft Note shows it.
    EXPECT_EQ(As("sender").Get("/api/v1/events")->status, 403) << "no View Soft Note";
    r = As("chief").Get("/api/v1/events?channel=1");
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    const Json events = Json::parse(r->body);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["user"], "sender");
    EXPECT_EQ(events[0]["event"], "Send File");
    ASSERT_EQ(events[0]["files"].size(), 2u);
    EXPECT_EQ(events[0]["files"][0]["path"], a);
    const auto logged = QueryEvents(0, "sender", EV_SEND_FILE, 2);
    EXPECT_EQ(logged.size(), 1u) << "in the log's own files too";

    EXPECT_EQ(Metric("talvorn_files_delivered_total{channel=\"1\"}"), 6);
    EXPECT_GE(Metric("talvorn_packages_sent_total{channel=\"1\"}"), (24000 + 9000) / 512);
    EXPECT_GE(Metric("talvorn_requests_total{channel=\"1\",kind=\"check\"}"), 6);
    EXPECT_EQ(Metric("talvorn_replies_total{channel=\"1\",result=\"bad\"}"), 0);
    EXPECT_EQ(Metric("talvorn_node_status{channel=\"1\",node=\"002\"}"), 4);
    EXPECT_EQ(Metric("talvorn_line_up{channel=\"1\"}"), 1);
    // Each node that answered has its reply delay timed; one never asked has none.
    const double delay = Metric("talvorn_reply_delay_seconds{channel=\"1\",node=\"002\"}");
    EXPECT_GE(delay, 0) << "timed";
    EXPECT_LT(delay, 3);
    EXPECT_EQ(Metric("talvorn_reply_delay_seconds{channel=\"1\",node=\"004\"}"), -1);
    EXPECT_EQ(Metric("talvorn_line_up{channel=\"2\"}"), 0);

    // Prometheus' own check of the text, where the tool is installed.
    if (std::system("command -v promtool >/dev/null 2>&1") == 0) {
        const std::string text = dir / "metrics.txt";
        std::ofstream(text) << As().Get("/metrics")->body;
        EXPECT_EQ(
            std::system(("promtool check metrics < " + text + " > " + text + ".out 2>&1").c_str()),
            0)
            << std::ifstream(text + ".out").rdbuf();
    } else {
        std::printf(
            "promtool is not installed (Debian package prometheus): its check is skipped\n");
    }

    // Cancel through the API: the node shows the cancel, as after Cancel Task.
    const std::string big = File("BIG.DST", 200000, 3);
    r = As("sender").Post("/api/v1/channels/1/send",
                          Json{{"nodes", {"004"}}, {"files", {big}}}.dump(), "application/json");
    ASSERT_EQ(r->status, 202);
    const int second = Json::parse(r->body)["task"];
    ASSERT_TRUE(WaitFor([&] { return NodeOf(Nodes(), "004")["currentTask"] == second; }));
    r = As("viewer").Post("/api/v1/channels/1/cancel", R"({"nodes":["004"]})", "application/json");
    EXPECT_EQ(r->status, 403) << "no Cancel Task";
    r = As("sender").Post("/api/v1/channels/1/cancel", R"({"nodes":["004","001"]})",
                          "application/json");
    ASSERT_EQ(r->status, 200) << r->body;
    EXPECT_EQ(Json::parse(r->body), Json({{"nodes", {"004"}}, {"tasks", {second}}}));
    Json last;
    EXPECT_TRUE(WaitFor([&] {
        last = NodeOf(Nodes(), "004");
        return last["status"] == "User Has Cancelled Task" && last["tasks"] == 0;
    })) << last;
    // The queue's length is read by the timer, each task counted once: back to nothing at the end.
    EXPECT_TRUE(WaitFor([&] {
        const Json channels = Json::parse(As("viewer").Get("/api/v1/channels")->body);
        return channels[0]["queued"] == 0 && Metric("talvorn_tasks_queued{channel=\"1\"}") == 0;
    }));
}

TEST_F(ApiLine, EveryRefusalSaysWhyAndQueuesNothing) {
    const auto post = [&](httplib::Client c, const std::string& path, const std::string& body) {
        return c.Post(path, body, "application/json");
    };
    const std::string clear = "/api/v1/channels/1/clear";
    const std::string one = R"({"nodes":["001"]})";

    // 401: no user, or a wrong password; the challenge names the realm.
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"sender", "wrong"}, {"nobody", "pw"}}) {
        auto r = post(As(user, password), clear, one);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 401);
        EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Basic realm=\"talvorn\"");
    }
    // 403: the menu's right.
    auto r = post(As("viewer"), clear, one);
    EXPECT_EQ(r->status, 403);
    EXPECT_EQ(ErrorOf(r), "user viewer has no right to Delete File");
    EXPECT_EQ(post(As("viewer"), "/api/v1/channels/1/query", one)->status, 202);
    // 400: bad JSON, a bad member, a node outside the channel (the CLI's words).
    r = post(As("sender"), clear, "{nodes:");
    EXPECT_EQ(r->status, 400);
    EXPECT_EQ(ErrorOf(r), "the body is not JSON");
    r = post(As("sender"), clear, R"({"nodes":["001","9"]})");
    EXPECT_EQ(r->status, 400);
    EXPECT_EQ(ErrorOf(r), "node 9 is out of range (the channel's nodes are 001 to 004)");
    // 404, 405.
    EXPECT_EQ(As("sender").Get("/api/v1/channels/3/nodes")->status, 404);
    r = As("sender").Get(clear);
    EXPECT_EQ(r->status, 405);
    EXPECT_EQ(r->get_header_value("Allow"), "POST");
    // 413: a body over 64 KiB is refused before it is read, still with a JSON error.
    r = post(As("sender"), clear, std::string(70 * 1024, ' '));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
    EXPECT_EQ(ErrorOf(r), "the request body is over 64 KiB");
    // 422: a file that cannot go; nothing is sent.
    r = post(
        As("sender"), "/api/v1/channels/1/send",
        Json{{"nodes", {"002"}}, {"files", {File("ok.dst", 100, 4), (dir / "gone.dst")}}}.dump());
    ASSERT_EQ(r->status, 422) << r->body;
    const Json problems = Json::parse(r->body)["files"];
    EXPECT_EQ(problems.size(), 1u);
    EXPECT_TRUE(problems.contains(dir / "gone.dst"));
    // 503: a channel that is not open.
    r = post(As("sender"), "/api/v1/channels/2/clear", one);
    EXPECT_EQ(r->status, 503);
    EXPECT_EQ(ErrorOf(r), "channel 2 is not open");

    // 409: an event log that cannot be written refuses the command, and nothing is queued.
    std::filesystem::create_directory(EventItemPath(0));
    r = post(As("sender"), clear, one);
    EXPECT_EQ(r->status, 409);
    EXPECT_NE(ErrorOf(r).find("is not a file"), std::string::npos) << ErrorOf(r);
    EXPECT_NE(ErrorOf(r).find("nothing was queued"), std::string::npos) << ErrorOf(r);

    // Only the viewer's query went out: the refused commands left no task behind.
    ASSERT_TRUE(WaitFor([&] {
        const Json n = NodeOf(Nodes(), "001");
        return n["status"] == "Query End" && n["tasks"] == 0;
    }));
    for (const Json& n : Nodes()) {
        EXPECT_EQ(n["tasks"], 0) << n;
        EXPECT_EQ(n["taskNumbers"], Json::array()) << n;
    }
    EXPECT_EQ(Metric("talvorn_requests_total{channel=\"1\",kind=\"clear\"}"), 0);
    EXPECT_EQ(Metric("talvorn_requests_total{channel=\"1\",kind=\"head\"}"), 0);
    EXPECT_EQ(CCommCenter::Instance()->taskCounter[0].load(), 1) << "one task was ever numbered";
}

} // namespace
} // namespace api
