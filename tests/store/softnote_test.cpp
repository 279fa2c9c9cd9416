// The Soft Note's rules: the days it offers, which files hold a day, the query of a kept day (the
// same answers as the live log's query gave that day) and the files of a chosen record.
#include "store/IniFile.h"
#include "store/SoftNote.h"

#include "TempWorkDir.h"

#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::time_t gNow = 0;
std::time_t fixedClock() {
    return gNow;
}

std::time_t at(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

EventNodeFlags nodes(std::initializer_list<int> list) {
    EventNodeFlags f{};
    for (int n : list)
        f[static_cast<size_t>(n)] = true;
    return f;
}

std::vector<std::string> labels(const std::vector<SoftNoteDay>& days) {
    std::vector<std::string> out;
    for (const SoftNoteDay& d : days)
        out.push_back(d.label);
    return out;
}

class SoftNote : public TempWorkDir {
protected:
    void SetUp() override {
        TempWorkDir::SetUp();
        SetEventLogClock(fixedClock);
    }
    // A day of three commands on channel 1 (and one on channel 2).
    void logDay(int day) {
        gNow = at(2026, 12, day, 9, 0, 0);
        ASSERT_TRUE(LogSendCommand(0, "amy", nodes({0, 5}), {"/d/A.DST", "/d/B.DSB"}));
        gNow += 1;
        ASSERT_TRUE(LogClearCommand(0, "Bob", nodes({5})));
        gNow += 1;
        ASSERT_TRUE(LogDeleteCommand(0, "amy", 3, {std::string("C       UPT ")}));
        ASSERT_TRUE(LogClearCommand(1, "amy", nodes({1})));
    }
    static std::vector<std::string> users(const SoftNoteResult& r) {
        std::vector<std::string> out;
        for (const EventRecord& e : r.records)
            out.push_back(e.user + "/" + EventTypeText(e.event));
        return out;
    }
};

TEST_F(SoftNote, KeptDaysAreOfferedAndQueriedAsTheyWereOnTheirDay) {
    logDay(6);
    // What the live log answers on its own day, for a few filters.
    const SoftNoteDay day6 = SoftNoteToday();
    std::vector<SoftNoteQuery> queries = {
        {0, "", EV_ALL_EVENTS, 5, day6},    {0, "amy", EV_ALL_EVENTS, 0, day6},
        {0, "AMY", EV_ALL_EVENTS, 0, day6}, {0, "", EV_DELETE_FILE, 3, day6},
        {0, "", EV_SEND_FILE, 1, day6},     {1, "", EV_CLEAR_FILE, 1, day6}};
    std::vector<SoftNoteResult> live;
    for (const SoftNoteQuery& q : queries) {
        ASSERT_TRUE(SoftNoteFilesOf(q.channel, q.day).live);
        live.push_back(RunSoftNoteQuery(q));
    }
    EXPECT_EQ(users(live[0]), (std::vector<std::string>{"amy/Send File", "Bob/Clear File"}));
    EXPECT_TRUE(live[2].records.empty()); // user names are case-sensitive
    EXPECT_EQ(live[3].files.size(), 1u);
    EXPECT_EQ(live[3].files[0].name, "C.UPT");

    // The next day's first event keeps day 6 in log/; a third day makes day 7 a copy as well.
    logDay(7);
    gNow = at(2026, 12, 9, 8, 0, 0);
    ASSERT_TRUE(LogClearCommand(0, "amy", nodes({2})));

    EXPECT_EQ(labels(SoftNoteDays()),
              (std::vector<std::string>{"2026/12/09", "2026/12/07", "2026/12/06"}));
    EXPECT_EQ(SoftNoteFilesOf(0, day6).items, dir + "/log/item1-2026-12-06.ini");
    EXPECT_EQ(SoftNoteFilesOf(1, day6).lists, dir + "/log/subitem2-2026-12-06.ini");
    for (size_t i = 0; i < queries.size(); ++i) {
        SoftNoteResult kept = RunSoftNoteQuery(queries[i]);
        ASSERT_EQ(kept.records.size(), live[i].records.size()) << i;
        for (size_t k = 0; k < kept.records.size(); ++k) {
            EXPECT_EQ(kept.records[k].user, live[i].records[k].user);
            EXPECT_EQ(kept.records[k].time, live[i].records[k].time);
            EXPECT_EQ(kept.records[k].event, live[i].records[k].event);
            EXPECT_EQ(kept.records[k].fileListIndex, live[i].records[k].fileListIndex);
            EXPECT_EQ(kept.records[k].node, live[i].records[k].node);
        }
        ASSERT_EQ(kept.files.size(), live[i].files.size()) << i;
        for (size_t k = 0; k < kept.files.size(); ++k) {
            EXPECT_EQ(kept.files[k].name, live[i].files[k].name);
            EXPECT_EQ(kept.files[k].path, live[i].files[k].path);
            EXPECT_EQ(kept.files[k].fileListIndex, live[i].files[k].fileListIndex);
        }
    }
    // Today has only what was logged today.
    EXPECT_EQ(RunSoftNoteQuery({0, "", EV_ALL_EVENTS, -1, SoftNoteToday()}).records.size(), 1u);
    // A day without a log of the channel gives nothing.
    EXPECT_TRUE(RunSoftNoteQuery({1, "", EV_ALL_EVENTS, -1, SoftNoteToday()}).records.empty());
}

TEST_F(SoftNote, TodayIsOfferedWithoutALogAndFurtherCopiesOfADateAreKept) {
    gNow = at(2026, 12, 7, 9, 0, 0);
    EXPECT_EQ(labels(SoftNoteDays()), std::vector<std::string>{"2026/12/07"});
    EXPECT_TRUE(RunSoftNoteQuery({0, "", EV_ALL_EVENTS, -1, SoftNoteToday()}).records.empty());

    // The live log of an earlier day, a copy of it from a clock that came round again, and names
    // in log/ that are not copies of this station.
    fs::create_directories(dir + "/log");
    writeRaw(EventItemPath(0), "[DATE]\r\ntoday=2026/12/05\r\n[SUM]\r\ncount=0\r\n");
    writeRaw(dir + "/log/item1-2026-12-05.ini", "[SUM]\r\ncount=0\r\n");
    writeRaw(dir + "/log/item1-2026-12-05-2.ini", "[SUM]\r\ncount=0\r\n");
    writeRaw(dir + "/log/item2-2026-12-04.ini", "[SUM]\r\ncount=0\r\n");
    for (const char* other : {"item1-2026-12-0x.ini", "item3-2026-12-01.ini",
                              "item1-2026-12-03-0.ini", "notes.txt", "item1-2026-12-03.ini.tmp7"})
        writeRaw(dir + "/log/" + other, "");
    EXPECT_EQ(labels(SoftNoteDays()),
              (std::vector<std::string>{"2026/12/07", "2026/12/05", "2026/12/05 (2)",
                                        "2026/12/05 (1)", "2026/12/04"}));
    std::vector<SoftNoteDay> days = SoftNoteDays();
    EXPECT_TRUE(SoftNoteFilesOf(0, days[1]).live);
    EXPECT_EQ(SoftNoteFilesOf(0, days[2]).items, dir + "/log/item1-2026-12-05-2.ini");
    EXPECT_EQ(SoftNoteFilesOf(0, days[3]).items, dir + "/log/item1-2026-12-05.ini");
    EXPECT_EQ(SoftNoteFilesOf(1, days[4]).items, dir + "/log/item2-2026-12-04.ini");
    EXPECT_TRUE(SoftNoteFilesOf(0, days[4]).items.empty());
}

TEST(SoftNoteRules, FilesOfAClickedRecord) {
    SoftNoteResult r;
    r.records = {{EV_SEND_FILE, 0, 5, 1, "amy", "t1"},
                 {EV_CLEAR_FILE, 0, 5, -1, "amy", "t2"},
                 {EV_SEND_FILE, 0, 5, 0, "amy", "t3"}};
    r.files = {
        {1, 5, "A.DST", "/d/A.DST"}, {0, 5, "B.DST", "/d/B.DST"}, {1, 5, "C.DST", "/d/C.DST"}};
    auto names = [&](int row) {
        std::vector<std::string> out;
        for (const EventFileEntry& e : SoftNoteRecordFiles(r, row))
            out.push_back(e.name);
        return out;
    };
    EXPECT_EQ(names(0), (std::vector<std::string>{"A.DST", "C.DST"}));
    EXPECT_EQ(names(-1), names(0)); // nothing selected: the first record
    EXPECT_TRUE(names(1).empty());  // a clear has no file list
    EXPECT_EQ(names(2), std::vector<std::string>{"B.DST"});
    EXPECT_TRUE(names(3).empty());
    EXPECT_EQ(EventTypeText(EV_DELETE_FILE), "Delete File");
    EXPECT_EQ(EventTypeText(7), "7");
}

} // namespace
