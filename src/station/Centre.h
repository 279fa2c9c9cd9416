// The communication centre as the station starts and drives it: from the parameters, with the
// port names of this working folder, and the checks and batches the windows need around it.
#pragma once

#include "link/CommCenter.h"

#include <cstdint>
#include <string>
#include <vector>

// What CCommCenter::Create takes. An empty port or a node count of 0 leaves a channel closed.
struct CentreSettings {
    std::string port[kChannels];
    int nodeCount[kChannels] = {0, 0};
    int speedIndex[kChannels] = {0, 0};
    int modeIndex[kChannels] = {0, 0};
};

// The channel values of Params(): port names, node counts, speed and mode indexes.
CentreSettings CentreSettingsFromParameters();

// The device a configured port name stands for in this working folder: "COM1" ... "COM9" through
// section "PORTS" of Para.ini, else /dev/ttyS<n-1>; a name beginning with "/" as it stands; ""
// for anything else.
std::string StationDevice(const std::string& portName);

// Creates the process-wide centre (destroying the one that exists) with the port names resolved
// as StationDevice does. Returns Create's result: bit 0 when channel 1 started, bit 1 for channel
// 2 (CCommCenter::ResultText gives the status bar's text). Holds StationStateGate() alone while
// it replaces the centre, so that no other thread of the process reads one that is going.
int StartCentre(const CentreSettings& settings);
// The same from Params(): what start-up and Transfer Parameter do.
int StartCentreFromParameters();
// Destroys the process-wide centre, under StationStateGate() held alone.
void StopCentre();
// Counts the centres StartCentre has made: a reader that keeps something per centre (the API's
// row cache) sees from it that the centre was replaced. Read under StationStateGate().
uint64_t CentreGeneration();

// The lines lost now among the channels that `openResult` (Create's result) says started: bit 0
// for channel 1, bit 1 for channel 2, as in the result. While any is lost, the status bar's
// first pane says so instead of the open result; once back, it shows the open result again.
int LostLines(CCommCenter& cc, int openResult);
// The same on the process-wide centre; 0 without one.
int LostLines(int openResult);

// Work on a channel: a queued, running or deferred task, a command under way, or a node with task
// notes. False for a channel outside 0..1. Takes the scheduler's cycle lock: not for the scheduler
// thread.
bool ChannelBusy(CCommCenter& cc, int channel);
// Work on either channel of the process-wide centre (false without one). Transfer Parameter
// re-creates the centre, which would drop all of it, so it waits until this is false.
bool CentreBusy();

// Cancels the given tasks on the nodes of `nodeMask` (the first kTaskNodes entries), in batches
// of kMaxCancelTaskNos through CancelTasks, so that no number is cut off. Numbers below 1 and
// repeats are left out. Returns the number of CancelTasks calls.
int CancelTaskNumbers(CCommCenter& cc, int channel, const int32_t* nodeMask,
                      const std::vector<int32_t>& taskNos);
// The same on the process-wide centre; 0 without one.
int CancelTaskNumbers(int channel, const int32_t* nodeMask, const std::vector<int32_t>& taskNos);
