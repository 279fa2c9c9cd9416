#include "store/NodeNumbers.h"

#include "store/SystemParameters.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

std::string NodeLabelText(int first, int node) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", first + node);
    return text;
}

std::string NodeLabel(int channel, int node) {
    if (channel < 0 || channel >= SystemParameters::kChannels)
        return {};
    return NodeLabelText(Params().comOne[channel], node);
}

std::string NodeRangeText(int first, int count) {
    return count > 0 ? NodeLabelText(first, 0) + " to " + NodeLabelText(first, count - 1)
                     : std::string("none");
}

std::string NodeOutOfRangeText(std::string_view typed, int first, int count) {
    return "node " + std::string(typed) + " is out of range (the channel's nodes are " +
           NodeRangeText(first, count) + ")";
}

bool ParseNodeNumber(std::string_view text, long* out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && p == text.data() + text.size();
}

bool NodeIndexOfNumber(std::string_view typed, int first, int count, int* index,
                       std::string* error) {
    long number = 0;
    if (!ParseNodeNumber(typed, &number)) {
        *error = "bad node number '" + std::string(typed) + "' (expected a number such as 003)";
        return false;
    }
    const long i = number - first;
    if (i < 0 || i >= std::clamp(count, 0, SystemParameters::kNodes)) {
        *error = NodeOutOfRangeText(typed, first, count);
        return false;
    }
    *index = static_cast<int>(i);
    return true;
}
