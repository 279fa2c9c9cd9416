// What a run of talvorn-cli reads of the station and asks of it, whichever station it is: the
// centre this process opens on the port (LocalStation), or a station that runs already and owns
// the port, through its HTTP API (RemoteStation). The run's rules (when a node has ended, when to
// give up, what to report) sit above this and are the same for both.
#pragma once

#include "CliArgs.h"
#include "NodeFiles.h"

#include "station/NodeRows.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

// What a poll reads of one node.
struct NodeReading {
    NodeSnapshot snapshot; // as the node list reads it
    bool replied = false;  // the node's last request has been answered
    uint32_t totalBytes = 0;
};

// How handing a task to the station went.
struct QueueResult {
    enum Kind {
        Queued,
        NotQueued, // the station took no task: "the task could not be queued"
        Unlogged,  // the command could not be written to the event log; nothing was queued
        Refused,   // the station refused it (`message` says why; exit with `exitStatus`)
    };
    Kind kind = NotQueued;
    std::string message;
    int exitStatus = kExitFailed;
};

class StationAccess {
public:
    virtual ~StationAccess() = default;

    // Hands the run's task on the nodes to the station: a send, delete or clear is logged first
    // (files: the paths of a send, the 12-byte name fields of a delete).
    virtual QueueResult Queue(Command kind, const std::vector<int>& nodes,
                              const std::vector<std::string>& files) = 0;
    // Reads the station once for this poll; false with the reason when it cannot be read.
    virtual bool Poll(std::string* error) = 0;
    // What the last poll read (a local station reads it now).
    virtual NodeReading Reading(int node) = 0;
    virtual std::vector<ListedFile> Listed(int node) = 0;
    // The run's task still has work on the channel.
    virtual bool Busy() = 0;
    virtual bool LineLost() = 0;
    // The station read a send's files or sent packages for the first time since the last poll.
    virtual bool LineMoved() = 0;
    // After the line was lost: waits (briefly) until the command under way has ended and its
    // answers are taken up, so that the nodes that answered keep their answers.
    virtual void SettleLostLine() = 0;
    // Cancels the run's tasks on the nodes, as Cancel Task with their rows ticked.
    virtual void Cancel(const std::vector<int>& nodes) = 0;
};

// A station that runs already, reached through its HTTP API (--station).
class StationLink : public StationAccess {
public:
    virtual bool ChannelOpen() const = 0;
    virtual int FirstNumber() const = 0; // the channel's first number
    virtual int NodeCount() const = 0;
};

// Reaches the station at `url` as `user` and reads its channel `channel` (0-based). Null, with the
// message and the exit status to end with, when the station cannot be reached or refuses the
// user, or when this build of talvorn-cli has no HTTP client (the Windows build).
std::unique_ptr<StationLink> ReachStation(const std::string& url, const std::string& user,
                                          const std::string& password, int channel,
                                          std::string* error, int* exitStatus);

// False in a build of talvorn-cli without an HTTP client (the Windows build): --station then
// only says so.
bool CanReachStations();

// What to add to the reason a port is busy when Para.ini's section [API] says that a station
// serving this working folder holds it ("; ... use --station URL"), else "".
std::string PortHolderHint();

} // namespace cli
