#include "CliRun.h"

#include "CliSystem.h"
#include "NodeFiles.h"
#include "PortCheck.h"
#include "Progress.h"
#include "StationAccess.h"
#include "Watch.h"

#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "station/Centre.h"
#include "station/NodeRows.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

namespace cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPollPeriod = std::chrono::milliseconds(100);
// After a cancel the command under way still has to wind down (a reply time-out at most); a task
// layer that does not settle by then is left to the centre's teardown.
constexpr auto kCancelGrace = std::chrono::seconds(20);
// A lost line ends the command under way at once; its answers are taken up by the next scheduler
// cycles, which the run waits for (at most this long) before it ends the nodes that had not.
constexpr auto kLineLostSettle = std::chrono::seconds(2);

EventNodeFlags Flags(const NodeSet& nodes) {
    EventNodeFlags flags{};
    for (size_t n = 0; n < nodes.size() && n < flags.size(); ++n)
        flags[n] = nodes[n];
    return flags;
}

// The centre for the run's lifetime: it is destroyed on every way out.
class CentreGuard {
public:
    CentreGuard() = default;
    ~CentreGuard() { CCommCenter::Destroy(); }
    CentreGuard(const CentreGuard&) = delete;
    CentreGuard& operator=(const CentreGuard&) = delete;
};

// The centre this process opened on the channel's port.
class LocalStation : public StationAccess {
public:
    explicit LocalStation(int channel) : c_(channel) {}

    QueueResult Queue(Command kind, const std::vector<int>& nodes,
                      const std::vector<std::string>& files) override {
        CTransTask request;
        NodeSet set{};
        for (int n : nodes) {
            request.nodeMask[n] = 1;
            set[static_cast<size_t>(n)] = true;
        }
        request.files = files;
        bool logged = true;
        int (*create)(int, CTransTask&) = CreateQueryTask;
        switch (kind) {
        case Command::Send:
            logged = LogSendCommand(c_, AccountName(), Flags(set), files);
            create = CreateSendTask;
            break;
        case Command::Delete:
            logged = !nodes.empty() && LogDeleteCommand(c_, AccountName(), nodes.front(), files);
            create = CreateDeleteTask;
            break;
        case Command::Clear:
            logged = LogClearCommand(c_, AccountName(), Flags(set));
            create = CreateClearTask;
            break;
        default:
            break;
        }
        QueueResult r;
        if (!logged) {
            r.kind = QueueResult::Unlogged;
            return r;
        }
        r.kind = create(c_, request) == 1 ? QueueResult::Queued : QueueResult::NotQueued;
        lastFreshPackages_ = Centre().channels[c_].freshPackages.load();
        return r;
    }
    bool Poll(std::string*) override { return true; }
    NodeReading Reading(int n) override {
        NodeRecord& node = Node(n);
        NodeReading r;
        r.snapshot = TakeNodeSnapshot(node, ChannelLineLost(c_));
        r.replied = node.replied.load() != 0;
        r.totalBytes = node.totalBytes.load();
        return r;
    }
    std::vector<ListedFile> Listed(int n) override { return Node(n).ListedFiles(); }
    bool Busy() override { return ChannelBusy(Centre(), c_); }
    bool LineLost() override { return ChannelLineLost(c_); }
    bool LineMoved() override {
        // Reading the send's files (ahead of the task's start, or a file's packages at a
        // command's), or packages going out for the first time: the station is at work even
        // while no node has anything to say. Packages sent again are no progress of their own: a
        // node that lost them says so by reporting fewer missing (RunWatch).
        CCommCenter& cc = Centre();
        ChannelState& ch = cc.channels[c_];
        const int command = ch.cmdType.load();
        const uint32_t fresh = ch.freshPackages.load();
        const bool waitingToStart = cc.taskActive[c_].load() == 0 && cc.taskQueue[c_].Count() != 0;
        const bool moved =
            waitingToStart || command == CMD_PREPARING || fresh != lastFreshPackages_;
        lastFreshPackages_ = fresh;
        return moved;
    }
    void SettleLostLine() override {
        // The sender ends the command at once; the scheduler's next cycle applies its answers (a
        // file a node reported complete is recorded as sent). Two cycles after the channel went
        // idle, one has run whole.
        CCommCenter& cc = Centre();
        const Clock::time_point until = Clock::now() + kLineLostSettle;
        std::optional<uint64_t> idleAt;
        while (Clock::now() < until) {
            if (!idleAt && cc.ChannelIdle(c_))
                idleAt = cc.schedulerCycles.load();
            if (idleAt && cc.schedulerCycles.load() >= *idleAt + 2)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void Cancel(const std::vector<int>& nodes) override {
        CCommCenter& cc = Centre();
        CTransTask request;
        for (int n : nodes)
            request.nodeMask[n] = 1;
        // The Cancel Task dialog for these nodes with every row ticked.
        std::vector<int32_t> numbers;
        for (const CancelEntry& e : CollectCancelList(cc, c_, request))
            numbers.push_back(e.taskNo);
        CancelTaskNumbers(cc, c_, request.nodeMask, numbers);
    }

private:
    CCommCenter& Centre() { return *CCommCenter::Instance(); }
    NodeRecord& Node(int n) { return Centre().nodes[c_][n]; }

    const int c_;
    uint32_t lastFreshPackages_ = 0;
};

// The text a node's line shows when the run gave up on it for want of an answer.
constexpr const char* kNoAnswerText = "No Answer";

enum class EndCause {
    None,        // the task ended by itself on every target
    NotQueued,   // the task layer did not take the task
    Interrupted, // SIGINT or SIGTERM
    TimedOut,    // --timeout
    LineLost,    // the channel's port failed
    Stalled,     // nothing moved for --silence seconds
    Unreachable, // the running station no longer answers (--station)
};

class Session {
public:
    Session(const Options& o, RunIo& io, StationAccess& station, int channel, int firstNumber,
            const NodeSet& targets, std::vector<SendFile> files)
        : o_(o), io_(io), station_(station), c_(channel), first_(firstNumber),
          targets_(NodeIndexes(targets)), active_(targets_), targetSet_(targets),
          files_(std::move(files)), start_(Clock::now()),
          progress_(io.err, io.errIsTerminal, io.terminalWidth) {
        // Beyond a few decades a cap is no cap; the clock could not hold it anyway.
        if (o.timeoutSeconds && *o.timeoutSeconds < 1e9)
            deadline_ = start_ + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(*o.timeoutSeconds));
    }

    int Run();

private:
    std::string Label(int n) const { return NodeLabelText(first_, n); }
    double Seconds(Clock::time_point t) const {
        return std::chrono::duration<double>(t - start_).count();
    }

    // Hands the task (on the active nodes) to the station: false when the run ends here
    // (interrupted before, or the station did not take it; `refusal_` then holds the exit status
    // when there is one to give).
    bool StartTask(Command phase, const std::vector<std::string>& files);
    // Waits until the task has ended on every active node, or the run has given up on the nodes
    // that had not. `phase`: the command whose ends count (the query before a delete is a query
    // of its own).
    void WaitTask(Command phase);
    void RunTask(Command phase, const std::vector<std::string>& files = {}) {
        if (StartTask(phase, files))
            WaitTask(phase);
    }
    // Reads every node of the task once: what the watch needs, and the progress shown.
    std::vector<NodeObservation> Observe(Command phase);
    int FilesHeld(int n);
    bool HoldsAllFiles(int n) { return FilesHeld(n) == static_cast<int>(files_.size()); }
    // The node's end: its status, or the send's end when it was asked again after the send.
    int EndStatus(int n);
    bool Succeeded(Command phase, int n);
    void Say(const std::string& message);
    // Cancels the run's tasks on the given nodes, as Cancel Task with every row ticked.
    void CancelNodes(const std::vector<int>& nodes);
    void GiveUpSilent(RunWatch& watch, const std::vector<size_t>& places, Clock::time_point now);
    void EndUnfinished(const std::vector<NodeObservation>& seen, EndCause cause);

    int Query(bool listFiles);
    int Send();
    int Delete();
    int Clear();

    // One line per target: number, tab, final status (and the query's storage figures).
    void ReportNodes(std::ostream& out, Command phase, bool withFigures);
    bool AllSucceeded(Command phase);
    int ExitStatus(bool allSucceeded) const {
        if (signal_ != 0)
            return kExitSignalBase + signal_;
        return allSucceeded && cause_ == EndCause::None ? kExitOk : kExitFailed;
    }
    // A command that could not be logged is not run.
    int Unaudited(const char* what) {
        if (io_.stopRequested && io_.stopRequested().count > 0) // while waiting for the log
            return kExitSignalBase + io_.stopRequested().signal;
        io_.err << "talvorn-cli: the " << what << " could not be written to the event log; "
                << "nothing was queued\n";
        return kExitFailed;
    }

    const Options& o_;
    RunIo& io_;
    StationAccess& station_;
    const int c_;
    const int first_; // the channel's first number
    const std::vector<int> targets_;
    std::vector<int> active_; // the nodes of the task under way: the targets, or some of them
    const NodeSet targetSet_;
    const std::vector<SendFile> files_;
    const Clock::time_point start_;
    std::optional<Clock::time_point> deadline_;
    ProgressView progress_;
    EndCause cause_ = EndCause::None;
    int signal_ = 0;
    std::optional<int> refusal_;            // the exit status of a task the station refused
    std::vector<NodeObservation> lastSeen_; // the last poll that could read the station
    std::map<int, int> filesDone_;  // per node: the send's files seen done
    std::map<int, int> lastStatus_; // per node: its status at the last poll
    std::map<int, int> sendEnd_;    // per node asked again after the send: the send's end
    // Nodes the run ended itself (given up, cancelled): the text their line shows unless they
    // reached their success after all.
    std::map<int, std::string> verdicts_;
};

int Session::Run() {
    switch (o_.command) {
    case Command::Query:
        return Query(false);
    case Command::List:
        return Query(true);
    case Command::Send:
        return Send();
    case Command::Delete:
        return Delete();
    case Command::Clear:
        return Clear();
    case Command::None:
        break;
    }
    return kExitUsage;
}

int Session::FilesHeld(int n) {
    const auto listed = station_.Listed(n);
    int held = 0;
    for (const SendFile& f : files_)
        held += HoldsFile(listed, f) ? 1 : 0;
    return held;
}

int Session::EndStatus(int n) {
    const auto end = sendEnd_.find(n);
    return end != sendEnd_.end() ? end->second : station_.Reading(n).snapshot.status;
}

bool Session::Succeeded(Command phase, int n) {
    const int status = phase == Command::Send ? EndStatus(n) : station_.Reading(n).snapshot.status;
    switch (phase) {
    case Command::Query:
    case Command::List:
        return status == NS_QUERY_END;
    case Command::Send:
        return status == NS_FILE_DONE && HoldsAllFiles(n);
    case Command::Delete:
        return status == NS_DELETE_END;
    case Command::Clear:
        return status == NS_CLEAR_END;
    case Command::None:
        break;
    }
    return false;
}

std::vector<NodeObservation> Session::Observe(Command phase) {
    std::vector<NodeObservation> seen;
    std::vector<NodeView> views;
    seen.reserve(active_.size());
    views.reserve(active_.size());
    for (int n : active_) {
        const NodeReading reading = station_.Reading(n);
        const NodeSnapshot& snap = reading.snapshot;
        NodeObservation o;
        o.status = snap.status;
        o.progress = snap.progress;
        o.missingCount = snap.missingCount;
        o.fileCount = snap.fileCount;
        o.freeBytes = snap.freeBytes;
        o.replied = reading.replied;
        o.filesHeld = phase == Command::Send ? FilesHeld(n) : 0;
        const bool holds = phase == Command::Send && snap.status == NS_FILE_DONE &&
                           o.filesHeld == static_cast<int>(files_.size());
        o.ended = snap.pendingTaskCount == 0 || ReachedEnd(phase, snap.status, holds);
        seen.push_back(o);

        // A send's files, each done in its turn: the node's part is done file by file.
        int& filesDone = filesDone_[n];
        if (phase == Command::Send && snap.status == NS_FILE_DONE && lastStatus_[n] != NS_FILE_DONE)
            ++filesDone;
        lastStatus_[n] = snap.status;

        NodeView v;
        v.label = Label(n);
        v.status = ShownStatus(snap, false); // as the node list shows it
        v.progress = snap.progress;
        // At "Send File End" the file in transfer is the one just counted done.
        const int filePercent = snap.status == NS_FILE_DONE ? 0 : snap.progress;
        v.overall = phase == Command::Send ? OverallPercent(filesDone, filePercent, files_.size())
                                           : snap.progress;
        v.missingCount = snap.missingCount;
        v.ended = o.ended;
        views.push_back(std::move(v));
    }
    progress_.Update(views);
    return seen;
}

void Session::Say(const std::string& message) {
    progress_.Finish(); // the live line comes back with the next update
    io_.err << "talvorn-cli: " << message << '\n' << std::flush;
}

void Session::CancelNodes(const std::vector<int>& nodes) {
    if (!nodes.empty())
        station_.Cancel(nodes);
}

void Session::GiveUpSilent(RunWatch& watch, const std::vector<size_t>& places,
                           Clock::time_point now) {
    std::vector<int> nodes;
    for (size_t place : places) {
        const int n = active_[place];
        Say("node " + Label(n) + " has not answered for " +
            std::to_string(static_cast<int>(watch.SilentFor(place, Seconds(now)).value_or(0))) +
            " s; its work is cancelled");
        watch.GiveUp(place);
        verdicts_[n] = kNoAnswerText;
        nodes.push_back(n);
    }
    CancelNodes(nodes);
}

void Session::EndUnfinished(const std::vector<NodeObservation>& seen, EndCause cause) {
    std::string verdict;
    switch (cause) {
    case EndCause::LineLost:
        verdict = NodeInfoText(NS_LINE_LOST, 0);
        break;
    case EndCause::Stalled:
    case EndCause::Unreachable:
        verdict = kNoAnswerText;
        break;
    default:
        verdict = NodeInfoText(NS_CANCELLED, 0);
        break;
    }
    // Nodes that reached their end keep their result; only the others are cancelled.
    std::vector<int> nodes;
    for (size_t i = 0; i < active_.size() && i < seen.size(); ++i) {
        const int n = active_[i];
        if (seen[i].ended || verdicts_.count(n))
            continue;
        verdicts_[n] = verdict;
        nodes.push_back(n);
    }
    if (cause != EndCause::Unreachable)
        CancelNodes(nodes);
}

bool Session::StartTask(Command phase, const std::vector<std::string>& files) {
    if (cause_ != EndCause::None)
        return false;
    if (io_.stopRequested && io_.stopRequested().count > 0) {
        cause_ = EndCause::Interrupted;
        signal_ = io_.stopRequested().signal;
        return false;
    }
    const QueueResult queued = station_.Queue(phase, active_, files);
    switch (queued.kind) {
    case QueueResult::Queued:
        return true;
    case QueueResult::Unlogged:
        refusal_ = Unaudited(CommandName(phase));
        break;
    case QueueResult::Refused:
        io_.err << "talvorn-cli: " << queued.message << '\n';
        refusal_ = queued.exitStatus;
        break;
    case QueueResult::NotQueued:
        io_.err << "talvorn-cli: the task could not be queued\n";
        break;
    }
    cause_ = EndCause::NotQueued;
    return false;
}

void Session::WaitTask(Command phase) {
    RunWatch watch(active_.size(), o_.silenceSeconds, Seconds(Clock::now()));
    bool ending = false;
    int stopsSeen = 0;
    Clock::time_point giveUpAt{};
    while (true) {
        std::string unreachable;
        const bool read = station_.Poll(&unreachable);
        std::vector<NodeObservation> seen = read ? Observe(phase) : lastSeen_;
        if (read)
            lastSeen_ = seen;
        if (read && !station_.Busy())
            break;
        const Clock::time_point now = Clock::now();
        const StopRequest stop = io_.stopRequested ? io_.stopRequested() : StopRequest{};
        if (ending) {
            // A second request to stop: no more waiting for the cancel to take effect.
            if (stop.count > stopsSeen) {
                signal_ = stop.signal;
                break;
            }
            if (now >= giveUpAt || !read)
                break;
        } else {
            EndCause cause = EndCause::None;
            std::string why;
            if (stop.count > 0) {
                cause = EndCause::Interrupted;
                signal_ = stop.signal;
                why = "interrupted; unfinished nodes are cancelled";
            } else if (!read) {
                cause = EndCause::Unreachable;
                why = unreachable + "; the run ends without its unfinished nodes";
            } else if (station_.LineLost()) {
                cause = EndCause::LineLost;
                // The nodes that answered the command under way keep their answers.
                station_.SettleLostLine();
                std::string ignored;
                if (station_.Poll(&ignored))
                    seen = lastSeen_ = Observe(phase);
                why = "the line of channel " + std::to_string(c_ + 1) +
                      " is lost; unfinished nodes are cancelled";
            } else if (deadline_ && now >= *deadline_) {
                cause = EndCause::TimedOut;
                std::ostringstream text;
                text << "timed out after " << *o_.timeoutSeconds
                     << " s; unfinished nodes are cancelled";
                why = text.str();
            } else {
                const RunWatch::Verdict v = watch.Observe(Seconds(now), seen, station_.LineMoved());
                if (!v.silent.empty())
                    GiveUpSilent(watch, v.silent, now);
                if (v.stalled) {
                    cause = EndCause::Stalled;
                    for (size_t i = 0; i < active_.size(); ++i) {
                        const auto silentFor = watch.SilentFor(i, Seconds(now));
                        if (silentFor && !seen[i].ended && !verdicts_.count(active_[i]))
                            Say("node " + Label(active_[i]) + " has not answered for " +
                                std::to_string(static_cast<int>(*silentFor)) + " s");
                    }
                    std::ostringstream text;
                    text << "nothing has moved for " << o_.silenceSeconds
                         << " s; unfinished nodes are cancelled";
                    why = text.str();
                }
            }
            if (cause != EndCause::None) {
                ending = true;
                cause_ = cause;
                stopsSeen = stop.count;
                Say(why);
                EndUnfinished(seen, cause);
                giveUpAt = now + kCancelGrace;
                if (cause == EndCause::Unreachable)
                    break;
            }
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    progress_.Finish();
}

void Session::ReportNodes(std::ostream& out, Command phase, bool withFigures) {
    std::string ignored;
    if (cause_ != EndCause::Unreachable)
        (void)station_.Poll(&ignored); // the figures as they are now
    for (int n : targets_) {
        const NodeReading reading = station_.Reading(n);
        const int status = phase == Command::Send ? EndStatus(n) : reading.snapshot.status;
        const auto verdict = verdicts_.find(n);
        if (verdict != verdicts_.end() && !Succeeded(phase, n))
            out << Label(n) << '\t' << verdict->second;
        else
            out << Label(n) << '\t' << FinalStatusText(status);
        if (withFigures && status == NS_QUERY_END)
            out << "\ttotal " << reading.totalBytes << " free " << reading.snapshot.freeBytes
                << " files " << reading.snapshot.fileCount;
        out << '\n';
    }
    out.flush();
}

bool Session::AllSucceeded(Command phase) {
    for (int n : targets_) {
        if (!Succeeded(phase, n))
            return false;
    }
    return true;
}

int Session::Query(bool listFiles) {
    RunTask(Command::Query);
    if (refusal_)
        return *refusal_;
    const bool ok = AllSucceeded(Command::Query);
    if (!listFiles) {
        ReportNodes(io_.out, Command::Query, true);
        return ExitStatus(ok);
    }
    // The files alone on stdout, so that the list can be piped; the status goes with the rest.
    ReportNodes(io_.err, Command::Query, false);
    if (!ok || cause_ != EndCause::None)
        return ExitStatus(false);
    for (const ListedFile& f : station_.Listed(targets_.front()))
        io_.out << PrintedNodeName(f.name) << '\t' << f.length << '\n';
    io_.out.flush();
    return ExitStatus(true);
}

int Session::Send() {
    std::vector<std::string> paths;
    for (const SendFile& f : files_)
        paths.push_back(f.path);
    if (!StartTask(Command::Send, paths))
        return refusal_ ? *refusal_ : ExitStatus(false);
    // The name each file gets on the machines: what `list` shows and `delete` takes.
    for (size_t i = 0; i < files_.size(); ++i)
        io_.err << "sending " << (i < o_.operands.size() ? o_.operands[i] : files_[i].path)
                << " as "
                << PrintedNodeName(reinterpret_cast<const uint8_t*>(files_[i].field.data()))
                << '\n';
    io_.err.flush();
    WaitTask(Command::Send);
    // A node whose list is not known (its opening query failed) ends the send without the
    // station's copy of its files: it is asked again before it is said to lack one.
    std::vector<int> unknown;
    for (int n : targets_) {
        const NodeSnapshot node = station_.Reading(n).snapshot;
        if (node.status == NS_FILE_DONE && !HoldsAllFiles(n) && node.fileCount < 0)
            unknown.push_back(n);
    }
    if (!unknown.empty() && cause_ == EndCause::None) {
        for (int n : unknown)
            sendEnd_[n] = NS_FILE_DONE;
        active_ = unknown;
        RunTask(Command::Query);
        active_ = targets_;
    }
    ReportNodes(io_.out, Command::Send, false);
    bool ok = true;
    for (int n : targets_) {
        if (Succeeded(Command::Send, n))
            continue;
        ok = false;
        if (EndStatus(n) != NS_FILE_DONE)
            continue;
        if (station_.Reading(n).snapshot.fileCount < 0) {
            io_.err << "talvorn-cli: node " << Label(n)
                    << " could not be asked which files it holds\n";
            continue;
        }
        const auto listed = station_.Listed(n);
        for (const SendFile& f : files_) {
            if (!HoldsFile(listed, f))
                io_.err << "talvorn-cli: node " << Label(n) << " does not list "
                        << PrintedNodeName(reinterpret_cast<const uint8_t*>(f.field.data()))
                        << " with " << f.size << " bytes\n";
        }
    }
    return ExitStatus(ok);
}

int Session::Delete() {
    const int n = targets_.front();
    // Names are matched against a fresh list, never against what the node held some time ago.
    RunTask(Command::Query);
    if (refusal_)
        return *refusal_;
    if (cause_ != EndCause::None || !Succeeded(Command::Query, n)) {
        ReportNodes(io_.out, Command::Query, false);
        return ExitStatus(false);
    }
    std::vector<std::string> missing, ambiguous;
    std::vector<std::string> fields =
        ResolveNodeNames(station_.Listed(n), o_.operands, &missing, &ambiguous);
    if (!missing.empty() || !ambiguous.empty()) {
        for (const std::string& name : missing)
            io_.err << "talvorn-cli: " << name << ": no such file on node " << Label(n) << '\n';
        for (const std::string& name : ambiguous)
            io_.err << "talvorn-cli: " << name << ": more than one file on node " << Label(n)
                    << " goes by this name; name it as `list` prints it\n";
        io_.err << "talvorn-cli: nothing was deleted\n";
        return kExitUsage;
    }
    RunTask(Command::Delete, fields);
    if (refusal_)
        return *refusal_;
    ReportNodes(io_.out, Command::Delete, false);
    return ExitStatus(AllSucceeded(Command::Delete));
}

int Session::Clear() {
    RunTask(Command::Clear);
    if (refusal_)
        return *refusal_;
    ReportNodes(io_.out, Command::Clear, false);
    return ExitStatus(AllSucceeded(Command::Clear));
}

int UsageError(RunIo& io, const std::string& message) {
    io.err << "talvorn-cli: " << message << '\n';
    return kExitUsage;
}

// The nodes and files a command names, checked alike on a port and through a station: the node
// numbers within the channel, one node for list and delete, files a send can take.
bool CheckOperands(const Options& o, const NodeNumbering& numbering, NodeSet* targets,
                   std::vector<SendFile>* files, std::string* error) {
    if (!ParseNodeList(o.nodes, numbering, targets, error))
        return false;
    if ((o.command == Command::List || o.command == Command::Delete) &&
        NodeIndexes(*targets).size() != 1) {
        *error = std::string(CommandName(o.command)) + " works on one node, not '" + o.nodes + "'";
        return false;
    }
    return o.command != Command::Send || CheckSendFiles(o.operands, files, error);
}

// The run through a station that runs already: its HTTP API instead of the port.
int RunThroughStation(const Options& o, RunIo& io) {
    if (o.user.empty())
        return UsageError(io, "--station needs the user and password of that station's Log On in "
                              "TALVORN_USER and TALVORN_PASSWORD");
    const int c = o.channel - 1;
    std::string error;
    int status = kExitUsage;
    const std::unique_ptr<StationLink> link =
        ReachStation(*o.station, o.user, o.password, c, &error, &status);
    if (!link) {
        io.err << "talvorn-cli: " << error << '\n';
        return status;
    }
    StationLink& station = *link;
    if (!station.ChannelOpen())
        return UsageError(io, "channel " + std::to_string(o.channel) + " of the station at " +
                                  *o.station + " is not open");
    NodeSet targets{};
    // Checked here by the station's own rules, so that the run says what a local one says; the
    // station checks them again when it takes them.
    std::vector<SendFile> files;
    if (!CheckOperands(o, NodeNumbering{station.FirstNumber(), station.NodeCount()}, &targets,
                       &files, &error))
        return UsageError(io, error);
    Session session(o, io, station, c, station.FirstNumber(), targets, std::move(files));
    return session.Run();
}

} // namespace

int Run(const Options& o, RunIo& io) {
    if (o.station)
        return RunThroughStation(o, io);
    // The working folder: where Para.ini and the event log live, as the station's current folder.
    std::error_code ec;
    const fs::path dir = o.workDir.empty() ? fs::current_path(ec) : fs::absolute(o.workDir, ec);
    if (ec || !fs::is_directory(dir, ec))
        return UsageError(io, "working folder " + (o.workDir.empty() ? "." : o.workDir) +
                                  " is not a folder");
    ResetParameters();
    SystemParameters& p = Params();
    p.workDir = dir.lexically_normal().generic_string();
    if (!LoadParameters())
        return UsageError(io, "cannot read or create " + ParametersPath());

    const int c = o.channel - 1;
    const std::string channelName = "channel " + std::to_string(o.channel);
    const int nodeCount = p.comSum[c];
    if (nodeCount < 1 || nodeCount > kMaxNodes)
        return UsageError(io, channelName + " has " + std::to_string(nodeCount) + " nodes in " +
                                  ParametersPath() + " (Channel" + std::to_string(o.channel) +
                                  "ComSum must be 1 to 32)");
    if (p.comSpeed[c] < 0 || p.comSpeed[c] > 3)
        return UsageError(io, channelName + " has speed index " + std::to_string(p.comSpeed[c]) +
                                  " in " + ParametersPath() + " (must be 0 to 3)");

    NodeSet targets{};
    std::string error;
    std::vector<SendFile> files;
    if (!CheckOperands(o, NodeNumbering{p.comOne[c], nodeCount}, &targets, &files, &error))
        return UsageError(io, error);

    // Every send, delete and clear is logged: one that cannot be is refused before anything runs.
    std::string unlogged;
    if ((o.command == Command::Send || o.command == Command::Delete ||
         o.command == Command::Clear) &&
        !EventLogWritable(c, &unlogged)) {
        io.err << "talvorn-cli: " << unlogged << "; nothing was queued\n";
        // Stopped while waiting for the log's lock.
        if (io.stopRequested && io.stopRequested().count > 0)
            return kExitSignalBase + io.stopRequested().signal;
        return kExitFailed;
    }

    const std::string port = o.port ? *o.port : p.comId[c];
    if (port.empty())
        return UsageError(io, channelName + " has no port (Channel" + std::to_string(o.channel) +
                                  "ComID is empty in " + ParametersPath() + ")");
    // Only the chosen channel is opened: a missing second line must not matter.
    CentreSettings settings;
    settings.port[c] = port;
    settings.nodeCount[c] = nodeCount;
    settings.speedIndex[c] = p.comSpeed[c];
    settings.modeIndex[c] = p.comMode[c];

    CentreGuard centre;
    int started;
    {
        StopRequestsBlocked blocked; // the centre's threads inherit the mask
        started = StartCentre(settings);
    }
    if ((started & (1 << c)) == 0) {
        const std::string device = StationDevice(port);
        CCommCenter::Destroy(); // frees the device before it is examined
        std::string where = port;
        if (!device.empty() && device != port)
            where += " (" + device + ")";
        std::string reason = DescribePortFailure(device);
        // The usual holder of a busy port is the station itself: say how to go through it.
        if (reason == kPortBusyText)
            reason += PortHolderHint();
        return UsageError(io, "cannot open " + channelName + " on port " + where + ": " + reason);
    }
    LocalStation local(c);
    Session session(o, io, local, c, p.comOne[c], targets, std::move(files));
    return session.Run();
}

} // namespace cli
