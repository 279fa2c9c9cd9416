#include "platform/FileOperations.h"

#include "ChildProcesses.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testsupport::DesignBytes;
using testsupport::TempDir;
using testsupport::WriteFile;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::string& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

// Every name in a folder, hidden ones included, sorted.
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

ino_t inode(const std::string& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_ino;
}

dev_t device(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_dev;
}

mode_t modeOf(const std::string& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// The names in a folder that an interrupted operation leaves ("hidden holders").
std::vector<std::string> holders(const std::string& dir) {
    std::vector<std::string> out;
    for (const std::string& n : entries(dir))
        if (n.rfind(".talvorn-", 0) == 0)
            out.push_back(n);
    return out;
}

const char* kNoMountsHere =
    "this system gives a test no mount namespace (unshare or mount refused)";

// A source folder and a destination folder, and XDG_DATA_HOME put back afterwards.
class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = tmp / "src";
        dst = tmp / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        if (const char* d = std::getenv("XDG_DATA_HOME"))
            oldData_ = d, hadData_ = true;
    }
    void TearDown() override {
        if (hadData_)
            ::setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    TempDir tmp;
    std::string src, dst;
    const Bytes kA = DesignBytes(3000, 1);
    const Bytes kB = DesignBytes(500, 2);

private:
    std::string oldData_;
    bool hadData_ = false;
};

TEST_F(FileOpsTest, ClashIsDecidedByTheAnswerNeverByOverwriting) {
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    ASSERT_TRUE(WriteFile(dst + "/a.bin", kB));
    FileOperations ops;

    // Without anyone to ask, an existing item is kept.
    FileOpReport r = ops.copy({src + "/a.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Done);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(readFile(dst + "/a.bin"), kB);

    std::vector<FileClash> asked;
    ClashAnswer answer = ClashAnswer::Skip;
    ops.onClash([&](const FileClash& c) {
        asked.push_back(c);
        return answer;
    });
    r = ops.copy({src + "/a.bin"}, dst);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].source, src + "/a.bin");
    EXPECT_EQ(asked[0].destination, dst + "/a.bin");
    EXPECT_FALSE(asked[0].sourceIsFolder || asked[0].destinationIsFolder || asked[0].sameItem);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(readFile(dst + "/a.bin"), kB);

    answer = ClashAnswer::Cancel;
    EXPECT_EQ(ops.copy({src + "/a.bin"}, dst).status, FileOpStatus::Cancelled);
    EXPECT_EQ(readFile(dst + "/a.bin"), kB);

    answer = ClashAnswer::KeepBoth;
    r = ops.copy({src + "/a.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Done);
    EXPECT_EQ(r.created, std::vector<std::string>{dst + "/a (2).bin"});
    EXPECT_EQ(readFile(dst + "/a (2).bin"), kA);
    EXPECT_EQ(readFile(dst + "/a.bin"), kB);

    answer = ClashAnswer::Replace;
    EXPECT_TRUE(ops.copy({src + "/a.bin"}, dst).ok());
    EXPECT_EQ(readFile(dst + "/a.bin"), kA);

    // A folder replaces a folder as a whole; what only the old one held is gone with it.
    fs::create_directories(src + "/F");
    fs::create_directories(dst + "/F");
    ASSERT_TRUE(WriteFile(src + "/F/new.bin", kA));
    ASSERT_TRUE(WriteFile(dst + "/F/old.bin", kB));
    asked.clear();
    EXPECT_TRUE(ops.copy({src + "/F"}, dst).ok());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].sourceIsFolder && asked[0].destinationIsFolder);
    EXPECT_EQ(entries(dst + "/F"), std::vector<std::string>{"new.bin"});

    // Copied into its own folder: the same item; replacing it with itself keeps it.
    asked.clear();
    r = ops.copy({dst + "/a.bin"}, dst);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].sameItem);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(readFile(dst + "/a.bin"), kA);

    // No temporary folder is left behind by any of this.
    EXPECT_EQ(entries(dst), (std::vector<std::string>{"F", "a (2).bin", "a.bin"}));
}

TEST_F(FileOpsTest, FolderIsNeverPutIntoItself) {
    const std::string a = src + "/A";
    fs::create_directories(a + "/sub");
    ASSERT_TRUE(WriteFile(a + "/x.bin", kA));
    FileOperations ops;
    ops.onClash([](const FileClash&) { return ClashAnswer::Replace; });

    for (const std::string& into : {a, a + "/sub", a + "/sub/"}) {
        for (bool moving : {false, true}) {
            const FileOpReport r = moving ? ops.move({a}, into) : ops.copy({a}, into);
            EXPECT_EQ(r.status, FileOpStatus::Refused) << into;
            ASSERT_EQ(r.failures.size(), 1u);
            EXPECT_EQ(r.failures[0].fault, FileFault::IntoItself);
        }
    }
    EXPECT_EQ(entries(a), (std::vector<std::string>{"sub", "x.bin"}));
    EXPECT_TRUE(entries(a + "/sub").empty());

    // Nor may a replace delete the folder that holds the source.
    fs::create_directories(src + "/T/inner/T");
    FileOpReport r = ops.move({src + "/T/inner/T"}, src);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_FALSE(r.failures.empty());
    EXPECT_EQ(r.failures[0].fault, FileFault::IntoItself);
    EXPECT_TRUE(fs::is_directory(src + "/T/inner/T"));

    // A link to the folder is only a link: copying it into the folder is fine, and stays a link.
    fs::create_symlink(a, src + "/toA");
    EXPECT_TRUE(ops.copy({src + "/toA"}, a).ok());
    EXPECT_TRUE(fs::is_symlink(a + "/toA"));
    EXPECT_EQ(fs::read_symlink(a + "/toA"), a);
}

TEST_F(FileOpsTest, MoveRenamesOnOneFileSystemAndCopiesAcrossOthers) {
    const std::string outside = tmp / "outside";
    fs::create_directories(outside);
    ASSERT_TRUE(WriteFile(outside + "/keep.bin", kB));
    fs::create_directories(src + "/F/deep");
    ASSERT_TRUE(WriteFile(src + "/F/deep/d.bin", kA));
    fs::create_symlink(outside, src + "/F/link");
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    const ino_t fileInode = inode(src + "/a.bin");

    FileOperations ops;
    ops.onClash([](const FileClash&) {
        ADD_FAILURE() << "no clash expected";
        return ClashAnswer::Cancel;
    });
    // Moving onto itself does nothing and asks nothing.
    FileOpReport r = ops.move({src + "/a.bin"}, src);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.skipped, 1);

    EXPECT_TRUE(ops.move({src + "/a.bin"}, dst).ok());
    EXPECT_EQ(inode(dst + "/a.bin"), fileInode); // renamed, not copied
    EXPECT_FALSE(fs::exists(src + "/a.bin"));

    // Across file systems (rename reports EXDEV): copied whole, then the source deleted; the
    // link is moved as a link and what it points at stays untouched.
    int crossings = 0;
    ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
        if (FileOperations::isSameOrInside(src, from)) {
            ++crossings;
            return EXDEV;
        }
        return FileOperations::systemRename(from, to, replace);
    });
    r = ops.move({src + "/F"}, dst);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(crossings, 1);
    EXPECT_EQ(r.created, std::vector<std::string>{dst + "/F"});
    EXPECT_FALSE(fs::exists(src + "/F"));
    EXPECT_EQ(readFile(dst + "/F/deep/d.bin"), kA);
    EXPECT_TRUE(fs::is_symlink(dst + "/F/link"));
    EXPECT_EQ(entries(outside), std::vector<std::string>{"keep.bin"});
    EXPECT_EQ(entries(dst), (std::vector<std::string>{"F", "a.bin"}));

    // A real second file system, when this machine has one at hand.
    if (fs::is_directory("/dev/shm") && device("/dev/shm") != device(tmp.path())) {
        char shm[] = "/dev/shm/talvorn-fileops-XXXXXX";
        ASSERT_NE(::mkdtemp(shm), nullptr);
        FileOperations plain;
        r = plain.move({dst + "/F"}, shm);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(readFile(std::string(shm) + "/F/deep/d.bin"), kA);
        EXPECT_FALSE(fs::exists(dst + "/F"));
        fs::remove_all(shm);
    }
}

TEST_F(FileOpsTest, FailedOrCancelledCopyLeavesSourceAndNoPartialDestination) {
    const Bytes big = DesignBytes(3 << 20, 3); // three write chunks
    ASSERT_TRUE(WriteFile(src + "/big.bin", big));
    FileOperations ops;
    ops.onClash([](const FileClash&) { return ClashAnswer::Replace; });
    // The disk fills up in the middle of the copy.
    int writes = 0;
    ops.setWrite([&](int fd, const void* data, size_t size) -> long {
        if (++writes == 2) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    });
    FileOpReport r = ops.copy({src + "/big.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].error, ENOSPC);
    EXPECT_TRUE(entries(dst).empty());

    // The same in a move across file systems, replacing an older copy: the source and the older
    // copy both stay as they were.
    ASSERT_TRUE(WriteFile(dst + "/big.bin", kB));
    writes = 0;
    ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
        return FileOperations::isSameOrInside(src, from)
                   ? EXDEV
                   : FileOperations::systemRename(from, to, replace);
    });
    r = ops.move({src + "/big.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(readFile(src + "/big.bin"), big);
    EXPECT_EQ(readFile(dst + "/big.bin"), kB);
    EXPECT_EQ(entries(dst), std::vector<std::string>{"big.bin"});
    fs::remove(dst + "/big.bin");

    // A folder holding something that is not a file (a pipe) is not copied at all.
    ops.setWrite({});
    fs::create_directories(src + "/F");
    ASSERT_TRUE(WriteFile(src + "/F/first.bin", kA));
    ASSERT_EQ(::mkfifo((src + "/F/pipe").c_str(), 0600), 0);
    r = ops.copy({src + "/F"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::NotSupported);
    EXPECT_EQ(r.failures[0].path, src + "/F/pipe");
    EXPECT_TRUE(entries(dst).empty());

    // Cancelled once the first megabyte is written.
    ops.onProgress([](const FileProgress& p) { return p.bytesDone < (1u << 20); });
    r = ops.copy({src + "/big.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Cancelled);
    EXPECT_TRUE(entries(dst).empty());
    EXPECT_EQ(readFile(src + "/big.bin"), big);
}

TEST_F(FileOpsTest, TrashFollowsTheDesktopTrashAndNeverDeletesInstead) {
    const std::string data = tmp / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const std::string trash = data + "/Trash";
    EXPECT_EQ(FileOperations::homeTrashFolder(), trash);

    const std::string outside = tmp / "outside";
    fs::create_directories(outside);
    ASSERT_TRUE(WriteFile(outside + "/keep.bin", kB));
    ASSERT_TRUE(WriteFile(src + "/a b%.bin", kA));
    fs::create_directories(src + "/F");
    fs::create_symlink(outside, src + "/F/link");
    fs::create_directories(dst + "/F");

    FileOperations ops;
    FileOpReport r = ops.moveToTrash({src + "/a b%.bin", src + "/F", dst + "/F"});
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(entries(src), std::vector<std::string>{});
    EXPECT_EQ(entries(trash + "/files"), (std::vector<std::string>{"F", "F (2)", "a b%.bin"}));
    EXPECT_EQ(readFile(trash + "/files/a b%.bin"), kA);
    EXPECT_TRUE(fs::is_symlink(trash + "/files/F/link"));
    EXPECT_EQ(entries(outside), std::vector<std::string>{"keep.bin"});
    const std::string info = readText(trash + "/info/a b%.bin.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + src + "/a%20b%25.bin\nDeletionDate=", 0), 0u)
        << info;
    EXPECT_EQ(readText(trash + "/info/F (2).trashinfo").find("Path=" + dst + "/F\n"), 13u);

    // A trash that cannot be made is reported, and the item stays where it is.
    ASSERT_TRUE(WriteFile(src + "/c.bin", kA));
    ASSERT_TRUE(WriteFile(tmp / "plain", kB));
    const std::string blocked = tmp / "plain/data";
    ::setenv("XDG_DATA_HOME", blocked.c_str(), 1);
    r = ops.moveToTrash({src + "/c.bin"});
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::TrashUnavailable);
    EXPECT_EQ(readFile(src + "/c.bin"), kA);

    // So is a move into the trash that fails; no stray entry is left in its info folder.
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ops.setRename([](const std::string&, const std::string&, bool) { return EACCES; });
    r = ops.moveToTrash({src + "/c.bin"});
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(r.failures[0].fault, FileFault::TrashUnavailable);
    EXPECT_EQ(r.failures[0].error, EACCES);
    EXPECT_EQ(readFile(src + "/c.bin"), kA);
    EXPECT_EQ(entries(trash + "/info").size(), 3u);

    // Another volume has its own trash at its top folder, with paths relative to it.
    const std::string uid = std::to_string(::getuid());
    const std::string volumeTrash = "/dev/shm/.Trash-" + uid;
    if (fs::is_directory("/dev/shm") && device("/dev/shm") != device(tmp.path()) &&
        !fs::exists("/dev/shm/.Trash") && !fs::exists(volumeTrash)) {
        char shm[] = "/dev/shm/talvorn-trash-XXXXXX";
        ASSERT_NE(::mkdtemp(shm), nullptr);
        const std::string item = std::string(shm) + "/v.bin";
        ASSERT_TRUE(WriteFile(item, kA));
        FileOperations plain;
        EXPECT_TRUE(plain.moveToTrash({item}).ok());
        EXPECT_EQ(readFile(volumeTrash + "/files/v.bin"), kA);
        EXPECT_NE(
            readText(volumeTrash + "/info/v.bin.trashinfo").find("Path=" + item.substr(9) + "\n"),
            std::string::npos);
        fs::remove_all(volumeTrash);
        fs::remove_all(shm);
    }
}

TEST_F(FileOpsTest, PermanentDeleteRemovesLinksNotWhatTheyPointAt) {
    const std::string outside = tmp / "outside";
    fs::create_directories(outside + "/inner");
    ASSERT_TRUE(WriteFile(outside + "/inner/keep.bin", kB));
    fs::create_directories(src + "/F/deep");
    ASSERT_TRUE(WriteFile(src + "/F/deep/d.bin", kA));
    fs::create_symlink(outside, src + "/F/link");
    fs::create_symlink(outside + "/inner", src + "/direct");

    FileOperations ops;
    FileOpReport r = ops.removePermanently({src + "/F", src + "/direct", "relative/path"});
    EXPECT_EQ(r.status, FileOpStatus::Failed); // the relative path only
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].path, "relative/path");
    EXPECT_EQ(r.done, (std::vector<std::string>{src + "/F", src + "/direct"}));
    EXPECT_TRUE(entries(src).empty());
    EXPECT_EQ(readFile(outside + "/inner/keep.bin"), kB);

    // The root and mount points are never deleted, moved or trashed.
    EXPECT_TRUE(FileOperations::isProtected("/"));
    EXPECT_TRUE(FileOperations::isProtected("/proc"));
    EXPECT_TRUE(FileOperations::isProtected("not/absolute"));
    EXPECT_FALSE(FileOperations::isProtected(outside));
    EXPECT_FALSE(FileOperations::isProtected(outside + "/inner/keep.bin"));
}

TEST_F(FileOpsTest, RenameAndNewFolderNeverOverwrite) {
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    ASSERT_TRUE(WriteFile(src + "/b.bin", kB));
    FileOperations ops;
    FileOpReport r = ops.rename(src + "/a.bin", "b.bin");
    EXPECT_EQ(r.status, FileOpStatus::Refused);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::NameExists);
    EXPECT_EQ(readFile(src + "/b.bin"), kB);
    for (const char* bad : {"", ".", "..", "x/y"}) {
        r = ops.rename(src + "/a.bin", bad);
        ASSERT_EQ(r.failures.size(), 1u) << bad;
        EXPECT_EQ(r.failures[0].fault, FileFault::BadName) << bad;
    }
    EXPECT_TRUE(ops.rename(src + "/a.bin", "A.BIN").ok());
    EXPECT_EQ(readFile(src + "/A.BIN"), kA);

    r = ops.makeFolder(src, "b.bin");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::NameExists);
    EXPECT_TRUE(ops.makeFolder(src, "New Folder").ok());
    EXPECT_TRUE(fs::is_directory(src + "/New Folder"));

    EXPECT_EQ(FileOperations::keepBothName("a.bin", false, 2), "a (2).bin");
    EXPECT_EQ(FileOperations::keepBothName("a.b.bin", false, 3), "a.b (3).bin");
    EXPECT_EQ(FileOperations::keepBothName(".hidden", false, 2), ".hidden (2)");
    EXPECT_EQ(FileOperations::keepBothName("v1.5", true, 2), "v1.5 (2)");
    EXPECT_TRUE(FileOperations::isSameOrInside("/a/b", "/a/b/c"));
    EXPECT_FALSE(FileOperations::isSameOrInside("/a/b", "/a/bc"));
}

TEST_F(FileOpsTest, JobAsksFromItsThreadAndStopsWhenDropped) {
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    ASSERT_TRUE(WriteFile(dst + "/a.bin", kB));
    const auto copyIt = [&](FileOperations& ops) { return ops.copy({src + "/a.bin"}, dst); };
    {
        FileJob job(copyIt);
        FileClash clash;
        ASSERT_TRUE(testsupport::WaitFor([&] { return job.pendingClash(clash); }));
        EXPECT_EQ(clash.destination, dst + "/a.bin");
        job.answerClash(ClashAnswer::KeepBoth);
        ASSERT_TRUE(testsupport::WaitFor([&] { return job.finished(); }));
        EXPECT_TRUE(job.report().ok());
        EXPECT_EQ(job.progress().itemsDone, 1);
        EXPECT_EQ(readFile(dst + "/a (2).bin"), kA);
    }
    {
        // Dropped while it waits for an answer: it cancels instead of hanging.
        FileJob job(copyIt);
        FileClash clash;
        ASSERT_TRUE(testsupport::WaitFor([&] { return job.pendingClash(clash); }));
    }
    EXPECT_EQ(readFile(dst + "/a.bin"), kB);
}

TEST_F(FileOpsTest, OneFolderUnderTwoPathsIsOneItemAndNeverLosesIt) {
    // ~/designs reached again as /srv/designs (a bind mount): a move or copy from one onto the
    // other is the item onto itself, never a clash whose Replace deletes the only copy.
    const std::string designs = tmp / "designs";
    const std::string srv = tmp / "srv";
    fs::create_directories(designs + "/F");
    fs::create_directories(srv);
    ASSERT_TRUE(WriteFile(designs + "/a.dst", kA));
    ASSERT_TRUE(WriteFile(designs + "/F/x.dst", kB));
    const Bytes a = kA, b = kB;
    const int status = testsupport::RunWithOwnMounts([&] {
        if (::mount(designs.c_str(), srv.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return testsupport::kNoNamespace;
        FileOperations ops;
        int offeredAsTwo = 0;
        ops.onClash([&](const FileClash& c) {
            offeredAsTwo += c.sameItem ? 0 : 1;
            return ClashAnswer::Replace;
        });
        FileOpReport r = ops.move({designs + "/a.dst"}, srv);
        if (readFile(designs + "/a.dst") != a)
            return 1; // the only copy is gone
        if (!r.ok() || r.skipped != 1)
            return 2;
        r = ops.copy({designs + "/a.dst"}, srv);
        if (readFile(designs + "/a.dst") != a || !r.ok())
            return 3;
        r = ops.move({srv + "/F"}, designs);
        if (readFile(designs + "/F/x.dst") != b || !r.ok())
            return 4;
        // Nor does a folder go into itself through the other path.
        r = ops.copy({designs + "/F"}, srv + "/F");
        if (r.status != FileOpStatus::Refused || r.failures.empty() ||
            r.failures[0].fault != FileFault::IntoItself)
            return 7;
        if (offeredAsTwo != 0)
            return 5; // asked as if two items clashed
        return holders(designs).empty() ? 0 : 6;
    });
    if (status == testsupport::kNoNamespace)
        GTEST_SKIP() << kNoMountsHere;
    EXPECT_EQ(status, 0) << "1: file lost, 2-4: reported or changed wrongly, 5: asked as a clash, "
                            "6: leftovers, 7: a folder copied into itself";
    EXPECT_EQ(readFile(designs + "/a.dst"), kA);
}

TEST_F(FileOpsTest, MoveAcrossKeepsASourceThatIsNoLongerTheItemCopied) {
    // The file is saved anew (a new item under its name) while its copy is made on the other
    // disk: the move ends with both, and says the source stayed.
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    FileOperations ops;
    ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
        if (FileOperations::isSameOrInside(src, from))
            return EXDEV;
        if (to == dst + "/a.bin") {
            WriteFile(src + "/a.new", kB);
            FileOperations::systemRename(src + "/a.new", src + "/a.bin", true);
        }
        return FileOperations::systemRename(from, to, replace);
    });
    const FileOpReport r = ops.move({src + "/a.bin"}, dst);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::SourceKept);
    EXPECT_EQ(readFile(src + "/a.bin"), kB);
    EXPECT_EQ(readFile(dst + "/a.bin"), kA);
}

TEST_F(FileOpsTest, ReadOnlyFoldersAreCopiedMovedAndReplaced) {
    // Folders from a read-only share or a disc: mode 0555, as an account that modes apply to.
    const std::string ro = src + "/RO";
    fs::create_directories(ro + "/inner");
    ASSERT_TRUE(WriteFile(ro + "/inner/x.dst", kA));
    ASSERT_TRUE(WriteFile(ro + "/y.dst", kB));
    const std::string movable = tmp / "movable";
    fs::create_directories(movable + "/RO2");
    ASSERT_TRUE(WriteFile(movable + "/RO2/z.dst", kB));
    for (const std::string& f : {ro + "/inner", ro, movable + "/RO2"})
        ASSERT_EQ(::chmod(f.c_str(), 0555), 0);
    // The folder to move is the mover's own (a copy made earlier from a disc).
    if (const passwd* pw = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr) {
        ASSERT_EQ(::lchown((movable + "/RO2").c_str(), pw->pw_uid, pw->pw_gid), 0);
    }
    for (const std::string& f : {tmp.path(), dst, movable})
        ASSERT_EQ(::chmod(f.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(src.c_str(), 0755), 0);
    const Bytes a = kA, b = kB;
    const int status = testsupport::RunUnprivileged([&] {
        FileOperations ops;
        ops.onClash([](const FileClash&) { return ClashAnswer::Replace; });
        if (!ops.copy({ro}, dst).ok())
            return 1;
        if (readFile(dst + "/RO/inner/x.dst") != a || modeOf(dst + "/RO") != 0555 ||
            modeOf(dst + "/RO/inner") != 0555)
            return 2;
        // Again, over the read-only copy made before.
        if (!ops.copy({ro}, dst).ok() || readFile(dst + "/RO/y.dst") != b)
            return 3;
        if (!ops.move({movable + "/RO2"}, dst).ok() || readFile(dst + "/RO2/z.dst") != b ||
            modeOf(dst + "/RO2") != 0555)
            return 4;
        return holders(dst).empty() ? 0 : 5;
    });
    for (const std::string& f : {ro, ro + "/inner", dst + "/RO", dst + "/RO/inner", dst + "/RO2"})
        ::chmod(f.c_str(), 0755);
    EXPECT_EQ(status, 0) << "1: first copy failed, 2: content or modes wrong, 3: replace failed, "
                            "4: move failed, 5: leftovers, 125: no unprivileged account";
    EXPECT_EQ(readFile(dst + "/RO/inner/x.dst"), kA);
}

TEST_F(FileOpsTest, ReplaceNeverDeletesIntoAMountPoint) {
    // The replaced folder holds a mounted disk (another device) and a bind mount (the same
    // device): the replace is refused as the permanent delete refuses them, and all stays.
    const std::string outside = tmp / "outside";
    fs::create_directories(outside);
    ASSERT_TRUE(WriteFile(outside + "/keep.bin", kB));
    fs::create_directories(src + "/F");
    ASSERT_TRUE(WriteFile(src + "/F/new.bin", kA));
    fs::create_directories(dst + "/F/disk");
    fs::create_directories(dst + "/F/deeper/bound");
    ASSERT_TRUE(WriteFile(dst + "/F/old.bin", kB));
    const Bytes b = kB;
    const std::string F = dst + "/F";
    const int status = testsupport::RunWithOwnMounts([&] {
        if (::mount("tmpfs", (F + "/disk").c_str(), "tmpfs", 0, "size=1m") != 0)
            return testsupport::kNoNamespace;
        if (!WriteFile(F + "/disk/on-disk.bin", b))
            return 10;
        FileOperations ops;
        ops.onClash([](const FileClash&) { return ClashAnswer::Replace; });
        FileOpReport r = ops.copy({src + "/F"}, dst);
        if (readFile(F + "/disk/on-disk.bin") != b)
            return 1;
        if (r.status != FileOpStatus::Failed || r.failures.empty() ||
            r.failures[0].fault != FileFault::Protected || readFile(F + "/old.bin") != b)
            return 2;
        if (::umount(F.c_str()) == 0 || ::umount((F + "/disk").c_str()) != 0)
            return 11;
        if (::mount(outside.c_str(), (F + "/deeper/bound").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return testsupport::kNoNamespace;
        if (!FileOperations::isProtected(F + "/deeper/bound"))
            return 3;
        r = ops.move({src + "/F"}, dst);
        if (readFile(outside + "/keep.bin") != b || r.failures.empty() ||
            r.failures[0].fault != FileFault::Protected)
            return 4;
        r = ops.removePermanently({F});
        if (readFile(outside + "/keep.bin") != b || r.ok())
            return 5;
        return holders(dst).empty() ? 0 : 6;
    });
    if (status == testsupport::kNoNamespace)
        GTEST_SKIP() << kNoMountsHere;
    EXPECT_EQ(status, 0) << "1: the mounted disk was emptied, 2: not refused, 3: bind mount not "
                            "seen, 4: the bound folder was emptied or not refused, 5: permanent "
                            "delete, 6: leftovers";
    EXPECT_EQ(readFile(outside + "/keep.bin"), kB);
}

TEST_F(FileOpsTest, InterruptedCopyAndReplaceAreRepairedOnTheNextVisit) {
    const Bytes big = DesignBytes(3 << 20, 4);
    ASSERT_TRUE(WriteFile(src + "/big.bin", big));
    // Killed in the middle of a copy: part of the file in a hidden holder.
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        FileOperations ops;
        int writes = 0;
        ops.setWrite([&](int fd, const void* data, size_t size) -> long {
            if (++writes == 2)
                ::raise(SIGKILL);
            return ::write(fd, data, size);
        });
        ops.copy({src + "/big.bin"}, dst);
        ::_exit(1);
    }
    const int status = testsupport::WaitForChild(pid);
    ASSERT_EQ(status, -1) << "the copy was to be killed";
    ASSERT_EQ(holders(dst).size(), 1u);
    FileOperations::Leftovers found = FileOperations::recoverLeftovers(dst);
    EXPECT_EQ(found.removed, std::vector<std::string>{"big.bin"});
    EXPECT_TRUE(found.restored.empty() && found.kept.empty());
    EXPECT_TRUE(entries(dst).empty());

    // Killed between the two renames of a folder replace: the operator's old folder sits in a
    // hidden holder and looks gone. It comes back; the unfinished copy goes.
    fs::create_directories(src + "/F");
    ASSERT_TRUE(WriteFile(src + "/F/new.bin", kA));
    fs::create_directories(dst + "/F");
    ASSERT_TRUE(WriteFile(dst + "/F/old.bin", kB));
    std::fflush(nullptr);
    pid = ::fork();
    if (pid == 0) {
        FileOperations ops;
        ops.onClash([](const FileClash&) { return ClashAnswer::Replace; });
        ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
            if (to == dst + "/F" && from.find(".talvorn-copy-") != std::string::npos)
                ::raise(SIGKILL);
            return FileOperations::systemRename(from, to, replace);
        });
        ops.copy({src + "/F"}, dst);
        ::_exit(1);
    }
    ASSERT_EQ(testsupport::WaitForChild(pid), -1);
    EXPECT_FALSE(fs::exists(dst + "/F"));
    EXPECT_EQ(holders(dst).size(), 2u);
    found = FileOperations::recoverLeftovers(dst);
    EXPECT_EQ(found.restored, std::vector<std::string>{"F"});
    EXPECT_EQ(found.removed, std::vector<std::string>{"F"});
    EXPECT_EQ(entries(dst), std::vector<std::string>{"F"});
    EXPECT_EQ(readFile(dst + "/F/old.bin"), kB);

    // A rename cut short half-way takes the name it was being given.
    ASSERT_TRUE(WriteFile(dst + "/.talvorn-rename-Name.bin", kA));
    found = FileOperations::recoverLeftovers(dst);
    EXPECT_EQ(found.restored, std::vector<std::string>{"Name.bin"});
    EXPECT_EQ(readFile(dst + "/Name.bin"), kA);
    EXPECT_TRUE(FileOperations::recoverLeftovers(dst).empty());

    // A copy still at work (here, another thread) keeps its holder.
    std::mutex m;
    std::condition_variable cv;
    bool paused = false, release = false;
    std::thread copier([&] {
        FileOperations ops;
        ops.onProgress([&](const FileProgress& p) {
            if (p.bytesDone == 0 || p.bytesDone >= big.size())
                return true;
            std::unique_lock<std::mutex> lock(m);
            paused = true;
            cv.notify_all();
            cv.wait(lock, [&] { return release; });
            return true;
        });
        EXPECT_TRUE(ops.copy({src + "/big.bin"}, dst).ok());
    });
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return paused; }));
    }
    EXPECT_EQ(holders(dst).size(), 1u);
    EXPECT_TRUE(FileOperations::recoverLeftovers(dst).empty());
    EXPECT_EQ(holders(dst).size(), 1u);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    copier.join();
    EXPECT_EQ(readFile(dst + "/big.bin"), big);
    EXPECT_TRUE(holders(dst).empty());
}

TEST_F(FileOpsTest, CaseOnlyRenameTakesEffectOnAVolumeThatIgnoresCase) {
    EXPECT_TRUE(FileOperations::isCaseOnlyChange("a.bin", "A.BIN"));
    EXPECT_TRUE(FileOperations::isCaseOnlyChange("Design.DST", "design.dst"));
    EXPECT_FALSE(FileOperations::isCaseOnlyChange("a.bin", "a.bin"));
    EXPECT_FALSE(FileOperations::isCaseOnlyChange("a.bin", "b.bin"));
    EXPECT_FALSE(FileOperations::isCaseOnlyChange("a.bin", "A.BIN2"));

    // A volume that ignores case (vfat, a casefold folder), as its rename behaves: asked to
    // rename an item to a name that differs in case alone, it finds the item there already and
    // changes nothing.
    ASSERT_TRUE(WriteFile(src + "/a.bin", kA));
    FileOperations ops;
    std::vector<std::string> renamed;
    ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
        const std::string f = fs::path(from).filename(), t = fs::path(to).filename();
        if (fs::path(from).parent_path() == fs::path(to).parent_path() &&
            (f == t || FileOperations::isCaseOnlyChange(f, t)))
            return 0;
        renamed.push_back(t);
        return FileOperations::systemRename(from, to, replace);
    });
    FileOpReport r = ops.rename(src + "/a.bin", "A.BIN");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(entries(src), std::vector<std::string>{"A.BIN"});
    EXPECT_EQ(readFile(src + "/A.BIN"), kA);
    EXPECT_EQ(renamed, (std::vector<std::string>{".talvorn-rename-A.BIN", "A.BIN"}));

    // On a volume that keeps case apart, the other name may be another item: never replaced.
    ASSERT_TRUE(WriteFile(src + "/a.bin", kB));
    r = FileOperations().rename(src + "/a.bin", "A.BIN");
    EXPECT_EQ(r.status, FileOpStatus::Refused);
    EXPECT_EQ(readFile(src + "/A.BIN"), kA);
    EXPECT_EQ(readFile(src + "/a.bin"), kB);
    EXPECT_TRUE(FileOperations().rename(src + "/a.bin", "b.BIN").ok());
}

TEST_F(FileOpsTest, MoveAcrossFileSystemsSyncsTheCopyBeforeDeletingTheSource) {
    fs::create_directories(src + "/F/deep");
    ASSERT_TRUE(WriteFile(src + "/F/deep/d.bin", kA));
    ASSERT_TRUE(WriteFile(src + "/a.bin", kB));
    FileOperations ops;
    ops.setRename([&](const std::string& from, const std::string& to, bool replace) {
        return FileOperations::isSameOrInside(src, from)
                   ? EXDEV
                   : FileOperations::systemRename(from, to, replace);
    });
    // Each folder synced, and whether the source was still there at that moment.
    std::vector<std::pair<std::string, bool>> synced;
    std::string failAt;
    std::string source;
    ops.setSyncFolder([&](const std::string& folder) {
        synced.emplace_back(folder, fs::exists(source));
        return folder == failAt ? EIO : FileOperations::systemSyncFolder(folder);
    });
    const auto syncedWithSource = [&](const std::string& folder) {
        return std::count(synced.begin(), synced.end(), std::make_pair(folder, true)) > 0;
    };
    const auto syncedEnding = [&](const std::string& tail) {
        return std::count_if(synced.begin(), synced.end(), [&](const auto& s) {
            return s.second && s.first.size() > tail.size() &&
                   s.first.compare(s.first.size() - tail.size(), tail.size(), tail) == 0 &&
                   s.first.find(".talvorn-copy-") != std::string::npos;
        });
    };

    source = src + "/a.bin";
    EXPECT_TRUE(ops.move({source}, dst).ok());
    EXPECT_TRUE(syncedWithSource(dst));
    EXPECT_FALSE(fs::exists(source));

    synced.clear();
    source = src + "/F";
    EXPECT_TRUE(ops.move({source}, dst).ok());
    EXPECT_TRUE(syncedWithSource(dst));
    EXPECT_EQ(syncedEnding("/F"), 1);      // the copied folder's entries, in its holder
    EXPECT_EQ(syncedEnding("/F/deep"), 1); // and those of every folder inside it
    EXPECT_EQ(readFile(dst + "/F/deep/d.bin"), kA);
    EXPECT_FALSE(fs::exists(source));

    // The destination folder cannot be synced: the copy stays, and so does the source.
    ASSERT_TRUE(WriteFile(src + "/c.bin", kA));
    fs::create_directories(tmp / "other");
    failAt = tmp / "other";
    source = src + "/c.bin";
    const FileOpReport r = ops.move({source}, tmp / "other");
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].fault, FileFault::SourceKept);
    EXPECT_EQ(readFile(source), kA);
    EXPECT_EQ(readFile(tmp / "other/c.bin"), kA);
}

} // namespace
