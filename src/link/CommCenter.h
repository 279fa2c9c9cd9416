// The communication centre: the one owner of both channels, their node records, package stores,
// threads and the task layer's lists.
//
// Threads and shared state. Per open channel a reader (100 ms), a parser (110 ms) and a sender
// (130 ms); one scheduler for both channels (100 ms). Fields that one thread writes while another
// reads are std::atomic. Status-like fields use relaxed order. The command hand-off is ordered:
// the task layer fills a command's inputs, then stores cmdType with release; the sender loads it
// with acquire; the sender's final store of CMD_IDLE is a release that the scheduler's load
// acquires before it reads results. The package store is ordered by that hand-off. `entries` is
// read by other threads (window, command line) through the node's entriesLock.
#pragma once

#include "link/CommandType.h"
#include "link/Frame.h"
#include "link/ReplyTimer.h"
#include "link/WakeSignal.h"
#include "platform/SerialPort.h"
#include "platform/Sync.h"
#include "tasks/TaskList.h"
#include "tasks/TransTask.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int kChannels = 2;
constexpr size_t kTxFrameSize = 2048;
constexpr size_t kRingSize = 2048;
constexpr uint32_t kResetTotalBytes = 1457664;
constexpr int32_t kResetClusterBytes = 512;

// The requests a channel sends, as its counters tell them apart.
enum RequestKind : int {
    kRequestQuery = 0, // a block of a node's storage figures or file list
    kRequestHead,      // a file's head, broadcast
    kRequestPackage,   // one data package
    kRequestCheck,     // a node's receive state of a file
    kRequestDelete,    // a batch of names to delete
    kRequestClear,
    kRequestKinds
};
// "query", "head", "package", "check", "delete", "clear"; "" for anything else.
const char* RequestKindName(int kind);

// Result bits of CCommCenter::Create.
constexpr int kChannelOneStarted = 1;
constexpr int kChannelTwoStarted = 2;

struct ChannelState {
    ChannelState();

    std::atomic<int32_t> cmdType{CMD_IDLE};
    std::unique_ptr<SerialPort> hPort;
    std::atomic<int32_t> portOpen{0};
    std::atomic<int32_t> nodeCount{0};
    std::atomic<int32_t> packageDelayMs{1};
    std::atomic<uint8_t> targetMask[kMaskSize];
    std::atomic<int32_t> nodePending[kMaxNodes];
    uint8_t txFrame[kTxFrameSize]; // sender thread only; bytes 0..5 hold the sync pattern
    uint8_t rxRing[kRingSize];     // guarded by ringLock
    std::atomic<uint16_t> rxRead{0};
    std::atomic<uint16_t> rxWrite{0};
    std::atomic<uint8_t> rxIdle{1};
    std::atomic<int32_t> replyNode{0};
    std::atomic<int32_t> requestNode{0};
    std::atomic<int32_t> syncMatch{0};
    std::atomic<int32_t> queryBlock{0};
    CTransTask command; // written only while the channel is idle or preparing
    std::atomic<int32_t> progressTotal{0};
    std::atomic<int32_t> progressDone{0};
    std::atomic<int32_t> progressBusy{0};
    // Packages sent since the store was last built that had not been sent before: progress, as
    // against packages sent again. sentOnce is written by the sender during CMD_SEND_PACKAGES and
    // cleared by BuildPackages while the channel is CMD_PREPARING: ordered by the hand-off.
    std::atomic<uint32_t> freshPackages{0};
    uint8_t sentOnce[kMaxPackages];

    // 1 while the sender thread runs a transmitter. A command is over only when cmdType is idle
    // and the sender has left its transmitter: cancel may set cmdType idle while a package is
    // still going out, and the package store must not be rebuilt under it.
    std::atomic<int32_t> senderActive{0};
    // Three parties touch the ring indexes (reader, parser, and the sender's reset); this small
    // lock keeps each index update whole against the others.
    std::mutex ringLock;
    std::atomic<uint32_t> ringGeneration{0}; // counts ring resets; older reads are dropped

    // Replies. Each request that awaits a reply gets a number; the reply is credited only while
    // its number is still open. Either the parser (reply decoded) or the sender (given up) closes
    // it, whichever comes first.
    std::atomic<uint32_t> requestSeq{0};
    std::atomic<uint32_t> openRequest{0};    // 0: no reply is awaited
    std::atomic<int32_t> replyInProgress{0}; // 1 while the parser reads a reply
    std::atomic<int64_t> requestSentMs{0};   // when the open request left
    std::atomic<int32_t> replyWaitMs{0};     // how long it may wait, from the line rate
    std::atomic<int64_t> quietAfterMs{0};    // after a give-up: the next request's earliest time
    std::atomic<int64_t> lastRxMs{-1000000}; // when the reader last brought bytes
    std::atomic<uint32_t> baud{0};

    // Reply timing (ReplyTimer.h). Each node's figures, learned by the parser from every reply it
    // can time and read by the sender for each wait; replyTimers is guarded by timerLock.
    ReplyTimer replyTimers[kMaxNodes];
    std::mutex timerLock;
    // The request last sent that awaits a reply: its node, and when it has left the line.
    std::atomic<int32_t> askNode{-1};
    std::atomic<int64_t> askEndMs{0};
    // After a give-up, the node whose reply may still come late: the command it was asked in,
    // when its request left the line, and until when its reply may come. lateNode -1: none.
    std::atomic<int32_t> lateNode{-1};
    std::atomic<int32_t> lateCommand{0};
    std::atomic<int64_t> lateEndMs{0};
    std::atomic<int64_t> lateHorizonMs{0};
    // The reader reads at its short period until then: a reply, or a late one, may come.
    std::atomic<int64_t> listenUntilMs{0};
    // Wakes: the reader wakes the parser when bytes came; a request that goes out wakes the
    // reader to read often; a new command wakes the sender (a reply wakes it through replyGate).
    WakeSignal rxWake;
    WakeSignal readerWake;
    WakeSignal senderWake;
    // Sender thread only: when the line will have carried the frames written so far
    // (LineFreeAtMs). A request's reply wait counts from then.
    int64_t lineFreeAtMs = 0;

    // A dead line: 1 from the moment the reader or the sender sees the port fail (read or write
    // error, hang-up, device gone) until the same device is open and configured again. The
    // reader tries to reopen it every kReopenPeriodMs.
    std::atomic<int32_t> lineLost{0};
    std::string portName; // as configured, for reopening
    int32_t speedIndex = 0;
    std::mutex portMutex;      // reopening against teardown
    bool portShutdown = false; // guarded by portMutex: teardown has begun, never reopen

    // What the channel has done since the centre was made, for the station's metrics; these only
    // go up. Requests that left whole, by kind; replies credited to their request (a good body,
    // or a bad one: a frame or check byte that failed) and requests given up without a reply;
    // files that a node reported whole.
    std::atomic<uint64_t> requestsSent[kRequestKinds] = {};
    std::atomic<uint64_t> repliesOk{0};
    std::atomic<uint64_t> repliesBad{0};
    std::atomic<uint64_t> repliesTimedOut{0};
    std::atomic<uint64_t> filesDelivered{0};

    void GetTargetMask(uint8_t out[kMaskSize]) const;
    void SetTargetMask(const uint8_t in[kMaskSize]);
};

// fileCount and freeBytes of a node whose last query failed: not known, so neither shown nor
// counted on from. A failed query leaves nothing better than a guess, and 0 would read as an
// empty node without room.
constexpr int32_t kUnknownFigure = -1;

struct NodeRecord {
    NodeRecord();

    std::atomic<int32_t> status{-1};
    std::atomic<uint32_t> totalBytes{kResetTotalBytes};
    std::atomic<int32_t> clusterBytes{kResetClusterBytes};
    std::atomic<int32_t> maxFiles{0};
    std::atomic<int32_t> fileCount{0};
    std::atomic<int32_t> listedCount{0};
    std::atomic<int32_t> freeBytes{0};
    std::atomic<int32_t> progress{0};
    std::atomic<int32_t> pendingTaskCount{0};
    std::atomic<int32_t> currentTaskNo{0};
    TaskList<TaskNote> pendingTasks;
    uint8_t entries[kMaxEntries][kEntrySize]; // guarded by entriesLock
    mutable std::mutex entriesLock;
    // Bumped after every write to entries: a sent file that replaces an entry of the same name
    // changes neither count, and the windows must still see the list change.
    std::atomic<int32_t> listChanges{0};
    std::atomic<int32_t> replied{0};
    std::atomic<int32_t> missingCount{0};
    std::atomic<int32_t> needPackage[kMaxPackages];
    std::atomic<int32_t> packageTotal{0};
    // Task layer: a file of the running send could not go to this node (NS_FILE_UNREADABLE or
    // NS_DUPLICATE_NAME); the node's end status says so once its part of the send is over.
    std::atomic<int32_t> fileFailure{0};
    // Task layer: file checks in a row whose answer named no package that can be sent.
    std::atomic<int32_t> uselessChecks{0};
    // Task layer: file checks in a row that got no answer (asked again before it is deferred).
    std::atomic<int32_t> lostChecks{0};
    // The node's smoothed reply delay in microseconds, -1 until a reply of it has been timed
    // (ReplyTimer.h). Written by the parser; read by anyone, for example for metrics.
    std::atomic<int32_t> replyDelayUs{-1};

    struct ListedFile {
        uint8_t name[kNameFieldSize];
        uint32_t length;
    };
    // The first fileCount entries, read consistently.
    std::vector<ListedFile> ListedFiles() const;
};

// Stores a status written by the link unless the node is cancelled; false when it was.
bool StoreStatusUnlessCancelled(NodeRecord& node, int32_t status);

struct ReplyOutcome;

struct PackageStore {
    PackageStore();

    uint8_t packages[kMaxPackages][kPackageSize];
    const uint8_t* packagePtr[kMaxPackages];
    std::atomic<int32_t> packageCount{0};
    std::string storedPath;
    int32_t storeValid = 0;
};

struct PreparedFile {
    std::string path;
    uint8_t fileTag[4] = {0, 0, 0, 0};
    uint8_t nodeName[12] = {}; // the name the nodes keep it under (AssignNodeNames)
};

// The files of one send as read before it starts: what goes out, and the failure that its left-out
// files leave on every node of the send (NS_FILE_UNREADABLE, NS_DUPLICATE_NAME, or 0).
struct PreparedSet {
    std::vector<PreparedFile> files;
    int32_t failure = 0;
};

// How the link turns a configured port name into a port. Tests install scripted ports here.
using PortFactory = std::function<std::unique_ptr<SerialPort>()>;
using PortResolver = std::function<std::string(const std::string& portName)>;
void SetPortFactory(PortFactory factory);    // empty: the POSIX port
void SetPortResolver(PortResolver resolver); // empty: "/…" as it is, COMn as /dev/ttyS<n-1>
std::string ResolveConfiguredPort(const std::string& portName);

class CCommCenter {
public:
    CCommCenter();
    virtual ~CCommCenter();
    CCommCenter(const CCommCenter&) = delete;
    CCommCenter& operator=(const CCommCenter&) = delete;

    // --- The process-wide centre.
    // Destroys the centre that exists, builds a new one and starts each valid channel. Returns
    // bit 0 when channel 1 started, bit 1 when channel 2 started.
    static int Create(const std::string portName[kChannels], const int nodeCount[kChannels],
                      const int speedIndex[kChannels], const int modeIndex[kChannels]);
    static void Destroy();
    static CCommCenter* Instance();
    // The channel's 32 node records, or null without a centre or for a skipped channel.
    static NodeRecord* NodeTable(int channel);
    // Status-bar text of a Create result.
    static const char* ResultText(int result);

    // --- Steps of Create and Destroy (public for tests that build a centre by hand).
    int ResetNodes(int channel);
    // Opens and starts one channel as Create does; true when it runs.
    bool StartChannel(int channel, const std::string& portName, int nodeCount, int speedIndex,
                      int modeIndex);
    void StartThreads(int channel);
    void StopThreads(int channel);
    void StopAllThreads();

    // --- Serial channel.
    int OpenPort(int channel, const std::string& portName, int speedIndex);
    int RingCount(int channel);
    int RingRead(int channel, uint8_t* dst, int maxCount);
    void RingReset(int channel);
    bool IsRxIdle(int channel);
    // Sends txFrame: the six sync bytes alone with mark parity, then `length` bytes from byte 6
    // with space parity. `setEventMask` is false for packages, which rely on the earlier mask.
    // False when the port failed on the way (the line is then marked lost).
    bool SendFrame(int channel, size_t length, bool setEventMask = true);
    // One pass of the reader's loop body: move what has arrived into the ring.
    void ReaderStep(int channel);

    // True while the channel's port has failed and is not open again yet.
    bool LineLost(int channel);
    // The port failed: the line is lost until ReopenPort has it open and configured again.
    void MarkLineLost(int channel);
    void ReopenPort(int channel);
    // The sender's answer to a lost line: the command under way ends, its nodes show the loss.
    void AbandonCommand(int channel);

    // --- Reply parser.
    bool FindSync(int channel);
    void ParseQueryReply(int channel);
    void ParseCheckReply(int channel);
    void ParserStep(int channel);
    // Reads one reply for `command`, decodes it and applies it: the one place where a reply
    // reaches a node record. `syncMs`: when its sync was found; `heldAtSync`: the bytes after the
    // sync in the ring then (for timing the reply).
    void ParseReply(int channel, int command, int64_t syncMs, int heldAtSync);
    // Times a reply whose first byte came at `firstByteMs`: the open `request`'s node learns from
    // it; without one, the node whose late reply was still looked for.
    void TimeReply(int channel, uint32_t request, int64_t firstByteMs);
    void ApplyOutcome(int channel, int node, int command, uint32_t request,
                      const ReplyOutcome& outcome);

    // --- Replies and the line, for the transmitters.
    // Numbers a request that awaits a reply and closes the gate; call right before it is sent.
    uint32_t OpenRequest(int channel);
    // After the request is out: when it goes out on the line and how long it may wait from then.
    void RequestSent(int channel, int requestBytes, int longestReplyBytes);
    // Waits for the open request's reply, or gives it up once its time is over.
    void AwaitReply(int channel);
    // Before asking `node`: after a give-up, waits until a late reply can no longer be taken for
    // that node's answer. False when the centre is stopping or the line is lost.
    bool AwaitQuietLine(int channel, int node);
    // Reply timing: a reply of `node` came `delayMs` after its request had left the line.
    void LearnReplyDelay(int channel, int node, double delayMs);
    // A copy of the node's figures.
    ReplyTimer ReplyTimerOf(int channel, int node);
    // The channel's nodes are known no more (the line is new): their figures start afresh.
    void ResetReplyTimers(int channel);
    // Steady clock in milliseconds; tests may replace it.
    int64_t NowMs();
    std::function<int64_t()> clockHook;

    // --- Transmitters.
    void SenderStep(int channel);
    void TransmitQuery(int channel);
    void TransmitHead(int channel);
    void TransmitPackages(int channel);
    void TransmitCheck(int channel);
    void TransmitDelete(int channel);
    void TransmitClear(int channel);
    // Writes the mask of package i into `mask`: -1 when no node is addressed at all, 0 when no
    // addressed node needs the package, 1 otherwise.
    int PackageNeeded(int channel, int package, uint8_t mask[kMaskSize]);
    // Names of batch b as 12-byte fields into dst; 0 ends the delete.
    static int CollectNames(const std::vector<std::string>& names, int batch, uint8_t* dst);

    // The transmitter's command is done: the channel is idle, and the scheduler is woken.
    void SetIdle(int channel);
    // True when no command is under way on the channel and the sender has left it.
    bool ChannelIdle(int channel);

    // Pauses of the link and the task layer. Returns false when the centre is stopping. Tests
    // that drive the steps by hand replace it to record pauses instead of waiting them out.
    bool Pause(int ms);
    std::function<bool(int ms)> pauseHook;

    // --- Link state.
    ChannelState channels[kChannels];
    NodeRecord nodes[kChannels][kMaxNodes];
    PackageStore stores[kChannels];
    ManualResetEvent replyGate[kChannels];
    std::atomic<int32_t> threadsStarted[kChannels];
    std::atomic<int32_t> linkRun{0};
    std::atomic<int32_t> schedulerRun{0};
    // Wakes the scheduler before its period is over: a command ended, a task was queued.
    WakeSignal schedulerWake;
    std::atomic<uint64_t> schedulerCycles{0}; // cycles run so far

    // --- Task layer.
    struct NodeSlot {
        NodeRecord* node = nullptr;
        std::atomic<int32_t> cmdCursor{0};
    };
    TaskList<CTransTask> taskQueue[kChannels];
    TaskList<CTransTask> deferredQueue[kChannels];
    TaskList<CTransTask> commandList[kChannels];
    TaskList<PreparedFile> preparedFiles[kChannels];
    NodeSlot nodeSlots[kChannels][kMaxNodes];
    CTransTask currentTask[kChannels];
    int32_t stepActive[kChannels] = {0, 0};
    int32_t rotateIndex[kChannels] = {0, 0};
    std::atomic<int32_t> taskActive[kChannels];
    int32_t runningType[kChannels] = {0, 0};
    CTransTask runningCmd[kChannels];
    std::atomic<uint8_t> schedulerHold{0};
    uint8_t sendPrepared[kChannels] = {0, 0};
    std::atomic<int32_t> taskCounter[kChannels];
    uint8_t lineWasLost[kChannels] = {0, 0}; // scheduler: the line was lost at its last cycle
    // StopNodes emptied the command under way: no step on the channel before this time.
    std::atomic<int64_t> stopSettleUntil[kChannels] = {0, 0};
    // Held by the scheduler for each cycle and by cancel while it edits the lists, so cancel never
    // edits a list under a cycle that has already begun.
    std::mutex cycleMutex;

    // The scheduler thread's cycle; defined by the task layer.
    void SchedulerThread();
    // One cycle's work for both channels, without the sleep; the caller holds cycleMutex.
    void SchedulerCycle();
    // True when the channel has no task queued, deferred or under way, read as one snapshot
    // between two cycles. Fields read one by one can miss a task on both sides as it passes from
    // its queue to the scheduler, or ends and leaves a deferred copy. Not on the scheduler thread
    // and not under cycleMutex.
    bool ChannelQuiet(int channel);

    // Creation: number the request, note it on its nodes and queue a copy. The window's thread
    // and the HTTP API's threads may create tasks at once; createMutex keeps each task's number,
    // notes and place in the queue together, so that notes and queue keep one order.
    int CreateTask(int channel, CTransTask& request, int type);
    std::mutex createMutex;
    int EnqueueTask(int channel, const CTransTask& request);

    // Scheduler steps.
    // Lost line: its nodes with work waiting for it show NS_LINE_LOST; a node whose part in the
    // running task is over keeps its answer. Back: the nodes that said so show NS_WAITING again.
    void ShowLineState(int channel, bool lost);
    void StartTask(int channel);
    void ExpandTask(int channel, const CTransTask& task);
    void ResetNodeStatus(int channel, const CTransTask& task);
    int StartNextCommand(int channel);
    // May take nodes out of `cmd` (a working copy) when the command cannot serve them.
    int StartCommand(int channel, CTransTask& cmd);
    bool CompleteStep(int channel, int type);
    void EndTask(int channel);
    bool Target(int channel, const CTransTask& cmd, bool resetStatus);
    void TargetSingle(int channel, int node);

    // Cursor operations.
    void FinishNode(int channel, int node, const CTransTask* ref, bool byTaskNo);
    int SeekCursor(int channel, int node, int kind, const CTransTask& ref);
    void AdvanceCursor(int channel, int node);
    void AdvanceRotation(int channel);
    void StopNodes(int channel);
    bool DeferNode(int channel, int node);

    // Send-file task.
    void PrepareFiles(int channel, const std::vector<std::string>& files);
    // Reads and checks the files of a send (tags, node names): file I/O only, no shared state, so
    // the scheduler runs it outside its cycle lock.
    static PreparedSet ReadPreparedFiles(const std::vector<std::string>& files);
    void InstallPrepared(int channel, PreparedSet set);
    // The node name of a prepared file of the running send, else the file's own node name.
    void PreparedNodeName(int channel, const std::string& path, uint8_t field[12]);
    // Called on the scheduler thread whenever it reads files, outside the cycle lock (tests hold
    // it there to show that cancel does not wait for file I/O).
    std::function<void(int channel)> fileWorkHook;
    bool BuildPackages(int channel, const std::string& path, const uint8_t fileTag[4]);
    void MarkPackagesNeeded(int channel);
    void SetPackageTotal(int channel, int count);
    void RecordSentFile(int channel, int node, const CTransTask& cmd);

    // Cancel (window thread).
    int CancelTasks(int channel, const CTransTask& request);

private:
    // File work of the scheduler thread, done outside the cycle lock: the next send task's files
    // are read ahead, and a head or packages start loads the package store after the cycle.
    void PrepareAhead();
    void FinishPendingStart(int channel, bool built);
    struct Ahead {
        bool valid = false;
        int32_t taskNo = 0;
        std::vector<std::string> files;
        PreparedSet set;
    };
    struct PendingBuild {
        bool active = false;
        int32_t type = 0;
        std::string path;
        uint8_t fileTag[4] = {0, 0, 0, 0};
    };
    // A node of a send sent back within its file (to the head, to the packages, or to the same
    // check) by the command that just completed: the command the search starts at next (-1: none).
    int32_t serveNext_[kChannels] = {-1, -1};
    // The node's cursor went back to (or stayed at) index `k` or before the command that ran.
    void ServeNext(int channel, int k);
    Ahead ahead_[kChannels];
    PendingBuild pendingBuild_[kChannels];
    int32_t preparedFailure_[kChannels] = {0, 0};

    // At the end of a send: a node whose file could not go out ends with that failure.
    void ShowFileFailure(NodeRecord& node);
    void CompleteQuery(int channel, int node);
    void CompleteSendStep(int channel, int node, int type);
    void CompleteDeleteOrClear(int channel, int node);
    // True while a command at or after the node's cursor includes it.
    bool NodeHasWork(int channel, int node);
    // True when the node's part in the running task is over (it ended on a status that says so,
    // and no command of the task is left for it) and no other task is noted on it.
    bool NodePartOver(int channel, int node);
    // True while the running task is noted on the node (not cancelled on it).
    bool TaskNoted(int channel, int node);
    // True when the running task has left the node for a deferred copy: still noted on it.
    bool NodeDeferred(int channel, int node);
    // What a deferred node shows: "Line Lost" while its line is, else "Waiting...". Set after
    // DeferNode, which stops the node as it stops every node still pending in the command.
    int DeferredStatus(int channel, int status);
    // A head or packages command whose file cannot be loaded: its nodes go on past that file.
    void SkipFile(int channel, CTransTask& cmd);

    void ReaderThread(int channel);
    void ParserThread(int channel);
    void SenderThread(int channel);
    // Reads the 3-byte reply header and the body into `body`; -1 when the framing failed (no
    // header, header check wrong, body incomplete), else the body length.
    int ReadReply(int channel, bool isQuery, uint8_t* body);
    void Drain(int channel, int limit);
    // Waits until the ring holds `want` bytes, at most `polls` x `pollMs`; true when it does.
    bool WaitForBytes(int channel, int want, int polls, int pollMs);
    bool SetParity(int channel, Parity parity);
    bool WriteAll(int channel, const uint8_t* data, size_t count);
    // Waits until what was written has left the port.
    bool WaitSent(int channel);

    // Sender thread only: the line times of the request last sent and of its longest reply.
    int askRequestLineMs_[kChannels] = {0, 0};
    int askReplyLineMs_[kChannels] = {0, 0};

    std::thread readerThread_[kChannels];
    std::thread parserThread_[kChannels];
    std::thread senderThread_[kChannels];
    std::thread schedulerThread_;
    StopSignal stop_;
};
