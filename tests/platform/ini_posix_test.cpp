// INI cases that need what only POSIX has: a file-size limit, the account "nobody", fork (a lock
// that another process holds) and symbolic links.
#include "IniTestFiles.h"

#include "ChildProcesses.h"

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
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

// Another process holds a lock file until the returned pipe is written to (or 30 s pass).
struct LockHolder {
    pid_t pid = -1;
    int release = -1;
};
LockHolder holdLock(const std::string& lockFile) {
    int go[2], held[2];
    LockHolder h;
    if (::pipe(go) != 0 || ::pipe(held) != 0)
        return h;
    std::fflush(nullptr);
    h.pid = ::fork();
    if (h.pid == 0) {
        ::close(go[1]);
        ::close(held[0]);
        const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CREAT, 0666);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            ::_exit(1);
        char c = 1;
        (void)!::write(held[1], &c, 1);
        pollfd p{go[0], POLLIN, 0};
        ::poll(&p, 1, 30000);
        ::_exit(0);
    }
    ::close(go[0]);
    ::close(held[1]);
    char c;
    (void)!::read(held[0], &c, 1);
    ::close(held[0]);
    h.release = go[1];
    return h;
}
void letGo(LockHolder& h) {
    if (h.release >= 0)
        ::close(h.release);
    h.release = -1;
    if (h.pid > 0)
        testsupport::WaitForChild(h.pid);
    h.pid = -1;
}

TEST_F(Ini, AWaitForALockIsToldAboutAndCanBeGivenUp) {
    const std::string f = dir.file("held.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "old"));
    const std::string lockFile = ProfileLockPath(f);
    std::vector<FileLockWait> told;
    bool giveUp = true;
    std::function<void()> onThird;
    SetFileLockWaitHook([&](const FileLockWait& w) {
        told.push_back(w);
        if (told.size() == 3 && onThird)
            onThird();
        return !(giveUp && told.size() >= 3);
    });

    // Held by a process that does not let go: the wait is given up, the write refused.
    LockHolder holder = holdLock(lockFile);
    ASSERT_GT(holder.pid, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ProfileSetString(f, "S", "k", "new"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[0].lockPath, lockFile);
    EXPECT_FALSE(told[0].over || told[1].over || told[2].over);
    EXPECT_GE(told[2].waited, 2 * kFileLockWaitSlice);
    EXPECT_TRUE(told[3].over);
    {
        told.clear();
        FileLock lock(lockFile);
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(lock.error(), EINTR);
    }
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "old");

    // Waited for until the holder lets go: the write goes through, and the hook hears the end.
    told.clear();
    giveUp = false;
    onThird = [&] { letGo(holder); };
    EXPECT_TRUE(ProfileSetString(f, "S", "k", "new"));
    ASSERT_GE(told.size(), 4u);
    EXPECT_TRUE(told.back().over);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "new");

    // Held by another thread of this process: the same.
    told.clear();
    giveUp = true;
    onThird = nullptr;
    bool taken = false, release = false;
    std::mutex m;
    std::condition_variable cv;
    std::thread other([&] {
        FileLock lock(lockFile);
        std::unique_lock<std::mutex> g(m);
        taken = lock.held();
        cv.notify_all();
        cv.wait_for(g, std::chrono::seconds(30), [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> g(m);
        ASSERT_TRUE(cv.wait_for(g, std::chrono::seconds(30), [&] { return taken; }));
    }
    EXPECT_FALSE(ProfileSetString(f, "S", "k", "newer"));
    EXPECT_EQ(told.size(), 4u);
    {
        std::lock_guard<std::mutex> g(m);
        release = true;
    }
    cv.notify_all();
    other.join();
    letGo(holder);

    // A lock that nobody holds is taken without a word.
    told.clear();
    EXPECT_TRUE(ProfileSetString(f, "S", "k", "newest"));
    EXPECT_TRUE(told.empty());
    SetFileLockWaitHook(nullptr);
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
