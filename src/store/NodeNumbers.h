// Node numbers as the operator sees them: the channel's first number plus the node's index. The
// machine table, the windows and talvorn-cli all show them this way.
#pragma once

#include <string>

// "%003d" of first + node: at least three digits, zero-padded ("000", "032", "105").
std::string NodeLabelText(int first, int node);
// The label of node index `node` of channel 0 or 1, numbered from Params().comOne[channel]; ""
// for a channel outside 0..1.
std::string NodeLabel(int channel, int node);
