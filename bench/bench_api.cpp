// HTTP API benchmark: 50 clients read the node list and the metrics in a loop while the station
// sends a file to 32 nodes. Prints the clients' answer times (median, 99th percentile, worst) and
// the send's duration with and without them. Targets: 99th percentile under 10 ms, the send within
// 2% of its time without clients.
//
// The line is the node simulator with line-rate emulation at 115200 bps (in this process, as the
// station's peer). The clients are 50 threads of a child process, a connection each, reading
// /api/v1/channels/1/nodes (as a user of the table) and /metrics in turn, as fast as they are
// answered. They stand for dashboards and scripts on other hosts: on this machine they share its
// two cores with the station, so the child runs at the priority the API's own threads run at
// (nice 10), below the line's threads, as load that is not the station's would be on its PC. A
// send without clients runs before and after the one with them; their mean is the reference.
// The machine may be shared: the load average is printed with the figures, and two sends without
// clients show how far the machine alone moves a send's time.
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

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
// (not over HTTP, which would add to the load), until every node has it; then takes it off the
// nodes again, so that every send finds them as empty as the first (a node that lists files costs
// its query a request more).
double TimedSend(api::ApiServer& server, nodesim::Simulator& sim, const std::string& file,
                 const std::string& field) {
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
                    "{\"nodes\":[" + nodes + "],\"files\":[\"" + file + "\"]}", "application/json");
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
    const double seconds = Seconds(Clock::now() - start);
    for (int n = 0; n < kNodes; ++n)
        sim.RemoveFile(n, field);
    return seconds;
}

// The clients' side, in the child process: runs until the parent says stop, then writes the
// answer times measured while the parent said so (ms, one a line), the failures first.
[[noreturn]] void ClientProcess(int control, const std::string& results, bool keepAlive) {
    int port = 0;
    if (read(control, &port, sizeof port) != sizeof port)
        _exit(1);
    (void)setpriority(PRIO_PROCESS, 0, 10); // before the threads: they inherit it
    std::atomic<bool> run{true}, measuring{false};
    std::atomic<long> failures{0};
    std::mutex mutex;
    std::vector<double> times;
    std::vector<std::thread> clients;
    for (int k = 0; k < kClients; ++k)
        clients.emplace_back([&, k] {
            httplib::Client c("127.0.0.1", port);
            c.set_basic_auth("bench", "bench-pw");
            c.set_keep_alive(keepAlive);
            c.set_tcp_nodelay(true);
            c.set_read_timeout(30, 0);
            std::vector<double> mine;
            for (int i = k; run.load(); ++i) {
                const auto t0 = Clock::now();
                auto r = c.Get(i % 2 ? "/metrics" : "/api/v1/channels/1/nodes");
                const double ms = Seconds(Clock::now() - t0) * 1000;
                if (!r || r->status != 200)
                    failures.fetch_add(1);
                else if (measuring.load())
                    mine.push_back(ms);
            }
            std::lock_guard lock(mutex);
            times.insert(times.end(), mine.begin(), mine.end());
        });
    char command = 0;
    while (read(control, &command, 1) == 1) {
        if (command == 'm')
            measuring = true;
        else if (command == 's')
            break;
    }
    measuring = false;
    run = false;
    for (std::thread& t : clients)
        t.join();
    std::ofstream out(results);
    out << failures.load() << '\n';
    for (double t : times)
        out << t << '\n';
    out.close();
    _exit(0);
}

double Percentile(std::vector<double>& v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

} // namespace

// CPU seconds this process (the station and the simulator) has used so far.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double LoadAverage() {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

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
    const std::string results = (dir / "answers.txt").string();
    // The clients' process is made before any thread exists.
    int control[2];
    if (pipe(control) != 0) {
        std::perror("pipe");
        return 1;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        close(control[1]);
        ClientProcess(control[0], results, keepAlive);
    }
    close(control[0]);

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
    double cpu = CpuSeconds();
    const double before = TimedSend(server, sim, WriteDesignFile(dir, "A0.DST", fileSize, 1),
                  nodesim::NodeNameField("A0.DST"));
    const double cpuBefore = CpuSeconds() - cpu;
    std::printf("  send without clients:   %7.2f s   (load average %.1f)\n", before, LoadAverage());
    std::fflush(stdout);

    const int port = server.Port();
    (void)!write(control[1], &port, sizeof port);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // every client is under way
    (void)!write(control[1], "m", 1);
    cpu = CpuSeconds();
    const double with = TimedSend(server, sim, WriteDesignFile(dir, "A1.DST", fileSize, 2),
                  nodesim::NodeNameField("A1.DST"));
    const double cpuWith = CpuSeconds() - cpu;
    const double loadWith = LoadAverage();
    (void)!write(control[1], "s", 1);
    close(control[1]);
    int status = 0;
    waitpid(child, &status, 0);
    std::printf("  send with %d clients:   %7.2f s   (load average %.1f)\n", kClients, with,
                loadWith);
    std::fflush(stdout);

    cpu = CpuSeconds();
    const double after = TimedSend(server, sim, WriteDesignFile(dir, "A2.DST", fileSize, 3),
                  nodesim::NodeNameField("A2.DST"));
    const double cpuAfter = CpuSeconds() - cpu;
    const double reference = (before + after) / 2;
    std::printf("  send without clients:   %7.2f s   (again; load average %.1f)\n", after,
                LoadAverage());
    std::printf("  with clients / without: %+7.2f%%  (target within 2%%; the two sends without "
                "differ by %.2f%%)\n",
                (with / reference - 1) * 100, (after / before - 1) * 100);
    std::vector<double> times;
    long failures = -1;
    {
        std::ifstream in(results);
        in >> failures;
        for (double t; in >> t;)
            times.push_back(t);
    }
    std::printf("  answers during the send: %zu (%.0f a second), %ld failed\n", times.size(),
                static_cast<double>(times.size()) / with, failures);
    std::printf("  answer time: median %.2f ms, 99th percentile %.2f ms (target under 10 ms), "
                "worst %.2f ms\n",
                Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0));
    const double idleCpu = (cpuBefore + cpuAfter) / 2;
    std::printf("  the station's CPU during a send: %.2f s without clients, %.2f s with them "
                "(%.0f us an answer)\n",
                idleCpu, cpuWith,
                times.empty() ? 0.0
                              : (cpuWith - idleCpu) / static_cast<double>(times.size()) * 1e6);

    server.Stop();
    CCommCenter::Destroy();
    sim.Stop();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
