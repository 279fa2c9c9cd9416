// An operator's day on the node simulator: files dropped into groups and sent to two machines,
// stored byte for byte; a query, a delete and a clear; each logged command read back from the
// event log; and Delete File acting only on the files ticked for the node the list shows.
#include "StationFixture.h"

#include "NameField.h"
#include "station/Centre.h"
#include "store/EventLog.h"

#include <ctime>
#include <fstream>

namespace {

constexpr int kSendFile = 32773, kDeleteFile = 32774, kClearFile = 32775, kQueryNode = 32820,
              kSwitchChannel = 32804, kAddFileFromLibrary = 32834;

std::string Field(const std::string& name) {
    return nodesim::FieldToString(nodesim::MakeNameField(name));
}

// Local noon of today, one second later on each reading: every command gets a time of its own,
// so no two commands fall into one record of the log.
std::time_t TickingClock() {
    static std::time_t next = [] {
        std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        t.tm_hour = 12;
        t.tm_min = 0;
        t.tm_sec = 0;
        return std::mktime(&t);
    }();
    return next++;
}

std::vector<std::string> Names(const std::vector<EventFileEntry>& entries) {
    std::vector<std::string> out;
    for (const EventFileEntry& e : entries)
        out.push_back(e.name);
    return out;
}

} // namespace

class SendTest : public StationTest {
protected:
    void TearDown() override {
        SetEventLogClock(nullptr);
        StationTest::TearDown();
    }
    bool holds(int node, const std::string& name) {
        return lines[0]->sim().fileBytes(node, Field(name)).has_value();
    }
    // The node-file list's row showing `name`, or -1.
    int fileRow(const QString& name) { return column(nodeFiles(), 1).indexOf(name); }
};

TEST_F(SendTest, FirstSendStoresTheFilesAndEveryCommandIsLogged) {
    SetEventLogClock(TickingClock);
    testsupport::SimLine& line = startLine(0, 3);
    writeParameters({line.link(), 3, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    prompts.clear();

    // Group 1 holds XA.DST, group 2 A.DST and B.DSB: "A.DST" is another file than "XA.DST".
    const std::string xa = makeFile("first/XA.DST", 5000, 11);
    const std::string a = makeFile("second/A.DST", 7000, 12);
    const std::string b = makeFile("second/B.DSB", 300, 13);
    win().groupFileList()->filesDropped({QString::fromStdString(xa)});
    win().groupFileList()->filesDropped({QString::fromStdString(a), QString::fromStdString(b)});
    ASSERT_EQ(column(fileGroups(), 1), QStringList({"1", "2"}));
    tick(fileGroups(), {0, 1});
    tick(nodes(), {0, 1});
    run(kSendFile);
    EXPECT_TRUE(prompts.shown().empty()) << prompts.shown().front().text.toStdString();
    for (int row : {0, 1}) {
        WAIT_EQ(nodes().cell(row, kColInfo), QString("Send File End"), 120000);
        WAIT_EQ(nodes().cell(row, kColTaskNum), QString("0"), 60000);
    }
    const std::vector<std::pair<std::string, std::string>> sent = {
        {"XA.DST", xa}, {"A.DST", a}, {"B.DSB", b}};
    for (int node : {0, 1})
        for (const auto& [name, path] : sent) {
            const auto stored = line.sim().fileBytes(node, Field(name));
            ASSERT_TRUE(stored.has_value()) << name << " on node " << node;
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(*stored, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}))
                << name << " on node " << node;
        }
    EXPECT_TRUE(line.sim().files(2).empty());

    // The send's record: one for nodes 0 and 1, with the three files and their paths.
    std::vector<EventRecord> records = QueryEvents(0, "", EV_SEND_FILE, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].user, "kqzwvx");
    const std::vector<EventFileEntry> files = QueryEventFiles(0, records);
    EXPECT_EQ(Names(files), (std::vector<std::string>{"XA.DST", "A.DST", "B.DSB"}));
    EXPECT_EQ(files[0].path, xa);
    EXPECT_TRUE(QueryEvents(0, "", EV_ALL_EVENTS, 2).empty());

    // A query writes no record.
    tick(nodes(), {0});
    run(kQueryNode);
    WAIT_EQ(nodes().cell(0, kColInfo), QString("Query End"), 60000);
    EXPECT_EQ(QueryEvents(0, "", EV_ALL_EVENTS, -1).size(), 1u);

    // Delete File: the ticked file of the node shown, and its record.
    clickRow(win().nodeList(), 0);
    WAIT_EQ(nodeFiles().rowCount(), 3, 30000);
    const int row = fileRow("A.DST");
    ASSERT_GE(row, 0);
    tick(nodeFiles(), {row});
    prompts.answer(true);
    run(kDeleteFile);
    WAIT_UNTIL(!holds(0, "A.DST"), 60000);
    EXPECT_TRUE(holds(0, "XA.DST") && holds(0, "B.DSB") && holds(1, "A.DST"));
    records = QueryEvents(0, "", EV_DELETE_FILE, 0);
    ASSERT_EQ(records.size(), 1u);
    const std::vector<EventFileEntry> deleted = QueryEventFiles(0, records);
    ASSERT_EQ(Names(deleted), std::vector<std::string>{"A.DST"});
    EXPECT_EQ(deleted[0].path, "");

    // Clear File on two nodes: logged for each of them, and nothing else.
    WAIT_UNTIL(!CentreBusy(), 60000);
    tick(nodes(), {0, 1});
    prompts.answer(true);
    run(kClearFile);
    WAIT_UNTIL(line.sim().files(0).empty() && line.sim().files(1).empty(), 60000);
    for (int node : {0, 1}) {
        records = QueryEvents(0, "", EV_CLEAR_FILE, node);
        ASSERT_EQ(records.size(), 1u) << node;
        EXPECT_EQ(records[0].fileListIndex, -1);
    }
    EXPECT_TRUE(QueryEvents(0, "", EV_CLEAR_FILE, 2).empty());
    EXPECT_EQ(QueryEvents(0, "", EV_ALL_EVENTS, -1).size(), 3u);
    EXPECT_EQ(prompts.messages(), QStringList());

    // An event log that cannot be written refuses the command: nothing queued, nothing logged.
    WAIT_UNTIL(!CentreBusy(), 60000);
    std::filesystem::remove(file("item1.ini"));
    std::filesystem::create_directory(file("item1.ini"));
    run(kSendFile);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("event log")) << prompts.messages()[0].toStdString();
    EXPECT_FALSE(CentreBusy());
}

TEST_F(SendTest, DeleteFileActsOnTheFilesTickedForTheNodeShown) {
    testsupport::SimLine& one = startLine(0, 4);
    testsupport::SimLine& two = startLine(1, 2);
    for (int n = 0; n < 4; ++n) {
        ASSERT_TRUE(one.sim().AddFile(n, Field("NODE" + std::to_string(n) + ".DST"),
                                      testsupport::DesignBytes(700 + n, n)));
        ASSERT_TRUE(one.sim().AddFile(n, Field("COMMON.DSB"), testsupport::DesignBytes(90, 40)));
    }
    for (int n = 0; n < 2; ++n)
        for (const char* name : {"LINEB1.DST", "LINEB2.DST"})
            ASSERT_TRUE(two.sim().AddFile(n, Field(name), testsupport::DesignBytes(50, n)));
    writeParameters({one.link(), 4, 0}, {two.link(), 2, 32});
    {
        std::ofstream rtu(file("RTU.ini"));
        rtu << "[RTU_PARA1]\r\nRTU_Visible1=1\r\n"; // node 1 hidden: row 1 is node 2
    }
    ASSERT_TRUE(start());
    prompts.clear();
    tick(nodes(), {0, 1, 2});
    run(kQueryNode);
    for (int row : {0, 1, 2})
        WAIT_EQ(nodes().cell(row, kColInfo), QString("Query End"), 60000);

    // Row 1 shows node 2: its ticked file goes, and only that one.
    clickRow(win().nodeList(), 1);
    EXPECT_EQ(win().nodeFilesNode(), 2);
    EXPECT_EQ(win().nodeFilesCaption()->text(), "Node 002");
    ASSERT_GE(fileRow("NODE2.DST"), 0);
    tick(nodeFiles(), {fileRow("NODE2.DST")});
    prompts.answer(true);
    run(kDeleteFile);
    WAIT_UNTIL(!holds(2, "NODE2.DST"), 60000);
    WAIT_UNTIL(!CentreBusy(), 60000);
    EXPECT_TRUE(holds(2, "COMMON.DSB"));
    for (int n : {0, 1, 3})
        EXPECT_TRUE(holds(n, "NODE" + std::to_string(n) + ".DST") && holds(n, "COMMON.DSB")) << n;

    // Files ticked on channel 1, then the channel switched: the list is emptied and Delete File
    // finds nothing to delete.
    clickRow(win().nodeList(), 0);
    tick(nodeFiles(), {0, 1});
    run(kSwitchChannel);
    EXPECT_EQ(nodeFiles().rowCount(), 0);
    EXPECT_EQ(win().nodeFilesNode(), -1);
    EXPECT_EQ(win().nodeFilesCaption()->text(), "");
    prompts.answer(true);
    run(kDeleteFile);
    EXPECT_EQ(prompts.messages(), QStringList{"Please Choose The Node in List!"});
    EXPECT_FALSE(CentreBusy());

    // On channel 2 the ticked file of its node 1 goes; channel 1 keeps everything.
    tick(nodes(), {0, 1});
    run(kQueryNode);
    for (int row : {0, 1}) {
        WAIT_EQ(nodes().cell(row, kColInfo), QString("Query End"), 60000);
        WAIT_EQ(nodes().cell(row, kColFileNum), QString("2"), 60000);
    }
    // The ticks that showed the new lists chose no node's files: none was chosen here.
    EXPECT_EQ(nodeFiles().rowCount(), 0);
    EXPECT_EQ(win().nodeFilesNode(), -1);
    clickRow(win().nodeList(), 1);
    ASSERT_EQ(win().nodeFilesChannel(), 1);
    ASSERT_GE(fileRow("LINEB2.DST"), 0);
    tick(nodeFiles(), {fileRow("LINEB2.DST")});
    prompts.answer(true);
    run(kDeleteFile);
    WAIT_UNTIL(!two.sim().fileBytes(1, Field("LINEB2.DST")).has_value(), 60000);
    EXPECT_TRUE(two.sim().fileBytes(1, Field("LINEB1.DST")).has_value());
    EXPECT_EQ(two.sim().files(0).size(), 2u);
    EXPECT_TRUE(holds(0, "NODE0.DST") && holds(0, "COMMON.DSB"));

    // Add File: the ticked names found in the library (the working folder) make a group; the
    // others are named in one message.
    WAIT_UNTIL(!CentreBusy(), 60000);
    clickRow(win().nodeList(), 0);
    WAIT_EQ(nodeFiles().rowCount(), 2, 30000);
    const std::string inLibrary = makeFile("library/deeper/lineb1.dst", 50, 0);
    tick(nodeFiles(), {0, 1});
    prompts.clear();
    run(kAddFileFromLibrary);
    EXPECT_EQ(prompts.messages(), QStringList{"LINEB2.DSTInvalid File!"});
    EXPECT_EQ(column(groupFiles(), 2), QStringList{"lineb1.dst"});
    EXPECT_EQ(column(groupFiles(), 4),
              QStringList{QString::fromStdString(file("library/deeper/"))});
}
