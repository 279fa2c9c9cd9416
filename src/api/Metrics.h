// The station's metrics in Prometheus' text format (version 0.0.4): the lines' state, each shown
// node's status, free room and learned reply delay, the tasks waiting, and what each channel has
// sent and heard. No file names. Read from one pass over the records; the link's threads are never
// held up for it.
#pragma once

#include <string>
#include <string_view>

class CCommCenter;

namespace api {

constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The text for the centre (null: no centre, every figure 0). Call under StationStateGate().
std::string MetricsText(CCommCenter* cc);

// A label value with "\", '"' and newlines escaped.
std::string LabelValue(std::string_view text);

} // namespace api
