// The event-log tests' fixture, shared by eventlog_test.cpp and eventlog_posix_test.cpp.
#pragma once

#include "store/EventLog.h"
#include "store/IniFile.h"

#include "TempWorkDir.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace eventlogtest {

inline std::time_t gNow = 0;
inline std::time_t fixedClock() {
    return gNow;
}

inline std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
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

inline EventNodeFlags nodesOf(std::initializer_list<int> list) {
    EventNodeFlags flags{};
    for (int n : list)
        flags[static_cast<size_t>(n)] = true;
    return flags;
}

inline std::string mapOf(std::initializer_list<int> list) {
    std::string map(32, '0');
    for (int n : list)
        map[static_cast<size_t>(n)] = '1';
    return map;
}

class EventLog : public TempWorkDir {
protected:
    void SetUp() override {
        TempWorkDir::SetUp();
        gNow = localTime(2026, 12, 7, 9, 30, 15);
        SetEventLogClock(fixedClock);
        item = EventItemPath(0);
        list = EventFileListPath(0);
    }
    std::string item, list;
};

} // namespace eventlogtest
