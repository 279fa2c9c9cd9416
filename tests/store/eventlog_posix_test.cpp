// Event-log cases that need POSIX: a file-size limit (a full disk), the account "nobody", fork,
// inotify.
#include "EventLogFixture.h"

#include "ChildProcesses.h"

#include <csignal>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace eventlogtest;

TEST_F(EventLog, NewDayKeepsTheLogUntilItsCopyIsWhole) {
    // Yesterday's records, and no archive folder to be had: "log" is a file.
    std::string oldItem = "[DATE]\r\ntoday=2026/12/06\r\n[SUM]\r\ncount=1\r\n[item0]\r\n"
                          "user=eve\r\ntime=2026/12/06/17/00/00\r\nevent=1\r\nnode=" +
                          mapOf({2}) + "\r\nsubitem=-1\r\n";
    const std::string oldList = "[SUM]\r\ncount=0\r\n";
    writeRaw(item, oldItem);
    writeRaw(list, oldList);
    writeRaw(dir + "/log", "a file where the archive folder would be");
    std::string reason;
    EXPECT_FALSE(EventLogWritable(0, &reason));
    EXPECT_EQ(reason, "cannot write the event log: " + dir + "/log is not a folder");
    EXPECT_FALSE(LogClearCommand(0, "amy", nodesOf({0})));
    EXPECT_EQ(readAll(item), oldItem);
    EXPECT_EQ(readAll(list), oldList);

    // Room for the new day's small files but not for the copy of yesterday's: this process may
    // write no file over 1 KiB, as on a disk that is nearly full.
    fs::remove(dir + "/log");
    oldItem += "[note]\r\ntext=" + std::string(4000, 'x') + "\r\n";
    writeRaw(item, oldItem);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool logged = LogClearCommand(0, "amy", nodesOf({0}));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(logged);
    EXPECT_EQ(readAll(item), oldItem);
    EXPECT_EQ(readAll(list), oldList);
    for (const auto& e : fs::directory_iterator(dir + "/log")) // no half copy left
        ADD_FAILURE() << e.path();

    // Once the copy can be made, the day changes, and the copy holds yesterday's records.
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({0})));
    EXPECT_EQ(ReadIniString("DATE", "today", item), "2026/12/07");
    EXPECT_EQ(readAll(dir + "/log/item1-2026-12-06.ini"), oldItem);
    EXPECT_EQ(readAll(dir + "/log/subitem1-2026-12-06.ini"), oldList);
}

TEST_F(EventLog, LeftoversOfACrashedWriterNeverRefuseACommand) {
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({1})));
    // The temporary files that this process makes for a command and for the check before it,
    // seen as they are made.
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
    std::string reason;
    ASSERT_TRUE(EventLogWritable(0, &reason)) << reason;
    gNow += 1;
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({2})));
    std::vector<std::string> made;
    alignas(inotify_event) char events[8192];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
        for (char* p = events; p < events + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len > 0)
                made.emplace_back(e->name);
            p += sizeof(inotify_event) + e->len;
        }
    ::close(watch);

    // What a crashed writer with this process's id would have left under the names the next
    // writes may take, and leftovers of writers with random names.
    std::vector<std::string> planted = {".item1.ini.tmpAbC123", ".subitem1.ini.tmpXyZ789",
                                        ".item1.ini.probeQwErTy"};
    const std::string pid = std::to_string(::getpid());
    for (const std::string& name : made) {
        const size_t at = name.find(pid + "-");
        if (at == std::string::npos)
            continue;
        const int k = std::atoi(name.c_str() + at + pid.size() + 1);
        for (const char* file : {".item1.ini.tmp", ".subitem1.ini.tmp", ".item1.ini.probe"})
            for (int next = k + 1; next <= k + 8; ++next)
                planted.push_back(file + pid + "-" + std::to_string(next));
    }
    for (const std::string& name : planted)
        writeRaw(dir + "/" + name, "left by a writer that crashed");

    gNow += 1;
    EXPECT_TRUE(EventLogWritable(0, &reason)) << reason;
    EXPECT_TRUE(LogSendCommand(0, "amy", nodesOf({3}), {"/d/A.DST"})); // writes both files
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 3);
    for (const std::string& name : planted)
        EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
}

TEST_F(EventLog, CommandsOfTwoProcessesAreAllLogged) {
    // The station and talvorn-cli on one working folder, logging at the same moment.
    constexpr int kCommands = 20;
    auto sends = [] {
        for (int i = 0; i < kCommands; ++i)
            if (!LogSendCommand(0, "a" + std::to_string(i), nodesOf({i}),
                                {"/d/F" + std::to_string(i) + ".DST"}))
                return 1;
        return 0;
    };
    auto deletes = [] {
        for (int i = 0; i < kCommands; ++i)
            if (!LogDeleteCommand(0, "b" + std::to_string(i), i, {"G" + std::to_string(i)}))
                return 1;
        return 0;
    };
    EXPECT_EQ(testsupport::RunTogether({sends, deletes}), (std::vector<int>{0, 0}));

    const auto records = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(records.size(), 2u * kCommands);
    std::set<std::string> users;
    for (const EventRecord& r : records) {
        users.insert(r.user);
        // Each record's own file list: F<i>.DST for a's sends, G<i> for b's deletes.
        const auto files = QueryEventFiles(0, {r});
        ASSERT_EQ(files.size(), 1u) << r.user;
        EXPECT_EQ(files[0].name,
                  (r.user[0] == 'a' ? "F" + r.user.substr(1) + ".DST" : "G" + r.user.substr(1)));
    }
    EXPECT_EQ(users.size(), 2u * kCommands);
}

TEST_F(EventLog, WritableCheckRefusesAFullDiskAndAReadOnlyFolder) {
    std::string reason;
    // No room: this process may write no file over 1 KiB, as on a full disk.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool roomy = EventLogWritable(0, &reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(roomy);
    EXPECT_EQ(reason, "cannot write the event log: " + dir + ": File too large");

    // A read-only working folder, checked by an account that the folder's modes apply to.
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    const int status = testsupport::RunUnprivileged([] {
        std::string why;
        if (EventLogWritable(0, &why))
            return 1;
        return why.find("Permission denied") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: a read-only folder passed the check, 2: another reason";
}

TEST_F(EventLog, FailedWriteLeavesThePreviousLog) {
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({1})));
    const std::string itemBefore = readAll(item);
    const std::string listBefore = readAll(list);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 32; // no new file of the log fits
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    gNow += 1;
    bool ok = LogSendCommand(0, "amy", nodesOf({1}), {"/d/A.DST"});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readAll(item), itemBefore);
    EXPECT_EQ(readAll(list), listBefore);
}

} // namespace
