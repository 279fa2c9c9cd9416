// The station's metrics in Prometheus' text format (version 0.0.4): the lines' state, each shown
// node's status, free room and learned reply delay, the tasks waiting, and what each channel has
// sent and heard. No file names. Read from one pass over the records; the link's threads are never
// held up for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/Frame.h"

class CCommCenter;

namespace api {

// What the serving side's timer read of the figures the line's threads guard with locks (at most
// one tick old): a scrape never takes one of those locks.
struct MetricsFromTicks {
    int64_t queued[2] = {0, 0};
    double delaySeconds[2][kMaxNodes]; // -1 while not timed
    MetricsFromTicks() {
        for (auto& channel : delaySeconds)
            for (double& d : channel)
                d = -1;
    }
};

constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The text for the centre (null: no centre, every figure 0). Call under StationStateGate().
std::string MetricsText(CCommCenter* cc, const MetricsFromTicks& ticks);

// A label value with "\", '"' and newlines escaped.
std::string LabelValue(std::string_view text);

} // namespace api
