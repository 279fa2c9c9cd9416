#include "platform/PrivateProfile.h"

#include "ChildProcesses.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>

#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "talvorn-ini-XXXXXX").string();
        char* made = ::mkdtemp(tmpl.data());
        if (made)
            path_ = made;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeRaw(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// Entries of a folder other than the writers' lock files, which stay by design.
int countEntries(const std::string& dir) {
    int n = 0;
    for (auto& e : fs::directory_iterator(dir))
        n += e.path().extension() == ".lock" ? 0 : 1;
    return n;
}

class Ini : public ::testing::Test {
protected:
    void SetUp() override { ProfileClearCache(); }
    TempDir dir;
};

TEST_F(Ini, SectionAndKeyNamesIgnoreCaseAndFirstOccurrenceWins) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[Sys_Para]\r\nChannel1ComID=first\r\nCHANNEL1COMID=second\r\n"
                "[SYS_PARA]\r\nchannel1comid=third\r\nOther=x\r\n");
    EXPECT_EQ(ProfileGetString(f, "sys_para", "channel1comid", "d"), "first");
    // A key only in the duplicate section is not seen: the first section wins as a whole.
    EXPECT_EQ(ProfileGetString(f, "SYS_PARA", "Other", "d"), "d");

    ASSERT_TRUE(ProfileSetString(f, "SYS_para", "Channel1ComId", "new"));
    EXPECT_EQ(ProfileGetString(f, "Sys_Para", "CHANNEL1COMID", ""), "new");
    // Only the first occurrence changed, spelled as the file spells it.
    EXPECT_EQ(readAll(f), "[Sys_Para]\r\nChannel1ComID=new\r\nCHANNEL1COMID=second\r\n"
                          "[SYS_PARA]\r\nchannel1comid=third\r\nOther=x\r\n");

    // Every letter folds, the first and the last of the alphabet included.
    const std::string g = dir.file("az.ini");
    writeRaw(g, "[ABCDEFGHIJKLMNOPQRSTUVWXYZ]\nabcdefghijklmnopqrstuvwxyz=lower\n");
    EXPECT_EQ(ProfileGetString(g, "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", ""),
              "lower");
    ASSERT_TRUE(
        ProfileSetString(g, "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "z"));
    EXPECT_EQ(readAll(g), "[ABCDEFGHIJKLMNOPQRSTUVWXYZ]\r\nabcdefghijklmnopqrstuvwxyz=z\r\n");
}

TEST_F(Ini, MissingFileSectionOrKeyReadsAsDefault) {
    const std::string f = dir.file("none.ini");
    EXPECT_EQ(ProfileGetString(f, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(ProfileGetString(dir.file("no/such/folder.ini"), "S", "k", "0"), "0");
    EXPECT_TRUE(ProfileGetSectionNames(f).empty());
    writeRaw(f, "[S]\nk=v\n");
    EXPECT_EQ(ProfileGetString(f, "S", "other", "d"), "d");
    EXPECT_EQ(ProfileGetString(f, "T", "k", "d"), "d");
    // A present but empty value is not the default.
    writeRaw(f, "[S]\nk=\n");
    EXPECT_EQ(ProfileGetString(f, "S", "k", "d"), "");
}

TEST_F(Ini, ValuesAndNamesAreTrimmedOfBlanks) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "  [ Sec ]  \n\t key one \t=  two  words \t\n");
    EXPECT_EQ(ProfileGetString(f, "Sec", "key one", ""), "two  words");
}

TEST_F(Ini, WritesKeepOtherLinesAndPlaceNewKeysAndSections) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "; header comment\n"
                "[A]\n"
                "x=1\n"
                "; inside A\n"
                "unknown line without equals\n"
                "\n"
                "[B]\n"
                "y=2\n");
    ASSERT_TRUE(ProfileSetString(f, "A", "new", "n"));
    ASSERT_TRUE(ProfileSetString(f, "B", "y", "3"));
    ASSERT_TRUE(ProfileSetString(f, "C", "z", "4"));
    EXPECT_EQ(readAll(f), "; header comment\r\n"
                          "[A]\r\n"
                          "x=1\r\n"
                          "; inside A\r\n"
                          "unknown line without equals\r\n"
                          "new=n\r\n"
                          "\r\n"
                          "[B]\r\n"
                          "y=3\r\n"
                          "[C]\r\n"
                          "z=4\r\n");
}

// Keys added in the middle of a text move the lines below them; one text changed many times in
// memory must still find every key, first occurrences first, as a fresh reading of it does.
TEST(ProfileTextChanges, KeysAddedBetweenOthersAreFoundAsAFreshReadingFindsThem) {
    ProfileText doc("[A]\nk0=a\n[B]\nk0=b\nK0=dup\n\n[a]\nk0=second A\n[C]\nc=1\n");
    for (int i = 1; i <= 40; ++i) {
        const std::string key = "k" + std::to_string(i);
        ASSERT_TRUE(doc.set("A", key, "a" + std::to_string(i)));
        ASSERT_TRUE(doc.set(" b ", key, "b" + std::to_string(i)));
        if (i % 7 == 0) {
            ASSERT_TRUE(doc.set("A", "k" + std::to_string(i / 7), "again"));
        }
    }
    const ProfileText fresh(doc.text());
    for (const ProfileText* d : {static_cast<const ProfileText*>(&doc), &fresh}) {
        EXPECT_EQ(d->find("a", "K0"), "a");
        EXPECT_EQ(d->find("B", "k0"), "b");
        for (int i = 1; i <= 40; ++i) {
            const std::string key = "K" + std::to_string(i);
            EXPECT_EQ(d->find("A", key), i <= 5 ? "again" : "a" + std::to_string(i)) << key;
            EXPECT_EQ(d->find("b", key), "b" + std::to_string(i)) << key;
        }
        EXPECT_FALSE(d->find("A", "k41").has_value());
        EXPECT_EQ(d->find("c", "C"), "1");
    }
    EXPECT_EQ(fresh.text(), doc.text());
}

TEST_F(Ini, ReadsLfAndCrlfWritesCrlfAndCreatesTheFileOnFirstWrite) {
    const std::string f = dir.file("new.ini");
    ASSERT_FALSE(fs::exists(f));
    ASSERT_TRUE(ProfileSetString(f, "S", "a", "1"));
    ASSERT_TRUE(ProfileSetString(f, "S", "b", "2"));
    EXPECT_EQ(readAll(f), "[S]\r\na=1\r\nb=2\r\n");

    const std::string g = dir.file("lf.ini");
    writeRaw(g, "[S]\nlf=1\n[T]\r\ncrlf=2\r\nlast=3");
    EXPECT_EQ(ProfileGetString(g, "S", "lf", ""), "1");
    EXPECT_EQ(ProfileGetString(g, "T", "crlf", ""), "2");
    EXPECT_EQ(ProfileGetString(g, "T", "last", ""), "3");
    ASSERT_TRUE(ProfileSetString(g, "T", "crlf", "x"));
    const std::string text = readAll(g);
    EXPECT_EQ(text, "[S]\r\nlf=1\r\n[T]\r\ncrlf=x\r\nlast=3\r\n");

    // A folder that does not exist is not created.
    EXPECT_FALSE(ProfileSetString(dir.file("missing/x.ini"), "S", "k", "v"));
}

TEST_F(Ini, DeletesAndListsSections) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[A]\nk1=1\nK2 = 2\nk1=dup\n[B]\nb=1\n[a]\nk3=3\n");
    auto keys = ProfileGetSection(f, "a");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], (std::pair<std::string, std::string>{"k1", "1"}));
    EXPECT_EQ(keys[1], (std::pair<std::string, std::string>{"K2", "2"}));
    EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"A", "B"}));

    ASSERT_TRUE(ProfileDeleteKey(f, "A", "K1"));
    EXPECT_EQ(ProfileGetString(f, "A", "k1", "gone"), "gone");
    ASSERT_TRUE(ProfileDeleteSection(f, "A"));
    EXPECT_EQ(readAll(f), "[B]\r\nb=1\r\n");
}

TEST_F(Ini, RefusesNamesAndValuesThatWouldAddLines) {
    const std::string f = dir.file("a.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "a\r\n[EVIL]\nx=1\0y"s));
    EXPECT_FALSE(ProfileSetString(f, "S]\n[T", "k", "v"));
    EXPECT_FALSE(ProfileSetString(f, "S", "k=1", "v"));
    EXPECT_FALSE(ProfileSetString(f, "S", "", "v"));
    EXPECT_FALSE(ProfileSetString(f, "", "k", "v"));
    EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"S"}));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "a??[EVIL]?x=1?y");
}

TEST_F(Ini, BatchWritesOnceAndShowsItsPendingChanges) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[S]\nold=1\n");
    const std::string before = readAll(f);
    ProfileBatch b(f);
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(b.set("S" + std::to_string(i % 5), "k" + std::to_string(i), std::to_string(i)));
    EXPECT_EQ(b.get("S3", "K8", ""), "8");
    EXPECT_EQ(readAll(f), before); // nothing reaches the file before commit
    EXPECT_EQ(ProfileGetString(f, "S3", "k8", "none"), "none");
    ASSERT_TRUE(b.commit());
    EXPECT_FALSE(b.dirty());
    EXPECT_EQ(ProfileGetString(f, "S3", "k8", ""), "8");
    EXPECT_EQ(ProfileGetString(f, "S4", "k499", ""), "499");
    EXPECT_EQ(ProfileGetString(f, "S", "old", ""), "1");

    ProfileBatch c(f);
    c.clear();
    ASSERT_TRUE(c.set("N", "k", "v"));
    ASSERT_TRUE(c.commit());
    EXPECT_EQ(readAll(f), "[N]\r\nk=v\r\n");
}

TEST_F(Ini, CacheNoticesChangesMadeUnderneath) {
    const std::string f = dir.file("a.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "aaaa"));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "aaaa");

    // Same size, same inode, written in place within one tick of a coarse file-system clock
    // (the time stamp is put back): only the content tells.
    const auto written = fs::last_write_time(f);
    {
        std::fstream io(f, std::ios::in | std::ios::out | std::ios::binary);
        io.seekp(static_cast<std::streamoff>(readAll(f).find("aaaa")));
        io << "bbbb";
    }
    fs::last_write_time(f, written);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "bbbb");

    // Replaced by another program.
    writeRaw(f + ".other", "[S]\r\nk=other value\r\n");
    fs::rename(f + ".other", f);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "other value");

    // Removed.
    fs::remove(f);
    EXPECT_EQ(ProfileGetString(f, "S", "k", "gone"), "gone");

    // An old file is trusted by its time stamp; a same-size change with a new stamp is seen.
    writeRaw(f, "[S]\nk=1\n");
    const auto stamp = fs::last_write_time(f);
    fs::last_write_time(f, stamp - std::chrono::hours(2));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "1");
    writeRaw(f, "[S]\nk=2\n");
    fs::last_write_time(f, stamp - std::chrono::hours(1));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "2");
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

TEST_F(Ini, GarbageBinaryAndHugeFilesAreReadSafely) {
    const std::string bin = dir.file("bin.ini");
    std::mt19937 rng(7);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng());
    writeRaw(bin, junk);
    EXPECT_EQ(ProfileGetString(bin, "SYS_PARA", "Channel1ComSum", "0"), "0");
    ProfileGetSectionNames(bin);

    // NUL bytes: a value ends at its first NUL, a key with one matches nothing.
    const std::string nul = dir.file("nul.ini");
    writeRaw(nul, "[S]\nk=ab\0cd\nz\0z=1\n[T]\nk=2\n"s);
    EXPECT_EQ(ProfileGetString(nul, "S", "k", ""), "ab");
    writeRaw(dir.file("nul2.ini"), "[S]\nk=/work \0 \n"s);
    EXPECT_EQ(ProfileGetString(dir.file("nul2.ini"), "S", "k", ""), "/work"); // trimmed after
    EXPECT_EQ(ProfileGetString(nul, "S", "z", "d"), "d");
    EXPECT_EQ(ProfileGetString(nul, "T", "k", ""), "2");
    // Writing keeps the other lines byte for byte.
    ASSERT_TRUE(ProfileSetString(nul, "T", "k", "3"));
    EXPECT_EQ(readAll(nul), "[S]\r\nk=ab\0cd\r\nz\0z=1\r\n[T]\r\nk=3\r\n"s);

    // One 4 MB line without a line end.
    const std::string longLine = dir.file("long.ini");
    writeRaw(longLine, "[S]\nk=" + std::string(4 << 20, 'v'));
    EXPECT_EQ(ProfileGetString(longLine, "S", "k", "").size(), size_t(4 << 20));

    // Bigger than the cap (sparse, so it costs no disk): read up to the cap, never rewritten.
    const std::string huge = dir.file("huge.ini");
    writeRaw(huge, "[S]\nk=v\n");
    fs::resize_file(huge, kMaxProfileFileBytes + 4096);
    EXPECT_EQ(ProfileGetString(huge, "S", "k", ""), "v");
    EXPECT_FALSE(ProfileSetString(huge, "S", "k", "w"));
    EXPECT_EQ(fs::file_size(huge), kMaxProfileFileBytes + 4096);

    // Not a file at all.
    EXPECT_EQ(ProfileGetString(dir.path(), "S", "k", "d"), "d");
    EXPECT_FALSE(ProfileSetString(dir.path(), "S", "k", "v"));
}

} // namespace
