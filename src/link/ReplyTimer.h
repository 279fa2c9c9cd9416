// How long the station waits for a node's reply, learned from that node's own replies the way
// TCP sets its retransmission timer (RFC 6298): per node a smoothed reply delay and its
// variation. Plain arithmetic without a clock or threads; the link keeps one timer per node and
// feeds it every reply it can time, late ones included.
//
// A reply's delay runs from when its request has left the line to the first byte of the reply.
// Waits below are counted from when the request begins on the line, so they add the request's
// line time and the longest reply's.
#pragma once

// RFC 6298's gains: the smoothed delay moves an eighth and the variation a quarter of the way
// towards each new measurement; a reply may come four variations after the smoothed delay.
constexpr double kDelayGain = 0.125;
constexpr double kVariationGain = 0.25;
constexpr double kVariationFactor = 4;

// No reply is waited for longer than this (plus its line time), and after a give-up a late reply
// is looked for no longer: a machine busy writing its store has been seen to answer 900 ms late,
// and three times that leaves room for its variation without holding a line up for long.
constexpr int kReplyDelayCapMs = 3000;
// A node not timed yet may answer this late: the slowest machines seen answer 900 ms after a
// request, and half as much again leaves room for their variation and for a busy station. After
// a give-up its late reply is awaited that long (and any node's at least that long guarded
// against), so that the first late reply of a slow machine is timed, not taken for another
// node's; longer would hold the line up at every machine that is switched off.
constexpr int kUnknownReplyDelayMs = 1500;
// After a give-up, the least time beyond the wait before the next request, even for a node whose
// figures say it answers at once: the reader sees a first byte only at its next pass, some
// milliseconds later.
constexpr int kMinGraceMs = 20;
// While a late reply may still come, a node is asked only if its own replies come within this
// long: a late reply is then taken for its answer only if it lands in those few milliseconds.
// A slower node, or one not timed yet, is asked once no late reply can come any more.
constexpr int kGuardedBoundMs = 50;

class ReplyTimer {
public:
    // A measured delay in milliseconds (negative ones count as 0).
    void Learn(double delayMs);
    // Back to knowing nothing about the node.
    void Reset();
    bool Measured() const { return measured_; }
    double SmoothedMs() const { return srtt_; }
    double VariationMs() const { return rttvar_; }
    // The longest delay the figures allow: smoothed + 4 x variation, rounded up, at most the
    // cap; -1 while nothing has been measured.
    int BoundMs() const;

private:
    bool measured_ = false;
    double srtt_ = 0;
    double rttvar_ = 0;
};

// The wait for a reply: the fixed wait of a fast line (`baseMs`, line times included) or what the
// node's figures call for, whichever is longer; the figures' part never beyond the cap.
int LearnedWaitMs(const ReplyTimer& t, int baseMs, int requestLineMs, int replyLineMs);

// A request that goes out while another node's late reply may still come: whether its node may be
// asked now, and its wait, by the node's own figures alone (no fixed floor), so that a late reply
// is credited to it only if it lands where the node itself answers.
bool AskableWhileGuarded(const ReplyTimer& t);
int GuardedWaitMs(const ReplyTimer& t, int requestLineMs, int replyLineMs);

// After a request was given up at `waitMs`: when the next request may go (`graceEndMs`), and until
// when the late reply may still come (`horizonMs`), both counted like the wait. A node with
// figures gets the grace they call for (a fast one next to none), and its reply is looked for as
// long as its figures allow beyond the wait; a node not timed yet is waited for as long as a slow
// machine may take (its late reply, once read, ends the grace at once).
struct LateReplyTimes {
    int graceEndMs = 0;
    int horizonMs = 0;
};
LateReplyTimes AfterGiveUp(const ReplyTimer& t, int waitMs, int requestLineMs, int replyLineMs);
