// The windowed station serves its HTTP API while it runs, when Para.ini names an address: a
// command that comes over HTTP shows in the node list like one from the menus, and the server is
// gone once the window has closed.
#include "StationFixture.h"

#include "station/NodeRows.h"

#include <httplib.h>

TEST_F(StationTest, TheWindowedStationServesItsApiWhileItRuns) {
    startLine(0, 4);
    writeParameters({lines[0]->link(), 4, 1}, {});
    const int port = testsupport::FreePort();
    std::ofstream(file("Para.ini"), std::ios::app)
        << "[API]\r\nListen=127.0.0.1:" << port << "\r\n";
    ASSERT_TRUE(start());

    httplib::Client client("127.0.0.1", port);
    client.set_basic_auth(kDefaultAdminName, kDefaultAdminPassword);
    auto r = client.Get("/metrics");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("talvorn_line_up{channel=\"1\"} 1\n"), std::string::npos) << r->body;
    r = client.Post("/api/v1/channels/1/query", R"({"nodes":["002"]})", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 202) << r->body;
    WAIT_EQ(nodes().cell(1, kColInfo), QString("Query End"), 60000);
    EXPECT_EQ(nodes().cell(0, kColInfo), QString());

    EXPECT_TRUE(win().close());
    EXPECT_FALSE(client.Get("/metrics")) << "the server stops with the window";
}
