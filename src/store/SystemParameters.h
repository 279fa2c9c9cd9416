// The program-wide record of channel parameters, machine table, working folder and list colours,
// and the parameter file "Para.ini" (section "SYS_PARA") in the working folder that fills it.
#pragma once

#include "platform/Sync.h"

#include <cstdint>
#include <string>

struct SystemParameters {
    static constexpr int kChannels = 2;
    static constexpr int kNodes = 32; // nodes per channel

    std::string comId[kChannels];     // port names; empty = channel not used
    int32_t comSum[kChannels] = {};   // node counts, meaningful 1..32
    int32_t comOne[kChannels] = {};   // number shown for node index 0
    int32_t comSpeed[kChannels] = {}; // 0 = 19200 … 3 = 115200 bps
    int32_t comMode[kChannels] = {};  // 0..7, pause after each data package
    std::string machineName[kChannels][kNodes];
    std::string machineType[kChannels][kNodes];
    int32_t machineVisible[kChannels][kNodes] = {}; // 1 = hidden, despite the name
    std::string workDir;   // folder of every data file; set by start-up before loading
    int32_t listColor = 0; // COLORREF 0x00BBGGRR
    int32_t fontBkColor = 0;
    int32_t fontColor = 0;
    std::string filePath; // folder of the file library
};

// The one instance. The thread that owns the station (the user-interface thread, or
// talvorn-stationd's main thread) is the only one that changes it, and does so under
// StationStateGate() held alone.
SystemParameters& Params();

// Guards what other threads of the process read of the station: Params() and the process-wide
// communication centre (its creation and destruction). The owner holds it alone while it changes
// either; the HTTP API's threads hold it shared for each request. The owner reads both without
// it, since nothing else changes them.
SharedGate& StationStateGate();
// Back to the state at program start (everything zero or empty); for tests.
void ResetParameters();

constexpr int32_t kDefaultListColor = 0x00FFBABA;
constexpr int32_t kDefaultFontBkColor = 0x00FFBABA;
constexpr int32_t kDefaultFontColor = 0x00282828;

// workDir + "/" + name ("." when workDir is empty).
std::string DataFilePath(const std::string& name);
std::string ParametersPath(); // workDir + "/Para.ini"

// Reads Para.ini into Params(), first creating it with the defaults when it does not exist. False
// when it can be neither read nor created; an existing file that cannot be read is never replaced.
bool LoadParameters();
// Creates Para.ini with the defaults (replacing any content) and sets them in memory. False, with
// nothing changed, when the file cannot be written.
bool WriteDefaultParameters();
// Writes the ten channel keys of Params() (port, count, first number, speed, mode of channel 1,
// then of channel 2) in one write; the colours and "FilePath" stay as they are.
bool SaveChannelParameters();
// Writes "FilePath" alone and, when that succeeded, sets filePath.
bool SaveFilePath(const std::string& folder);
