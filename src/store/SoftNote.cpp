#include "store/SoftNote.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "store/IniFile.h"

const char* const kEventTypeEntries[kEventTypeEntryCount] = {"Delete File", "Clear File",
                                                             "Send File", "All Event"};
const char* const kChannelEntries[2] = {"Channel One", "Channel Two"};

namespace {

struct DaySource {
    SoftNoteDay day;
    SoftNoteFiles files;
};

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The date and copy number of an archived item file "item<N>-YYYY-MM-DD[-n].ini" of channel N;
// false for any other name.
bool parseArchiveName(std::string_view name, int channel, std::string* date, int* copy) {
    const std::string prefix = "item" + std::to_string(channel + 1) + "-";
    if (name.size() < prefix.size() + 10 + 4 || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - 4) != ".ini")
        return false;
    std::string_view rest = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    std::string_view d = rest.substr(0, 10);
    if (!allDigits(d.substr(0, 4)) || d[4] != '-' || !allDigits(d.substr(5, 2)) || d[7] != '-' ||
        !allDigits(d.substr(8, 2)))
        return false;
    int n = 1;
    if (rest.size() > 10) {
        std::string_view suffix = rest.substr(10);
        if (suffix.size() < 2 || suffix.size() > 5 || suffix[0] != '-' ||
            !allDigits(suffix.substr(1)) || suffix[1] == '0')
            return false;
        n = std::stoi(std::string(suffix.substr(1)));
    }
    std::string dd(d);
    std::replace(dd.begin(), dd.end(), '-', '/');
    *date = dd;
    *copy = n;
    return true;
}

std::string labelOf(const std::string& date, int copy) {
    return copy == 0 ? date : date + " (" + std::to_string(copy) + ")";
}

std::vector<DaySource> channelSources(int channel) {
    namespace fs = std::filesystem;
    std::vector<DaySource> out;
    std::error_code ec;
    std::string liveDate;
    if (fs::is_regular_file(EventItemPath(channel), ec)) {
        liveDate = ReadIniString("DATE", "today", EventItemPath(channel));
        if (!liveDate.empty())
            out.push_back({{liveDate, 0, labelOf(liveDate, 0)},
                           {EventItemPath(channel), EventFileListPath(channel), true}});
    }
    const std::string folder = EventArchiveFolder();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::string date;
        int copy = 0;
        if (!parseArchiveName(name, channel, &date, &copy) || !it->is_regular_file(ec))
            continue;
        // A date's only copy is shown under the date alone; beside a live log of the same date,
        // it becomes copy 1.
        if (copy == 1 && date != liveDate)
            copy = 0;
        out.push_back({{date, copy, labelOf(date, copy)},
                       {folder + "/" + name, folder + "/sub" + name, false}});
    }
    return out;
}

// Newest first: later dates first; within a date the live log (or only copy), then the later
// copies before the earlier ones.
bool newerDay(const SoftNoteDay& a, const SoftNoteDay& b) {
    if (a.date != b.date)
        return a.date > b.date;
    if ((a.copy == 0) != (b.copy == 0))
        return a.copy == 0;
    return a.copy > b.copy;
}

// k of a name "<prefix><k>" (prefix in any case, k plain decimal below 10^9), or -1.
int indexAfter(const std::string& name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9)
        return -1;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i])
            return -1;
    std::string_view digits = std::string_view(name).substr(prefix.size());
    if (!allDigits(digits) || (digits.size() > 1 && digits.front() == '0'))
        return -1;
    return std::stoi(std::string(digits));
}

// Indexes below `limit` named by `prefix` among `names`, ascending and unique. Walking the present
// names rather than 0..limit-1 keeps a damaged count from walking millions of missing sections.
std::vector<int> presentIndexes(const std::vector<std::string>& names, std::string_view prefix,
                                int limit) {
    std::vector<int> ks;
    for (const std::string& s : names) {
        int k = indexAfter(s, prefix);
        if (k >= 0 && k < limit)
            ks.push_back(k);
    }
    std::sort(ks.begin(), ks.end());
    ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
    return ks;
}

// The event log's query over a kept copy: the same filters as QueryEvents.
std::vector<EventRecord> queryCopy(const SoftNoteFiles& files, const SoftNoteQuery& q) {
    std::vector<EventRecord> out;
    ProfileReader r(files.items);
    const int count = ReadIniInt(r, "SUM", "count");
    for (int k : presentIndexes(r.sectionNames(), "item", count)) {
        const std::string sec = "item" + std::to_string(k);
        EventRecord rec;
        rec.user = ReadIniString(r, sec, "user");
        const std::string map = ReadIniString(r, sec, "node");
        rec.event = ReadIniInt(r, sec, "event");
        rec.time = ReadIniString(r, sec, "time");
        rec.fileListIndex = ReadIniInt(r, sec, "subitem");
        if (!q.user.empty() && q.user != rec.user)
            continue;
        if (q.event != EV_ALL_EVENTS && q.event != rec.event)
            continue;
        if (q.node >= 0 && static_cast<size_t>(q.node) < map.size() &&
            map[static_cast<size_t>(q.node)] == '0')
            continue;
        rec.channel = q.channel;
        rec.node = q.node;
        out.push_back(std::move(rec));
    }
    return out;
}

// The same as QueryEventFiles, over a kept copy.
std::vector<EventFileEntry> queryCopyFiles(const SoftNoteFiles& files,
                                           const std::vector<EventRecord>& records) {
    std::vector<EventFileEntry> out;
    ProfileReader r(files.lists);
    const int lists = ReadIniInt(r, "SUM", "count");
    for (const EventRecord& rec : records) {
        const int s = rec.fileListIndex;
        if (s < 0 || s >= lists)
            continue;
        const std::string sec = "subitem" + std::to_string(s);
        const int items = ReadIniInt(r, sec, "items");
        std::vector<std::string> keys = r.keyNames(sec);
        std::vector<int> js = presentIndexes(keys, "name", items);
        for (int j : presentIndexes(keys, "node", items))
            js.push_back(j);
        for (int j : presentIndexes(keys, "path", items))
            js.push_back(j);
        std::sort(js.begin(), js.end());
        js.erase(std::unique(js.begin(), js.end()), js.end());
        for (int j : js) {
            const std::string n = std::to_string(j);
            const std::string map = ReadIniString(r, sec, "node" + n);
            if (rec.node >= 0 &&
                !(static_cast<size_t>(rec.node) < map.size() && map[rec.node] == '1'))
                continue;
            out.push_back({s, rec.node, ReadIniString(r, sec, "name" + n),
                           ReadIniString(r, sec, "path" + n)});
        }
    }
    return out;
}

} // namespace

std::string EventTypeText(int event) {
    if (event >= EV_DELETE_FILE && event <= EV_SEND_FILE)
        return kEventTypeEntries[event];
    return std::to_string(event);
}

SoftNoteDay SoftNoteToday() {
    const std::string today = FormatLogDate();
    return {today, 0, labelOf(today, 0)};
}

std::vector<SoftNoteDay> SoftNoteDays() {
    const SoftNoteDay today = SoftNoteToday();
    std::vector<SoftNoteDay> others;
    for (int c = 0; c < 2; ++c)
        for (const DaySource& s : channelSources(c)) {
            if (s.day.label == today.label)
                continue;
            bool seen = std::any_of(others.begin(), others.end(),
                                    [&](const SoftNoteDay& d) { return d.label == s.day.label; });
            if (!seen)
                others.push_back(s.day);
        }
    std::sort(others.begin(), others.end(), newerDay);
    std::vector<SoftNoteDay> days{today};
    days.insert(days.end(), others.begin(), others.end());
    return days;
}

SoftNoteFiles SoftNoteFilesOf(int channel, const SoftNoteDay& day) {
    if (channel < 0 || channel > 1)
        return {};
    for (const DaySource& s : channelSources(channel))
        if (s.day.date == day.date && s.day.copy == day.copy)
            return s.files;
    return {};
}

SoftNoteResult RunSoftNoteQuery(const SoftNoteQuery& query) {
    SoftNoteResult result;
    const SoftNoteFiles files = SoftNoteFilesOf(query.channel, query.day);
    if (files.items.empty())
        return result;
    if (files.live) {
        result.records = QueryEvents(query.channel, query.user, query.event, query.node);
        result.files = QueryEventFiles(query.channel, result.records);
    } else {
        result.records = queryCopy(files, query);
        result.files = queryCopyFiles(files, result.records);
    }
    return result;
}

std::vector<EventFileEntry> SoftNoteRecordFiles(const SoftNoteResult& result, int row) {
    std::vector<EventFileEntry> out;
    if (row < 0)
        row = 0;
    if (static_cast<size_t>(row) >= result.records.size())
        return out;
    const int s = result.records[static_cast<size_t>(row)].fileListIndex;
    if (s < 0)
        return out;
    for (const EventFileEntry& e : result.files)
        if (e.fileListIndex == s)
            out.push_back(e);
    return out;
}
