// Transfer benchmark: how long one send task takes over a line that runs at 115200 bps, against
// the least time the protocol allows, and what the centre costs while the line is idle.
//
// The line is the node simulator with line-rate emulation (11 bits a byte: start, 8 data, ninth
// bit, stop); the centre runs at speed index 3 (115200 bps), mode 0 (1 ms after each package).
// Every node starts empty and no fault is injected, so the transfer is the ideal one: a query
// phase of one storage request per node, then head, check, packages and check.
//
// Floor (the wire floor) = line time of the frames of that ideal transfer + the pauses the
// protocol itself prescribes:
//   frames (bytes on the line, sync included):
//     query      per node: request 20 + storage reply 23 (an empty node has no list blocks)
//     head       41
//     check 1    per node: request 23 + reply 371 (all packages missing: the need bitmap)
//     packages   533 each
//     check 2    per node: request 23 + reply 11 (status and its check byte: the file is
//                complete)
//   pauses:
//     1 ms after each package; 100 ms after the head; for each of the two checks 10 ms before
//     each of its passes (one per node and a last one that ends it) and 20 ms per node passed;
//     100 ms at the end of each node's query
// Everything else is the station's own overhead: how soon its threads notice that a reply is in
// or that a command has ended, and the nodes' turnaround (3 ms in the simulator). The threads
// wake each other (a reply wakes the sender, a command's end the scheduler), so the ratio
// elapsed / floor shows how little that costs.
// The frame counts that the nodes saw are printed beside the times. The ideal transfer has one
// query per node, packages + 1 data frames and two checks per node; more means the station asked
// again after a reply it had given up on.
//
// Usage: bench_transfer [--quick]   (--quick: only the 64 KiB file)
#include "BenchFiles.h"
#include "NodeSim.h"
#include "link/CommCenter.h"
#include "link/LinkTiming.h"
#include "tasks/TaskLayer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kBaud = 115200;
constexpr int kSpeedIndex = 3; // 115200 bps
constexpr int kModeIndex = 0;  // 1 ms package pause
constexpr double kBitsPerByte = 11;

// Frame sizes on the line, sync bytes included.
constexpr int kQueryRequest = 20;
constexpr int kStorageReply = 23;
constexpr int kHeadFrame = 41;
constexpr int kCheckRequest = 23;
constexpr int kCheckReplyBitmap = 371;
constexpr int kCheckReplyStatus = 11;
constexpr int kPackageFrame = 533;

struct Floor {
    double lineS = 0;
    double pauseS = 0;
    double total() const { return lineS + pauseS; }
};

Floor FloorOf(uint32_t fileBytes, int nodes) {
    const int64_t packages = (fileBytes + kPackageDataSize - 1) / kPackageDataSize;
    const int64_t bytes = nodes * (kQueryRequest + kStorageReply) + kHeadFrame +
                          nodes * (kCheckRequest + kCheckReplyBitmap) + packages * kPackageFrame +
                          nodes * (kCheckRequest + kCheckReplyStatus);
    Floor f;
    f.lineS = static_cast<double>(bytes) * kBitsPerByte / kBaud;
    const int64_t checkMs = (nodes + 1) * kCheckGapMs + nodes * kCheckNodeMs;
    const int64_t pauseMs =
        packages * PackageDelayMs(kModeIndex) + kAfterHeadMs + 2 * checkMs + nodes * kQueryEndMs;
    f.pauseS = pauseMs / 1000.0;
    return f;
}

// --- Process figures

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    }
    return -1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// --- Helpers

bool Quiet(CCommCenter& cc) {
    return cc.ChannelQuiet(0);
}

int CreateCentre(const std::string& link0, int nodes0, const std::string& link1, int nodes1) {
    const std::string names[kChannels] = {link0, link1};
    const int counts[kChannels] = {nodes0, nodes1};
    const int speeds[kChannels] = {kSpeedIndex, kSpeedIndex};
    const int modes[kChannels] = {kModeIndex, kModeIndex};
    return CCommCenter::Create(names, counts, speeds, modes);
}

// --- Idle cost

// The nodes run in a child process, so that the figures are the centre's alone.
void MeasureIdle() {
    const std::string dir = bench::MakeTempDir("talvorn-bench");
    const std::string links[2] = {dir + "/line1", dir + "/line2"};
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (child == 0) {
        close(ready[0]);
        close(release[1]);
        nodesim::Simulator one{nodesim::Config{}}, two{nodesim::Config{}};
        std::string error;
        char ok = (one.Start(links[0], &error) && two.Start(links[1], &error)) ? 1 : 0;
        if (!ok)
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
        (void)!write(ready[1], &ok, 1);
        char byte;
        while (read(release[0], &byte, 1) > 0) {
        } // until the parent lets go
        one.Stop();
        two.Stop();
        _exit(ok ? 0 : 1);
    }
    close(ready[1]);
    close(release[0]);
    char ok = 0;
    if (read(ready[0], &ok, 1) != 1 || !ok) {
        std::fprintf(stderr, "the simulator did not start\n");
        std::exit(1);
    }

    const long rssBefore = StatusKb("VmRSS");
    const int result = CreateCentre(links[0], kMaxNodes, links[1], kMaxNodes);
    if (result != (kChannelOneStarted | kChannelTwoStarted)) {
        std::fprintf(stderr, "the centre started %d, not both channels\n", result);
        std::exit(1);
    }
    const long rssCreated = StatusKb("VmRSS");
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double wall = Seconds(Clock::now() - t0);
    const double cpu = CpuSeconds() - cpu0;
    const long rssIdle = StatusKb("VmRSS");
    CCommCenter::Destroy();

    close(release[1]);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    fs::remove_all(dir);

    std::printf("Idle centre, both channels open, 2 x 32 nodes, no task, %.1f s:\n", wall);
    std::printf("  VmRSS before the centre %6ld KiB\n", rssBefore);
    std::printf("  VmRSS centre created    %6ld KiB\n", rssCreated);
    std::printf("  VmRSS after idling      %6ld KiB\n", rssIdle);
    std::printf("  CPU time while idle     %6.3f s (%.2f %% of one core)\n\n", cpu,
                100.0 * cpu / wall);
}

// --- One transfer

struct Run {
    uint32_t bytes = 0;
    int nodes = 0;
    double elapsedS = 0;
    Floor floor;
    uint64_t queries = 0, dataFrames = 0, checks = 0;
    int complete = 0; // nodes that hold an identical copy
};

Run Transfer(uint32_t bytes, int nodes) {
    Run run;
    run.bytes = bytes;
    run.nodes = nodes;
    run.floor = FloorOf(bytes, nodes);

    const std::string dir = bench::MakeTempDir("talvorn-bench");
    nodesim::Config config;
    config.nodeCount = nodes;
    config.baud = kBaud;
    nodesim::Simulator sim(config);
    std::string error;
    if (!sim.Start(dir + "/line", &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        std::exit(1);
    }
    if (CreateCentre(dir + "/line", nodes, "", 0) != kChannelOneStarted) {
        std::fprintf(stderr, "the centre did not start\n");
        std::exit(1);
    }
    const std::string path = dir + "/bench.dst";
    const auto content = bench::RandomBytes(bytes, bytes ^ 0x5eed);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    CCommCenter& cc = *CCommCenter::Instance();
    CTransTask request;
    for (int n = 0; n < nodes; ++n)
        request.nodeMask[n] = 1;
    request.files = {path};

    const auto t0 = Clock::now();
    CreateSendTask(0, request);
    while (!Quiet(cc))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    run.elapsedS = Seconds(Clock::now() - t0);

    CCommCenter::Destroy();
    const auto stats = sim.stats();
    run.queries = stats.framesByCode[FRAME_QUERY - FRAME_QUERY];
    run.dataFrames = stats.framesByCode[FRAME_DATA - FRAME_QUERY];
    run.checks = stats.framesByCode[FRAME_CHECK - FRAME_QUERY];
    uint8_t field[kNameFieldSize];
    NodeNameField(path, field);
    const std::string name(reinterpret_cast<const char*>(field), kNameFieldSize);
    for (int n = 0; n < nodes; ++n) {
        const auto held = sim.fileBytes(n, name);
        run.complete += held && *held == content ? 1 : 0;
    }
    sim.Stop();
    fs::remove_all(dir);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
            return 2;
        }
    }
    // Measured first, while this process has no thread but its own.
    MeasureIdle();

    std::vector<uint32_t> sizes = {64 * 1024};
    if (!quick) {
        sizes.push_back(512 * 1024);
        sizes.push_back(kMaxSendBytes);
    }
    const int nodeCounts[] = {1, 8, 32};

    std::printf("Send task at %u bps, mode 0; floor = line %s + prescribed pauses\n", kBaud,
                "(11 bits a byte)");
    std::printf("%9s %5s %9s %9s %9s %9s %6s %7s %6s %6s %8s\n", "bytes", "nodes", "line s",
                "pauses s", "floor s", "elapsed s", "ratio", "queries", "data", "checks",
                "complete");
    std::fflush(stdout);
    bool allComplete = true;
    for (uint32_t size : sizes) {
        for (int nodes : nodeCounts) {
            const Run r = Transfer(size, nodes);
            std::printf("%9u %5d %9.2f %9.2f %9.2f %9.2f %6.3f %7llu %6llu %6llu %5d/%-2d\n",
                        r.bytes, r.nodes, r.floor.lineS, r.floor.pauseS, r.floor.total(),
                        r.elapsedS, r.elapsedS / r.floor.total(),
                        static_cast<unsigned long long>(r.queries),
                        static_cast<unsigned long long>(r.dataFrames),
                        static_cast<unsigned long long>(r.checks), r.complete, r.nodes);
            std::fflush(stdout);
            allComplete = allComplete && r.complete == r.nodes;
        }
    }
    const long hwm = StatusKb("VmHWM");
    std::printf("\nPeak resident memory of the whole run (centre and simulator): %ld KiB\n", hwm);
    if (!allComplete)
        std::printf("WARNING: some node does not hold an identical copy of the file\n");
    return allComplete ? 0 : 1;
}
