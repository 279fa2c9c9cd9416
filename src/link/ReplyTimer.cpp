#include "link/ReplyTimer.h"

#include <algorithm>
#include <cmath>

void ReplyTimer::Learn(double delayMs) {
    const double r = std::max(delayMs, 0.0);
    if (!measured_) {
        srtt_ = r;
        rttvar_ = r / 2;
        measured_ = true;
        return;
    }
    // The variation first, against the smoothed delay as it stood (RFC 6298, 2.3).
    rttvar_ = (1 - kVariationGain) * rttvar_ + kVariationGain * std::fabs(srtt_ - r);
    srtt_ = (1 - kDelayGain) * srtt_ + kDelayGain * r;
}

void ReplyTimer::Reset() {
    *this = ReplyTimer();
}

int ReplyTimer::BoundMs() const {
    if (!measured_)
        return -1;
    const double bound = std::ceil(srtt_ + kVariationFactor * rttvar_);
    return bound >= kReplyDelayCapMs ? kReplyDelayCapMs : static_cast<int>(bound);
}

int LearnedWaitMs(const ReplyTimer& t, int baseMs, int requestLineMs, int replyLineMs) {
    if (!t.Measured())
        return baseMs;
    return std::max(baseMs, requestLineMs + t.BoundMs() + replyLineMs);
}

bool AskableWhileGuarded(const ReplyTimer& t) {
    return t.Measured() && t.BoundMs() <= kGuardedBoundMs;
}

int GuardedWaitMs(const ReplyTimer& t, int requestLineMs, int replyLineMs) {
    return requestLineMs + std::max(t.BoundMs(), kMinGraceMs) + replyLineMs;
}

LateReplyTimes AfterGiveUp(const ReplyTimer& t, int waitMs, int requestLineMs, int replyLineMs) {
    LateReplyTimes out;
    const int unknown = requestLineMs + kUnknownReplyDelayMs + replyLineMs;
    if (!t.Measured()) {
        out.horizonMs = std::max(waitMs, unknown);
        out.graceEndMs = out.horizonMs;
        return out;
    }
    const int bound = t.BoundMs();
    const int longest = requestLineMs + kReplyDelayCapMs + replyLineMs;
    out.horizonMs = std::max({waitMs, unknown, std::min(waitMs + bound, longest)});
    out.graceEndMs = std::min(waitMs + std::max(bound, kMinGraceMs), out.horizonMs);
    return out;
}
