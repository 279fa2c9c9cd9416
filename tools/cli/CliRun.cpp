#include "CliRun.h"

#include "NodeFiles.h"
#include "PortCheck.h"
#include "Progress.h"

#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "station/Centre.h"
#include "station/NodeRows.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <pthread.h>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPollPeriod = std::chrono::milliseconds(100);
// After a cancel the command under way still has to wind down (a reply time-out at most); a task
// layer that does not settle by then is left to the centre's teardown.
constexpr auto kCancelGrace = std::chrono::seconds(20);

enum class WaitEnd { Settled, TimedOut, Interrupted };

// The operating-system account, as the event log's user name.
std::string UserName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    return "uid" + std::to_string(::geteuid());
}

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

// SIGINT and SIGTERM go to the main thread alone, so that no link thread has a read or a sleep
// cut short by them.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t old_;
};

class Session {
public:
    Session(const Options& o, RunIo& io, int channel, const NodeSet& targets)
        : o_(o), io_(io), c_(channel), targets_(NodeIndexes(targets)), targetSet_(targets),
          deadline_(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(o.timeoutSeconds))),
          progress_(io.err, io.errIsTerminal, io.terminalWidth) {}

    int Run(const std::vector<SendFile>& files);

private:
    CCommCenter& Centre() { return *CCommCenter::Instance(); }
    NodeRecord& Node(int n) { return Centre().nodes[c_][n]; }
    std::string Label(int n) const { return NodeLabel(c_, n); }

    // Hands the request to the task layer and waits until the task has ended on every target.
    WaitEnd RunTask(int (*create)(int, CTransTask&), CTransTask& request);
    bool Settled();
    void CancelUnfinished();
    void ShowProgress();

    int Query(bool listFiles);
    int Send(const std::vector<SendFile>& files);
    int Delete();
    int Clear();

    // One line per target: number, tab, final status (and the query's storage figures).
    void ReportNodes(std::ostream& out, bool withFigures);
    bool AllEndedIn(int status);
    // A command that could not be logged is not run.
    int Unaudited(const char* what) {
        io_.err << "talvorn-cli: the " << what << " could not be written to the event log; "
                << "nothing was queued\n";
        return kExitFailed;
    }

    const Options& o_;
    RunIo& io_;
    const int c_;
    const std::vector<int> targets_;
    const NodeSet targetSet_;
    const Clock::time_point deadline_;
    ProgressView progress_;
    bool interrupted_ = false;
};

int Session::Run(const std::vector<SendFile>& files) {
    switch (o_.command) {
    case Command::Query:
        return Query(false);
    case Command::List:
        return Query(true);
    case Command::Send:
        return Send(files);
    case Command::Delete:
        return Delete();
    case Command::Clear:
        return Clear();
    case Command::None:
        break;
    }
    return kExitUsage;
}

bool Session::Settled() {
    // Only this run queues work, and only on its targets.
    return !ChannelBusy(Centre(), c_);
}

void Session::CancelUnfinished() {
    CCommCenter& cc = Centre();
    CTransTask request;
    for (int n : targets_)
        request.nodeMask[n] = Node(n).pendingTaskCount.load() != 0 ? 1 : 0;
    // The Cancel Task dialog with every row ticked.
    std::vector<int32_t> numbers;
    for (const CancelEntry& e : CollectCancelList(cc, c_, request))
        numbers.push_back(e.taskNo);
    CancelTaskNumbers(cc, c_, request.nodeMask, numbers);
}

void Session::ShowProgress() {
    std::vector<NodeView> views;
    views.reserve(targets_.size());
    for (int n : targets_) {
        const NodeSnapshot snap = TakeNodeSnapshot(Node(n), ChannelLineLost(c_));
        NodeView v;
        v.label = Label(n);
        // As the node list shows it: notes gone before an end state reads as cancelled.
        v.status = ShownStatus(snap, true);
        v.progress = snap.progress;
        v.missingCount = snap.missingCount;
        v.ended = snap.pendingTaskCount == 0;
        views.push_back(std::move(v));
    }
    progress_.Update(views);
}

WaitEnd Session::RunTask(int (*create)(int, CTransTask&), CTransTask& request) {
    if (interrupted_)
        return WaitEnd::Interrupted;
    for (int n = 0; n < kTaskNodes; ++n)
        request.nodeMask[n] = targetSet_[static_cast<size_t>(n)] ? 1 : 0;
    if (create(c_, request) != 1) {
        io_.err << "talvorn-cli: the task could not be queued\n";
        return WaitEnd::Interrupted;
    }
    WaitEnd end = WaitEnd::Settled;
    Clock::time_point giveUpAt{};
    while (true) {
        ShowProgress();
        if (Settled())
            break;
        const Clock::time_point now = Clock::now();
        if (end == WaitEnd::Settled) {
            if (io_.stopRequested && io_.stopRequested())
                end = WaitEnd::Interrupted;
            else if (now >= deadline_)
                end = WaitEnd::TimedOut;
            if (end != WaitEnd::Settled) {
                CancelUnfinished();
                giveUpAt = now + kCancelGrace;
            }
        } else if (now >= giveUpAt) {
            break;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    progress_.Finish();
    if (end == WaitEnd::TimedOut)
        io_.err << "talvorn-cli: timed out after " << o_.timeoutSeconds
                << " s; unfinished nodes were cancelled\n";
    if (end == WaitEnd::Interrupted) {
        io_.err << "talvorn-cli: interrupted; unfinished nodes were cancelled\n";
        interrupted_ = true;
    }
    return end;
}

void Session::ReportNodes(std::ostream& out, bool withFigures) {
    for (int n : targets_) {
        NodeRecord& node = Node(n);
        const int status = node.status.load();
        out << Label(n) << '\t' << FinalStatusText(status);
        if (withFigures && status == NS_QUERY_END)
            out << "\ttotal " << node.totalBytes.load() << " free " << node.freeBytes.load()
                << " files " << node.fileCount.load();
        out << '\n';
    }
    out.flush();
}

bool Session::AllEndedIn(int status) {
    for (int n : targets_) {
        if (Node(n).status.load() != status)
            return false;
    }
    return true;
}

int Session::Query(bool listFiles) {
    CTransTask request;
    RunTask(CreateQueryTask, request);
    const bool ok = AllEndedIn(NS_QUERY_END) && !interrupted_;
    if (!listFiles) {
        ReportNodes(io_.out, true);
        return ok ? kExitOk : kExitFailed;
    }
    // The files alone on stdout, so that the list can be piped; the status goes with the rest.
    ReportNodes(io_.err, false);
    if (!ok)
        return kExitFailed;
    for (const ListedFile& f : Node(targets_.front()).ListedFiles())
        io_.out << ShownNodeFileName(f.name) << '\t' << f.length << '\n';
    io_.out.flush();
    return kExitOk;
}

int Session::Send(const std::vector<SendFile>& files) {
    CTransTask request;
    std::vector<std::string> paths;
    for (const SendFile& f : files)
        paths.push_back(f.path);
    request.files = paths;
    if (!LogSendCommand(c_, UserName(), Flags(targetSet_), paths))
        return Unaudited("send");
    RunTask(CreateSendTask, request);
    ReportNodes(io_.out, false);
    bool ok = !interrupted_;
    for (int n : targets_) {
        const auto listed = Node(n).ListedFiles();
        if (Node(n).status.load() != NS_FILE_DONE)
            ok = false;
        for (const SendFile& f : files) {
            if (!HoldsFile(listed, f)) {
                ok = false;
                if (Node(n).status.load() == NS_FILE_DONE)
                    io_.err << "talvorn-cli: node " << Label(n) << " does not list "
                            << ShownNodeFileName(reinterpret_cast<const uint8_t*>(f.field.data()))
                            << " with " << f.size << " bytes\n";
            }
        }
    }
    return ok ? kExitOk : kExitFailed;
}

int Session::Delete() {
    const int n = targets_.front();
    // Names are matched against a fresh list, never against what the node held some time ago.
    CTransTask query;
    RunTask(CreateQueryTask, query);
    if (interrupted_ || Node(n).status.load() != NS_QUERY_END) {
        ReportNodes(io_.out, false);
        return kExitFailed;
    }
    std::vector<std::string> missing;
    std::vector<std::string> fields =
        ResolveNodeNames(Node(n).ListedFiles(), o_.operands, &missing);
    if (!missing.empty()) {
        for (const std::string& name : missing)
            io_.err << "talvorn-cli: " << name << ": no such file on node " << Label(n) << '\n';
        io_.err << "talvorn-cli: nothing was deleted\n";
        return kExitUsage;
    }
    CTransTask request;
    request.files = fields;
    if (!LogDeleteCommand(c_, UserName(), n, fields))
        return Unaudited("delete");
    RunTask(CreateDeleteTask, request);
    ReportNodes(io_.out, false);
    return AllEndedIn(NS_DELETE_END) && !interrupted_ ? kExitOk : kExitFailed;
}

int Session::Clear() {
    CTransTask request;
    if (!LogClearCommand(c_, UserName(), Flags(targetSet_)))
        return Unaudited("clear");
    RunTask(CreateClearTask, request);
    ReportNodes(io_.out, false);
    return AllEndedIn(NS_CLEAR_END) && !interrupted_ ? kExitOk : kExitFailed;
}

int UsageError(RunIo& io, const std::string& message) {
    io.err << "talvorn-cli: " << message << '\n';
    return kExitUsage;
}

} // namespace

int Run(const Options& o, RunIo& io) {
    // The working folder: where Para.ini and the event log live, as the station's current folder.
    std::error_code ec;
    const fs::path dir = o.workDir.empty() ? fs::current_path(ec) : fs::absolute(o.workDir, ec);
    if (ec || !fs::is_directory(dir, ec))
        return UsageError(io, "working folder " + (o.workDir.empty() ? "." : o.workDir) +
                                  " is not a folder");
    ResetParameters();
    SystemParameters& p = Params();
    p.workDir = dir.lexically_normal().string();
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
    if (!ParseNodeList(o.nodes, nodeCount, &targets, &error))
        return UsageError(io, error);
    if ((o.command == Command::List || o.command == Command::Delete) &&
        NodeIndexes(targets).size() != 1)
        return UsageError(io, std::string(CommandName(o.command)) + " works on one node, not '" +
                                  o.nodes + "'");
    std::vector<SendFile> files;
    if (o.command == Command::Send && !CheckSendFiles(o.operands, &files, &error))
        return UsageError(io, error);

    // Every send, delete and clear is logged: one that cannot be is refused before anything runs.
    std::string unlogged;
    if ((o.command == Command::Send || o.command == Command::Delete ||
         o.command == Command::Clear) &&
        !EventLogWritable(c, &unlogged)) {
        io.err << "talvorn-cli: " << unlogged << "; nothing was queued\n";
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
        SignalsBlocked blocked; // the centre's threads inherit the mask
        started = StartCentre(settings);
    }
    if ((started & (1 << c)) == 0) {
        const std::string device = StationDevice(port);
        CCommCenter::Destroy(); // frees the device before it is examined
        std::string where = port;
        if (!device.empty() && device != port)
            where += " (" + device + ")";
        return UsageError(io, "cannot open " + channelName + " on port " + where + ": " +
                                  DescribePortFailure(device));
    }
    Session session(o, io, c, targets);
    return session.Run(files);
}

} // namespace cli
