#include "store/NodeNumbers.h"

#include "store/SystemParameters.h"

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
