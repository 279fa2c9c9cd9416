// The largest single command the event log sees: a Send of 224 files to 32 nodes, 7,168 events in
// one record. Logs it into a temporary working folder, queries it back, prints the times and
// checks that the files hold every event.
#include "platform/PrivateProfile.h"
#include "store/EventLog.h"
#include "store/IniFile.h"
#include "store/SystemParameters.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFiles = 224;
constexpr int kNodes = 32;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main() {
    std::string tmpl = (fs::temp_directory_path() / "talvorn-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    Params().workDir = tmpl;

    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "D%05d.DST", i);
        paths.push_back("/home/operator/library/batch 2026-12/" + std::string(name));
    }
    EventNodeFlags nodes{};
    nodes.fill(true);

    const auto total = Clock::now();
    auto t = Clock::now();
    const bool logged = LogSendCommand(0, "operator", nodes, paths);
    const double logMs = msSince(t);

    // A cold query, as the Soft Note dialog would make it in a later run.
    ProfileClearCache();
    t = Clock::now();
    const auto records = QueryEvents(0, "", EV_ALL_EVENTS, 17);
    const auto files = QueryEventFiles(0, records);
    const double queryMs = msSince(t);
    const double totalMs = msSince(total);

    // Every event is in the files: one record covering all 32 nodes, 224 entries whose maps
    // hold all 32 nodes.
    const std::string item = EventItemPath(0);
    const std::string list = EventFileListPath(0);
    const std::string allNodes(kNodes, '1');
    int eventsFound = 0;
    bool ok = logged && ReadIniInt("SUM", "count", item) == 1 &&
              ReadIniString("item0", "node", item) == allNodes &&
              ReadIniInt("subitem0", "items", list) == kFiles;
    for (int j = 0; j < kFiles && ok; ++j) {
        const std::string n = std::to_string(j);
        const std::string map = ReadIniString("subitem0", "node" + n, list);
        if (ReadIniString("subitem0", "path" + n, list) != paths[static_cast<size_t>(j)])
            ok = false;
        for (char c : map)
            eventsFound += c == '1';
    }
    ok = ok && eventsFound == kFiles * kNodes && records.size() == 1 &&
         files.size() == static_cast<size_t>(kFiles);

    std::error_code ec;
    const auto itemBytes = fs::file_size(item, ec);
    const auto listBytes = fs::file_size(list, ec);
    std::printf("events logged:   %d (%d files x %d nodes, one command)\n", kFiles * kNodes, kFiles,
                kNodes);
    std::printf("log command:     %8.2f ms\n", logMs);
    std::printf("query (cold):    %8.2f ms  (%zu record, %zu file entries for node 17)\n", queryMs,
                records.size(), files.size());
    std::printf("total:           %8.2f ms\n", totalMs);
    std::printf("files:           item1.ini %llu bytes, subitem1.ini %llu bytes\n",
                static_cast<unsigned long long>(itemBytes),
                static_cast<unsigned long long>(listBytes));
    std::printf("events in files: %d of %d -> %s\n", eventsFound, kFiles * kNodes,
                ok ? "complete" : "INCOMPLETE");

    fs::remove_all(tmpl, ec);
    return ok ? 0 : 1;
}
