// When a run of talvorn-cli stops waiting: the nodes that reached their end, the nodes that do
// not answer, and a run in which nothing moves any more. Plain rules over what the run reads of
// the node records on each poll, so that they can be tested without a line.
#pragma once

#include "CliArgs.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace cli {

// Whether a node has finished its part of the run's command: its success end (Query End for a
// query or a list; for a send, Send File End once the node lists every file of the send with its
// size; Delete End; Clear End), or an end that fails it (No Sufficient Room, File Num Exceed, a
// file that could not be read or named, a cancel). "Query End" in the query that opens a send or
// follows a delete is a step, not an end.
bool ReachedEnd(Command command, int status, bool holdsAllFiles);

// What a poll reads of one node.
struct NodeObservation {
    int status = -1;
    int progress = 0;
    int missingCount = 0;
    int fileCount = 0;
    int freeBytes = 0;
    bool replied = false; // the node's last request has been answered
    bool ended = false;   // ReachedEnd, or the node has no task left
};

// Whether the node shows a fresh answer since the previous poll: a reply came in (the reply flag
// rose, or changed the figures or the status under it), or the node entered a status that only
// a reply leads to.
bool AnsweredSince(const NodeObservation& previous, const NodeObservation& now);
// Whether the node shows a failed request since the previous poll: it entered "no reply", "bad
// reply" or "Waiting...", or left "request sent" without an answer.
bool FailedSince(const NodeObservation& previous, const NodeObservation& now);

// The run's watch over its target nodes, fed one poll at a time. Times are seconds on a steady
// clock.
//
// - A node whose requests have failed since it last answered (or since the run began), for
//   `silence` seconds from the first of those failures, is given up at its next failure: the run
//   cancels its work and reports it as not answering. A node that glitched once and then waits
//   its turn behind others is not given up while it waits.
// - The run stalls when nothing has moved for `silence` seconds while some node is unfinished:
//   no answer, no node reaching its end, no file read or package sent by the station.
class RunWatch {
public:
    RunWatch(size_t nodes, double silenceSeconds, double now);

    struct Verdict {
        std::vector<size_t> silent; // nodes to give up now, by their place in the poll
        bool stalled = false;
    };
    // `lineMoved`: the station read the send's files or sent packages since the last poll.
    Verdict Observe(double now, const std::vector<NodeObservation>& nodes, bool lineMoved);

    // The node is given up and no longer watched.
    void GiveUp(size_t node);
    // Seconds since the first of the node's failures that no answer has followed; none when no
    // failure has gone unanswered.
    std::optional<double> SilentFor(size_t node, double now) const;

private:
    struct Track {
        NodeObservation last;
        std::optional<double> failingSince;
        bool givenUp = false;
    };
    double silence_;
    double lastMove_;
    std::vector<Track> tracks_;
};

} // namespace cli
