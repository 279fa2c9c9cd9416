// What the Soft Note dialog decides: which days it offers, which files hold a channel's log of a
// day, the query with its filters (user, event type, node) and the files of a chosen record.
//
// The live pair of files ("item<N>.ini", "subitem<N>.ini") holds the day named by its "today"
// key; earlier days are the copies that the day change keeps in "log/"
// ("log/item<N>-YYYY-MM-DD.ini"). A further copy of one date, made when the clock came round to
// that date again, carries "-2", "-3" … after the date.
#pragma once

#include <string>
#include <vector>

#include "store/EventLog.h"

// The "Event Type:" entries (index = event type, 3 = any) and the "Channel:" entries.
constexpr int kEventTypeEntryCount = 4;
extern const char* const kEventTypeEntries[kEventTypeEntryCount];
extern const char* const kChannelEntries[2];

// The "Event" column of a record: "Delete File", "Clear File", "Send File"; the stored number as
// it stands for any other value.
std::string EventTypeText(int event);

// One entry of the "Day:" list.
struct SoftNoteDay {
    std::string date;  // log date "YYYY/MM/DD"
    int copy = 0;      // 0: the live log of that date, or its only copy; n >= 1: copy n of "log/"
    std::string label; // the date, followed by " (n)" for copy n
};

// Today's date first (whether or not anything was logged today), then every other day that has a
// log of either channel, newest first.
std::vector<SoftNoteDay> SoftNoteDays();
// The day entry of today.
SoftNoteDay SoftNoteToday();

struct SoftNoteFiles {
    std::string items; // empty when the channel has no log of that day
    std::string lists;
    bool live = false; // the live pair of the working folder
};
// The files holding the channel's log of the day.
SoftNoteFiles SoftNoteFilesOf(int channel, const SoftNoteDay& day);

struct SoftNoteQuery {
    int channel = 0;
    std::string user;           // empty: any user; otherwise equal, case-sensitive
    int event = EV_DELETE_FILE; // EV_ALL_EVENTS: any
    int node = 0;               // node index 0..31; a record passes unless its map has "0" there
    SoftNoteDay day;            // SoftNoteToday() unless the operator picked another
};

struct SoftNoteResult {
    std::vector<EventRecord> records;
    std::vector<EventFileEntry> files;
};

// "Query": the records of the channel's log of the day that pass the filters, in file order, and
// their file entries (QueryEvents and QueryEventFiles of the event log).
SoftNoteResult RunSoftNoteQuery(const SoftNoteQuery& query);

// The files list of a clicked record: the entries of record `row`'s file list, in order. Row -1
// (nothing selected) means row 0; a row past the end and a record without a file list give none.
std::vector<EventFileEntry> SoftNoteRecordFiles(const SoftNoteResult& result, int row);
