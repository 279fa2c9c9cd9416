// HTTP API benchmark: 50 clients read the node list and the metrics in a loop while the station
// sends a file to 32 nodes. Prints the clients' answer times (median, 99th percentile, worst) and
// the send's duration with and without them. Targets: 99th percentile under 10 ms, the send within
// 2% of its time without clients.
//
// The line is the node simulator with line-rate emulation at 115200 bps (in this process, as the
// station's peer); the clients are threads of this process with a connection each, reading
// /api/v1/channels/1/nodes (as a user of the table) and /metrics in turn. A send without clients
// runs before and after the one with them; their mean is the reference.
//
// Usage: bench_api [--quick] [--keep-alive]   (--quick: a 16 KiB file instead of 64 KiB;
//                                              --keep-alive: clients keep their connection)
#include "NodeSim.h"
#include "api/ApiServer.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"
#include "users/UserStore.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kNodes = 32;
constexpr int kClients = 50;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string WriteDesignFile(const fs::path& dir, const std::string& name, size_t size,
                            uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<char> bytes(size);
    for (char& b : bytes)
        b = static_cast<char>(gen());
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return path.string();
}

// Sends the file to every node through the API and waits, reading the records in this process
// (not over HTTP, which would add to the load), until every node has it.
double TimedSend(api::ApiServer& server, const std::string& file) {
    httplib::Client c("127.0.0.1", server.Port());
    c.set_basic_auth("bench", "bench-pw");
    c.set_read_timeout(60, 0);
    std::string nodes;
    for (int n = 0; n < kNodes; ++n) {
        char label[8];
        std::snprintf(label, sizeof label, "\"%03d\"", n);
        nodes += (n ? "," : "") + std::string(label);
    }
    const auto start = Clock::now();
    auto r = c.Post("/api/v1/channels/1/send",
                    "{\"nodes\":[" + nodes + "],\"files\":[\"" + file + "\"]}",
                    "application/json");
    if (!r || r->status != 202) {
        std::fprintf(stderr, "the send was refused: %s\n", r ? r->body.c_str() : "no answer");
        std::exit(1);
    }
    CCommCenter& cc = *CCommCenter::Instance();
    for (;;) {
        int done = 0;
        for (int n = 0; n < kNodes; ++n)
            done += cc.nodes[0][n].status.load() == NS_FILE_DONE &&
                    cc.nodes[0][n].pendingTaskCount.load() == 0;
        if (done == kNodes)
            break;
        if (Seconds(Clock::now() - start) > 600) {
            std::fprintf(stderr, "the send did not end within 10 minutes\n");
            std::exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Seconds(Clock::now() - start);
}

struct Load {
    std::atomic<bool> run{true};
    std::atomic<bool> measuring{false};
    std::mutex mutex;
    std::vector<double> times; // answer times in ms while measuring
    std::atomic<long> failures{0};
};

void Client(api::ApiServer& server, Load& load, bool keepAlive, int index) {
    httplib::Client c("127.0.0.1", server.Port());
    c.set_basic_auth("bench", "bench-pw");
    c.set_keep_alive(keepAlive);
    c.set_read_timeout(30, 0);
    std::vector<double> mine;
    for (int i = index; load.run.load(); ++i) {
        const auto t0 = Clock::now();
        auto r = c.Get(i % 2 ? "/metrics" : "/api/v1/channels/1/nodes");
        const double ms = Seconds(Clock::now() - t0) * 1000;
        if (!r || r->status != 200)
            load.failures.fetch_add(1);
        else if (load.measuring.load())
            mine.push_back(ms);
    }
    std::lock_guard lock(load.mutex);
    load.times.insert(load.times.end(), mine.begin(), mine.end());
}

double Percentile(std::vector<double>& v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false, keepAlive = false;
    for (int i = 1; i < argc; ++i) {
        quick |= std::strcmp(argv[i], "--quick") == 0;
        keepAlive |= std::strcmp(argv[i], "--keep-alive") == 0;
    }
    const size_t fileSize = quick ? 16 * 1024 : 64 * 1024;

    std::string tmpl = (fs::temp_directory_path() / "talvorn-bench-api-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = tmpl;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    Params().workDir = (dir / "work").string();
    fs::create_directories(Params().workDir);
    Params().comId[0] = "COM1";
    Params().comSum[0] = kNodes;
    Params().comOne[0] = 0;
    if (addUser(makeUserRecord("bench", "bench-pw", 0, kDefaultOperatorRights)) !=
        UserChange::kOk) {
        std::fprintf(stderr, "cannot write the user table\n");
        return 1;
    }

    nodesim::Config config;
    config.nodeCount = kNodes;
    config.baud = 115200;
    nodesim::Simulator sim(config);
    std::string error;
    const std::string link = (dir / "line").string();
    if (!sim.Start(link, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    const std::string ports[2] = {link, ""};
    const int counts[2] = {kNodes, 0}, speeds[2] = {3, 0}, modes[2] = {0, 0};
    if ((CCommCenter::Create(ports, counts, speeds, modes) & 1) == 0) {
        std::fprintf(stderr, "the channel did not open\n");
        return 1;
    }
    api::ApiServer server;
    ApiSettings settings;
    settings.listen = "127.0.0.1:0";
    if (!server.Start(settings, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // The credential is verified once (a tenth of a second on purpose) and then kept.
    {
        httplib::Client warm("127.0.0.1", server.Port());
        warm.set_basic_auth("bench", "bench-pw");
        (void)warm.Get("/api/v1/channels");
    }

    std::printf("Send of %zu KiB to %d nodes at 115200 bps (line-rate emulation), %d clients "
                "reading /nodes and /metrics in a loop (%s):\n",
                fileSize / 1024, kNodes, kClients,
                keepAlive ? "kept connections" : "a connection per request");
    std::fflush(stdout);
    const double before = TimedSend(server, WriteDesignFile(dir, "A0.DST", fileSize, 1));
    std::printf("  send without clients:   %7.2f s\n", before);
    std::fflush(stdout);

    Load load;
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back(Client, std::ref(server), std::ref(load), keepAlive, i);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // every client is under way
    load.measuring = true;
    const double with = TimedSend(server, WriteDesignFile(dir, "A1.DST", fileSize, 2));
    load.measuring = false;
    load.run = false;
    for (std::thread& t : clients)
        t.join();
    std::printf("  send with %d clients:   %7.2f s\n", kClients, with);
    std::fflush(stdout);

    const double after = TimedSend(server, WriteDesignFile(dir, "A2.DST", fileSize, 3));
    const double reference = (before + after) / 2;
    std::printf("  send without clients:   %7.2f s (again)\n", after);
    std::printf("  with clients / without: %+7.2f%%  (target within 2%%)\n",
                (with / reference - 1) * 100);
    const size_t answers = load.times.size();
    std::printf("  answers during the send: %zu (%.0f a second), %ld failed\n", answers,
                static_cast<double>(answers) / with, load.failures.load());
    std::printf("  answer time: median %.2f ms, 99th percentile %.2f ms (target under 10 ms), "
                "worst %.2f ms\n",
                Percentile(load.times, 0.5), Percentile(load.times, 0.99),
                Percentile(load.times, 1.0));

    server.Stop();
    CCommCenter::Destroy();
    sim.Stop();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
