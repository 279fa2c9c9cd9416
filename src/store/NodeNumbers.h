// Node numbers as the operator sees them: the channel's first number plus the node's index. The
// machine table, the windows and talvorn-cli all show them this way.
#pragma once

#include <string>
#include <string_view>

// "%003d" of first + node: at least three digits, zero-padded ("000", "032", "105").
std::string NodeLabelText(int first, int node);
// The label of node index `node` of channel 0 or 1, numbered from Params().comOne[channel]; ""
// for a channel outside 0..1.
std::string NodeLabel(int channel, int node);

// The numbers of a channel of `count` nodes numbered from `first`, as messages name them:
// "001 to 008"; "none" without nodes.
std::string NodeRangeText(int first, int count);
// "node 0 is out of range (the channel's nodes are 001 to 008)": the message for a node number,
// as typed, that the channel does not have.
std::string NodeOutOfRangeText(std::string_view typed, int first, int count);
// A node number as typed: decimal digits only, leading zeros allowed ("003"), at most 9 digits.
bool ParseNodeNumber(std::string_view text, long* out);
// The node index of a node number as typed, in a channel of `count` nodes numbered from `first`.
// False with a message for a text that is no number, or a number the channel does not have
// (NodeOutOfRangeText).
bool NodeIndexOfNumber(std::string_view typed, int first, int count, int* index,
                       std::string* error);
