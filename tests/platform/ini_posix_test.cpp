// INI cases that need what only POSIX has: a file-size limit, the account "nobody", fork and
// symbolic links.
#include "IniTestFiles.h"

#include "ChildProcesses.h"
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace initest;

// Entries of a folder other than the writers' lock files, which stay by design.
int countEntries(const std::string& dir) {
    int n = 0;
    for (auto& e : fs::directory_iterator(dir))
        n += e.path().extension() == ".lock" ? 0 : 1;
    return n;
}

TEST_F(Ini, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string f = dir.file("a.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "old"));
    const std::string before = readAll(f);

    // The process may not write files longer than 64 bytes: the write of the new content fails
    // half-way, as on a full disk. This works for root too.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = ProfileSetString(f, "S", "k", std::string(200, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readAll(f), before);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "old");
    EXPECT_EQ(countEntries(dir.path()), 1); // the temporary file is gone
}

TEST_F(Ini, WriteIntoAReadOnlyFolderFailsAndKeepsTheFile) {
    const std::string sub = dir.file("ro");
    fs::create_directory(sub);
    const std::string f = sub + "/a.ini";
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "old"));
    // Read-only for everyone; the write runs as an account that the folder's modes apply to.
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir.path(), readable | fs::perms::owner_write);
    fs::permissions(sub, readable);
    const int status = testsupport::RunUnprivileged([&] {
        if (ProfileSetString(f, "S", "k", "new"))
            return 1;
        return ProfileGetString(f, "S", "k", "") == "old" ? 0 : 2;
    });
    fs::permissions(sub, fs::perms::owner_all);
    EXPECT_EQ(status, 0) << "1: the write reported success, 2: the file changed";
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "old");
    EXPECT_EQ(countEntries(sub), 1); // no temporary file left
}

TEST_F(Ini, WritersInTwoProcessesLoseNothing) {
    // The station and talvorn-cli on one working folder, each changing one file many times.
    const std::string f = dir.file("shared.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "start", "1"));
    constexpr int kWrites = 50;
    auto writer = [&](const std::string& who) {
        return [&f, who] {
            for (int i = 0; i < kWrites; ++i)
                if (!ProfileSetString(f, "S", who + std::to_string(i), "v"))
                    return 1;
            return 0;
        };
    };
    EXPECT_EQ(testsupport::RunTogether({writer("a"), writer("b")}), (std::vector<int>{0, 0}));
    int found = 0;
    for (int i = 0; i < kWrites; ++i)
        for (const char* who : {"a", "b"})
            found += ProfileGetString(f, "S", who + std::to_string(i), "") == "v" ? 1 : 0;
    EXPECT_EQ(found, 2 * kWrites);
    EXPECT_EQ(ProfileGetString(f, "S", "start", ""), "1");
}

TEST_F(Ini, WritingThroughASymbolicLinkKeepsTheLink) {
    const std::string target = dir.file("real.ini");
    const std::string link = dir.file("link.ini");
    writeRaw(target, "[S]\nk=1\n");
    fs::create_symlink(target, link);
    ASSERT_TRUE(ProfileSetString(link, "S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ProfileGetString(target, "S", "k", ""), "2");
}

} // namespace
