#include "platform/FileOperations.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
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

} // namespace
