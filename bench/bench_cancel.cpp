// Cancel latency while a send of 224 files of 1,457,664 bytes each is being prepared (every file
// read and checksummed): the window thread calls CancelTasks, which must not wait for that file
// I/O, only for one short list step.
//
// The files are synthetic bytes in a temporary folder (about 320 MB; removed at the end). Twenty
// query tasks wait behind the send; while the scheduler reads the send's files, they are
// cancelled one by one and each CancelTasks call is timed.
//
// Usage: bench_cancel [--files N]   (default 224)
#include "NodeSim.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    int fileCount = kMaxEntries;
    if (argc == 3 && std::strcmp(argv[1], "--files") == 0)
        fileCount = std::max(1, std::atoi(argv[2]));

    char tmpl[] = "/tmp/talvorn-bench-cancel-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = tmpl;
    std::vector<std::string> paths;
    {
        std::vector<char> bytes(kMaxSendBytes);
        uint32_t x = 12345;
        for (char& b : bytes) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<char>(x >> 24);
        }
        for (int i = 0; i < fileCount; ++i) {
            bytes[0] = static_cast<char>(i); // each file its own content
            char name[32];
            std::snprintf(name, sizeof name, "F%03d.DST", i);
            paths.push_back((dir / name).string());
            std::ofstream(paths.back(), std::ios::binary).write(bytes.data(), bytes.size());
        }
    }

    nodesim::Config config;
    config.nodeCount = 2;
    nodesim::Simulator sim(config);
    std::string error;
    const std::string link = (dir / "line").string();
    if (!sim.Start(link, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    std::string names[2] = {link, ""};
    int counts[2] = {2, 0}, speeds[2] = {3, 3}, modes[2] = {0, 0};
    if (CCommCenter::Create(names, counts, speeds, modes) != 1) {
        std::fprintf(stderr, "the centre did not start\n");
        return 1;
    }
    CCommCenter& cc = *CCommCenter::Instance();
    std::atomic<int> fileWork{0};
    cc.fileWorkHook = [&](int) { fileWork.fetch_add(1); };

    // The send first, then twenty queries that wait behind it.
    std::vector<int> queries(20);
    CTransTask send;
    send.nodeMask[0] = 1;
    send.files = paths;
    cc.schedulerHold.store(1);
    CreateSendTask(0, send);
    for (int& no : queries) {
        CTransTask q;
        q.nodeMask[1] = 1;
        CreateQueryTask(0, q);
        no = q.taskNo;
    }
    const auto prepStart = Clock::now();
    cc.schedulerHold.store(0);
    while (fileWork.load() == 0)
        std::this_thread::sleep_for(std::chrono::microseconds(200));

    std::vector<double> latencies;
    int during = 0;
    for (int no : queries) {
        if (cc.taskActive[0].load() == 0)
            ++during; // the send has not started: its files are still being read
        CTransTask cancel;
        cancel.nodeMask[1] = 1;
        cancel.cancelTaskNos[0] = no;
        cancel.cancelTaskNos[1] = -1;
        const auto t0 = Clock::now();
        cc.CancelTasks(0, cancel);
        latencies.push_back(Ms(Clock::now() - t0));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    while (cc.taskActive[0].load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double prepMs = Ms(Clock::now() - prepStart);

    std::sort(latencies.begin(), latencies.end());
    std::printf("bench_cancel: %d files of %u bytes prepared in %.0f ms\n", fileCount,
                kMaxSendBytes, prepMs);
    std::printf("bench_cancel: %zu cancels, %d of them during the preparation: median %.3f ms, "
                "max %.3f ms\n",
                latencies.size(), during, latencies[latencies.size() / 2], latencies.back());

    CCommCenter::Destroy();
    sim.Stop();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
