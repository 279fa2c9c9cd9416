// What the command line decides without a line: which local files may be sent, whether a node
// holds a sent file, which listed entries a delete names, how it reports a node, its progress
// output and why a port cannot be opened.
#include "NodeFiles.h"
#include "PortCheck.h"
#include "Progress.h"

#include "link/NodeStatus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace cli {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (fs::temp_directory_path() / "talvorn-cli-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name, size_t size) const {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << std::string(size, 'x');
        return p;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

ListedFile Listed(const char* twelve, uint32_t length) {
    ListedFile f{};
    std::memcpy(f.name, twelve, kNameFieldSize);
    f.length = length;
    return f;
}

TEST(SendFilesTest, AcceptsReadableFilesWithTheirNodeNames) {
    TempFolder dir;
    std::vector<SendFile> files;
    std::string error;
    const std::string a = dir.File("a.dst", 1000);
    ASSERT_TRUE(CheckSendFiles({a, dir.File("B.dsb", kMaxSendBytes)}, &files, &error)) << error;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, a);
    EXPECT_EQ(files[0].field, "A       DST ");
    EXPECT_EQ(files[0].size, 1000u);
    EXPECT_EQ(files[1].field, "B       DSB ");

    // A relative path is made absolute: the scheduler and the event log need the full path.
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_TRUE(CheckSendFiles({"a.dst"}, &files, &error)) << error;
    fs::current_path(before);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, a);
}

TEST(SendFilesTest, RefusesWhatTheStationWouldDropSilently) {
    TempFolder dir;
    std::vector<SendFile> files;
    std::string error;
    const std::string good = dir.File("good.dst", 10);
    auto refused = [&](const std::vector<std::string>& paths) {
        files.clear();
        error.clear();
        EXPECT_FALSE(CheckSendFiles(paths, &files, &error));
        EXPECT_TRUE(files.empty());
        return error;
    };
    EXPECT_NE(refused({good, dir.path() + "/none.dst"}).find("no such file"), std::string::npos);
    EXPECT_NE(refused({dir.path()}).find("not a regular file"), std::string::npos);
    EXPECT_NE(refused({dir.File("empty.dst", 0)}).find("0 bytes"), std::string::npos);
    EXPECT_NE(refused({dir.File("big.dst", kMaxSendBytes + 1)}).find("1457665 bytes"),
              std::string::npos);
    // Two files that a node would keep under one name.
    fs::create_directory(dir.path() + "/sub");
    EXPECT_NE(refused({good, dir.File("sub/GOOD.DST", 5)}).find("same name"), std::string::npos);
    std::vector<std::string> many(kMaxEntries + 1, good);
    EXPECT_NE(refused(many).find("too many"), std::string::npos);
}

TEST(NodeListCheckTest, HoldsFileNeedsNameAndFullLength) {
    SendFile f;
    f.field = "A       DST ";
    f.size = 4000;
    EXPECT_TRUE(HoldsFile({Listed("B       DST ", 4000), Listed("A       DST ", 4000)}, f));
    EXPECT_FALSE(HoldsFile({Listed("A       DST ", 3999)}, f)); // cut short
    EXPECT_FALSE(HoldsFile({Listed("A       DSB ", 4000)}, f));
    EXPECT_FALSE(HoldsFile({}, f));
    // Zero padding, as delete frames use, counts as blanks.
    EXPECT_TRUE(HoldsFile({Listed("A       DST\0", 4000)}, f));
    EXPECT_FALSE(SameNodeName(reinterpret_cast<const uint8_t*>("AB      DST "),
                              reinterpret_cast<const uint8_t*>("A       DST ")));
}

TEST(NodeListCheckTest, DeleteNamesResolveToStoredFields) {
    const std::vector<ListedFile> listed = {Listed("A       DST ", 1), Listed("LONGDE~1DSB ", 2),
                                            Listed("NOEXT       ", 3), Listed("A       DST ", 1)};
    std::vector<std::string> missing;
    const auto fields = ResolveNodeNames(listed, {"LONGDE~1.DSB", "A.DST", "NOEXT"}, &missing);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(fields, (std::vector<std::string>{"LONGDE~1DSB ", "A       DST ", "NOEXT       "}));

    missing.clear();
    const auto partial = ResolveNodeNames(listed, {"a.dst", "A.DST", "B.DST"}, &missing);
    EXPECT_EQ(partial, (std::vector<std::string>{"A       DST "}));
    EXPECT_EQ(missing, (std::vector<std::string>{"a.dst", "B.DST"}));
}

TEST(ReportTextTest, NodeLeftWithoutAnEndStateReadsAsCancelled) {
    EXPECT_EQ(FinalStatusText(NS_NO_ROOM), "No Sufficient Room");
    for (int s : {-1, int{NS_STOPPED}, int{NS_QUERYING}, int{NS_WAITING}})
        EXPECT_EQ(FinalStatusText(s), "User Has Cancelled Task") << s;
}

NodeView View(const char* label, int status, int progress = 0, int missing = 0) {
    NodeView v;
    v.label = label;
    v.status = status;
    v.progress = progress;
    v.missingCount = missing;
    return v;
}

TEST(ProgressTest, PlainOutputHasOneLinePerChange) {
    std::ostringstream out;
    ProgressView view(out, false, 80);
    view.Update({View("000", NS_MORE), View("001", NS_MORE), View("002", NS_MORE)});
    EXPECT_EQ(out.str(), ""); // no text yet
    view.Update({View("000", NS_QUERYING), View("001", NS_MORE), View("002", NS_QUERYING)});
    view.Update({View("000", NS_QUERYING), View("001", NS_REQUEST_SENT), View("002", NS_MORE)});
    // Nodes that change alike share a line.
    EXPECT_EQ(out.str(), "000,002  Quering...\n");
    out.str("");
    const NodeView q = View("002", NS_QUERYING);
    view.Update({View("000", NS_SENDING_PACKAGES, 10, 40), View("001", NS_QUERY_END), q});
    view.Update({View("000", NS_SENDING_PACKAGES, 20, 40), View("001", NS_QUERY_END), q});
    view.Update({View("000", NS_SENDING_PACKAGES, 60, 40), View("001", NS_QUERY_END), q});
    // A code without a text keeps the last text; no percentage outside the packages.
    view.Update({View("000", NS_REQUEST_SENT, 60, 40), View("001", NS_QUERY_END), q});
    view.Update({View("000", NS_FILE_DONE, 60, 0), View("001", NS_QUERY_END), q});
    EXPECT_EQ(out.str(), "000  Sending File's Package...40  10%\n"
                         "001  Query End\n"
                         "000  Sending File's Package...40  60%\n"
                         "000  Send File End\n");
}

TEST(PortCheckTest, NamesTheReason) {
    TempFolder dir;
    EXPECT_EQ(DescribePortFailure(dir.path() + "/ttyX"), "the device does not exist");
    EXPECT_EQ(DescribePortFailure(dir.File("plain", 1)), "not a terminal");
    EXPECT_EQ(DescribePortFailure("/dev/null"), "not a terminal");
    EXPECT_NE(DescribePortFailure("").find("not a port name"), std::string::npos);

    // A terminal that another program holds.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_NE(DescribePortFailure(slave).find("busy"), std::string::npos);
    ::flock(holder, LOCK_UN);
    EXPECT_EQ(DescribePortFailure(slave).find("busy"), std::string::npos);
    ::close(holder);
    ::close(master);
}

} // namespace
} // namespace cli
