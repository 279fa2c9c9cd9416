#include "EventLogFixture.h"

namespace {

using namespace eventlogtest;

TEST_F(EventLog, FirstEventOfADayEmptiesBothFilesAndKeepsTheOldDay) {
    const std::string oldItem = "[DATE]\r\ntoday=2026/12/06\r\n[SUM]\r\ncount=1\r\n[item0]\r\n"
                                "user=eve\r\ntime=2026/12/06/17/00/00\r\nevent=1\r\n"
                                "node=" +
                                mapOf({2}) + "\r\nsubitem=-1\r\n";
    const std::string oldList = "[SUM]\r\ncount=0\r\n[note]\r\nkept=yes\r\n";
    writeRaw(item, oldItem);
    writeRaw(list, oldList);

    ASSERT_TRUE(LogSendCommand(0, "amy", nodesOf({4}), {"/designs/A.DST"}));
    EXPECT_EQ(readAll(item), "[DATE]\r\ntoday=2026/12/07\r\n[SUM]\r\ncount=1\r\n[item0]\r\n"
                             "user=amy\r\ntime=2026/12/07/09/30/15\r\nevent=2\r\n"
                             "node=" +
                                 mapOf({4}) + "\r\nsubitem=0\r\n");
    EXPECT_EQ(readAll(list), "[SUM]\r\ncount=1\r\n[subitem0]\r\nitems=1\r\nnode0=" + mapOf({4}) +
                                 "\r\nname0=A.DST\r\npath0=/designs/A.DST\r\n");
    EXPECT_EQ(readAll(dir + "/log/item1-2026-12-06.ini"), oldItem);
    EXPECT_EQ(readAll(dir + "/log/subitem1-2026-12-06.ini"), oldList);
    // Channel 2 is a log of its own.
    EXPECT_FALSE(fs::exists(EventItemPath(1)));

    // The next day: the copy of this day joins the first; a second copy of one date never
    // overwrites the first.
    writeRaw(dir + "/log/item1-2026-12-07.ini", "earlier copy");
    gNow = localTime(2026, 12, 8, 0, 0, 1);
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({1})));
    EXPECT_EQ(readAll(dir + "/log/item1-2026-12-07.ini"), "earlier copy");
    EXPECT_TRUE(fs::exists(dir + "/log/item1-2026-12-07-2.ini"));
    EXPECT_EQ(ReadIniString("DATE", "today", item), "2026/12/08");
    EXPECT_EQ(ReadIniInt("SUM", "count", list), 0);
}

TEST_F(EventLog, NewDayWaitsForItsArchiveFolder) {
    // Yesterday's records, and no archive folder to be had: "log" is a file.
    const std::string oldItem = "[DATE]\r\ntoday=2026/12/06\r\n[SUM]\r\ncount=0\r\n";
    writeRaw(item, oldItem);
    writeRaw(dir + "/log", "a file where the archive folder would be");
    std::string reason;
    EXPECT_FALSE(EventLogWritable(0, &reason));
    EXPECT_EQ(reason, "cannot write the event log: " + dir + "/log is not a folder");
    EXPECT_FALSE(LogClearCommand(0, "amy", nodesOf({0})));
    EXPECT_EQ(readAll(item), oldItem);

    fs::remove(dir + "/log");
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({0})));
    EXPECT_EQ(ReadIniString("DATE", "today", item), "2026/12/07");
    EXPECT_EQ(readAll(dir + "/log/item1-2026-12-06.ini"), oldItem);
}

TEST_F(EventLog, TemporaryFilesOfACrashedWriterAreRemovedByTheNextCommand) {
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({1})));
    const std::vector<std::string> planted = {".item1.ini.tmpAbC123", ".subitem1.ini.tmpXyZ789",
                                              ".item1.ini.probeQwErTy"};
    for (const std::string& name : planted)
        writeRaw(dir + "/" + name, "left by a writer that crashed");
    writeRaw(dir + "/.item2.ini.tmpAbC123", "another channel's");
    gNow += 1;
    std::string reason;
    EXPECT_TRUE(EventLogWritable(0, &reason)) << reason;
    EXPECT_TRUE(LogSendCommand(0, "amy", nodesOf({3}), {"/d/A.DST"})); // writes both files
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 2);
    for (const std::string& name : planted)
        EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
    EXPECT_TRUE(fs::exists(dir + "/.item2.ini.tmpAbC123"));
}

TEST_F(EventLog, SendOfTwoFilesToTwoNodesIsOneRecordWithOneList) {
    ASSERT_TRUE(LogSendCommand(0, "amy", nodesOf({0, 1}), {"/d/A.DST", "/d/sub/B.DSB"}));
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 1);
    EXPECT_EQ(ReadIniString("item0", "node", item), mapOf({0, 1}));
    EXPECT_EQ(ReadIniInt("item0", "event", item), EV_SEND_FILE);
    EXPECT_EQ(ReadIniInt("item0", "subitem", item), 0);
    EXPECT_EQ(ReadIniInt("SUM", "count", list), 1);
    EXPECT_EQ(ReadIniInt("subitem0", "items", list), 2);
    EXPECT_EQ(ReadIniString("subitem0", "name0", list), "A.DST");
    EXPECT_EQ(ReadIniString("subitem0", "path0", list), "/d/A.DST");
    EXPECT_EQ(ReadIniString("subitem0", "name1", list), "B.DSB");
    EXPECT_EQ(ReadIniString("subitem0", "path1", list), "/d/sub/B.DSB");
    EXPECT_EQ(ReadIniString("subitem0", "node0", list), mapOf({0, 1}));
    EXPECT_EQ(ReadIniString("subitem0", "node1", list), mapOf({0, 1}));

    // A second send, a second later, gets record 1 and file list 1.
    gNow += 1;
    ASSERT_TRUE(LogSendCommand(0, "amy", nodesOf({7}), {"C:\\old\\C.UPT"}));
    EXPECT_EQ(ReadIniInt("item1", "subitem", item), 1);
    EXPECT_EQ(ReadIniString("subitem1", "name0", list), "C.UPT");
    EXPECT_EQ(ReadIniInt("SUM", "count", list), 2);
}

TEST_F(EventLog, ClearOfTwoNodesHasNoFileList) {
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({3, 4})));
    EXPECT_EQ(readAll(item), "[DATE]\r\ntoday=2026/12/07\r\n[SUM]\r\ncount=1\r\n[item0]\r\n"
                             "user=amy\r\ntime=2026/12/07/09/30/15\r\nevent=1\r\n"
                             "node=" +
                                 mapOf({3, 4}) + "\r\nsubitem=-1\r\n");
    EXPECT_EQ(readAll(list), "[SUM]\r\ncount=0\r\n");
}

TEST_F(EventLog, DeleteRebuildsNamesFromTheNodeNameField) {
    EXPECT_EQ(NodeFileNameForLog("ABC     DST "), "ABC.DST");
    EXPECT_EQ(NodeFileNameForLog("LONGNAMEJPEG"), "LONGNAME.JPEG");
    EXPECT_EQ(NodeFileNameForLog("README      "), "README");
    EXPECT_EQ(NodeFileNameForLog(std::string("AB\0\0\0\0\0\0UPT\0", 12)), "AB.UPT");
    EXPECT_EQ(NodeFileNameForLog("X"), "X");
    EXPECT_EQ(FileNameOfPath("/a/b/c.dst"), "c.dst");
    EXPECT_EQ(FileNameOfPath("C:\\a\\d.dst"), "d.dst");

    ASSERT_TRUE(LogDeleteCommand(1, "amy", 9, {"ABC     DST ", "README      "}));
    const std::string list2 = EventFileListPath(1);
    EXPECT_EQ(ReadIniInt("item0", "event", EventItemPath(1)), EV_DELETE_FILE);
    EXPECT_EQ(ReadIniString("item0", "node", EventItemPath(1)), mapOf({9}));
    EXPECT_EQ(ReadIniInt("subitem0", "items", list2), 2);
    EXPECT_EQ(ReadIniString("subitem0", "name0", list2), "ABC.DST");
    EXPECT_EQ(ReadIniString("subitem0", "name1", list2), "README");
    EXPECT_EQ(ProfileGetString(list2, "subitem0", "path0", "missing"), "");
    EXPECT_FALSE(fs::exists(item)); // channel 1 untouched
}

TEST_F(EventLog, OnlyOneUsersCommandsOfOneTypeInOneSecondMerge) {
    ASSERT_TRUE(LogSendCommand(0, "amy", nodesOf({0}), {"/d/A.DST"}));
    ASSERT_TRUE(LogSendCommand(0, "amy", nodesOf({2}), {"/d/B.DST", "/d/A.DST"}));
    // In the same second: another user's delete, and the first user's clear, each a record of
    // its own that keeps its user and event type.
    ASSERT_TRUE(LogDeleteCommand(0, "bob", 5, {"C       DST "}));
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({6})));
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 3);
    EXPECT_EQ(ReadIniString("item0", "user", item), "amy");
    EXPECT_EQ(ReadIniInt("item0", "event", item), EV_SEND_FILE);
    EXPECT_EQ(ReadIniString("item0", "node", item), mapOf({0, 2}));
    // A.DST is listed once, with the map as it stood when last written.
    EXPECT_EQ(ReadIniInt("subitem0", "items", list), 2);
    EXPECT_EQ(ReadIniString("subitem0", "name0", list), "A.DST");
    EXPECT_EQ(ReadIniString("subitem0", "node0", list), mapOf({0, 2}));
    EXPECT_EQ(ReadIniString("subitem0", "name1", list), "B.DST");
    EXPECT_EQ(ReadIniString("item1", "user", item), "bob");
    EXPECT_EQ(ReadIniInt("item1", "event", item), EV_DELETE_FILE);
    EXPECT_EQ(ReadIniString("item1", "node", item), mapOf({5}));
    EXPECT_EQ(ReadIniInt("item1", "subitem", item), 1);
    EXPECT_EQ(ReadIniString("subitem1", "name0", list), "C.DST");
    EXPECT_EQ(ReadIniString("item2", "user", item), "amy");
    EXPECT_EQ(ReadIniInt("item2", "event", item), EV_CLEAR_FILE);
    EXPECT_EQ(ReadIniString("item2", "node", item), mapOf({6}));
    EXPECT_EQ(QueryEvents(0, "bob", EV_ALL_EVENTS, -1).size(), 1u);

    // A user name with blanks around it still makes one record per command.
    ASSERT_TRUE(LogSendCommand(0, " eve ", nodesOf({1, 3}), {"/d/A.DST", "/d/B.DST"}));
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 4);
    EXPECT_EQ(ReadIniString("item3", "node", item), mapOf({1, 3}));

    // The plain entry point merges the same way and refuses what it cannot store.
    const std::string t = FormatLogTime();
    EXPECT_TRUE(LogEvent(0, "amy", t, EV_SEND_FILE, 31, "C.DST", "/d/C.DST"));
    EXPECT_EQ(ReadIniString("item0", "node", item), mapOf({0, 2, 31}));
    EXPECT_EQ(ReadIniInt("subitem0", "items", list), 3);
    EXPECT_TRUE(LogEvent(0, "carl", t, EV_SEND_FILE, 31, "C.DST", "/d/C.DST"));
    EXPECT_EQ(ReadIniString("item4", "user", item), "carl");
    EXPECT_FALSE(LogEvent(2, "carl", t, EV_SEND_FILE, 1, "C.DST", "/d/C.DST"));
    EXPECT_FALSE(LogEvent(0, "carl", t, EV_SEND_FILE, 32, "C.DST", "/d/C.DST"));
    EXPECT_FALSE(LogEvent(0, "carl", t, EV_ALL_EVENTS, 1, "", ""));
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 5);
}

TEST_F(EventLog, MergingIntoAShortStoredMapPadsItWithZeros) {
    writeRaw(item, "[DATE]\r\ntoday=2026/12/07\r\n[SUM]\r\ncount=1\r\n[item0]\r\nuser=amy\r\n"
                   "time=" +
                       FormatLogTime() + "\r\nevent=1\r\nnode=01\r\nsubitem=-1\r\n");
    ASSERT_TRUE(LogClearCommand(0, "amy", nodesOf({3})));
    EXPECT_EQ(ReadIniInt("SUM", "count", item), 1);
    EXPECT_EQ(ReadIniString("item0", "node", item), mapOf({1, 3}));
    // Nodes the record never covered do not find it.
    EXPECT_TRUE(QueryEvents(0, "", EV_ALL_EVENTS, 10).empty());
    EXPECT_EQ(QueryEvents(0, "", EV_ALL_EVENTS, 3).size(), 1u);
}

TEST_F(EventLog, WritableCheckTellsWhyNot) {
    std::string reason;
    EXPECT_TRUE(EventLogWritable(0, &reason)) << reason;
    for (const auto& e : fs::directory_iterator(dir)) // nothing left but the writers' locks
        EXPECT_EQ(e.path().extension(), ".lock") << e.path();
    EXPECT_FALSE(EventLogWritable(2, &reason));

    fs::create_directory(EventItemPath(1));
    EXPECT_FALSE(EventLogWritable(1, &reason));
    EXPECT_EQ(reason, "cannot write the event log: " + EventItemPath(1) + " is not a file");
    EXPECT_FALSE(LogClearCommand(1, "amy", nodesOf({0})));
}

class EventQuery : public EventLog {
protected:
    void SetUp() override {
        EventLog::SetUp();
        ASSERT_TRUE(LogDeleteCommand(0, "Amy", 0, {"A       DST "}));
        gNow += 1;
        ASSERT_TRUE(LogClearCommand(0, "bob", nodesOf({3, 5})));
        gNow += 1;
        ASSERT_TRUE(LogSendCommand(0, "Amy", nodesOf({5, 6}), {"/d/X.DST", "/d/Y.DST"}));
        gNow += 1;
        ASSERT_TRUE(LogDeleteCommand(0, "bob", 5, {"Z       DST "}));
    }
};

TEST_F(EventQuery, FiltersByUserEventAndNode) {
    auto all = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2].user, "Amy");
    EXPECT_EQ(all[2].time, "2026/12/07/09/30/17");
    EXPECT_EQ(all[2].event, EV_SEND_FILE);
    EXPECT_EQ(all[2].fileListIndex, 1);
    EXPECT_EQ(all[1].fileListIndex, -1);

    // The dialog's opening state: "Delete File", node 0.
    auto del0 = QueryEvents(0, "", EV_DELETE_FILE, 0);
    ASSERT_EQ(del0.size(), 1u);
    EXPECT_EQ(del0[0].node, 0);
    EXPECT_EQ(del0[0].channel, 0);

    auto node5 = QueryEvents(0, "", EV_ALL_EVENTS, 5);
    ASSERT_EQ(node5.size(), 3u);
    EXPECT_EQ(node5[0].time, "2026/12/07/09/30/16");
    EXPECT_EQ(node5[2].time, "2026/12/07/09/30/18");

    EXPECT_EQ(QueryEvents(0, "Amy", EV_ALL_EVENTS, -1).size(), 2u);
    EXPECT_EQ(QueryEvents(0, "amy", EV_ALL_EVENTS, -1).size(), 0u); // case-sensitive
    EXPECT_EQ(QueryEvents(0, "bob", EV_CLEAR_FILE, 3).size(), 1u);
    EXPECT_EQ(QueryEvents(0, "bob", EV_CLEAR_FILE, 4).size(), 0u);
    EXPECT_TRUE(QueryEvents(1, "", EV_ALL_EVENTS, -1).empty()); // no files for channel 2
}

TEST_F(EventQuery, ShortEmptyAndDamagedMapsAndCounts) {
    writeRaw(item, "[SUM]\ncount=99999999\n"
                   "[item0]\nuser=u\nnode=01\nevent=1\ntime=t0\nsubitem=-1\n"
                   "[item1]\nuser=u\nevent=1\ntime=t1\nsubitem=-1\n"
                   "[item3]\nuser=u\nnode=" +
                       mapOf({}) + "\nevent=1\ntime=t3\n");
    // Node 5 lies past the short map and the empty map, so both pass; the full map has "0".
    auto r = QueryEvents(0, "", EV_ALL_EVENTS, 5);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].time, "t0");
    EXPECT_EQ(r[1].time, "t1");
    auto node0 = QueryEvents(0, "", EV_ALL_EVENTS, 0); // only the record without a map
    ASSERT_EQ(node0.size(), 1u);
    EXPECT_EQ(node0[0].time, "t1");
    // A missing "subitem" reads as file list 0.
    auto all = QueryEvents(0, "", EV_ALL_EVENTS, -1);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].fileListIndex, 0);
}

TEST_F(EventQuery, FileEntriesOfTheChosenRecordsAndNode) {
    auto node5 = QueryEvents(0, "", EV_ALL_EVENTS, 5);
    auto files = QueryEventFiles(0, node5);
    // The clear has no list; the send lists X and Y; the delete lists Z.
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].fileListIndex, 1);
    EXPECT_EQ(files[0].node, 5);
    EXPECT_EQ(files[0].name, "X.DST");
    EXPECT_EQ(files[0].path, "/d/X.DST");
    EXPECT_EQ(files[1].name, "Y.DST");
    EXPECT_EQ(files[2].fileListIndex, 2);
    EXPECT_EQ(files[2].name, "Z.DST");
    EXPECT_EQ(files[2].path, "");

    // Node 3 is not in the send's entries' maps.
    EventRecord rec = node5[1];
    rec.node = 3;
    EXPECT_TRUE(QueryEventFiles(0, {rec}).empty());

    // A file-list index past the count, or negative, yields nothing.
    rec.node = 5;
    rec.fileListIndex = 3;
    EXPECT_TRUE(QueryEventFiles(0, {rec}).empty());
    rec.fileListIndex = 99;
    EXPECT_TRUE(QueryEventFiles(0, {rec}).empty());
    rec.fileListIndex = -1;
    EXPECT_TRUE(QueryEventFiles(0, {rec}).empty());
    // Without a node the query shows every entry of the list.
    rec.fileListIndex = 1;
    rec.node = -1;
    EXPECT_EQ(QueryEventFiles(0, {rec}).size(), 2u);
}

} // namespace
