#include "Watch.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"

namespace cli {

namespace {

// Codes the link and the task layer set from a node's reply, and only from one.
bool IsAnswerStatus(int status) {
    switch (status) {
    case NS_NEED_HEAD:
    case NS_FILE_DONE:
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_LIST_CLIPPED:
    case NS_QUERY_END:
    case NS_DELETE_END:
    case NS_CLEAR_END:
    case NS_RETRY_DELETE:
    case NS_RETRY_CLEAR:
    case NS_SENDING_HEAD:     // the node asked for the head
    case NS_SENDING_PACKAGES: // the node named the packages it lacks
        return true;
    default:
        return false;
    }
}

bool IsFailureStatus(int status) {
    return status == NS_NO_REPLY || status == NS_BAD_REPLY || status == NS_WAITING;
}

} // namespace

bool ReachedEnd(Command command, int status, bool holdsAllFiles) {
    switch (status) {
    case NS_CANCELLED:
    case NS_FILE_UNREADABLE:
    case NS_DUPLICATE_NAME:
        return true;
    case NS_QUERY_END:
        return command == Command::Query || command == Command::List;
    case NS_FILE_DONE:
        return command == Command::Send && holdsAllFiles;
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_NO_PROGRESS:
        return command == Command::Send;
    case NS_DELETE_END:
        return command == Command::Delete;
    case NS_CLEAR_END:
        return command == Command::Clear;
    default:
        return false;
    }
}

bool AnsweredSince(const NodeObservation& p, const NodeObservation& n) {
    const bool figures = n.fileCount != p.fileCount || n.freeBytes != p.freeBytes ||
                         n.missingCount != p.missingCount;
    if (n.replied && (!p.replied || n.status != p.status || figures))
        return true;
    return IsAnswerStatus(n.status) && n.status != p.status;
}

bool FailedSince(const NodeObservation& p, const NodeObservation& n) {
    if (IsFailureStatus(n.status) && !IsFailureStatus(p.status))
        return true;
    return p.status == NS_REQUEST_SENT && n.status != NS_REQUEST_SENT && !AnsweredSince(p, n);
}

bool RunWatch::Progressed(Track& t, const NodeObservation& n) {
    bool moved = false;
    // Steps in the order a node takes them: its query answered in full, then each file of the
    // send that it holds. A file sent again to a node that holds it already is no step.
    const int step = n.status == NS_QUERY_END ? 1 : n.filesHeld > 0 ? 1 + n.filesHeld : 0;
    if (step > t.furthestStep) {
        t.furthestStep = step;
        moved = true;
    }
    // Packages sent again because they were lost move the file on when fewer are then missing
    // than ever before. A count of 0 says nothing: nothing asked yet, or the file is complete.
    if (n.filesHeld != t.missingFile) {
        t.missingFile = n.filesHeld;
        t.lowestMissing = 0;
    }
    if (n.missingCount > 0) {
        if (t.lowestMissing > 0 && n.missingCount < t.lowestMissing)
            moved = true;
        if (t.lowestMissing == 0 || n.missingCount < t.lowestMissing)
            t.lowestMissing = n.missingCount;
    }
    return moved;
}

RunWatch::RunWatch(size_t nodes, double silenceSeconds, double now)
    : silence_(silenceSeconds), lastMove_(now), tracks_(nodes) {}

RunWatch::Verdict RunWatch::Observe(double now, const std::vector<NodeObservation>& nodes,
                                    bool lineMoved) {
    Verdict verdict;
    bool unfinished = false;
    for (size_t i = 0; i < nodes.size() && i < tracks_.size(); ++i) {
        Track& t = tracks_[i];
        const NodeObservation& n = nodes[i];
        const NodeObservation previous = t.last;
        t.last = n;
        if (t.givenUp)
            continue;
        if (n.ended) {
            if (!previous.ended)
                lastMove_ = now;
            t.failingSince.reset();
            continue;
        }
        unfinished = true;
        if (Progressed(t, n))
            lastMove_ = now;
        if (AnsweredSince(previous, n)) {
            t.failingSince.reset(); // it answers: not silent, though not necessarily moving
            continue;
        }
        if (!FailedSince(previous, n))
            continue;
        if (!t.failingSince)
            t.failingSince = now;
        else if (now - *t.failingSince >= silence_)
            verdict.silent.push_back(i);
    }
    if (lineMoved)
        lastMove_ = now;
    verdict.stalled = unfinished && now - lastMove_ >= silence_;
    return verdict;
}

void RunWatch::GiveUp(size_t node) {
    if (node < tracks_.size())
        tracks_[node].givenUp = true;
}

std::optional<double> RunWatch::SilentFor(size_t node, double now) const {
    if (node >= tracks_.size() || !tracks_[node].failingSince)
        return std::nullopt;
    return now - *tracks_[node].failingSince;
}

} // namespace cli
