#include "store/EventLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "platform/FileIo.h"
#include "platform/LocalTime.h"
#include "store/IniFile.h"
#include "store/SystemParameters.h"

namespace {

EventLogClock gClock = nullptr;

std::time_t systemNow() {
    return std::time(nullptr);
}

std::tm localTm(std::time_t when) {
    return LocalTime(when);
}

bool validChannel(int channel) {
    return channel == 0 || channel == 1;
}

std::string freshNodeMap(int node) {
    std::string map(kEventLogNodes, '0');
    map[static_cast<size_t>(node)] = '1';
    return map;
}

// A stored map may be short or damaged: make it 32 characters before setting one of them.
std::string mergedNodeMap(std::string map, int node) {
    map.resize(kEventLogNodes, '0');
    map[static_cast<size_t>(node)] = '1';
    return map;
}

bool mapHasOne(const std::string& map, int pos) {
    return pos >= 0 && static_cast<size_t>(pos) < map.size() &&
           map[static_cast<size_t>(pos)] == '1';
}

// k of a name "<prefix><k>" (prefix in any case, k plain decimal), or -1.
int indexAfter(const std::string& name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9)
        return -1;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return -1;
    }
    std::string_view digits = std::string_view(name).substr(prefix.size());
    if (digits.size() > 1 && digits.front() == '0')
        return -1;
    int k = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        k = k * 10 + (c - '0');
    }
    return k;
}

// Indexes below `limit` of the sections "item<k>" present in a file, ascending. Records are
// walked this way rather than 0..count-1 so that a damaged count cannot make us walk millions of
// missing sections.
template <class Source> std::vector<int> presentIndexes(const Source& src, int limit) {
    std::vector<int> ks;
    for (const std::string& s : src.sectionNames()) {
        int k = indexAfter(s, "item");
        if (k >= 0 && k < limit)
            ks.push_back(k);
    }
    std::sort(ks.begin(), ks.end());
    ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
    return ks;
}

// Entry indexes below `limit` that have any of their keys in a file-list section, ascending.
template <class Source>
std::vector<int> presentEntries(const Source& src, const std::string& section, int limit,
                                bool namesOnly) {
    std::vector<int> js;
    for (const std::string& key : src.keyNames(section)) {
        int j = indexAfter(key, "name");
        if (j < 0 && !namesOnly) {
            j = indexAfter(key, "node");
            if (j < 0)
                j = indexAfter(key, "path");
        }
        if (j >= 0 && j < limit)
            js.push_back(j);
    }
    std::sort(js.begin(), js.end());
    js.erase(std::unique(js.begin(), js.end()), js.end());
    return js;
}

// What identifies the record of one command: its time text, its user and its event type, as the
// item file holds them. The channel is the file's own. Two commands of one second by different
// users, or of different types, are two records; one command logging its nodes one by one still
// makes one.
std::string recordKey(const std::string& time, const std::string& user, int event) {
    return time + '\n' + user + '\n' + std::to_string(event);
}

// A text as it reads back from the item file, so that a new event compares equal to its record.
std::string asStored(const std::string& text) {
    return IniStringFromText(ProfileStoredValue(text));
}

std::string itemSection(int k) {
    return "item" + std::to_string(k);
}
std::string listSection(int s) {
    return "subitem" + std::to_string(s);
}

bool isLogDate(const std::string& d) {
    if (d.size() != 10 || d[4] != '/' || d[7] != '/')
        return false;
    for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (d[i] < '0' || d[i] > '9')
            return false;
    return true;
}

// Copies a file so that the copy is whole on disk, under its final name, before this returns
// true. The copy is made beside its final name under a name of its own (".tmp" and six random
// characters), so no leftover can stand in its way.
bool copyDurably(const std::string& from, const std::string& to) {
    return CopyFileDurably(from, to);
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// What a crashed archive copy of the channel left in the archive folder: "item1-....ini.tmp*".
// Called with the channel's writers' locks held, so none of them is in use.
void removeStaleArchiveCopies(const std::string& dir, int channel) {
    namespace fs = std::filesystem;
    const std::string ch = std::to_string(channel + 1);
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        if ((startsWith(n, "item" + ch + "-") || startsWith(n, "subitem" + ch + "-")) &&
            n.find(".ini.tmp") != std::string::npos && it->is_regular_file(ec))
            fs::remove(it->path(), ec);
    }
}

// Keeps the channel's pair of files in the archive folder before the day change empties them.
// False when the copies cannot be made whole: the day's log must then stay as it is.
bool archiveDay(int channel, const std::string& oldToday) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string item = EventItemPath(channel);
    const std::string list = EventFileListPath(channel);
    bool haveItem = fs::is_regular_file(item, ec);
    bool haveList = fs::is_regular_file(list, ec);
    if (!haveItem && !haveList)
        return true;

    std::string date;
    if (isLogDate(oldToday)) {
        date = oldToday;
        std::replace(date.begin(), date.end(), '/', '-');
    } else {
        // No usable date in the file: name the copy after the day it was last written.
        FileInfo st;
        std::time_t when = StatPath(haveItem ? item : list, st) == 0
                               ? static_cast<std::time_t>(st.mtimeNs / 1000000000)
                               : 0;
        std::tm tm = localTm(when);
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday);
        date = buf;
    }

    const std::string dir = EventArchiveFolder();
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        return false;
    removeStaleArchiveCopies(dir, channel);
    const std::string ch = std::to_string(channel + 1);
    // Never overwrite an earlier copy (a clock set back can bring a date round twice).
    for (int n = 1; n < 1000; ++n) {
        std::string suffix = date + (n == 1 ? "" : "-" + std::to_string(n)) + ".ini";
        std::string itemCopy = dir + "/item" + ch + "-" + suffix;
        std::string listCopy = dir + "/subitem" + ch + "-" + suffix;
        if (fs::exists(itemCopy, ec) || fs::exists(listCopy, ec))
            continue;
        if ((!haveItem || copyDurably(item, itemCopy)) &&
            (!haveList || copyDurably(list, listCopy)))
            return true;
        // Half a pair is no copy of the day: the next attempt starts again under this name.
        fs::remove(itemCopy, ec);
        return false;
    }
    return false;
}

// The writes of one command: both files are read once, changed in memory and written once.
class EventLogSession {
public:
    explicit EventLogSession(int channel)
        : channel_(channel), items_(EventItemPath(channel)), lists_(EventFileListPath(channel)) {}

    // False, with nothing changed, when the event cannot be logged: a bad value, or a new day
    // whose predecessor cannot be kept in the archive.
    bool log(const std::string& user, const std::string& time, int event, int node,
             const std::string& name, const std::string& path, const std::string& today);

    // The file lists go first: a record must never point at a list that is not yet written.
    bool commit() { return lists_.commit() && items_.commit(); }

private:
    bool startDay(const std::string& today);
    int findRecord(const std::string& key, int count);
    int findEntry(int s, int items, const std::string& name);
    void createList(int s, const std::string& map, const std::string& name,
                    const std::string& path);

    int channel_;
    ProfileBatch items_;
    ProfileBatch lists_;
    // Lookups that the plain algorithm does by walking the files, kept for the command's length;
    // they hold the same first matches as that walk would find.
    bool recordsIndexed_ = false;
    std::unordered_map<std::string, int> recordByKey_;
    std::unordered_map<int, std::unordered_map<std::string, int>> entryByName_;
};

bool EventLogSession::startDay(const std::string& today) {
    // Yesterday's records are emptied only once their copy is whole.
    if (!archiveDay(channel_, ReadIniString(items_, "DATE", "today")))
        return false;
    items_.clear();
    lists_.clear();
    WriteIniString(items_, "DATE", "today", today);
    WriteIniInt(items_, "SUM", "count", 0);
    WriteIniInt(lists_, "SUM", "count", 0);
    recordsIndexed_ = false;
    recordByKey_.clear();
    entryByName_.clear();
    return true;
}

int EventLogSession::findRecord(const std::string& key, int count) {
    if (!recordsIndexed_) {
        for (int k : presentIndexes(items_, count)) {
            const std::string sec = itemSection(k);
            recordByKey_.emplace(recordKey(ReadIniString(items_, sec, "time"),
                                           ReadIniString(items_, sec, "user"),
                                           ReadIniInt(items_, sec, "event")),
                                 k);
        }
        recordsIndexed_ = true;
    }
    auto it = recordByKey_.find(key);
    return it == recordByKey_.end() ? -1 : it->second;
}

int EventLogSession::findEntry(int s, int items, const std::string& name) {
    auto [it, fresh] = entryByName_.try_emplace(s);
    if (fresh) {
        const std::string sec = listSection(s);
        for (int j : presentEntries(lists_, sec, items, true))
            it->second.emplace(ReadIniString(lists_, sec, "name" + std::to_string(j)), j);
    }
    auto e = it->second.find(name);
    return e == it->second.end() ? -1 : e->second;
}

void EventLogSession::createList(int s, const std::string& map, const std::string& name,
                                 const std::string& path) {
    const std::string sec = listSection(s);
    WriteIniInt(lists_, "SUM", "count", s + 1);
    WriteIniInt(lists_, sec, "items", 1);
    WriteIniString(lists_, sec, "node0", map);
    WriteIniString(lists_, sec, "name0", name);
    WriteIniString(lists_, sec, "path0", path);
    entryByName_[s] = {{name, 0}};
}

bool EventLogSession::log(const std::string& user, const std::string& time, int event, int node,
                          const std::string& name, const std::string& path,
                          const std::string& today) {
    if (event < EV_DELETE_FILE || event > EV_SEND_FILE || node < 0 || node >= kEventLogNodes)
        return false;
    if (ReadIniString(items_, "DATE", "today") != today && !startDay(today))
        return false;

    const int count = ReadIniInt(items_, "SUM", "count");
    const std::string key = recordKey(asStored(time), asStored(user), event);
    int k = findRecord(key, count);
    if (k < 0) {
        k = std::max(count, 0);
        const std::string sec = itemSection(k);
        const std::string map = freshNodeMap(node);
        WriteIniInt(items_, "SUM", "count", k + 1);
        WriteIniString(items_, sec, "user", user);
        WriteIniString(items_, sec, "time", time);
        WriteIniInt(items_, sec, "event", event);
        WriteIniString(items_, sec, "node", map);
        if (recordsIndexed_)
            recordByKey_.emplace(key, k);
        if (name.empty()) {
            WriteIniInt(items_, sec, "subitem", -1);
            return true;
        }
        const int s = std::max(ReadIniInt(lists_, "SUM", "count"), 0);
        WriteIniInt(items_, sec, "subitem", s);
        createList(s, map, name, path);
        return true;
    }

    const std::string sec = itemSection(k);
    const std::string map = mergedNodeMap(ReadIniString(items_, sec, "node"), node);
    WriteIniString(items_, sec, "node", map);
    const int s = ReadIniInt(items_, sec, "subitem");
    // A record without a file list keeps none; an event without a file adds no entry.
    if (s < 0 || name.empty())
        return true;
    const std::string list = listSection(s);
    const int items = std::max(ReadIniInt(lists_, list, "items"), 0);
    const int j = findEntry(s, items, name);
    if (j >= 0) {
        WriteIniString(lists_, list, "node" + std::to_string(j), map);
        return true;
    }
    const std::string n = std::to_string(items);
    WriteIniInt(lists_, list, "items", items + 1);
    WriteIniString(lists_, list, "node" + n, map);
    WriteIniString(lists_, list, "name" + n, name);
    WriteIniString(lists_, list, "path" + n, path);
    entryByName_[s].emplace(name, items);
    return true;
}

} // namespace

void SetEventLogClock(EventLogClock clock) {
    gClock = clock;
}

std::time_t EventLogNow() {
    return gClock ? gClock() : systemNow();
}

std::string FormatLogTime(std::time_t when) {
    std::tm tm = localTm(when);
    int year = tm.tm_year + 1900;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d%02d/%02d/%02d/%02d/%02d/%02d", year / 100, year % 100,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string FormatLogDate(std::time_t when) {
    std::tm tm = localTm(when);
    int year = tm.tm_year + 1900;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d/%02d/%02d", year / 100, year % 100, tm.tm_mon + 1,
                  tm.tm_mday);
    return buf;
}

std::string FormatLogTime() {
    return FormatLogTime(EventLogNow());
}
std::string FormatLogDate() {
    return FormatLogDate(EventLogNow());
}

std::string EventItemPath(int channel) {
    return DataFilePath(channel == 1 ? "item2.ini" : "item1.ini");
}

std::string EventFileListPath(int channel) {
    return DataFilePath(channel == 1 ? "subitem2.ini" : "subitem1.ini");
}

std::string EventArchiveFolder() {
    return DataFilePath("log");
}

bool EventLogWritable(int channel, std::string* reason) {
    auto refuse = [reason](const std::string& why) {
        if (reason)
            *reason = "cannot write the event log: " + why;
        return false;
    };
    if (!validChannel(channel))
        return refuse("there is no channel " + std::to_string(channel + 1));
    const std::string files[2] = {EventItemPath(channel), EventFileListPath(channel)};
    // Room for both files rewritten, plus what one command may add.
    uint64_t room = 64 * 1024;
    uint64_t logBytes = 0;
    bool anyFile = false;
    for (const std::string& f : files) {
        FileInfo st;
        if (const int e = StatPath(f, st); e != 0) {
            if (e == ENOENT)
                continue;
            return refuse(f + ": " + ErrorText(e));
        }
        if (st.kind != FileKind::Regular)
            return refuse(f + " is not a file");
        if (st.size > kMaxProfileFileBytes)
            return refuse(f + " is larger than " + std::to_string(kMaxProfileFileBytes) + " bytes");
        if (const int e = CheckReadable(f); e != 0)
            return refuse(f + ": " + ErrorText(e));
        room += st.size;
        logBytes += st.size;
        anyFile = true;
    }
    // The writers' locks, in the order a command takes them.
    const std::string itemLockPath = ProfileLockPath(files[0]);
    const std::string listLockPath = ProfileLockPath(files[1]);
    FileLock itemLock(itemLockPath);
    if (!itemLock.held())
        return refuse(itemLockPath + ": " + ErrorText(itemLock.error()));
    FileLock listLock(listLockPath);
    if (!listLock.held())
        return refuse(listLockPath + ": " + ErrorText(listLock.error()));

    // A full disk or a read-only folder shows only when a file is made there and given room.
    // Probe files have names of their own (six random characters); what a crashed probe left is
    // removed under the lock that every probe of the channel takes.
    const auto probeRoom = [&](const std::string& folder, uint64_t bytes) -> int {
        const std::string prefix = ".item" + std::to_string(channel + 1) + ".ini.probe";
        RemoveStaleTemporaries(folder, prefix);
        return CheckRoomFor(folder, prefix, bytes);
    };
    const std::string folder = std::filesystem::path(itemLockPath).parent_path().string();
    const std::string shown = folder.empty() ? std::string(".") : folder;
    if (const int err = probeRoom(folder, room))
        return refuse(shown + ": " + ErrorText(err));

    // The first event of a new day keeps the last day's pair in the archive first; when that
    // copy cannot be made, the day's log stays and the command is refused.
    if (anyFile && ReadIniString(ProfileReader(files[0]), "DATE", "today") != FormatLogDate()) {
        const std::string archive = EventArchiveFolder();
        FileInfo st;
        const bool made = StatPath(archive, st) == 0;
        if (made && st.kind != FileKind::Folder)
            return refuse(archive + " is not a folder");
        if (const int err = probeRoom(made ? archive : folder, logBytes))
            return refuse((made ? archive : shown) + ": " + ErrorText(err));
    }
    return true;
}

bool LogEvent(int channel, const std::string& user, const std::string& time, int event, int node,
              const std::string& name, const std::string& path) {
    if (!validChannel(channel))
        return false;
    EventLogSession session(channel);
    return session.log(user, time, event, node, name, path, FormatLogDate()) && session.commit();
}

bool LogSendCommand(int channel, const std::string& user, const EventNodeFlags& nodes,
                    const std::vector<std::string>& filePaths) {
    if (!validChannel(channel))
        return false;
    // Date and time from one reading of the clock, so a command that runs over midnight is not
    // split by a day change of its own.
    const std::time_t now = EventLogNow();
    const std::string time = FormatLogTime(now);
    const std::string today = FormatLogDate(now);
    std::vector<std::string> names;
    names.reserve(filePaths.size());
    for (const std::string& p : filePaths)
        names.push_back(FileNameOfPath(p));
    EventLogSession session(channel);
    bool any = false;
    for (int node = 0; node < kEventLogNodes; ++node) {
        if (!nodes[static_cast<size_t>(node)])
            continue;
        for (size_t f = 0; f < filePaths.size(); ++f) {
            if (!session.log(user, time, EV_SEND_FILE, node, names[f], filePaths[f], today))
                return false;
            any = true;
        }
    }
    return !any || session.commit();
}

bool LogDeleteCommand(int channel, const std::string& user, int node,
                      const std::vector<std::string>& nodeFileNames) {
    if (!validChannel(channel) || node < 0 || node >= kEventLogNodes)
        return false;
    const std::time_t now = EventLogNow();
    const std::string time = FormatLogTime(now);
    const std::string today = FormatLogDate(now);
    EventLogSession session(channel);
    for (const std::string& field : nodeFileNames)
        if (!session.log(user, time, EV_DELETE_FILE, node, NodeFileNameForLog(field), "", today))
            return false;
    return nodeFileNames.empty() || session.commit();
}

bool LogClearCommand(int channel, const std::string& user, const EventNodeFlags& nodes) {
    if (!validChannel(channel))
        return false;
    const std::time_t now = EventLogNow();
    const std::string time = FormatLogTime(now);
    const std::string today = FormatLogDate(now);
    EventLogSession session(channel);
    bool any = false;
    for (int node = 0; node < kEventLogNodes; ++node) {
        if (!nodes[static_cast<size_t>(node)])
            continue;
        if (!session.log(user, time, EV_CLEAR_FILE, node, "", "", today))
            return false;
        any = true;
    }
    return !any || session.commit();
}

std::string NodeFileNameForLog(const std::string& field) {
    auto part = [&](size_t from, size_t len) {
        std::string p = from < field.size() ? field.substr(from, len) : std::string();
        size_t nul = p.find('\0');
        if (nul != std::string::npos)
            p.resize(nul);
        while (!p.empty() && p.back() == ' ')
            p.pop_back();
        return p;
    };
    // The extension field runs from byte 8 to byte 11, so a four-letter extension is kept whole.
    std::string base = part(0, 8);
    std::string ext = part(8, 4);
    return ext.empty() ? base : base + "." + ext;
}

std::string FileNameOfPath(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<EventRecord> QueryEvents(int channel, const std::string& userFilter, int eventFilter,
                                     int nodeFilter) {
    std::vector<EventRecord> out;
    if (!validChannel(channel))
        return out;
    ProfileReader r(EventItemPath(channel));
    const int count = ReadIniInt(r, "SUM", "count");
    for (int k : presentIndexes(r, count)) {
        const std::string sec = itemSection(k);
        EventRecord rec;
        rec.user = ReadIniString(r, sec, "user");
        const std::string map = ReadIniString(r, sec, "node");
        rec.event = ReadIniInt(r, sec, "event");
        rec.time = ReadIniString(r, sec, "time");
        rec.fileListIndex = ReadIniInt(r, sec, "subitem");
        if (!userFilter.empty() && userFilter != rec.user)
            continue;
        if (eventFilter != EV_ALL_EVENTS && eventFilter != rec.event)
            continue;
        if (nodeFilter >= 0 && static_cast<size_t>(nodeFilter) < map.size() &&
            map[static_cast<size_t>(nodeFilter)] == '0')
            continue;
        rec.channel = channel;
        rec.node = nodeFilter;
        out.push_back(std::move(rec));
    }
    return out;
}

std::vector<EventFileEntry> QueryEventFiles(int channel, const std::vector<EventRecord>& records) {
    std::vector<EventFileEntry> out;
    if (!validChannel(channel))
        return out;
    ProfileReader r(EventFileListPath(channel));
    const int lists = ReadIniInt(r, "SUM", "count");
    for (const EventRecord& rec : records) {
        const int s = rec.fileListIndex;
        if (s < 0 || s >= lists)
            continue;
        const std::string sec = listSection(s);
        const int items = ReadIniInt(r, sec, "items");
        for (int j : presentEntries(r, sec, items, false)) {
            const std::string n = std::to_string(j);
            const std::string map = ReadIniString(r, sec, "node" + n);
            if (rec.node >= 0 && !mapHasOne(map, rec.node))
                continue;
            out.push_back({s, rec.node, ReadIniString(r, sec, "name" + n),
                           ReadIniString(r, sec, "path" + n)});
        }
    }
    return out;
}
