// Event-log cases that need POSIX: a file-size limit (a full disk), the account "nobody", fork.
#include "EventLogFixture.h"

#include "ChildProcesses.h"

#include <csignal>
#include <sys/resource.h>

namespace {

using namespace eventlogtest;

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
