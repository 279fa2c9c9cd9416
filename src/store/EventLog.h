// The event log ("Soft Note"): every send, delete and clear request, per channel in two
// private-profile files in the working folder. "item<n>.ini" holds one record per command (user,
// time, event type, node map, index of its file list); "subitem<n>.ini" holds the file lists. A
// log holds one day: the first event of a new day empties both files, after keeping a copy of the
// previous day's pair in "log/" beside them ("log/item1-2026-12-06.ini",
// "log/subitem1-2026-12-06.ini").
//
// The window's thread logs and queries, and so do the HTTP API's threads (each command in the name
// of its user). Every change reads and rewrites a file under that file's writer lock, which also
// orders the threads of one process (platform/FileIo.h), so no two writers lose each other's
// events.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

enum EventType : int32_t {
    EV_DELETE_FILE = 0,
    EV_CLEAR_FILE = 1,
    EV_SEND_FILE = 2,
    EV_ALL_EVENTS = 3, // query filter only, never stored
};

constexpr int kEventLogNodes = 32; // length of a node map
using EventNodeFlags = std::array<bool, kEventLogNodes>;

struct EventRecord {
    int32_t event = 0;
    int32_t channel = 0;
    int32_t node = 0; // the node index the query asked for
    int32_t fileListIndex = -1;
    std::string user;
    std::string time;
};

struct EventFileEntry {
    int32_t fileListIndex = 0;
    int32_t node = 0; // the node index the query asked for
    std::string name;
    std::string path;
};

// The clock of the log, replaceable for tests (nullptr restores the system clock).
using EventLogClock = std::time_t (*)();
void SetEventLogClock(EventLogClock clock);
std::time_t EventLogNow();

// "YYYY/MM/DD/hh/mm/ss" and "YYYY/MM/DD" in local time, of now or of a given moment.
std::string FormatLogTime();
std::string FormatLogDate();
std::string FormatLogTime(std::time_t when);
std::string FormatLogDate(std::time_t when);

std::string EventItemPath(int channel);     // workDir + "/item1.ini" or "/item2.ini"
std::string EventFileListPath(int channel); // workDir + "/subitem1.ini" or "/subitem2.ini"
std::string EventArchiveFolder();           // workDir + "/log"

// Whether an event can be logged on the channel now: the log's files are files that can be read
// and rewritten, their writers' locks can be taken, and the working folder takes a new file of
// their size. False otherwise, with `reason` (when given) set to one line that says why, such as
// "cannot write the event log: /work/item1.ini is not a file". A send, delete or clear is refused
// when this is false, before anything is logged or queued; a Log...Command that still fails
// afterwards (the disk filled in between) refuses the command as well.
bool EventLogWritable(int channel, std::string* reason);

// Logs one (node, file) event; calls with the same time text, user and event type fall into one
// record. `name` is
// empty for an event without a file. False when nothing was logged (bad channel, node or event,
// or a file that could not be written, in which case the log stays as it was).
bool LogEvent(int channel, const std::string& user, const std::string& time, int event, int node,
              const std::string& name, const std::string& path);

// One command, one event time, one write per file. Nodes in ascending index, files in list
// order. True when everything was logged (or there was nothing to log).
bool LogSendCommand(int channel, const std::string& user, const EventNodeFlags& nodes,
                    const std::vector<std::string>& filePaths);
// nodeFileNames: the node's 12-byte name fields (base name in bytes 0-7, extension from byte 8).
bool LogDeleteCommand(int channel, const std::string& user, int node,
                      const std::vector<std::string>& nodeFileNames);
bool LogClearCommand(int channel, const std::string& user, const EventNodeFlags& nodes);

// The name logged for a node's 12-byte name field: bytes 0-7 without trailing blanks, then "."
// and bytes 8-11 without trailing blanks when those are not empty. NUL bytes count as blanks.
std::string NodeFileNameForLog(const std::string& field);
// The part of a path after its last "/" or "\".
std::string FileNameOfPath(const std::string& path);

// Records of a channel's log in file order: userFilter empty or equal (case-sensitive),
// eventFilter EV_ALL_EVENTS or equal, and no "0" in the node map at nodeFilter (a short map and a
// negative nodeFilter pass).
std::vector<EventRecord> QueryEvents(int channel, const std::string& userFilter, int eventFilter,
                                     int nodeFilter);
// The file entries of the given records in their order: those whose node map has "1" at the
// record's node (every entry when the record's node is negative).
std::vector<EventFileEntry> QueryEventFiles(int channel, const std::vector<EventRecord>& records);
