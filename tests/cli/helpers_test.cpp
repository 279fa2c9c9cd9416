// What the command line decides without a line: which local files may be sent, whether a node
// holds a sent file, which listed entries a delete names, how it reports a node, its progress
// output and why a port cannot be opened.
#include "NodeFiles.h"
#include "Progress.h"

#include "link/NodeStatus.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() { path_ = testsupport::MakeTempFolder("talvorn-cli"); }
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

TEST(NodeListCheckTest, NamesArePrintedAsDeleteTakesThem) {
    // Plain names stand as they are; a name a shell would change is single-quoted, and bytes that
    // are not plain printable characters show as \xHH (the node-file list's rule).
    EXPECT_EQ(PrintedNodeName(std::string("A.DST")), "A.DST");
    EXPECT_EQ(PrintedNodeName(std::string("BAT~K3X9.DST")), "BAT~K3X9.DST");
    EXPECT_EQ(PrintedNodeName(std::string("~HOME.DST")), "'~HOME.DST'");
    EXPECT_EQ(PrintedNodeName(std::string("B$A(1).DST")), "'B$A(1).DST'");
    EXPECT_EQ(PrintedNodeName(std::string("IT'S.DST")), "'IT'\\''S.DST'");
    const uint8_t spaced[12] = {'M', 'Y', ' ', 'F', 'I', 'L', 'E', ' ', 'D', 'S', 'T', ' '};
    EXPECT_EQ(PrintedNodeName(spaced), "'MY\\x20FILE.DST'");
    const uint8_t accented[12] = {'C', 'A', 'F', 0xE9, ' ', ' ', ' ', ' ', 'D', 'S', 'T', ' '};
    EXPECT_EQ(PrintedNodeName(accented), "'CAF\\xE9.DST'");

    // delete takes each of them as the shell passes it on, with its quotes still on (a script
    // that reads list's output), or with its real bytes; lower-case escapes too.
    ListedFile a{}, b{};
    std::memcpy(a.name, spaced, 12);
    std::memcpy(b.name, accented, 12);
    const std::vector<ListedFile> listed = {a, b, Listed("IT'S    DST ", 1)};
    for (const std::string& name : {std::string("MY\\x20FILE.DST"),
                                    std::string("'MY\\x20FILE.DST'"), std::string("MY FILE.DST")}) {
        std::vector<std::string> missing;
        EXPECT_EQ(
            ResolveNodeNames(listed, {name}, &missing),
            (std::vector<std::string>{std::string(reinterpret_cast<const char*>(spaced), 12)}))
            << name;
        EXPECT_TRUE(missing.empty()) << name;
    }
    for (const std::string& name :
         {std::string("CAF\\xE9.DST"), std::string("CAF\\xe9.DST"), std::string("CAF\xE9.DST"),
          std::string("'CAF\\xE9.DST'"), std::string("IT'S.DST"), std::string("'IT'\\''S.DST'")}) {
        std::vector<std::string> missing;
        EXPECT_EQ(ResolveNodeNames(listed, {name}, &missing).size(), 1u) << name;
        EXPECT_TRUE(missing.empty()) << name;
    }
    std::vector<std::string> missing;
    EXPECT_TRUE(
        ResolveNodeNames(listed, {"MY", "MY\\x2", "CAF.DST", "MY\\x20FILE"}, &missing).empty());
    EXPECT_EQ(missing.size(), 4u);
}

TEST(NodeListCheckTest, ANameThatTwoEntriesShowDeletesNeither) {
    // Base "A.B" with extension "C", and base "A" with extension "B.C": both show as "A.B.C".
    const std::vector<ListedFile> listed = {Listed("A.B     C   ", 1), Listed("A       B.C ", 2),
                                            Listed("OTHER   DST ", 3)};
    EXPECT_EQ(PrintedNodeName(listed[0].name), "'A\\x2EB.C'");
    EXPECT_EQ(PrintedNodeName(listed[1].name), "'A.B\\x2EC'");
    EXPECT_EQ(PrintedNodeName(listed[2].name), "OTHER.DST"); // names without such dots as before
    std::vector<std::string> missing, ambiguous;
    EXPECT_TRUE(ResolveNodeNames(listed, {"A.B.C", "OTHER.DST"}, &missing, &ambiguous) ==
                std::vector<std::string>{"OTHER   DST "});
    EXPECT_EQ(ambiguous, std::vector<std::string>{"A.B.C"});
    EXPECT_TRUE(missing.empty());

    // Each as list printed it, with or without its quotes: that entry and no other.
    for (const ListedFile& f : listed) {
        const std::string printed = PrintedNodeName(f.name);
        const std::string bare =
            printed.front() == '\'' ? printed.substr(1, printed.size() - 2) : printed;
        for (const std::string& name : {printed, bare}) {
            ambiguous.clear();
            EXPECT_EQ(
                ResolveNodeNames(listed, {name}, &missing, &ambiguous),
                std::vector<std::string>{std::string(reinterpret_cast<const char*>(f.name), 12)})
                << name;
            EXPECT_TRUE(ambiguous.empty()) << name;
        }
    }
    EXPECT_TRUE(missing.empty());
}

TEST(ReportTextTest, NodeLeftWithoutAnEndStateReadsAsCancelled) {
    EXPECT_EQ(FinalStatusText(NS_NO_ROOM), "No Sufficient Room");
    for (int s : {-1, int{NS_STOPPED}, int{NS_QUERYING}, int{NS_WAITING}})
        EXPECT_EQ(FinalStatusText(s), "User Has Cancelled Task") << s;
}

NodeView View(const std::string& label, int status, int progress = 0, int missing = 0,
              bool ended = false) {
    NodeView v;
    v.label = label;
    v.status = status;
    v.progress = progress;
    v.overall = progress;
    v.missingCount = missing;
    v.ended = ended;
    return v;
}

TEST(ProgressTest, PlainOutputHasOneLinePerChangeOfANodesState) {
    std::ostringstream out;
    ProgressView view(out, false, 80);
    view.Update({View("001", NS_MORE), View("002", NS_MORE), View("003", NS_MORE)});
    EXPECT_EQ(out.str(), ""); // no text yet
    view.Update({View("001", NS_QUERYING), View("002", NS_MORE), View("003", NS_QUERYING)});
    view.Update({View("001", NS_QUERYING), View("002", NS_REQUEST_SENT), View("003", NS_MORE)});
    EXPECT_EQ(out.str(), "001  Quering...\n003  Quering...\n");
    out.str("");
    const NodeView q = View("003", NS_QUERYING);
    view.Update({View("001", NS_SENDING_PACKAGES, 10, 40), View("002", NS_QUERY_END), q});
    view.Update({View("001", NS_SENDING_PACKAGES, 20, 40), View("002", NS_QUERY_END), q});
    view.Update({View("001", NS_SENDING_PACKAGES, 60, 40), View("002", NS_QUERY_END), q});
    // A code without a text keeps the last text; a quarter of the file passed is a line of its
    // own; an end is left to the result line on stdout.
    view.Update({View("001", NS_REQUEST_SENT, 60, 40), View("002", NS_QUERY_END), q});
    view.Update({View("001", NS_SENDING_PACKAGES, 70, 12), View("002", NS_QUERY_END), q});
    view.Update({View("001", NS_FILE_DONE, 0, 0, true), View("002", NS_QUERY_END, 0, 0, true),
                 View("003", NS_CANCELLED, 0, 0, true)});
    EXPECT_EQ(out.str(), "001  Sending File's Package...40 10%\n"
                         "002  Query End\n"
                         "001  Sending File's Package...40 60%\n"
                         "001  Sending File's Package...12 70%\n");
}

TEST(ProgressTest, TheLiveLineShowsTheOverallState) {
    // Done of the total, the mean per cent (an ended node counts 100) and the slowest node.
    const std::vector<NodeView> nodes = {
        View("001", NS_FILE_DONE, 0, 0, true), View("002", NS_SENDING_PACKAGES, 40, 9),
        View("003", NS_SENDING_PACKAGES, 20, 30), View("004", NS_WAITING, 20)};
    EXPECT_EQ(ProgressSummary(nodes, {"Send File End", "Sending File's Package...9",
                                      "Sending File's Package...30", "Waiting..."}),
              "1/4 done  45%  slowest 003 Sending File's Package...30 20%");
    // Over a send of four files, the overall per cent counts the files done.
    EXPECT_EQ(OverallPercent(0, 50, 4), 12);
    EXPECT_EQ(OverallPercent(2, 50, 4), 62);
    EXPECT_EQ(OverallPercent(4, 0, 4), 99); // 100 only once the node has ended
    EXPECT_EQ(OverallPercent(0, 30, 0), 30);
    std::vector<NodeView> send = {View("001", NS_SENDING_PACKAGES, 80, 3),
                                  View("002", NS_SENDING_PACKAGES, 10, 40)};
    send[0].overall = OverallPercent(0, 80, 2);
    send[1].overall = OverallPercent(1, 10, 2);
    EXPECT_EQ(ProgressSummary(send, {"Sending File's Package...3", "Sending File's Package...40"}),
              "0/2 done  47%  slowest 001 Sending File's Package...3 80%");
    EXPECT_EQ(ProgressSummary({View("001", NS_MORE), View("002", NS_MORE)}, {"", ""}),
              "0/2 done  0%  slowest 001 ...");
    EXPECT_EQ(ProgressSummary({View("001", NS_QUERY_END, 0, 0, true)}, {"Query End"}),
              "1/1 done  100%");

    // 32 nodes on a narrow terminal: one line, cut to the width, rewritten only when it changes.
    std::ostringstream out;
    ProgressView view(out, true, 40);
    std::vector<NodeView> many;
    for (int i = 0; i < 32; ++i)
        many.push_back(View("0" + std::to_string(10 + i), NS_SENDING_PACKAGES, 50, 7));
    view.Update(many);
    view.Update(many);
    many[5].progress = many[5].overall = 10;
    view.Update(many);
    view.Finish();
    EXPECT_EQ(out.str(), "\r0/32 done  50%  slowest 010 Sending Fil\x1b[K"
                         "\r0/32 done  48%  slowest 015 Sending Fil\x1b[K\r\x1b[K");
}

} // namespace
} // namespace cli
