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
    int filesHeld = 0;    // a send's files that the node lists with their sizes
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
// - The run stalls when nothing has moved for `silence` seconds while some node is unfinished.
//   Progress moves it, answers do not (a node may answer for ever without getting anywhere): a
//   node reaching its end, or a step it had not reached before in the run (its query answered
//   in full, a file of a send complete), a node reporting fewer packages missing of its file than
//   ever before, a file read or a package sent for the first time by the station.
class RunWatch {
public:
    RunWatch(size_t nodes, double silenceSeconds, double now);

    struct Verdict {
        std::vector<size_t> silent; // nodes to give up now, by their place in the poll
        bool stalled = false;
    };
    // `lineMoved`: the station read the send's files, or sent packages it had not sent before,
    // since the last poll.
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
        int furthestStep = 0;  // the furthest step reached (Progressed)
        int missingFile = -1;  // the file (by filesHeld) that lowestMissing is about
        int lowestMissing = 0; // the fewest packages it has reported missing of it; 0: none yet
    };
    // Whether the node has got further than ever before in the run.
    static bool Progressed(Track& t, const NodeObservation& n);
    double silence_;
    double lastMove_;
    std::vector<Track> tracks_;
};

} // namespace cli
