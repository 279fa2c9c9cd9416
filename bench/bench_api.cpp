// HTTP API benchmark: 50 clients read the node list and the metrics in a loop while the station
// sends a file to 32 nodes. Prints the clients' answer times (median, 99th percentile, worst) and
// the send's duration with and without them. Targets: 99th percentile under 10 ms, the send within
// 2% of its time without clients.
//
// The line is the node simulator with line-rate emulation at 115200 bps (in this process, as the
// station's peer). The clients are 50 threads of a child process, a connection each, reading
// /api/v1/channels/1/nodes (as a user of the table) and /metrics in turn, as fast as they are
// answered: first with kept connections (as Prometheus and browsers), then with a connection per
// request (as curl in a script). They stand for dashboards and scripts on other hosts: on this
// machine they share its two cores with the station, so the child runs at the priority the API's
// own threads run at (only on a processor nothing else wants), below the line's threads, as load
// that is not the station's would be on its PC. Sends without clients run before, between and
// after the two with them; the mean of each one's neighbours is its reference. Every send starts
// on empty nodes. The machine may be shared: the load average is printed with the figures, and
// the sends without clients show how far the machine alone moves a send's time.
//
// Usage: bench_api [--quick]   (--quick: a 16 KiB file instead of 64 KiB)
#include "NodeSim.h"
#include "api/ApiServer.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "platform/ThreadPriority.h"
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
    IdleCurrentThreadPriority(); // before the threads: they inherit it
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

// One kind of clients: their process, made before any thread of this one exists.
struct ClientKind {
    const char* name = "";
    bool keepAlive = false;
    pid_t child = -1;
    int control = -1;
    std::string results;
};

// The clients' answers: the failures and the times measured, in ms.
std::vector<double> ReadAnswers(const std::string& results, long* failures) {
    std::vector<double> times;
    std::ifstream in(results);
    in >> *failures;
    for (double t; in >> t;)
        times.push_back(t);
    return times;
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false;
    for (int i = 1; i < argc; ++i)
        quick |= std::strcmp(argv[i], "--quick") == 0;
    const size_t fileSize = quick ? 16 * 1024 : 64 * 1024;

    std::string tmpl = (fs::temp_directory_path() / "talvorn-bench-api-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = tmpl;
    // Dashboards keep their connection (Prometheus, browsers); scripts open one per request.
    ClientKind kinds[2];
    kinds[0].name = "kept connections";
    kinds[0].keepAlive = true;
    kinds[1].name = "a connection per request";
    kinds[1].keepAlive = false;
    for (ClientKind& k : kinds) {
        int control[2];
        if (pipe(control) != 0) {
            std::perror("pipe");
            return 1;
        }
        k.results = (dir / (std::string(k.keepAlive ? "kept" : "new") + ".txt")).string();
        k.child = fork();
        if (k.child < 0) {
            std::perror("fork");
            return 1;
        }
        if (k.child == 0) {
            close(control[1]);
            ClientProcess(control[0], k.results, k.keepAlive);
        }
        close(control[0]);
        k.control = control[1];
    }

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

    std::printf("Sends of %zu KiB to %d nodes at 115200 bps (line-rate emulation); %d clients "
                "read /nodes and /metrics in a loop during every other one\n",
                fileSize / 1024, kNodes, kClients);
    std::fflush(stdout);
    int sends = 0;
    const auto send = [&](double* cpuSeconds) {
        const std::string name = "A" + std::to_string(sends) + ".DST";
        const std::string file = WriteDesignFile(dir, name, fileSize, static_cast<uint32_t>(sends));
        ++sends;
        const double cpu = CpuSeconds();
        const double seconds = TimedSend(server, sim, file, nodesim::NodeNameField(name));
        *cpuSeconds = CpuSeconds() - cpu;
        return seconds;
    };
    double cpuAlone = 0;
    double alone = send(&cpuAlone);
    std::printf("  send without clients:      %7.2f s   (load average %.1f)\n", alone,
                LoadAverage());
    std::fflush(stdout);
    for (ClientKind& k : kinds) {
        const int port = server.Port();
        (void)!write(k.control, &port, sizeof port);
        std::this_thread::sleep_for(std::chrono::seconds(1)); // every client is under way
        (void)!write(k.control, "m", 1);
        double cpuWith = 0;
        const double with = send(&cpuWith);
        (void)!write(k.control, "s", 1);
        close(k.control);
        int status = 0;
        waitpid(k.child, &status, 0);
        std::printf("  send with %d clients:      %7.2f s   (%s)\n", kClients, with, k.name);
        double cpuAfter = 0;
        const double after = send(&cpuAfter);
        std::printf("  send without clients:      %7.2f s   (load average %.1f)\n", after,
                    LoadAverage());
        long failures = -1;
        std::vector<double> times = ReadAnswers(k.results, &failures);
        const double reference = (alone + after) / 2;
        const double idleCpu = (cpuAlone + cpuAfter) / 2;
        std::printf("    with clients / without:  %+6.2f%%  (target within 2%%; the sends "
                    "without differ by %.2f%%)\n",
                    (with / reference - 1) * 100, (after / alone - 1) * 100);
        std::printf("    answers: %zu (%.0f a second), %ld failed; median %.2f ms, 99th "
                    "percentile %.2f ms (target under 10 ms), worst %.2f ms\n",
                    times.size(), static_cast<double>(times.size()) / with, failures,
                    Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0));
        std::printf("    the station's CPU: %.2f s during the send, %.2f s without clients "
                    "(%.0f us an answer)\n",
                    cpuWith, idleCpu,
                    times.empty() ? 0.0
                                  : (cpuWith - idleCpu) / static_cast<double>(times.size()) * 1e6);
        std::fflush(stdout);
        alone = after;
        cpuAlone = cpuAfter;
    }

    server.Stop();
    CCommCenter::Destroy();
    sim.Stop();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
