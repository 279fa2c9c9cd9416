// The command line of talvorn-cli: options, command and operands, and the node lists.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // some node did not end in its success state
constexpr int kExitUsage = 2;  // bad command line or a configuration that cannot be used

constexpr double kDefaultTimeoutSeconds = 600;

enum class Command { None, Query, List, Send, Delete, Clear };

struct Options {
    bool help = false;
    std::string workDir; // empty: the current folder
    int channel = 1;     // 1 or 2, as the windows name them
    std::optional<std::string> port;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    Command command = Command::None;
    std::string nodes; // NODES (or NODE) as typed; checked against the channel later
    std::vector<std::string> operands; // files of a send, names of a delete
};

// Node n of the channel is a target when its entry is true.
using NodeSet = std::array<bool, 32>;

std::string UsageText();
const char* CommandName(Command command);

// Parses argv[1..]; false with a message when the line is not usable. Node indexes are checked
// later, once the channel's node count is known.
bool ParseArguments(const std::vector<std::string>& args, Options* out, std::string* error);

// "3", "0-7", "0,2,5-9": indexes below nodeCount. False with a message for anything else (empty
// items, reversed ranges, indexes out of range, stray characters).
bool ParseNodeList(const std::string& text, int nodeCount, NodeSet* out, std::string* error);

// The nodes as a list of indexes, ascending.
std::vector<int> NodeIndexes(const NodeSet& nodes);

} // namespace cli
