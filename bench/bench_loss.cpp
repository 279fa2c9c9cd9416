// Loss benchmark: what lost frames cost a send. The same send (a few files to a few nodes over a
// line that runs at 115200 bps) is timed on a clean line and on one where two of the nodes miss
// frames: node 2 misses 8 % and node 3 15 % of the frames meant for it (queries, checks, heads and
// packages alike; a missed request goes unanswered). A lost reply costs the wait for it and the
// grace after it, and the node that did not answer waits its turn for a second try; the ratio
// lossy / clean shows how much of that the station makes up.
//
// The nodes' files are compared byte for byte after each run. Each lossy run uses its own seed;
// the clean time is the mean of its runs.
//
// Usage: bench_loss [--runs N]   (default 5 lossy runs, and 2 clean ones)
#include "BenchFiles.h"
#include "NodeSim.h"
#include "link/CommCenter.h"
#include "tasks/TaskLayer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kBaud = 115200;
constexpr int kSpeedIndex = 3; // 115200 bps
constexpr int kNodes = 4;
constexpr uint32_t kFileSizes[] = {6000, 12000, 20000, 30000};
constexpr double kLoss[kNodes] = {0, 0, 0.08, 0.15};

struct Outcome {
    double seconds = 0;
    int complete = 0; // node and file pairs held byte for byte
    uint64_t frames = 0;
    uint64_t dropped = 0;
};

Outcome Send(bool lossy, uint64_t seed) {
    const std::string dir = bench::MakeTempDir("talvorn-loss");
    nodesim::Config config;
    config.nodeCount = kNodes;
    config.baud = kBaud;
    config.seed = seed;
    if (lossy) {
        for (int n = 0; n < kNodes; ++n)
            config.setNodeDropRate(n, kLoss[n]);
    }
    nodesim::Simulator sim(config);
    std::string error;
    if (!sim.Start(dir + "/line", &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        std::exit(1);
    }
    const std::string names[kChannels] = {dir + "/line", ""};
    const int counts[kChannels] = {kNodes, 0};
    const int speeds[kChannels] = {kSpeedIndex, kSpeedIndex};
    const int modes[kChannels] = {0, 0};
    if (CCommCenter::Create(names, counts, speeds, modes) != kChannelOneStarted) {
        std::fprintf(stderr, "the centre did not start\n");
        std::exit(1);
    }
    CTransTask request;
    std::vector<std::vector<uint8_t>> contents;
    for (size_t i = 0; i < std::size(kFileSizes); ++i) {
        const std::string path = dir + "/loss" + std::to_string(i) + ".dst";
        contents.push_back(bench::RandomBytes(kFileSizes[i], static_cast<uint32_t>(i + 1)));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.back().data()),
                   static_cast<std::streamsize>(contents.back().size()));
        request.files.push_back(path);
    }
    for (int n = 0; n < kNodes; ++n)
        request.nodeMask[n] = 1;
    CCommCenter& cc = *CCommCenter::Instance();

    const auto t0 = Clock::now();
    CreateSendTask(0, request);
    while (!cc.ChannelQuiet(0))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Outcome out;
    out.seconds = std::chrono::duration<double>(Clock::now() - t0).count();

    CCommCenter::Destroy();
    const auto stats = sim.stats();
    for (uint64_t f : stats.framesByCode)
        out.frames += f;
    out.dropped = stats.framesDropped;
    for (size_t i = 0; i < request.files.size(); ++i) {
        uint8_t field[kNameFieldSize];
        NodeNameField(request.files[i], field);
        const std::string name(reinterpret_cast<const char*>(field), kNameFieldSize);
        for (int n = 0; n < kNodes; ++n) {
            const auto held = sim.fileBytes(n, name);
            out.complete += held && *held == contents[i] ? 1 : 0;
        }
    }
    sim.Stop();
    fs::remove_all(dir);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (runs < 1)
        runs = 1;
    const int pairs = kNodes * static_cast<int>(std::size(kFileSizes));
    std::printf("Send of %zu files (%u to %u bytes) to %d nodes at %u bps; nodes 2 and 3 miss "
                "%.0f %% and %.0f %% of their frames\n",
                std::size(kFileSizes), kFileSizes[0], kFileSizes[std::size(kFileSizes) - 1], kNodes,
                kBaud, kLoss[2] * 100, kLoss[3] * 100);
    std::printf("%-8s %5s %9s %7s %8s %8s\n", "line", "seed", "elapsed s", "frames", "dropped",
                "complete");
    bool allComplete = true;
    double clean = 0;
    const int cleanRuns = 2;
    for (int i = 0; i < cleanRuns; ++i) {
        const Outcome o = Send(false, 1);
        std::printf("%-8s %5s %9.2f %7llu %8llu %5d/%-2d\n", "clean", "-", o.seconds,
                    static_cast<unsigned long long>(o.frames),
                    static_cast<unsigned long long>(o.dropped), o.complete, pairs);
        std::fflush(stdout);
        clean += o.seconds / cleanRuns;
        allComplete = allComplete && o.complete == pairs;
    }
    double lossy = 0, worst = 0;
    for (int i = 0; i < runs; ++i) {
        const uint64_t seed = 1000 + static_cast<uint64_t>(i);
        const Outcome o = Send(true, seed);
        std::printf("%-8s %5llu %9.2f %7llu %8llu %5d/%-2d\n", "lossy",
                    static_cast<unsigned long long>(seed), o.seconds,
                    static_cast<unsigned long long>(o.frames),
                    static_cast<unsigned long long>(o.dropped), o.complete, pairs);
        std::fflush(stdout);
        lossy += o.seconds / runs;
        worst = std::max(worst, o.seconds);
        allComplete = allComplete && o.complete == pairs;
    }
    std::printf("\nclean %.2f s, lossy %.2f s on average (worst %.2f s): ratio %.2f (worst %.2f)\n",
                clean, lossy, worst, lossy / clean, worst / clean);
    if (!allComplete)
        std::printf("WARNING: some node does not hold an identical copy of every file\n");
    return allComplete ? 0 : 1;
}
